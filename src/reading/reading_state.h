#pragma once
// The record of the reading run shared by the main window and the reading worker.
// Flags are atomics: each is written by one side and read by the other at its next check.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <mutex>

namespace sayvell::reading {

class TtsRunner;

constexpr int kMaxDelimiterRows = 30;

// The delimiter marks in table order and the pause of each row.
struct DelimiterTable {
    QStringList marks;  // trimmed; an empty mark still holds its row's place
    std::array<int, kMaxDelimiterRows> delays{};

    // Pause of the character c when it is a delimiter (the first row whose mark holds it), else -1.
    int delayOf(QStringView c) const;
    QString delimiters() const { return marks.join(QString()); }
};

struct ReadingState {
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> readingActive{false};
    std::atomic<bool> readingByWorker{false};
    std::atomic<bool> rangeMode{false};
    std::atomic<bool> singleRun{true};

    // Range mode: the captured selection and where the next piece starts in it.
    std::atomic<int> rangeStart{0};
    std::atomic<int> rangeOffset{0};

    std::atomic<int> dateFormatType{1};
    std::atomic<int> symbolDelayMs{800};

    std::atomic<int> loopPasses{0};
    std::atomic<int> loopIntervalSeconds{0};
    std::atomic<int> loopSelStart{0};
    std::atomic<int> loopSelLength{0};
    std::atomic<int> caretLine{0};
    std::atomic<int> caretColumn{0};

    TtsRunner* readingWorker = nullptr;

    // Text fields: guarded, as both threads replace them whole.
    QString rangeText() const;
    void setRangeText(const QString& text);
    DelimiterTable delimiterTable() const;
    void setDelimiterTable(DelimiterTable table);
    QString delimiters() const { return delimiterTable().delimiters(); }
    QDateTime lastRunEndTime() const;
    void setLastRunEndTime(const QDateTime& t);

private:
    mutable std::mutex mutex_;
    QString rangeText_;
    DelimiterTable delimiterTable_;
    QDateTime lastRunEndTime_;
};

}  // namespace sayvell::reading
