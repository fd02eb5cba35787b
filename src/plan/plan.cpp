#include "plan/plan.h"

#include <QRegularExpression>
#include <algorithm>

namespace sayvell::plan {

QString validateEntry(const Entry& e) {
    if (e.name.trimmed().isEmpty()) return QStringLiteral("請輸入項目名稱。");
    if (e.textFile.isEmpty() && e.text.trimmed().isEmpty())
        return QStringLiteral("「%1」沒有要播報的文字。").arg(e.name);
    if (e.times.empty() && e.everyMinutes <= 0)
        return QStringLiteral("「%1」沒有播報時間：請填時間，或每隔幾分鐘播報一次。").arg(e.name);
    for (int t : e.times)
        if (t < 0 || t >= kSecondsPerDay) return QStringLiteral("「%1」的時間不對。").arg(e.name);
    if (e.everyMinutes < 0 || e.everyMinutes > 24 * 60)
        return QStringLiteral("「%1」的間隔須是 1 至 1440 分鐘。").arg(e.name);
    if (e.everyMinutes > 0) {
        if (e.fromSecond < 0 || e.toSecond >= kSecondsPerDay || e.fromSecond >= kSecondsPerDay || e.toSecond < 0)
            return QStringLiteral("「%1」的起訖時間不對。").arg(e.name);
        if (e.toSecond < e.fromSecond) return QStringLiteral("「%1」的結束時間早於開始時間。").arg(e.name);
    }
    if ((e.weekdays & 0x7f) == 0) return QStringLiteral("「%1」沒有選擇星期幾。").arg(e.name);
    if (e.firstDate.isValid() && e.lastDate.isValid() && e.lastDate < e.firstDate)
        return QStringLiteral("「%1」的結束日期早於開始日期。").arg(e.name);
    if (e.repeat < 1 || e.repeat > kMaxRepeat)
        return QStringLiteral("「%1」的重複次數須是 1 至 %2。").arg(e.name).arg(kMaxRepeat);
    if (e.gapSeconds < 0 || e.gapSeconds > kMaxGapSeconds)
        return QStringLiteral("「%1」的間隔秒數須是 0 至 %2。").arg(e.name).arg(kMaxGapSeconds);
    if (e.rate < -10 || e.rate > 15) return QStringLiteral("「%1」的語速須是 -10 至 15。").arg(e.name);
    if (e.volume < 0 || e.volume > 100) return QStringLiteral("「%1」的音量須是 0 至 100。").arg(e.name);
    return {};
}

int parseTimeOfDay(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch()) return -1;
    const int h = m.captured(1).toInt(), mi = m.captured(2).toInt(),
              s = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    if (h > 23 || mi > 59 || s > 59) return -1;
    return h * 3600 + mi * 60 + s;
}

QString formatTimeOfDay(int second) {
    const int h = second / 3600, m = second / 60 % 60, s = second % 60;
    if (s)
        return QStringLiteral("%1:%2:%3")
            .arg(h, 2, 10, QLatin1Char('0'))
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(h, 2, 10, QLatin1Char('0')).arg(m, 2, 10, QLatin1Char('0'));
}

bool parseTimeList(const QString& text, std::vector<int>* out, QString* bad) {
    static const QRegularExpression sep(QStringLiteral("[,，、\\s]+"));
    std::vector<int> times;
    for (const QString& piece : text.split(sep, Qt::SkipEmptyParts)) {
        const int t = parseTimeOfDay(piece);
        if (t < 0) {
            if (bad) *bad = piece;
            return false;
        }
        times.push_back(t);
    }
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    *out = std::move(times);
    return true;
}

QString formatTimeList(const std::vector<int>& times) {
    QStringList parts;
    for (int t : times) parts << formatTimeOfDay(t);
    return parts.join(QStringLiteral(", "));
}

QString weekdayLetters(quint8 weekdays) {
    static const QString names = QStringLiteral("一二三四五六日");
    QString out;
    for (int d = 0; d < 7; ++d)
        if (weekdays & (1u << d)) out += names[d];
    return out;
}

}  // namespace sayvell::plan
