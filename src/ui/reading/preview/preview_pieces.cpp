#include "ui/reading/preview/preview_pieces.h"

#include "reading/piece_cutter.h"

#include <algorithm>

namespace sayvell::ui {

PreviewResult previewPieces(const PreviewRequest& request, int maxPieces, const std::atomic<bool>* cancel) {
    PreviewResult result;
    reading::SpokenSettings settings;
    settings.language = request.language;
    settings.dateFormatType = request.dateFormatType;
    settings.now = request.now;
    settings.date = request.date ? &request.date : nullptr;
    settings.lexicon = request.lexicon.get();

    const int end = request.text.byteLength();
    int offset = std::clamp(request.startByte, 0, end);
    while (offset < end) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            result.capped = true;
            break;
        }
        const QString window = request.text.window(offset, reading::kReadWindowBytes);
        // As in a reading, a window of blanks is skipped whole.
        if (!reading::hasText(window)) {
            offset += reading::kReadWindowBytes;
            continue;
        }
        const reading::Piece piece = reading::cutSpokenPiece(window, request.table, request.language);
        const int length = text::byteLength(piece.text);
        if (length <= 0) break;
        if (reading::hasText(piece.text)) {
            if (int(result.pieces.size()) >= maxPieces) {
                result.capped = true;
                break;
            }
            PreviewPiece p;
            p.byteStart = offset;
            p.byteLength = length;
            p.written = piece.text;
            p.spoken = reading::spokenCopy(piece.text, settings);
            p.delayMs = piece.delayMs;
            if (piece.text.contains(QChar(reading::kDelaySymbol))) p.symbolWaitMs = request.symbolDelayMs;
            result.pieces.push_back(std::move(p));
        }
        offset += length;
    }
    return result;
}

}  // namespace sayvell::ui
