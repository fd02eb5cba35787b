#pragma once
// Stretches of a spoken copy that another voice speaks, written inline so that the copy stays
// one text the preview can show: "歡迎使用[en:LINE Pay]付款". The engine speaks each stretch with
// the voice of its language and the rest with the chosen voice. The pronunciation table may
// use the same form ("7-11" → "[en:seven eleven]").
#include <QString>
#include <QStringView>

#include <vector>

namespace sayvell::reading {

struct SpokenSegment {
    QString language;  // "en"; empty: the chosen voice
    QString text;
};

// text in the English form; what could end the form early is left out.
QString englishSegment(QStringView text);

// The copy cut into its stretches, in order; empty stretches are left out. A "[en:" without
// its "]" is spoken as written.
std::vector<SpokenSegment> splitSegments(QStringView spoken);

// The espeak-ng voice for a stretch of `language` when the chosen voice is `voiceId`: the
// chosen voice's variant ("+f3") is kept.
QString segmentVoice(QStringView language, QStringView voiceId);

}  // namespace sayvell::reading
