// Latin letters inside a Chinese piece: acronyms and codes spelled, English words handed to the
// English voice, and the Chinese around them read with the numbers and the dictionary.
#include "reading/spoken_data_p.h"
#include "reading/spoken_segments.h"

namespace sayvell::reading::detail {
namespace {

bool isUpper(char16_t c) { return c >= u'A' && c <= u'Z'; }
bool isLower(char16_t c) { return c >= u'a' && c <= u'z'; }
bool isLetter(char16_t c) { return isUpper(c) || isLower(c); }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool isAlnum(char16_t c) { return isLetter(c) || isDigit(c); }
bool isVowel(char16_t c) { return QStringView(u"AEIOUaeiou").contains(QChar(c)); }

// Capitals that a listener hears letter by letter: short ones, and those no one could say as
// a word (HTML, NCCU).
bool spelled(QStringView letters) {
    for (QChar c : letters)
        if (!isUpper(c.unicode())) return false;
    if (letters.size() <= 3) return true;
    int consonants = 0;
    bool vowel = false;
    for (QChar c : letters) {
        consonants = isVowel(c.unicode()) ? 0 : consonants + 1;
        vowel = vowel || consonants == 0;
        if (consonants >= 3) return true;
    }
    return !vowel;
}

// Letters by their names, digits as Chinese digits: B1 → "B 一", VIP → "V I P".
QString spell(QStringView token, const NumberWords& w) {
    QString out;
    char16_t before = 0;
    for (QChar c : token) {
        const char16_t u = c.unicode();
        if (u == u'-') continue;
        if (!out.isEmpty()) out += isLetter(u) && isLetter(before) ? w.letterJoiner : QStringLiteral(" ");
        out += isDigit(u) ? w.digits[size_t(u - u'0')] : QString(c);
        before = u;
    }
    return out;
}

struct Token {
    qsizetype start = 0;
    qsizetype end = 0;
    bool letters = false;  // holds a letter
    bool digits = false;
};

// Letters and digits joined, with a '-' or '\'' between two of them: Wi-Fi, H1N1, COVID-19.
Token tokenAt(QStringView f, qsizetype i) {
    Token t{i, i};
    while (t.end < f.size()) {
        const char16_t c = f[t.end].unicode();
        if (isAlnum(c)) {
            t.letters = t.letters || isLetter(c);
            t.digits = t.digits || isDigit(c);
            ++t.end;
        } else if ((c == u'-' || c == u'\'') && t.end + 1 < f.size() && isAlnum(f[t.end + 1].unicode()) &&
                   t.end > t.start) {
            ++t.end;
        } else {
            break;
        }
    }
    return t;
}

// A word the English voice should say: letters with a capital or two at most (LINE, iPhone,
// Wi-Fi), and a number joined by '-' to such a name (COVID-19); not a code with digits inside.
bool englishWord(QStringView word) {
    QStringView head = word;
    const qsizetype dash = word.lastIndexOf(u'-');
    if (dash > 0) {
        bool number = dash + 1 < word.size();
        for (QChar c : word.mid(dash + 1)) number = number && isDigit(c.unicode());
        if (number) head = word.left(dash);
    }
    QString letters;
    for (QChar c : head) {
        if (isDigit(c.unicode())) return false;
        if (isLetter(c.unicode())) letters += c;
    }
    return letters.size() >= 2 && !spelled(letters);
}

class LatinReader {
public:
    LatinReader(QStringView text, const NumberWords& w, const ReadingDictionary* dictionary, QString* out,
                int toneAfter)
        : text_(text), w_(w), dictionary_(dictionary), out_(out), toneAfter_(toneAfter) {
        folded_ = text.toString();
        for (QChar& c : folded_) c = QChar(foldWidth(c));
    }

    void run() {
        QString plain;  // Chinese and numbers, read together so that a number sees its context
        const auto flush = [&](int toneAfter) {
            if (!out_->isEmpty() && out_->back() == u' ')
                while (plain.startsWith(u' ')) plain.remove(0, 1);
            if (!plain.isEmpty()) appendChinese(plain, &w_, dictionary_, out_, toneAfter);
            plain.clear();
        };
        qsizetype i = 0;
        while (i < folded_.size()) {
            const char16_t c = folded_[i].unicode();
            const bool wordStart = isAlnum(c) && (i == 0 || !isAlnum(folded_[i - 1].unicode()));
            if (!wordStart) {
                // "#25": the Chinese voices would say "hash"
                if (!(c == u'#' && i + 1 < folded_.size() && isDigit(folded_[i + 1].unicode()))) plain += text_[i];
                ++i;
                continue;
            }
            const Token t = tokenAt(folded_, i);
            if (const QString* code = codeWord(t)) {
                plain += *code;  // Tel 0912…: 電話, and the number is read as a phone number
                i = t.end;
                while (!isDigit(folded_[i].unicode())) ++i;
            } else if (!t.letters || leftToNumbers(t) || dateToken(t)) {
                plain += text_.mid(t.start, t.end - t.start);
                i = t.end;
            } else if (englishWord(word(t))) {
                flush(0);
                apart(englishSegment(englishRun(t, &i)));
            } else {
                flush(0);
                apart(spell(word(t), w_));
                i = t.end;
            }
        }
        flush(toneAfter_);
    }

private:
    QStringView word(const Token& t) const { return QStringView(folded_).mid(t.start, t.end - t.start); }

    // Tel, Fax, No before a number: the Chinese word, so that the number is read as a code.
    const QString* codeWord(const Token& t) const {
        qsizetype k = t.end;
        while (k < folded_.size() && QStringView(u" .:#").contains(folded_[k])) ++k;
        if (k >= folded_.size() || !isDigit(folded_[k].unicode())) return nullptr;
        for (const WordPair& code : w_.letterCodeWords)
            if (word(t) == code.written) return &code.spoken;
        return nullptr;
    }

    // "%Date%" with no format to fill it in is spoken as written.
    bool dateToken(const Token& t) const {
        return t.start > 0 && folded_[t.start - 1] == u'%' && t.end < folded_.size() && folded_[t.end] == u'%';
    }

    bool leftToNumbers(const Token& t) const {
        const QStringView wd = word(t);
        if (t.end < folded_.size() && folded_[t.end] == u'$') return true;  // NT$
        if (!isDigit(wd.front().unicode())) return false;
        qsizetype k = 0;
        while (k < wd.size() && isDigit(wd[k].unicode())) ++k;
        const QStringView rest = wd.mid(k);
        for (const WordPair& unit : w_.units)
            if (rest == unit.written) return true;  // 5kg
        return false;
    }

    // English words in a row, with a short number after them that belongs to the name
    // (iPhone 15, Windows 11), but not one counting what follows (iPhone 15支).
    QString englishRun(const Token& first, qsizetype* end) const {
        Token last = first;
        for (;;) {
            qsizetype k = last.end;
            if (k + 1 >= folded_.size() || folded_[k] != u' ') break;
            const Token next = tokenAt(folded_, k + 1);
            if (next.end == next.start) break;
            const QStringView wd = word(next);
            const bool number = !next.letters && wd.size() <= 3 && !counts(next.end);
            if (!number && !(next.letters && englishWord(wd))) break;
            last = next;
            if (number) break;
        }
        *end = last.end;
        return folded_.mid(first.start, last.end - first.start);
    }

    // A measure word or a unit after a number: 15支 counts phones, it names none.
    bool counts(qsizetype k) const {
        const QStringView rest = QStringView(folded_).mid(k);
        for (const QString& m : w_.measureWords)
            if (rest.startsWith(m)) return true;
        for (const WordPair& unit : w_.units)
            if (rest.startsWith(unit.written)) return true;
        return false;
    }

    void apart(const QString& spoken) {
        if (!out_->isEmpty() && !out_->back().isSpace()) *out_ += u' ';
        *out_ += spoken;
        *out_ += u' ';
    }

    QStringView text_;
    QString folded_;
    const NumberWords& w_;
    const ReadingDictionary* dictionary_;
    QString* out_;
    int toneAfter_;
};

}  // namespace

void appendSpokenGap(QStringView text, const NumberWords* words, const ReadingDictionary* dictionary, QString* out,
                     int toneAfter) {
    if (!words) {
        *out += text;
        return;
    }
    LatinReader(text, *words, dictionary, out, toneAfter).run();
}

}  // namespace sayvell::reading::detail
