// Any pattern and any piece with the date token, in the program's locale.
#include "fuzz_input.h"
#include "reading/date_format.h"

using namespace sayvell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const reading::DateFormatter formatter(QLocale(QLocale::Chinese, QLocale::Taiwan));
    fuzz::Input in(data, size);
    const int type = in.number(12) - 2;
    const QDateTime at(QDate(1990 + in.number(80), 1 + in.number(12), 1 + in.number(28)),
                       QTime(in.number(24), in.number(60), in.number(60), in.number(1000)));
    const QString pattern = in.text().left(400);
    const QString piece = in.text().left(400);
    (void)formatter.format(pattern, at);
    const QString typed = formatter.formatType(type, at);
    FUZZ_REQUIRE(typed.isEmpty() == (type < 1 || type > reading::kDateFormatTypes));
    const QString spoken = formatter.substitute(piece, type, at);
    if (!piece.contains(reading::kDateToken)) FUZZ_REQUIRE(spoken == piece);
    return 0;
}
