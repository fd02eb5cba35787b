#include "reading/spoken_segments.h"

namespace sayvell::reading {
namespace {

constexpr QStringView kOpen = u"[en:";
constexpr QChar kClose = u']';

}  // namespace

QString englishSegment(QStringView text) {
    QString inner = text.toString();
    inner.remove(kClose);
    return kOpen.toString() + inner + kClose;
}

std::vector<SpokenSegment> splitSegments(QStringView spoken) {
    std::vector<SpokenSegment> out;
    const auto add = [&](const QString& language, QStringView text) {
        if (text.trimmed().isEmpty()) return;
        if (!out.empty() && out.back().language == language)
            out.back().text += (language.isEmpty() ? QString() : QStringLiteral(" ")) + text.toString();
        else
            out.push_back({language, text.toString()});
    };
    qsizetype at = 0;
    for (;;) {
        const qsizetype open = spoken.indexOf(kOpen, at);
        const qsizetype close = open < 0 ? -1 : spoken.indexOf(kClose, open + kOpen.size());
        if (close < 0) {
            add(QString(), spoken.mid(at));
            return out;
        }
        add(QString(), spoken.mid(at, open - at));
        add(QStringLiteral("en"), spoken.mid(open + kOpen.size(), close - open - kOpen.size()));
        at = close + 1;
    }
}

QString segmentVoice(QStringView language, QStringView voiceId) {
    if (language.isEmpty()) return voiceId.toString();
    const qsizetype plus = voiceId.indexOf(u'+');
    const QString base = language == u"en" ? QStringLiteral("en-us") : language.toString();
    return plus < 0 ? base : base + voiceId.mid(plus).toString();
}

}  // namespace sayvell::reading
