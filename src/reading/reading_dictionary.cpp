#include "reading/reading_dictionary.h"

#include "store/app_paths.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <mutex>

namespace sayvell::reading {
namespace {

constexpr QStringView kAsWritten = u"=";
constexpr QStringView kToneRules = u"~";
constexpr QStringView kCountingNumbers = u"零〇一二三四五六七八九十兩百千萬億";
constexpr QStringView kDigitsAfter = u"零〇一二三四五六七八九十兩";  // 一二三: digits read one by one
constexpr QStringView kDateAfter = u"月號";                          // 一月, 一號

bool isHan(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x3400 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF);
}

// Inline pinyin is read as pinyin only when it stands apart from the characters around it.
void appendApart(QStringView pinyin, QString* out) {
    if (!out->isEmpty() && !out->back().isSpace()) *out += u' ';
    *out += pinyin;
    *out += u' ';
}

int firstTone(QStringView pinyin) {
    for (QChar c : pinyin)
        if (c >= u'1' && c <= u'5') return c.unicode() - u'0';
    return 0;
}

}  // namespace

std::shared_ptr<const ReadingDictionary> ReadingDictionary::fromText(QStringView text) {
    std::shared_ptr<ReadingDictionary> d(new ReadingDictionary);
    std::vector<PronunciationEntry> entries;
    const QString cmn = languageCode(SpeechLanguage::Mandarin);
    for (QStringView line : text.split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(u'#')) continue;
        const qsizetype tab = line.indexOf(u'\t');
        if (tab <= 0) continue;
        const QStringView word = line.left(tab);
        const QStringView reading = line.mid(tab + 1).trimmed();
        if (word.size() == 1 && reading.size() == 1 && reading[0] >= u'1' && reading[0] <= u'5') {
            d->tones_[word[0].unicode()] = std::uint8_t(reading[0].unicode() - u'0');
        } else if (word.size() > 1 && !reading.isEmpty()) {
            entries.push_back({word.toString(), reading.toString(), cmn});
        }
    }
    d->words_ = PronunciationLexicon(entries);
    return d;
}

std::shared_ptr<const ReadingDictionary> ReadingDictionary::load(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = file.errorString();
        return nullptr;
    }
    return fromText(QString::fromUtf8(file.readAll()));
}

namespace {
QString& installedNotice() {
    static QString notice;
    return notice;
}
}  // namespace

QString ReadingDictionary::installedProblem() {
    installed();
    return installedNotice();
}

const ReadingDictionary* ReadingDictionary::installed() {
    static std::once_flag once;
    static std::shared_ptr<const ReadingDictionary> dictionary;
    std::call_once(once, [] {
        QString path = store::executableDir() + u'/' + QLatin1String(kFileName);
        if (!QFileInfo(path).isFile()) path = store::deliveredFile(QLatin1String(kFileName));
        QString why = QStringLiteral("找不到");
        if (!path.isEmpty()) dictionary = load(path, &why);
        if (!dictionary) {
            installedNotice() = QStringLiteral("詞語讀音資料 %1 無法讀取（%2），多音字只按讀音表朗讀。")
                                    .arg(QLatin1String(kFileName), why);
            std::fprintf(stderr, "%s\n", installedNotice().toLocal8Bit().constData());
        }
    });
    return dictionary.get();
}

int ReadingDictionary::toneAt(QStringView text, qsizetype k, const std::vector<LexiconMatch>& found, size_t next,
                              int toneAfter) const {
    if (k >= text.size()) return toneAfter;
    if (next < found.size() && found[next].start == k) {
        const QString& spoken = *found[next].spoken;
        if (spoken != kAsWritten && spoken != kToneRules) return firstTone(spoken);
    }
    return toneOf(text[k]);
}

// The reading speech gives 一 or 不 at k before a character of nextTone, or null for the
// voice's own (一 first tone, 不 fourth). `end` is where the word around it ends; `more`: a
// word follows the text there.
const char16_t* ReadingDictionary::sandhi(QStringView text, qsizetype k, qsizetype end, int nextTone, bool more) const {
    const QChar c = text[k];
    const QChar next = k + 1 < end ? text[k + 1] : QChar();
    if (next.isNull() ? !more : !isHan(next)) return nullptr;  // alone, or at the end of a word
    if (c == u'不') return nextTone == 4 ? u"bu2" : nullptr;
    const QChar prev = k > 0 ? text[k - 1] : QChar();
    if (prev == u'第' || (!prev.isNull() && kCountingNumbers.contains(prev))) return nullptr;  // 第一, 十一
    if (!next.isNull() && (kDigitsAfter.contains(next) || kDateAfter.contains(next))) return nullptr;
    if (nextTone == 4) return u"yi2";
    if (nextTone >= 1 && nextTone <= 3) return u"yi4";
    return nullptr;
}

void ReadingDictionary::read(QStringView text, QString* out, int toneAfter) const {
    const std::vector<LexiconMatch> found = words_.matches(text, SpeechLanguage::Mandarin);
    const auto oneChar = [&](qsizetype k, qsizetype end, size_t next) {
        const QChar c = text[k];
        const char16_t* tone = nullptr;
        const bool last = end == text.size();  // not inside a word of the dictionary
        if (c == u'一' || c == u'不')
            tone = sandhi(text, k, end, toneAt(text.left(end), k + 1, found, next, last ? toneAfter : 0),
                          last && toneAfter > 0);
        if (tone)
            appendApart(QStringView(tone), out);
        else
            *out += c;
    };
    size_t m = 0;
    for (qsizetype i = 0; i < text.size();) {
        // 零一個 of 一百零一個: the 一 ends a number, whatever word it could begin
        if (m < found.size() && found[m].start == i && text[i] == u'一' && i > 0 &&
            (text[i - 1] == u'第' || kCountingNumbers.contains(text[i - 1]))) {
            ++m;
            *out += text[i++];
            continue;
        }
        if (m < found.size() && found[m].start == i) {
            const LexiconMatch& match = found[m++];
            const QString& spoken = *match.spoken;
            if (spoken == kAsWritten) {
                *out += text.mid(i, match.length);
            } else if (spoken == kToneRules) {
                for (qsizetype k = i; k < i + match.length; ++k) oneChar(k, i + match.length, found.size());
            } else {
                appendApart(spoken, out);
            }
            i += match.length;
            continue;
        }
        oneChar(i, text.size(), m);
        ++i;
    }
}

}  // namespace sayvell::reading
