// Big5 bytes of any kind, and the byte model over the text they decode to: offsets go both
// ways, windows stay in bounds, an edit mirrors a rebuild.
#include "fuzz_input.h"
#include "text/big5.h"
#include "text/byte_text.h"

using namespace sayvell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const int cut = in.number(1000);
    const int removed = in.number(50);
    const QByteArray bytes = in.rest();
    QString t = text::fromBig5(bytes);
    bool lossless = true;
    const QByteArray again = text::toBig5(t, &lossless);
    if (lossless) FUZZ_REQUIRE(text::fromBig5(again) == t);
    FUZZ_REQUIRE(text::fitsBig5(t) == lossless);

    // The model counts line breaks '\n' or U+2029; raw CRs are counted by their own rule.
    text::ByteText model(t);
    const int total = model.byteLength();
    FUZZ_REQUIRE(total == text::byteLength(t));
    for (qsizetype pos = 0; pos <= t.size(); pos += text::charUnitsAt(t, pos) > 0 ? text::charUnitsAt(t, pos) : 1) {
        const int b = model.byteOfPos(pos);
        FUZZ_REQUIRE(b >= 0 && b <= total);
        // A "\r" before "\n" takes no byte of its own: it shares its offset with the break,
        // and the offset leads back to it.
        const qsizetype back = model.posOfByte(b);
        FUZZ_REQUIRE(back <= pos && model.byteOfPos(back) == b);
        for (qsizetype i = back; i < pos; ++i) FUZZ_REQUIRE(t[i] == u'\r');
        if (pos == t.size()) break;
    }
    const QString w = model.window(cut % (total + 1), 500);
    FUZZ_REQUIRE(text::byteLength(w) <= 500);

    // An edit mirrored into the model gives what a fresh model of the edited text gives.
    const qsizetype at = t.isEmpty() ? 0 : cut % (t.size() + 1);
    const qsizetype gone = std::min<qsizetype>(removed, t.size() - at);
    const QString added = t.mid(0, removed % 7);
    model.replace(at, gone, added);
    QString edited = t;
    edited.replace(at, gone, added);
    const text::ByteText fresh(edited);
    FUZZ_REQUIRE(model.text() == edited);
    FUZZ_REQUIRE(model.byteLength() == fresh.byteLength());
    const int probe = total ? cut % (fresh.byteLength() + 1) : 0;
    FUZZ_REQUIRE(model.posOfByte(probe) == fresh.posOfByte(probe));
    return 0;
}
