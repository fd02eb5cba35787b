#pragma once
// The pieces a reading from the top speaks, found without speaking: the reading's own walk.
#include "reading/piece_walk.h"

#include <QString>
#include <cstdio>
#include <functional>

namespace sayvell::app::cli {

struct ListedPiece {
    int start = 0;  // CP950 bytes
    int length = 0;
    int pauseMs = 0;  // after the piece: its delimiter's pause
    QString written;
    QString spoken;
};

// Calls `out` for every piece that is spoken, in order.
void listPieces(reading::MemoryText& text, reading::RunSettings settings,
                const std::function<void(const ListedPiece&)>& out);

// Writes one tab-separated line per piece; tabs, line breaks and backslashes inside the texts
// are written \t, \n and \\ so that every piece stays on one line.
void printPieces(reading::MemoryText& text, reading::RunSettings settings, std::FILE* out);

}  // namespace sayvell::app::cli
