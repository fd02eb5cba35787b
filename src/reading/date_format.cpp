#include "reading/date_format.h"

#include "text/byte_text.h"

#include <array>

namespace sayvell::reading {

namespace {

const std::array<QString, kDateFormatTypes> kPatterns = {
    QStringLiteral("yyyy-mm-dd"),
    QStringLiteral("H:mm:ss"),
    QStringLiteral("t"),
    QStringLiteral("mm月dd日"),
    QStringLiteral("yyyy-mm-dd hh:mm"),
    QStringLiteral("ddd"),
    QStringLiteral("mmmm"),
    QStringLiteral("yyyy'年'mm月dd日 dddd"),
};

bool isAsciiLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

QString padded(int value, int width) { return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0')); }

// Applies `edit` to the runs of a Qt time format that lie outside quotes.
template <typename Edit>
QString editUnquoted(const QString& format, Edit edit) {
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
            out += c;
        } else if (quoted) {
            out += c;
        } else {
            edit(out, c);
        }
    }
    return out;
}

// The characters between the hours and the minutes of the locale's short time form.
QString separatorOf(const QString& timeFormat) {
    QString sep;
    bool quoted = false;
    bool afterHours = false;
    for (QChar c : timeFormat) {
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && (c == u'h' || c == u'H')) {
            afterHours = true;
            continue;
        }
        if (!afterHours) continue;
        if (!quoted && isAsciiLetter(c)) break;
        sep += c;
    }
    return sep.isEmpty() ? QStringLiteral(":") : sep;
}

}  // namespace

QString dateFormatPattern(int type) {
    if (type < 1 || type > kDateFormatTypes) return {};
    return kPatterns[static_cast<size_t>(type - 1)];
}

DateFormatter::DateFormatter(const QLocale& locale) : locale_(locale) {
    const QString shortFormat = locale_.timeFormat(QLocale::ShortFormat);
    timeSeparator_ = separatorOf(shortFormat);
    // Qt cannot render the flexible day period "B" (it would be printed as a letter): the
    // morning/afternoon marker says the same.
    shortTimeFormat_ = editUnquoted(shortFormat, [](QString& out, QChar c) {
        if (c == u'B') {
            if (!out.endsWith(QStringLiteral("AP"))) out += QStringLiteral("AP");
        } else {
            out += c;
        }
    });
    // The long form ends with the time zone, which nobody wants spoken in an announcement.
    longTimeFormat_ = editUnquoted(locale_.timeFormat(QLocale::LongFormat), [](QString& out, QChar c) {
                          if (c == u'B') {
                              if (!out.endsWith(QStringLiteral("AP"))) out += QStringLiteral("AP");
                          } else if (c != u't' && c != u'[' && c != u']') {
                              out += c;
                          }
                      }).trimmed();
}

QString DateFormatter::shortTime(const QTime& t) const { return locale_.toString(t, shortTimeFormat_); }

QString DateFormatter::longTime(const QTime& t) const { return locale_.toString(t, longTimeFormat_); }

QString DateFormatter::format(const QString& pattern, const QDateTime& at) const {
    const QDate d = at.date();
    const QTime t = at.time();
    QString out;
    QChar lastLetter;  // upper-case letter of the last letter element; null after a double-byte character
    const qsizetype n = pattern.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = pattern[i];
        if (c.unicode() > 0x7f) {
            const int units = text::charUnitsAt(pattern, i);
            out += QStringView(pattern).mid(i, units);
            i += units;
            lastLetter = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            qsizetype end = pattern.indexOf(c, i + 1);
            if (end < 0) end = n;
            out += QStringView(pattern).mid(i + 1, end - i - 1);
            i = std::min(end + 1, n);
            continue;
        }
        if (c == u':') {
            out += timeSeparator_;
            ++i;
            continue;
        }
        if (!isAsciiLetter(c)) {
            out += c;
            ++i;
            continue;
        }
        const QChar upper = c.toUpper();
        qsizetype run = 1;
        while (i + run < n && pattern[i + run].toUpper() == upper) ++run;
        QChar token = upper;
        if (token == u'M' && lastLetter == u'H') token = u'N';
        lastLetter = token;
        switch (token.unicode()) {
        case u'Y': out += run <= 2 ? padded(d.year() % 100, 2) : padded(d.year(), 4); break;
        case u'M':
            if (run <= 2)
                out += run == 1 ? QString::number(d.month()) : padded(d.month(), 2);
            else
                out += locale_.monthName(d.month(), run == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
            break;
        case u'N': out += run == 1 ? QString::number(t.minute()) : padded(t.minute(), 2); break;
        case u'D':
            if (run == 1)
                out += QString::number(d.day());
            else if (run == 2)
                out += padded(d.day(), 2);
            else if (run == 3)
                out += locale_.dayName(d.dayOfWeek(), QLocale::ShortFormat);
            else if (run == 4)
                out += locale_.dayName(d.dayOfWeek(), QLocale::LongFormat);
            else
                out += locale_.toString(d, run == 5 ? QLocale::ShortFormat : QLocale::LongFormat);
            break;
        case u'H': out += run == 1 ? QString::number(t.hour()) : padded(t.hour(), 2); break;
        case u'S': out += run == 1 ? QString::number(t.second()) : padded(t.second(), 2); break;
        case u'Z': out += run == 1 ? QString::number(t.msec()) : padded(t.msec(), 3); break;
        case u'T': out += run == 1 ? shortTime(t) : longTime(t); break;
        default: out += QStringView(pattern).mid(i, run); break;
        }
        i += run;
    }
    return out;
}

QString DateFormatter::formatType(int type, const QDateTime& now) const {
    const QString pattern = dateFormatPattern(type);
    if (pattern.isEmpty()) return {};
    return format(pattern, type == 4 ? now.date().startOfDay() : now);
}

QString DateFormatter::substitute(const QString& piece, int type, const QDateTime& now) const {
    if (!piece.contains(kDateToken, Qt::CaseSensitive)) return piece;
    if (type < 1 || type > kDateFormatTypes) return piece;
    QString spoken = piece;
    spoken.replace(kDateToken, formatType(type, now), Qt::CaseInsensitive);
    return spoken;
}

}  // namespace sayvell::reading
