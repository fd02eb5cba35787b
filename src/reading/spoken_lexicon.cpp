#include "reading/spoken_lexicon.h"

#include <algorithm>
#include <functional>

namespace sayvell::reading {

QString languageCode(SpeechLanguage language) {
    switch (language) {
    case SpeechLanguage::Mandarin: return QStringLiteral("cmn");
    case SpeechLanguage::Cantonese: return QStringLiteral("yue");
    case SpeechLanguage::Other: break;
    }
    return {};
}

SpeechLanguage languageOfCode(QStringView code) {
    const QString c = code.trimmed().toString().toLower();
    if (c == u"cmn") return SpeechLanguage::Mandarin;
    if (c == u"yue") return SpeechLanguage::Cantonese;
    return SpeechLanguage::Other;
}

PronunciationLexicon::PronunciationLexicon(const std::vector<PronunciationEntry>& entries) {
    for (const PronunciationEntry& e : entries) {
        if (e.written.isEmpty() || e.spoken.trimmed().isEmpty()) continue;
        Index* index = nullptr;
        switch (languageOfCode(e.language)) {
        case SpeechLanguage::Mandarin: index = &mandarin_; break;
        case SpeechLanguage::Cantonese: index = &cantonese_; break;
        case SpeechLanguage::Other: continue;
        }
        const char16_t first = e.written.at(0).unicode();
        Bucket& bucket = index->buckets[first];
        index->starts[first] = true;
        if (bucket.words.find(QStringView(e.written)) == bucket.words.end()) {
            ++count_;
            if (std::find(bucket.lengths.begin(), bucket.lengths.end(), e.written.size()) == bucket.lengths.end())
                bucket.lengths.push_back(e.written.size());
        }
        bucket.words.insert_or_assign(e.written, e.spoken.trimmed());
    }
    for (Index* index : {&mandarin_, &cantonese_})
        for (Bucket& bucket : index->buckets) std::sort(bucket.lengths.begin(), bucket.lengths.end(), std::greater<>());
}

const PronunciationLexicon::Index* PronunciationLexicon::indexOf(SpeechLanguage language) const {
    switch (language) {
    case SpeechLanguage::Mandarin: return &mandarin_;
    case SpeechLanguage::Cantonese: return &cantonese_;
    case SpeechLanguage::Other: break;
    }
    return nullptr;
}

namespace {

bool asciiAlnum(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

}  // namespace

std::vector<LexiconMatch> PronunciationLexicon::matches(QStringView text, SpeechLanguage language) const {
    std::vector<LexiconMatch> out;
    const Index* index = indexOf(language);
    if (!index || index->buckets.isEmpty()) return out;
    for (qsizetype i = 0; i < text.size();) {
        qsizetype matched = 0;
        // A word of letters or digits is matched whole: "7-11" is not inside 2017-11-05.
        const bool inWord = asciiAlnum(text[i]) && i > 0 && asciiAlnum(text[i - 1]);
        if (index->starts[text[i].unicode()] && !inWord) {
            const auto bucket = index->buckets.constFind(text[i].unicode());
            for (qsizetype length : bucket->lengths) {
                if (length > text.size() - i) continue;
                if (i + length < text.size() && asciiAlnum(text[i + length - 1]) && asciiAlnum(text[i + length]))
                    continue;
                const auto word = bucket->words.find(text.mid(i, length));
                if (word != bucket->words.end()) {
                    out.push_back({i, length, &word->second});
                    matched = length;
                    break;
                }
            }
        }
        i += matched ? matched : 1;
    }
    return out;
}

QString PronunciationLexicon::apply(QStringView text, SpeechLanguage language) const {
    const std::vector<LexiconMatch> found = matches(text, language);
    if (found.empty()) return text.toString();
    QString out;
    qsizetype at = 0;
    for (const LexiconMatch& m : found) {
        out += text.mid(at, m.start - at);
        out += *m.spoken;
        at = m.start + m.length;
    }
    out += text.mid(at);
    return out;
}

}  // namespace sayvell::reading
