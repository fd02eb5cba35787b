#include "cli/piece_list.h"

#include "text/byte_text.h"

#include <charconv>

namespace sayvell::app::cli {
namespace {

void appendNumber(int value, QString* out) {
    char digits[16];
    const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value);
    out->append(QLatin1String(digits, r.ptr - digits));
}

// Runs without an escape go in whole.
void appendEscaped(QStringView s, QString* out) {
    qsizetype from = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        const char* escape = nullptr;
        if (c == u'\\')
            escape = "\\\\";
        else if (c == u'\t')
            escape = "\\t";
        else if (c == u'\n' || c == text::kParagraphSeparator)
            escape = "\\n";
        else if (c == u'\r')
            escape = "\\r";
        if (!escape) continue;
        out->append(s.mid(from, i - from));
        out->append(QLatin1String(escape));
        from = i + 1;
    }
    out->append(s.mid(from));
}

}  // namespace

void listPieces(reading::MemoryText& text, reading::RunSettings settings,
                const std::function<void(const ListedPiece&)>& out) {
    reading::PieceWalk walk(text, 0, reading::WalkMode::FromCaret, std::move(settings));
    while (std::optional<reading::WalkPiece> piece = walk.next()) {
        if (!piece->speaks) continue;
        ListedPiece listed;
        listed.start = piece->start;
        listed.length = piece->length;
        listed.pauseMs = piece->pauseAfterMs;
        listed.written = std::move(piece->written);
        listed.spoken = std::move(piece->spoken);
        out(listed);
    }
}

void printPieces(reading::MemoryText& text, reading::RunSettings settings, std::FILE* out) {
    // Lines gather as UTF-16 and go out converted a block at a time: one conversion and one
    // write per block, not per piece. A block ends after a line break, never inside a character.
    constexpr qsizetype kBlockUnits = 1 << 19;
    QString lines;
    lines.reserve(kBlockUnits + 4096);
    const auto flush = [&] {
        const QByteArray bytes = lines.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out);
        lines.resize(0);  // keeps its room
    };
    listPieces(text, std::move(settings), [&](const ListedPiece& piece) {
        appendNumber(piece.start, &lines);
        lines.append(u'\t');
        appendNumber(piece.length, &lines);
        lines.append(u'\t');
        appendNumber(piece.pauseMs, &lines);
        lines.append(u'\t');
        appendEscaped(piece.written, &lines);
        lines.append(u'\t');
        appendEscaped(piece.spoken, &lines);
        lines.append(u'\n');
        if (lines.size() >= kBlockUnits) flush();
    });
    flush();
}

}  // namespace sayvell::app::cli
