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

    // From the store's (mark, pause) rows in table order; rows past the last one held are
    // ignored and a negative pause counts as none.
    template <typename Rows>
    static DelimiterTable fromMarks(const Rows& rows) {
        DelimiterTable table;
        for (const auto& row : rows) {
            if (table.marks.size() >= kMaxDelimiterRows) break;
            table.delays[static_cast<size_t>(table.marks.size())] = row.delayMs > 0 ? row.delayMs : 0;
            table.marks << row.mark;
        }
        return table;
    }
};

enum class RunMode {
    Single,  // from a position to the end of the text
    Range,   // one pass of a loop over a captured range
};

struct ReadingState {
    // The flags of a worker run about to start; the one place that sets them for a mode.
    void beginRun(RunMode mode) {
        readingByWorker = true;
        stopRequested = false;
        readingActive = true;
        rangeMode = mode == RunMode::Range;
        singleRun = mode == RunMode::Single;
    }

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
