// A .txt file of any bytes: decoded, and written back in the format found it reads the same.
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
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    bool nonAscii = false;
    // Valid UTF-8 is what Qt's own decoder takes without a replacement character.
    if (document::isValidUtf8(bytes, &nonAscii) && !bytes.contains("\xEF\xBF\xBD"))
        FUZZ_REQUIRE(!QString::fromUtf8(bytes).contains(QChar::ReplacementCharacter));
    const document::DecodedText d = document::decodeText(bytes);
    QByteArray out;
    if (d.undecodable || !document::encodeText(d.text, d.format, &out)) return 0;
    const document::DecodedText back = document::decodeText(out);
    FUZZ_REQUIRE(breaksAsLf(back.text) == breaksAsLf(d.text));
    return 0;
}
