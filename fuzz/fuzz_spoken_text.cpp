// The spoken copy of any piece for the Chinese voices, and the pronunciation table's CSV
// import: never a crash or a hang, and a piece without digits or tokens passes unchanged; Latin
// letters, English stretches and the dictionary's tone rules included.
#include "fuzz_input.h"
#include "reading/spoken_segments.h"
#include "reading/spoken_text.h"
#include "store/pronunciation_table.h"
#include "store/tdm.h"

#include <vector>

using namespace sayvell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t which = in.byte();
    if (which & 1) {
        (void)store::parseCsv(in.rest());
        return 0;
    }
    const reading::SpeechLanguage language =
        (which & 2) ? reading::SpeechLanguage::Cantonese : reading::SpeechLanguage::Mandarin;
    const QString piece = in.text().left(500);
    (void)reading::speakNumbers(piece, language);
    // A small dictionary with every kind of line, so that each input reaches its rules.
    static const auto dictionary = reading::ReadingDictionary::fromText(
        u"一\t1\n個\t4\n千\t1\n不\t4\n是\t4\n銀行\tyin2 hang2\n一一\t=\n一定\t~\n不是\tbu2 shi4\n");
    reading::SpokenSettings settings;
    settings.language = language;
    settings.now = QDateTime(QDate(2026, 12, 9), QTime(15, 30));
    settings.dictionary = dictionary.get();
    const QString copy = reading::spokenCopy(piece, settings);
    // The English stretches of any copy split back into text
    for (const reading::SpokenSegment& segment : reading::splitSegments(copy)) FUZZ_REQUIRE(!segment.text.isEmpty());
    static const auto table = reading::DelimiterTable::fromMarks(std::vector<store::DelayMark>{
        {QStringLiteral("，"), 100}, {QStringLiteral(","), 100}, {QStringLiteral("。"), 300}});
    const reading::Piece cut = reading::cutSpokenPiece(piece, table, language);
    FUZZ_REQUIRE(piece.startsWith(cut.text));
    if (!piece.isEmpty()) FUZZ_REQUIRE(!cut.text.isEmpty());
    return 0;
}
