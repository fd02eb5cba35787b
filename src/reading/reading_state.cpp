#include "reading/reading_state.h"

namespace sayvell::reading {

int DelimiterTable::delayOf(QStringView c) const {
    if (c.isEmpty()) return -1;
    for (qsizetype row = 0; row < marks.size() && row < kMaxDelimiterRows; ++row) {
        // Whole characters only: a one-byte character never matches half of a two-byte mark.
        if (marks[row].contains(c)) return delays[static_cast<size_t>(row)];
    }
    return -1;
}

QString ReadingState::rangeText() const {
    std::lock_guard lock(mutex_);
    return rangeText_;
}

void ReadingState::setRangeText(const QString& text) {
    std::lock_guard lock(mutex_);
    rangeText_ = text;
}

DelimiterTable ReadingState::delimiterTable() const {
    std::lock_guard lock(mutex_);
    return delimiterTable_;
}

void ReadingState::setDelimiterTable(DelimiterTable table) {
    std::lock_guard lock(mutex_);
    delimiterTable_ = std::move(table);
}

QDateTime ReadingState::lastRunEndTime() const {
    std::lock_guard lock(mutex_);
    return lastRunEndTime_;
}

void ReadingState::setLastRunEndTime(const QDateTime& t) {
    std::lock_guard lock(mutex_);
    lastRunEndTime_ = t;
}

}  // namespace sayvell::reading
