#pragma once
// The pieces a reading would speak, from the reading's own walk (reading/piece_walk.h). Holds
// no widgets and touches nothing shared, so it runs on a thread of its own.
#include "reading/reading_state.h"
#include "reading/spoken_lexicon.h"
#include "reading/spoken_text.h"
#include "text/byte_text.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

namespace sayvell::ui {

struct PreviewPiece {
    int byteStart = 0;  // in the byte model, where the reading selects it
    int byteLength = 0;
    QString written;
    QString spoken;
    int delayMs = 0;        // the pause after it
    int symbolWaitMs = -1;  // the wait before it for the delay symbol; -1 without one
};

// Everything the pieces depend on, copied so the text may change while they are worked out.
struct PreviewRequest {
    text::ByteText text;
    int startByte = 0;
    reading::DelimiterTable table;
    reading::SpeechLanguage language = reading::SpeechLanguage::Other;
    int dateFormatType = 1;
    QDateTime now;
    reading::DateSubstitution date;  // empty: the date token stays
    std::shared_ptr<const reading::PronunciationLexicon> lexicon;
    int symbolDelayMs = 0;
};

struct PreviewResult {
    std::vector<PreviewPiece> pieces;
    bool capped = false;  // stopped at the row limit before the end of the text
};

// Up to maxPieces pieces from the request's start; stops early (capped) when cancel is set.
PreviewResult previewPieces(const PreviewRequest& request, int maxPieces, const std::atomic<bool>* cancel = nullptr);

}  // namespace sayvell::ui
