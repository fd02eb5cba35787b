#pragma once
// An announcement plan: entries that say a text at times of day, and the calendar of
// exceptions (days off, make-up working days). Plain values; no clock, no files.
#include <QDate>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <vector>

namespace sayvell::plan {

inline constexpr int kSecondsPerDay = 24 * 60 * 60;
inline constexpr int kDefaultGraceSeconds = 5 * 60;
inline constexpr int kMaxRepeat = 20;
inline constexpr int kMaxGapSeconds = 3600;
// The delivered chime (made by the program); any other chime text is a sound file's path.
inline const QString kBuiltinChime = QStringLiteral("builtin");

struct Entry {
    qint64 id = 0;  // the row in draft.dat; 0 before it is stored
    QString name;
    bool enabled = true;

    QString text;      // what to say, typed in the entry
    QString textFile;  // or a text file read when the entry plays; wins over text when set
    QString voice;     // a voice id; empty: the voice of the settings
    int rate = 0;      // -10..15, the rate bar's positions
    int volume = 100;  // 0..100
    QString chime;     // empty: none; kBuiltinChime or a sound file
    int repeat = 1;    // times the text is said
    int gapSeconds = 0;
    QString sink;  // a sound server's sink name; empty: the default output

    std::vector<int> times;  // seconds of the day
    int everyMinutes = 0;    // 0: no repeating times
    int fromSecond = 0;      // the repeating times, both ends included
    int toSecond = 0;
    quint8 weekdays = 0x7f;  // bit (d - 1) for Qt's day d: Monday 1 .. Sunday 7
    QDate firstDate;         // null: no bound
    QDate lastDate;
    bool onDaysOff = false;  // plays on days off too

    bool playsOnWeekday(int dayOfWeek) const { return weekdays & (1u << (dayOfWeek - 1)); }
};

enum class DayKind { DayOff = 0, WorkingDay = 1 };

struct Exception {
    QDate date;
    DayKind kind = DayKind::DayOff;
    int followsWeekday = 1;  // a working day plays this weekday's entries (Monday 1 .. Sunday 7)
    QString note;
};

struct Plan {
    std::vector<Entry> entries;
    std::vector<Exception> exceptions;  // at most one a date; the last one given wins
};

// What a day is in the plan's calendar.
struct DayRule {
    bool dayOff = false;
    int weekday = 1;  // the weekday whose entries play
};

// A message for the user when the entry cannot be kept as it is; empty when it can.
QString validateEntry(const Entry& entry);

// "HH:mm" or "HH:mm:ss" to seconds of the day; -1 when it is no time.
int parseTimeOfDay(const QString& text);
// "HH:mm", or "HH:mm:ss" when the seconds are not 0.
QString formatTimeOfDay(int second);
// Comma- or space-separated times; false with the bad piece in *bad.
bool parseTimeList(const QString& text, std::vector<int>* out, QString* bad = nullptr);
QString formatTimeList(const std::vector<int>& times);
// Days as traditional Chinese weekday names, e.g. "一二三四五".
QString weekdayLetters(quint8 weekdays);

}  // namespace sayvell::plan
