// Find and replace over any text: results stay inside the text, edits never overlap, and
// replacing all the way always ends.
#include "document/find_text.h"
#include "fuzz_input.h"

using namespace sayvell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t flags = in.byte();
    document::FindOptions o;
    o.matchCase = flags & 1;
    o.wholeEntry = flags & 2;
    o.fromTop = flags & 4;
    o.upward = flags & 8;
    const QString find = in.text().left(60);
    const QString replacement = (flags & 16) ? in.text().left(60) : QString();
    const text::ByteText t(in.text());
    const int total = t.byteLength();
    const int selStart = in.number(total + 1);
    const int selLength = in.number(total - selStart + 1);
    if (find.isEmpty()) return 0;

    const int down = document::findDownward(t, selStart, find, o.matchCase, o.wholeEntry);
    FUZZ_REQUIRE(down == -1 || (down >= 0 && down + text::byteLength(find) <= total));
    const int up = document::findUpward(t, selStart, find, o.matchCase, o.wholeEntry);
    FUZZ_REQUIRE(up == -1 || (up >= 0 && up + text::byteLength(find) <= total));

    const document::FindResult step = document::findStep(t, selStart, selLength, find, replacement, o);
    const document::FindResult all = document::replaceFollowing(t, selStart, selLength, find, replacement, o);
    for (const auto* r : {&step, &all}) {
        int end = 0, growth = 0;
        for (const document::Edit& e : r->edits) {
            FUZZ_REQUIRE(e.start >= end && e.length >= 0 && e.start + e.length <= total);
            end = e.start + e.length;
            growth += text::byteLength(e.text) - e.length;
        }
        FUZZ_REQUIRE(r->selStart >= 0 && r->selLength >= 0 && r->selStart + r->selLength <= total + growth);
        if (!r->found) FUZZ_REQUIRE(!r->notFoundMessage.isEmpty());
    }
    return 0;
}
