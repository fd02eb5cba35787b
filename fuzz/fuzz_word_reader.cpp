// .docx and .odt files of any content: read or refused, never a crash or a hang.
#include "document/word_convert.h"
#include "fuzz_input.h"

using namespace sayvell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString text, error;
    if (!document::docxToText(bytes, &text, &error)) FUZZ_REQUIRE(!error.isEmpty());
    text.clear();
    error.clear();
    if (!document::odtToText(bytes, &text, &error)) FUZZ_REQUIRE(!error.isEmpty());
    return 0;
}
