#include "plan/plan_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace sayvell::plan {

namespace {

const QString kFormatName = QStringLiteral("sayvell-plan");
const QString kBuiltinName = QStringLiteral("builtin");

QJsonArray timesArray(const std::vector<int>& times) {
    QJsonArray a;
    for (int t : times) a.append(formatTimeOfDay(t));
    return a;
}

QJsonObject entryObject(const Entry& e) {
    QJsonObject o;
    o[u"name"] = e.name;
    o[u"enabled"] = e.enabled;
    if (!e.textFile.isEmpty())
        o[u"textFile"] = e.textFile;
    else
        o[u"text"] = e.text;
    if (!e.voice.isEmpty()) o[u"voice"] = e.voice;
    o[u"rate"] = e.rate;
    o[u"volume"] = e.volume;
    if (!e.chime.isEmpty()) o[u"chime"] = e.chime == kBuiltinChime ? kBuiltinName : e.chime;
    o[u"repeat"] = e.repeat;
    o[u"gapSeconds"] = e.gapSeconds;
    if (!e.sink.isEmpty()) o[u"sink"] = e.sink;
    if (!e.times.empty()) o[u"times"] = timesArray(e.times);
    if (e.everyMinutes > 0)
        o[u"every"] = QJsonObject{{QStringLiteral("minutes"), e.everyMinutes},
                                  {QStringLiteral("from"), formatTimeOfDay(e.fromSecond)},
                                  {QStringLiteral("to"), formatTimeOfDay(e.toSecond)}};
    QJsonArray days;
    for (int d = 1; d <= 7; ++d)
        if (e.playsOnWeekday(d)) days.append(d);
    o[u"weekdays"] = days;
    if (e.firstDate.isValid()) o[u"firstDate"] = e.firstDate.toString(Qt::ISODate);
    if (e.lastDate.isValid()) o[u"lastDate"] = e.lastDate.toString(Qt::ISODate);
    o[u"onDaysOff"] = e.onDaysOff;
    return o;
}

// Reading with the place of the first problem, for a message that says where.
struct Reader {
    QString where;
    QString error;

    bool fail(const QString& what) {
        if (error.isEmpty()) error = where.isEmpty() ? what : where + QStringLiteral("：") + what;
        return false;
    }
    QString text(const QJsonObject& o, const char* key, bool required = false) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined() && !required) return {};
        if (!v.isString()) return fail(QStringLiteral("「%1」須是文字").arg(QLatin1String(key))), QString();
        return v.toString();
    }
    int integer(const QJsonObject& o, const char* key, int fallback) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined()) return fallback;
        if (!v.isDouble() || v.toDouble() != double(qint64(v.toDouble())))
            return fail(QStringLiteral("「%1」須是整數").arg(QLatin1String(key))), fallback;
        return int(std::clamp<qint64>(qint64(v.toDouble()), -1000000, 1000000));
    }
    bool flag(const QJsonObject& o, const char* key, bool fallback) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined()) return fallback;
        if (!v.isBool()) return fail(QStringLiteral("「%1」須是 true 或 false").arg(QLatin1String(key)));
        return v.toBool();
    }
    int time(const QString& t) {
        const int s = parseTimeOfDay(t);
        if (s < 0) fail(QStringLiteral("「%1」不是時間（HH:mm）").arg(t));
        return s;
    }
    QDate date(const QJsonObject& o, const char* key) {
        const QString t = text(o, key);
        if (t.isEmpty()) return {};
        const QDate d = QDate::fromString(t, Qt::ISODate);
        if (!d.isValid()) fail(QStringLiteral("「%1」不是日期（yyyy-MM-dd）").arg(t));
        return d;
    }
};

bool readEntry(Reader& r, const QJsonObject& o, Entry* e) {
    e->name = r.text(o, "name", true);
    e->enabled = r.flag(o, "enabled", true);
    e->text = r.text(o, "text");
    e->textFile = r.text(o, "textFile");
    e->voice = r.text(o, "voice");
    e->rate = r.integer(o, "rate", 0);
    e->volume = r.integer(o, "volume", 100);
    const QString chime = r.text(o, "chime");
    e->chime = chime == kBuiltinName ? kBuiltinChime : chime;
    e->repeat = r.integer(o, "repeat", 1);
    e->gapSeconds = r.integer(o, "gapSeconds", 0);
    e->sink = r.text(o, "sink");
    const QJsonValue times = o.value(u"times");
    if (!times.isUndefined() && !times.isArray()) return r.fail(QStringLiteral("「times」須是時間的清單"));
    for (const QJsonValue& t : times.toArray()) {
        if (!t.isString()) return r.fail(QStringLiteral("「times」須是時間的清單"));
        e->times.push_back(r.time(t.toString()));
    }
    std::sort(e->times.begin(), e->times.end());
    e->times.erase(std::unique(e->times.begin(), e->times.end()), e->times.end());
    const QJsonValue every = o.value(u"every");
    if (!every.isUndefined()) {
        if (!every.isObject()) return r.fail(QStringLiteral("「every」須有 minutes、from 和 to"));
        const QJsonObject eo = every.toObject();
        e->everyMinutes = r.integer(eo, "minutes", 0);
        if (e->everyMinutes <= 0) return r.fail(QStringLiteral("每隔的分鐘數須大於 0"));
        e->fromSecond = r.time(r.text(eo, "from", true));
        e->toSecond = r.time(r.text(eo, "to", true));
    }
    const QJsonValue days = o.value(u"weekdays");
    if (!days.isUndefined()) {
        if (!days.isArray()) return r.fail(QStringLiteral("「weekdays」須是 1 至 7 的清單"));
        e->weekdays = 0;
        for (const QJsonValue& d : days.toArray()) {
            const int n = d.toInt(0);
            if (n < 1 || n > 7) return r.fail(QStringLiteral("「weekdays」須是 1 至 7 的清單"));
            e->weekdays |= quint8(1u << (n - 1));
        }
    }
    e->firstDate = r.date(o, "firstDate");
    e->lastDate = r.date(o, "lastDate");
    e->onDaysOff = r.flag(o, "onDaysOff", false);
    if (!r.error.isEmpty()) return false;
    if (const QString why = validateEntry(*e); !why.isEmpty()) return r.fail(why);
    return true;
}

}  // namespace

QByteArray planToJson(const Plan& plan) {
    QJsonArray entries;
    for (const Entry& e : plan.entries) entries.append(entryObject(e));
    QJsonArray exceptions;
    for (const Exception& x : plan.exceptions) {
        QJsonObject o{{QStringLiteral("date"), x.date.toString(Qt::ISODate)},
                      {QStringLiteral("kind"),
                       x.kind == DayKind::DayOff ? QStringLiteral("dayOff") : QStringLiteral("workingDay")}};
        if (x.kind == DayKind::WorkingDay) o[u"follows"] = x.followsWeekday;
        if (!x.note.isEmpty()) o[u"note"] = x.note;
        exceptions.append(o);
    }
    const QJsonObject root{{QStringLiteral("format"), kFormatName},
                           {QStringLiteral("version"), kPlanFormatVersion},
                           {QStringLiteral("entries"), entries},
                           {QStringLiteral("exceptions"), exceptions}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool planFromJson(const QByteArray& data, Plan* plan, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &parseError);
    if (doc.isNull()) {
        const int line = int(data.left(parseError.offset).count('\n')) + 1;
        *error = QStringLiteral("計畫檔損壞（第 %1 行）：%2").arg(line).arg(parseError.errorString());
        return false;
    }
    const QJsonObject root = doc.object();
    if (!doc.isObject() || root.value(u"format").toString() != kFormatName) {
        *error = QStringLiteral("這不是播報計畫檔。");
        return false;
    }
    const int version = root.value(u"version").toInt(0);
    if (version < 1) {
        *error = QStringLiteral("計畫檔沒有版本號碼。");
        return false;
    }
    if (version > kPlanFormatVersion) {
        *error = QStringLiteral("計畫檔是較新版本（第 %1 版）所寫，請先更新本程式。").arg(version);
        return false;
    }
    Plan out;
    Reader r;
    const QJsonArray entries = root.value(u"entries").toArray();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        r.where = QStringLiteral("第 %1 項").arg(i + 1);
        if (!entries[i].isObject()) {
            r.fail(QStringLiteral("須是一個物件"));
            break;
        }
        Entry e;
        if (!readEntry(r, entries[i].toObject(), &e)) break;
        out.entries.push_back(std::move(e));
    }
    const QJsonArray exceptions = root.value(u"exceptions").toArray();
    for (qsizetype i = 0; r.error.isEmpty() && i < exceptions.size(); ++i) {
        r.where = QStringLiteral("第 %1 個例外日").arg(i + 1);
        const QJsonObject o = exceptions[i].toObject();
        Exception x;
        x.date = r.date(o, "date");
        if (!x.date.isValid()) r.fail(QStringLiteral("沒有日期"));
        const QString kind = r.text(o, "kind", true);
        if (kind == u"workingDay")
            x.kind = DayKind::WorkingDay;
        else if (kind != u"dayOff")
            r.fail(QStringLiteral("「kind」須是 dayOff 或 workingDay"));
        x.followsWeekday = r.integer(o, "follows", 1);
        if (x.followsWeekday < 1 || x.followsWeekday > 7) r.fail(QStringLiteral("「follows」須是 1 至 7"));
        x.note = r.text(o, "note");
        out.exceptions.push_back(std::move(x));
    }
    if (!r.error.isEmpty()) {
        *error = QStringLiteral("計畫檔有誤，未匯入任何內容。") + r.error;
        return false;
    }
    *plan = std::move(out);
    return true;
}

}  // namespace sayvell::plan
