// A .txt file of any bytes: the encoding is found (or chosen) without fault, and the text
// written back in that encoding reads the same; what cannot come back is flagged.
#include "document/text_file.h"
#include "fuzz_input.h"

using namespace sayvell;

namespace {
QString breaksAsLf(QString s) {
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(u'\r', u'\n');
    s.replace(QChar(0x2029), u'\n');
    return s;
}

// Written back in its own encoding, a text that was read without a flag reads the same.
void writtenBackReadsTheSame(const document::DecodedText& d) {
    QByteArray out;
    if (d.undecodable || !document::encodeText(d.text, d.format, &out)) return;
    const document::DecodedText back = document::decodeTextAs(out, d.format.encoding);
    FUZZ_REQUIRE(!back.undecodable);
    FUZZ_REQUIRE(breaksAsLf(back.text) == breaksAsLf(d.text));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    bool nonAscii = false;
    // Valid UTF-8 is what Qt's own decoder takes without a replacement character.
    if (document::isValidUtf8(bytes, &nonAscii) && !bytes.contains("\xEF\xBF\xBD"))
        FUZZ_REQUIRE(!QString::fromUtf8(bytes).contains(QChar::ReplacementCharacter));
    (void)document::guessEncoding(bytes);
    const document::DecodedText d = document::decodeText(bytes);
    writtenBackReadsTheSame(d);
    // Found without a flag, the same bytes read the same when that encoding is chosen by hand.
    if (!d.undecodable) {
        const document::DecodedText chosen = document::decodeTextAs(bytes, d.format.encoding);
        FUZZ_REQUIRE(chosen.text == d.text && !chosen.undecodable);
    }
    for (const document::Encoding e : document::choosableEncodings())
        writtenBackReadsTheSame(document::decodeTextAs(bytes, e));
    return 0;
}
