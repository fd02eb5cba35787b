#pragma once
// The find panel's search, as a pure function over the editor's text in the byte model
// (text/byte_text.h): positions and lengths are CP950 bytes.
//
// The text is searched in windows of 250 bytes stepping 225 from the caret, each with two
// filler blanks on either side. An occurrence is found only when one window holds it whole,
// so a search text of up to 26 bytes is always found and a longer one can be missed where
// it crosses the joint of two windows. With "whole entry" an occurrence must stand between
// blanks or line breaks (a blank or line break before it, a blank or line break after it),
// and a window's filler counts as a blank there.
//
// Decisions the window scheme leaves open:
//  - Matching is by whole characters: half of a double-byte character never matches, so an
//    ASCII search text cannot hit the second byte of a Big5 character.
//  - The filler blanks are not text: a search text that begins or ends with a blank matches
//    only blanks of the text. Without this, such a search would select the byte before or
//    after a window's edge instead of the occurrence.
//  - After replacing upward, the search continues from the start of the inserted text, so a
//    replacement that contains the search text is not found again (and replacing all the
//    way up ends). Downward it continues after the inserted text, as every step does.
#include "text/byte_text.h"

#include <QString>
#include <vector>

namespace sayvell::document {

inline constexpr int kWindowBytes = 250;
inline constexpr int kWindowStep = 225;

struct FindOptions {
    bool matchCase = false;   // "區分大小寫"
    bool wholeEntry = false;  // "全部"
    bool fromTop = false;     // "從頂部開始": the caret goes to the top first
    bool upward = false;      // "向上查找"
};

// A to Z become a to z; nothing else changes, so byte positions stay put.
QString foldCase(const QString& s);

// Start byte of the occurrence found searching down from byte `from`, -1 if none.
int findDownward(const text::ByteText& text, int from, const QString& find, bool matchCase, bool wholeEntry);
// Start byte of the occurrence found searching up from byte `from` (the nearest one that ends
// at or before it), -1 if none.
int findUpward(const text::ByteText& text, int from, const QString& find, bool matchCase, bool wholeEntry);

// One replacement, in bytes of the text before any of the result's edits.
struct Edit {
    int start = 0;
    int length = 0;
    QString text;
};

struct FindResult {
    std::vector<Edit> edits;  // in text order, never overlapping
    // The selection afterwards, in bytes of the text after the edits.
    int selStart = 0;
    int selLength = 0;
    bool found = false;
    QString notFoundMessage;  // set when !found: "\"F\" 沒有找到。" (down) / "\"F\"沒有找到。" (up)
};

// One step of Find (replacement empty) or Find and replace, from the selection
// [selStart, selStart + selLength). The selection is replaced first when it is an occurrence
// (case ignored) and the replacement is not empty.
FindResult findStep(const text::ByteText& text, int selStart, int selLength, const QString& find,
                    const QString& replacement, FindOptions options);

// Replace following: steps until one finds nothing. With an empty replacement it only walks
// through the occurrences. fromTop acts on the first step only.
FindResult replaceFollowing(const text::ByteText& text, int selStart, int selLength, const QString& find,
                            const QString& replacement, FindOptions options);

}  // namespace sayvell::document
