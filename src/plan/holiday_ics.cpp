#include "plan/holiday_ics.h"

#include <QRegularExpression>
#include <QStringList>
#include <libical/ical.h>

#include <map>
#include <memory>
#include <set>

namespace sayvell::plan {

namespace {

// A content line, its folded continuations joined, with the physical line it began on.
struct Line {
    int number = 0;
    QString text;
};

std::vector<Line> unfold(const QString& data) {
    std::vector<Line> lines;
    const QStringList physical = data.split(u'\n');
    for (int i = 0; i < physical.size(); ++i) {
        QString t = physical[i];
        if (t.endsWith(u'\r')) t.chop(1);
        if (!lines.empty() && (t.startsWith(u' ') || t.startsWith(u'\t'))) {
            lines.back().text += t.mid(1);
            continue;
        }
        if (t.isEmpty()) continue;
        lines.push_back({i + 1, t});
    }
    return lines;
}

QString lineError(int line, const QString& what) {
    return QStringLiteral("行事曆檔有誤（第 %1 行）：%2。未匯入任何日期。").arg(line).arg(what);
}

// The shape of the file: content lines, balanced BEGIN and END; the line of each VEVENT.
bool checkShape(const std::vector<Line>& lines, std::vector<int>* eventLines, QString* error) {
    static const QRegularExpression content(QStringLiteral("^[A-Za-z0-9-]+(;[^:]*)?:"));
    QStringList open;
    if (lines.empty() || lines.front().text.trimmed().compare(u"BEGIN:VCALENDAR", Qt::CaseInsensitive) != 0) {
        *error = lineError(lines.empty() ? 1 : lines.front().number, QStringLiteral("檔案不是以 BEGIN:VCALENDAR 開頭"));
        return false;
    }
    for (const Line& l : lines) {
        if (!content.match(l.text).hasMatch()) {
            *error = lineError(l.number, QStringLiteral("無法理解「%1」").arg(l.text.left(40)));
            return false;
        }
        const QString name = l.text.section(u':', 0, 0).section(u';', 0, 0).toUpper();
        const QString value = l.text.section(u':', 1).trimmed().toUpper();
        if (name == u"BEGIN") {
            open << value;
            if (value == u"VEVENT") eventLines->push_back(l.number);
        } else if (name == u"END") {
            if (open.isEmpty() || open.back() != value) {
                *error = lineError(l.number, QStringLiteral("END:%1 沒有對應的 BEGIN").arg(value));
                return false;
            }
            open.removeLast();
        }
    }
    if (!open.isEmpty()) {
        *error = lineError(lines.back().number, QStringLiteral("BEGIN:%1 沒有結束").arg(open.back()));
        return false;
    }
    return true;
}

QDate dateOf(const icaltimetype& t) { return QDate(t.year, t.month, t.day); }

// The days one occurrence covers: all-day ends are exclusive, timed ones cover their dates.
void addDays(QDate start, QDate end, bool endExclusive, int fromYear, int toYear, const QString& note,
             std::map<QDate, QString>* days) {
    if (!end.isValid() || end < start) end = start;
    if (endExclusive && end > start) end = end.addDays(-1);
    // A wrongly long event would flood the calendar; a year is the most a holiday spans.
    if (start.daysTo(end) > 366) end = start.addDays(366);
    for (QDate d = start; d <= end; d = d.addDays(1))
        if (d.year() >= fromYear && d.year() <= toYear) days->emplace(d, note);
}

}  // namespace

bool daysOffFromIcs(const QByteArray& data, int fromYear, int toYear, std::vector<Exception>* out, QString* error) {
    const std::vector<Line> lines = unfold(QString::fromUtf8(data));
    std::vector<int> eventLines;
    if (!checkShape(lines, &eventLines, error)) return false;

    std::unique_ptr<icalcomponent, void (*)(icalcomponent*)> root(icalparser_parse_string(data.constData()),
                                                                  icalcomponent_free);
    if (!root) {
        *error = lineError(1, QStringLiteral("無法讀取"));
        return false;
    }
    icalcomponent* calendar = root.get();
    if (icalcomponent_isa(calendar) != ICAL_VCALENDAR_COMPONENT)
        calendar = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT);
    std::map<QDate, QString> days;
    std::size_t index = 0;
    for (icalcomponent* ev = calendar ? icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT) : nullptr;
         ev; ev = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT), ++index) {
        const int line = index < eventLines.size() ? eventLines[index] : 1;
        if (icalproperty* bad = icalcomponent_get_first_property(ev, ICAL_XLICERROR_PROPERTY)) {
            *error =
                lineError(line, QStringLiteral("事件有誤：%1").arg(QString::fromUtf8(icalproperty_get_xlicerror(bad))));
            return false;
        }
        const icaltimetype start = icalcomponent_get_dtstart(ev);
        if (icaltime_is_null_time(start) || !dateOf(start).isValid()) {
            *error = lineError(line, QStringLiteral("事件沒有開始日期（DTSTART）"));
            return false;
        }
        const icaltimetype end = icalcomponent_get_dtend(ev);
        const QDate endDate = icaltime_is_null_time(end) ? QDate() : dateOf(end);
        const qint64 length = endDate.isValid() ? dateOf(start).daysTo(endDate) : 0;
        const bool allDay = start.is_date != 0;
        // A timed event ending at midnight ends the day before.
        const bool exclusive =
            allDay || (!icaltime_is_null_time(end) && end.hour == 0 && end.minute == 0 && end.second == 0);
        const char* summary = icalcomponent_get_summary(ev);
        const QString note = summary ? QString::fromUtf8(summary).trimmed() : QString();

        icalproperty* rrule = icalcomponent_get_first_property(ev, ICAL_RRULE_PROPERTY);
        if (!rrule) {
            addDays(dateOf(start), endDate, exclusive, fromYear, toYear, note, &days);
            continue;
        }
        icalrecur_iterator* it = icalrecur_iterator_new(icalproperty_get_rrule(rrule), start);
        if (!it) {
            *error = lineError(line, QStringLiteral("無法理解重複規則（RRULE）"));
            return false;
        }
        for (int n = 0; n < 5000; ++n) {
            const icaltimetype t = icalrecur_iterator_next(it);
            if (icaltime_is_null_time(t) || t.year > toYear) break;
            const QDate d = dateOf(t);
            addDays(d, length > 0 ? d.addDays(length) : QDate(), exclusive, fromYear, toYear, note, &days);
        }
        icalrecur_iterator_free(it);
    }
    out->clear();
    for (const auto& [date, note] : days) out->push_back({date, DayKind::DayOff, 1, note});
    return true;
}

void mergeDaysOff(Plan* plan, const std::vector<Exception>& days) {
    std::set<QDate> have;
    for (const Exception& x : plan->exceptions) have.insert(x.date);
    for (const Exception& d : days)
        if (have.insert(d.date).second) plan->exceptions.push_back(d);
    std::stable_sort(plan->exceptions.begin(), plan->exceptions.end(),
                     [](const Exception& a, const Exception& b) { return a.date < b.date; });
}

}  // namespace sayvell::plan
