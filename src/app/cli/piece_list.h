#pragma once
// The pieces a reading from the top speaks, found without speaking: the same cutting, skipping
// and spoken copy as the reading worker's run over the editor.
#include "app/cli/memory_editor.h"
#include "reading/reading_state.h"
#include "reading/spoken_text.h"

#include <QString>
#include <cstdio>
#include <functional>

namespace sayvell::app::cli {

struct ListedPiece {
    int start = 0;    // CP950 bytes
    int length = 0;
    int pauseMs = 0;  // after the piece: its delimiter's pause
    QString written;
    QString spoken;
};

// Calls `out` for every piece that is spoken, in order.
void listPieces(const MemoryEditor& editor, const reading::DelimiterTable& table,
                const reading::SpokenSettings& settings, const std::function<void(const ListedPiece&)>& out);

// Writes one tab-separated line per piece; tabs, line breaks and backslashes inside the texts
// are written \t, \n and \\ so that every piece stays on one line.
void printPieces(const MemoryEditor& editor, const reading::DelimiterTable& table,
                 const reading::SpokenSettings& settings, std::FILE* out);

}  // namespace sayvell::app::cli
