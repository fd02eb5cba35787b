#pragma once
// The "%Date%" token: the eight formats it can be spoken in, the pattern language they are
// written in, and the substitution made in each piece just before it is spoken.
//
// Pattern letters are case-insensitive:
//   yyyy / yy    year, four / two digits
//   m / mm       month, without / with leading zero; minutes instead when the last letter
//                element before it is an hour element (blanks and separators between do not
//                break that, a double-byte character does)
//   mmm / mmmm   short / full month name of the locale
//   d / dd       day of the month
//   ddd / dddd   short / full weekday name of the locale
//   h / hh       hour 0-23, without / with leading zero
//   n / nn       minutes;  s / ss seconds;  z / zzz milliseconds
//   t / tt       the locale's short / long time
//   'text' "text"  copied without the quotes
//   :            the locale's time separator
// Every other character, double-byte ones included, is copied unchanged.
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace sayvell::reading {

inline constexpr int kDateFormatTypes = 8;
inline const QString kDateToken = QStringLiteral("%Date%");

// Pattern of a format type 1..8; empty for any other type.
QString dateFormatPattern(int type);

class DateFormatter {
public:
    // Names, the short time form and the time separator come from `locale`.
    explicit DateFormatter(const QLocale& locale = QLocale::system());

    QString format(const QString& pattern, const QDateTime& at) const;
    // A type's pattern formatted for `now` (type 4 from that day's midnight); empty outside 1..8.
    QString formatType(int type, const QDateTime& now) const;
    // The piece to speak: unchanged unless it holds "%Date%" in exactly these capitals; then
    // every occurrence in any letter case is replaced. A type outside 1..8 replaces nothing.
    QString substitute(const QString& piece, int type, const QDateTime& now) const;

    const QLocale& locale() const { return locale_; }
    QString timeSeparator() const { return timeSeparator_; }

private:
    QString shortTime(const QTime& t) const;
    QString longTime(const QTime& t) const;

    QLocale locale_;
    QString timeSeparator_;
    QString shortTimeFormat_;
    QString longTimeFormat_;
};

}  // namespace sayvell::reading
