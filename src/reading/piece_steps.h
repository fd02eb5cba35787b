#pragma once
// Where Next and Previous of the desktop's media controls take the reading: by pieces while a
// reading runs, by paragraphs otherwise. Offsets are CP950 bytes (text/byte_text.h).
#include "reading/reading_state.h"
#include "reading/spoken_lexicon.h"

namespace sayvell::text {
class ByteText;
}

namespace sayvell::reading {

// The end of the piece a reading would cut at offset, which is where the next piece starts.
int pieceEnd(const text::ByteText& text, int offset, const DelimiterTable& table, SpeechLanguage language);

// The start of the piece before offset, cut as a reading from the paragraph's start (or from a
// few windows back, in a paragraph of a novel's length) would cut it; 0 at the top.
int previousPieceStart(const text::ByteText& text, int offset, const DelimiterTable& table, SpeechLanguage language);

// The start of the paragraph after the one holding offset; -1 when that one is the last.
int nextParagraphStart(const text::ByteText& text, int offset);

// The start of the paragraph holding offset, or of the one before when offset is already at
// its start; 0 at the top.
int previousParagraphStart(const text::ByteText& text, int offset);

}  // namespace sayvell::reading
