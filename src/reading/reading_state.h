#pragma once
// What the main window (the UI thread) and the reading worker share. Everything a run needs
// for itself (its mode, its range, where it is) travels in its RunRequest or stays in the
// worker. Flags are atomics, read by the other side at its next check. Who writes what:
//   UI thread only: stopRequested, readingByWorker, dateFormatType, symbolDelayMs, the loop
//     fields, caretColumn, rangeText (one-shot readings and export), the delimiter table;
//   worker only: lastRunEndTime;
//   readingActive: set only by the UI thread (a start); cleared by the UI thread (stop,
//     one-shot readings) and by the worker when its run ends and no other is waiting;
//   caretLine: the UI thread from the caret, the worker when it steps over blank text.
// Nothing here waits: the UI thread never blocks on the worker through this record.
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
    Single,  // from a position to the end of the text; re-enables the controls at its end
    Range,   // one pass of a loop over a captured range
};

struct ReadingState {
    // The flags of a worker run about to start; the one place that sets them.
    void beginRun() {
        readingByWorker = true;
        stopRequested = false;
        readingActive = true;
    }

    std::atomic<bool> stopRequested{false};
    std::atomic<bool> readingActive{false};
    std::atomic<bool> readingByWorker{false};

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
