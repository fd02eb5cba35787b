#include "reading/espeak_engine_p.h"

#include <algorithm>

namespace sayvell::reading {

using detail::espeakGlobal;

QList<Voice> EspeakEngine::Impl::listVoices() {
    struct Entry {
        QString id;    // file name of the voice, what espeak_SetVoiceByName takes
        QString name;  // espeak's own name
        QString language;
    };
    std::vector<Entry> all;
    bool female = false;
    {
        EspeakGlobal& g = espeakGlobal();
        std::lock_guard lock(g.m);
        if (!g.ready) return {};
        // The list points into espeak's storage, which the next listing replaces: copy first.
        if (const espeak_VOICE** list = espeak_ListVoices(nullptr)) {
            for (; *list; ++list) {
                const espeak_VOICE* v = *list;
                if (!v->identifier || !v->name || !v->languages) continue;
                const QString identifier = QString::fromUtf8(v->identifier);
                const QString language = QString::fromUtf8(v->languages + 1);  // after the priority byte
                if (identifier.startsWith(QLatin1String("mb/")) || identifier.contains(QLatin1String("!v")) ||
                    language == QLatin1String("variant"))
                    continue;
                all.push_back(
                    {identifier.section(QLatin1Char('/'), -1), QString::fromUtf8(v->name).trimmed(), language});
            }
        }
        espeak_VOICE variants{};
        variants.languages = "variant";
        if (const espeak_VOICE** list = espeak_ListVoices(&variants))
            for (; *list; ++list)
                if ((*list)->identifier && QString::fromUtf8((*list)->identifier).endsWith(QLatin1String("!v/f3")))
                    female = true;
    }

    const QString mandarin = QStringLiteral("cmn-latn-pinyin");
    const QString cantonese = QStringLiteral("yue");
    auto installed = [&](const QString& voice) {
        return std::any_of(all.begin(), all.end(), [&](const Entry& e) { return e.id.toLower() == voice; });
    };
    QList<Voice> out;
    auto addChinese = [&](const QString& voice, const QString& male, const QString& woman) {
        if (!installed(voice)) return;
        out.append({voice, male});
        if (female) out.append({voice + QLatin1String("+f3"), woman});
    };
    addChinese(mandarin, QStringLiteral("普通話（男聲）"), QStringLiteral("普通話（女聲）"));
    addChinese(cantonese, QStringLiteral("粵語（男聲）"), QStringLiteral("粵語（女聲）"));

    auto listed = [&](const Entry& e) { return e.id.toLower() == mandarin || e.id.toLower() == cantonese; };
    auto english = [](const Entry& e) {
        return e.language == QLatin1String("en") || e.language.startsWith(QLatin1String("en-"));
    };
    for (const Entry& e : all)
        if (!listed(e) && english(e)) out.append({e.id, QStringLiteral("%1 [%2]").arg(e.name, e.id)});
    for (const Entry& e : all)
        if (!listed(e) && !english(e)) out.append({e.id, QStringLiteral("%1 [%2]").arg(e.name, e.id)});
    return out;
}

}  // namespace sayvell::reading
