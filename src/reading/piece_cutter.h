#pragma once
#include "reading/reading_state.h"

#include <QString>
#include <QStringView>

namespace sayvell::reading {

constexpr int kReadWindowBytes = 500;

struct Piece {
    QString text;     // up to and including the delimiter; the whole window when there is none
    int delayMs = 0;  // the delimiter's pause; 0 without a delimiter
};

// Cuts the next piece from a read window at its first delimiter character.
Piece cutPiece(QStringView window, const DelimiterTable& table);

// True when s holds something other than white space.
bool hasText(QStringView s);

// The delay symbol: a piece holding it waits before it is spoken, and it is never spoken.
constexpr char16_t kDelaySymbol = u'※';

}  // namespace sayvell::reading
