#include "ui/reading/preview/preview_pieces.h"

#include "reading/piece_walk.h"

#include <algorithm>

namespace sayvell::ui {

PreviewResult previewPieces(const PreviewRequest& request, int maxPieces, const std::atomic<bool>* cancel) {
    PreviewResult result;
    reading::RunSettings settings;
    settings.delimiters = request.table;
    settings.symbolDelayMs = request.symbolDelayMs;
    settings.dateFormatType = request.dateFormatType;
    settings.now = request.now.isValid() ? request.now : QDateTime::currentDateTime();
    settings.date = request.date;
    settings.language = request.language;
    settings.lexicon = request.lexicon;

    reading::MemoryText text(request.text.text());
    const int start = std::clamp(request.startByte, 0, text.byteLength());
    reading::PieceWalk walk(text, start, reading::WalkMode::FromCaret, std::move(settings));
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            result.capped = true;
            break;
        }
        std::optional<reading::WalkPiece> piece = walk.next();
        if (!piece) break;
        if (!piece->speaks) continue;
        if (int(result.pieces.size()) >= maxPieces) {
            result.capped = true;
            break;
        }
        PreviewPiece p;
        p.byteStart = piece->start;
        p.byteLength = piece->length;
        p.written = std::move(piece->written);
        p.spoken = std::move(piece->spoken);
        p.delayMs = piece->pauseAfterMs;
        if (p.written.contains(QChar(reading::kDelaySymbol))) p.symbolWaitMs = piece->pauseBeforeMs;
        result.pieces.push_back(std::move(p));
    }
    return result;
}

}  // namespace sayvell::ui
