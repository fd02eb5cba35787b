#include "reading/spoken_text.h"

#include "reading/spoken_data_p.h"

#include <QDate>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace sayvell::reading {
namespace detail {

char16_t foldWidth(QChar c) {
    const char16_t u = c.unicode();
    if (u == 0xFF0C) return u;  // "302，007" is two numbers: a Chinese comma never groups digits
    if (u >= 0xFF01 && u <= 0xFF5E) return char16_t(u - 0xFEE0);
    if (u == 0x2212) return u'-';
    if (u == 0x301C) return u'~';
    return u;
}

}  // namespace detail

namespace {

using detail::NumberWords;
using detail::WordPair;
using detail::wordsFor;

char16_t fold(QChar c) { return detail::foldWidth(c); }

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool isLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool isAlnum(char16_t c) { return isDigit(c) || isLetter(c) || c == u'_'; }

// Digits 0..n of a number as words, four at a time: 一萬零五, 一百一十, 十二.
QString integerWords(QStringView digits, const NumberWords& w, bool liangForTwo) {
    qsizetype first = 0;
    while (first + 1 < digits.size() && digits[first] == u'0') ++first;
    digits = digits.mid(first);
    if (digits == u"0") return w.digits[0];
    if (digits == u"2" && liangForTwo) return w.liang;
    const QString* units[4] = {&w.thousand, &w.hundred, &w.ten, nullptr};
    QString out;
    bool started = false;
    bool pendingZero = false;
    const qsizetype groupCount = (digits.size() + 3) / 4;
    for (qsizetype g = groupCount - 1; g >= 0; --g) {
        const qsizetype end = digits.size() - g * 4;
        const qsizetype begin = std::max<qsizetype>(0, end - 4);
        const QStringView group = digits.mid(begin, end - begin);
        // The group's digits in the 千 百 十 個 places.
        std::array<int, 4> d{};
        for (qsizetype k = 0; k < group.size(); ++k) d[size_t(4 - group.size() + k)] = group[k].unicode() - u'0';
        const bool empty = d == std::array<int, 4>{};
        if (empty) {
            if (started) pendingZero = true;
            continue;
        }
        const bool justTwo = d == std::array<int, 4>{0, 0, 0, 2};
        for (int pos = 0; pos < 4; ++pos) {
            const int v = d[size_t(pos)];
            if (v == 0) {
                if (started) pendingZero = true;
                continue;
            }
            if (pendingZero) out += w.digits[0];
            pendingZero = false;
            if (pos == 2 && v == 1 && !started) {
                out += w.ten;  // 十二, not 一十二, at the head of the number
            } else {
                const bool liang = v == 2 && ((pos < 2 && (w.liangInside || !started)) ||
                                              (pos == 3 && justTwo && g > 0 && (w.liangInside || !started)));
                out += liang ? w.liang : w.digits[size_t(v)];
                if (units[pos]) out += *units[pos];
            }
            started = true;
        }
        out += w.groups[size_t(std::min<qsizetype>(g, 4))];
    }
    return out;
}

QString digitByDigit(QStringView digits, const NumberWords& w) {
    QString out;
    out.reserve(digits.size());
    for (QChar c : digits)
        if (isDigit(c.unicode())) out += w.digits[size_t(c.unicode() - u'0')];
    return out;
}

// Stretches of the output whose reading is settled (digits one by one, dates, times): the
// tone rules of 一 must not touch them.
using Ranges = std::vector<std::pair<qsizetype, qsizetype>>;

// One pass over a text, appending the spoken form to out.
class NumberReader {
public:
    NumberReader(QStringView text, const NumberWords& words, QString& out, Ranges* fixed = nullptr)
        : src_(text), w_(words), out_(out), fixed_(fixed) {
        folded_.resize(text.size());
        for (qsizetype k = 0; k < text.size(); ++k) folded_[k] = QChar(fold(text[k]));
        f_ = folded_;
        if (out_.isEmpty()) out_.reserve(text.size() * 2);
    }

    void run() {
        const qsizetype n = f_.size();
        qsizetype copied = 0;  // text before i_ not yet in out_ goes there as written
        const auto flush = [&] {
            out_ += src_.mid(copied, i_ - copied);
            copied = i_;
        };
        while (i_ < n) {
            const char16_t c = at(i_);
            if (isDigit(c)) {
                flush();
                if (i_ > 0 && isAlnum(at(i_ - 1))) {
                    copyWord();  // 型號A380: the digits belong to the word
                } else {
                    const qsizetype from = out_.size();
                    readItems(false, nullptr);
                    if (fixedItem_) fixFrom(from);
                    fixedItem_ = false;
                }
                copied = i_;
                continue;
            }
            if (i_ == 0 || !isAlnum(at(i_ - 1))) {
                if (const WordPair* cur = currencyAt(i_)) {
                    flush();
                    i_ += cur->written.size();
                    out_ += cur->spoken;
                    readItems(false, cur);
                    copied = i_;
                    continue;
                }
                if (c == u'-' && isDigit(at(i_ + 1))) {
                    flush();
                    ++i_;
                    readItems(true, nullptr);
                    copied = i_;
                    continue;
                }
            }
            ++i_;
        }
        flush();
    }

private:
    void fixFrom(qsizetype from) {
        if (fixed_ && out_.size() > from) fixed_->push_back({from, out_.size()});
    }

    char16_t at(qsizetype k) const { return k >= 0 && k < f_.size() ? f_[k].unicode() : 0; }
    qsizetype digitsEnd(qsizetype k) const {
        while (isDigit(at(k))) ++k;
        return k;
    }

    void copyWord() {
        while (i_ < f_.size() && isAlnum(at(i_))) out_ += src_[i_++];
    }

    const WordPair* currencyAt(qsizetype k) const {
        const char16_t first = at(k);
        for (const WordPair& c : w_.currencies)
            if (c.written.front() == first && f_.mid(k).startsWith(c.written) && isDigit(at(k + c.written.size())))
                return &c;
        return nullptr;
    }

    // A number, date or time, and whatever ranges follow it (3-5, 9:00-21:00).
    void readItems(bool negative, const WordPair* currency) {
        for (;;) {
            readItem(negative, currency);
            const char16_t c = at(i_);
            if ((c != u'-' && c != u'~') || !isDigit(at(i_ + 1)) || !isDigit(at(i_ - 1))) return;
            out_ += w_.range;
            ++i_;
            negative = false;
        }
    }

    bool codeWordBefore(qsizetype start) const {
        const qsizetype from = std::max<qsizetype>(0, start - 8);
        const QStringView before = f_.mid(from, start - from);
        for (const QString& word : w_.codeWords)
            if (before.contains(word)) return true;
        return false;
    }

    // 分機123, 房 302: a code word just before the number, blanks, a colon or '#' between.
    bool codeWordRightBefore(qsizetype start) const {
        qsizetype k = start;
        while (k > 0 && QStringView(u" :#").contains(QChar(at(k - 1)))) --k;
        if (k > 0 && src_[k - 1] == u'：') --k;
        const QStringView before = f_.left(k);
        for (const QString& word : w_.codeWords)
            if (before.endsWith(word)) return true;
        return false;
    }

    bool measureAfter(qsizetype k) const {
        const QStringView rest = f_.mid(k);
        if (rest.isEmpty()) return false;
        const QChar first = rest.front();
        for (const QString& no : w_.notMeasures)
            if (no.front() == first && rest.startsWith(no)) return false;
        for (const QString& m : w_.measureWords)
            if (m.front() == first && rest.startsWith(m)) return true;
        return false;
    }

    // Groups of digits joined by one separator, e.g. 0912-345-678; end of the last group.
    qsizetype groupsFrom(qsizetype start, char16_t sep, std::vector<QStringView>* groups) const {
        qsizetype k = start;
        for (;;) {
            const qsizetype e = digitsEnd(k);
            groups->push_back(f_.mid(k, e - k));
            if (at(e) != sep || !isDigit(at(e + 1))) return e;
            k = e + 1;
        }
    }

    void readGroupsDigitByDigit(const std::vector<QStringView>& groups, const QString& joiner) {
        for (size_t g = 0; g < groups.size(); ++g) {
            if (g) out_ += joiner;
            out_ += digitByDigit(groups[g], w_);
        }
    }

    bool tryDate(qsizetype s, qsizetype e) {
        const char16_t sep = at(e);
        if (e - s != 4 || (sep != u'-' && sep != u'/' && sep != u'.')) return false;
        std::vector<QStringView> groups;
        const qsizetype end = groupsFrom(s, sep, &groups);
        if (groups.size() != 3 || groups[1].size() > 2 || groups[2].size() > 2) return false;
        const QDate date(groups[0].toInt(), groups[1].toInt(), groups[2].toInt());
        if (date.isValid()) {
            out_ += digitByDigit(groups[0], w_) + w_.year + integerWords(groups[1], w_, false) + w_.month +
                    integerWords(groups[2], w_, false) + w_.day;
        } else {
            readGroupsDigitByDigit(groups, QStringLiteral(" "));
        }
        i_ = end;
        return true;
    }

    bool tryTime(qsizetype s, qsizetype e) {
        if (e - s > 2 || at(e) != u':' || !isDigit(at(e + 1))) return false;
        std::vector<QStringView> groups;
        const qsizetype end = groupsFrom(s, u':', &groups);
        if (groups.size() > 3) return false;  // not a clock; the plain reading handles it
        i_ = end;
        bool valid = groups.size() >= 2;
        for (size_t g = 1; g < groups.size(); ++g) valid = valid && groups[g].size() == 2;
        const int h = groups[0].toInt();
        const int m = groups[1].toInt();
        const int sec = groups.size() == 3 ? groups[2].toInt() : 0;
        valid = valid && m < 60 && sec < 60 && (h < 24 || (h == 24 && m == 0 && sec == 0));
        if (!valid) {
            readGroupsDigitByDigit(groups, QStringLiteral(" "));
            return true;
        }
        out_ += integerWords(QString::number(h), w_, true) + w_.hour;
        auto sixty = [&](int v, const QString& unit) {
            out_ += (v < 10 ? w_.digits[0] + w_.digits[size_t(v)] : integerWords(QString::number(v), w_, false)) + unit;
        };
        if (m > 0 || sec > 0) sixty(m, w_.minute);
        if (sec > 0) sixty(sec, w_.second);
        return true;
    }

    void readItem(bool negative, const WordPair* currency) {
        const qsizetype s = i_;
        const qsizetype e = digitsEnd(s);
        if (!negative && !currency && (tryDate(s, e) || tryTime(s, e))) {
            fixedItem_ = true;
            return;
        }

        // The whole part, with its grouping commas: 1,299 (but 1,2,3 is a list).
        QString whole = f_.mid(s, e - s).toString();
        qsizetype end = e;
        bool grouped = false;
        if (whole.size() <= 3) {
            while (at(end) == u',' && digitsEnd(end + 1) == end + 4) {
                whole += f_.mid(end + 1, 3);
                end += 4;
                grouped = true;
            }
        }
        QStringView fraction;
        if (at(end) == u'.' && isDigit(at(end + 1))) {
            const qsizetype fe = digitsEnd(end + 1);
            if (at(fe) == u'.' && isDigit(at(fe + 1))) {
                // 1.2.3: a version or an outline number
                std::vector<QStringView> groups;
                i_ = groupsFrom(s, u'.', &groups);
                readGroupsDigitByDigit(groups, w_.point);
                fixedItem_ = true;
                return;
            }
            fraction = f_.mid(end + 1, fe - end - 1);
            end = fe;
        }
        if (!grouped && fraction.isEmpty() && !negative && !currency && at(end) == u'-' && isDigit(at(end + 1))) {
            std::vector<QStringView> groups;
            const qsizetype groupsEnd = groupsFrom(s, u'-', &groups);
            if (looksLikePhone(groups)) {
                i_ = groupsEnd;
                readGroupsDigitByDigit(groups, QStringLiteral(" "));
                fixedItem_ = true;
                return;
            }
        }
        if (!grouped && fraction.isEmpty() && at(end) == u'/' && isDigit(at(end + 1))) {
            const qsizetype de = digitsEnd(end + 1);
            const QStringView below = f_.mid(end + 1, de - end - 1);
            if (!isDigit(at(de)) && below.size() <= 4 && at(de) != u'/') {
                // 12/25 is a day of the year unless it measures something (3/4杯, 1/2的)
                const int month = whole.toInt();
                const int day = below.toInt();
                if (!negative && !currency && whole.size() <= 2 && below.size() <= 2 &&
                    QDate(2024, month, day).isValid() && !measureAfter(de) && at(de) != u'的') {
                    out_ += integerWords(whole, w_, false) + w_.month + integerWords(below, w_, false) + w_.day;
                    i_ = de;
                    fixedItem_ = true;
                    return;
                }
                if (negative) out_ += w_.negative;
                out_ += integerWords(below, w_, false) + w_.fractionOf + integerWords(whole, w_, false);
                i_ = de;
                return;
            }
        }

        // What follows the number says what it is.
        enum class Kind { Plain, Percent, Celsius, Fahrenheit, Degree, Unit, Discount, Year } kind = Kind::Plain;
        qsizetype after = end;
        const WordPair* unit = nullptr;
        const char16_t next = at(end);
        if (next == u'%') {
            kind = Kind::Percent;
            after = end + 1;
        } else if (next == u'℃' || (next == u'°' && (at(end + 1) == u'C' || at(end + 1) == u'c'))) {
            kind = Kind::Celsius;
            after = end + (next == u'℃' ? 1 : 2);
        } else if (next == u'℉' || (next == u'°' && (at(end + 1) == u'F' || at(end + 1) == u'f'))) {
            kind = Kind::Fahrenheit;
            after = end + (next == u'℉' ? 1 : 2);
        } else if (next == u'°') {
            kind = Kind::Degree;
            after = end + 1;
        } else if (isLetter(next)) {
            qsizetype le = end;
            while (isLetter(at(le))) ++le;
            const QStringView letters = f_.mid(end, le - end);
            for (const WordPair& u : w_.units)
                if (letters == u.written) unit = &u;
            if (!unit || isDigit(at(le)) || at(le) == u'_') {
                // 3D, 5G: a name, not an amount
                while (i_ < end) out_ += src_[i_++];
                copyWord();
                return;
            }
            kind = Kind::Unit;
            after = le;
        } else if (next == u'折') {
            kind = Kind::Discount;
        } else if (next == u'年' && !grouped && fraction.isEmpty() && !negative && whole.size() == 4) {
            kind = Kind::Year;
        }
        i_ = after;

        QString number;
        const bool leadingZero = whole.size() > 1 && whole.front() == u'0';
        if (kind == Kind::Year) {
            number = digitByDigit(whole, w_);
        } else if (kind == Kind::Discount && fraction.size() <= 1 && whole.size() <= 2) {
            number = digitByDigit(whole, w_) + digitByDigit(fraction, w_);  // 8.5折 八五折, 75折 七五折
        } else if (whole.size() > 16 ||
                   (leadingZero && (whole.size() > 2 || !w_.dateUnits.contains(QChar(at(after))))) ||
                   (!grouped && fraction.isEmpty() &&
                    ((whole.size() >= 6 && codeWordBefore(s)) || (!negative && codeWordRightBefore(s))))) {
            number = digitByDigit(whole, w_);  // phone numbers, codes, what is too long to be an amount
            fixedItem_ = true;
            if (!fraction.isEmpty()) number += w_.point + digitByDigit(fraction, w_);
        } else {
            const bool rank = s > 0 && w_.ordinalBefore.contains(QChar(at(s - 1)));
            const bool counts = kind == Kind::Unit || currency || (kind == Kind::Plain && measureAfter(after));
            number = integerWords(whole, w_, fraction.isEmpty() && !negative && !rank && counts);
            // A 1 that counts nothing names a floor, a day, a rank: 1樓, 買1送1 keep yi1
            if (whole == u"1" && fraction.isEmpty() && !counts) fixedItem_ = true;
            if (!fraction.isEmpty()) number += w_.point + digitByDigit(fraction, w_);
        }

        const QString sign = negative ? w_.negative : QString();
        switch (kind) {
        case Kind::Percent: out_ += sign + w_.percent + number; break;
        case Kind::Celsius: out_ += w_.celsius + (negative ? w_.belowZero : QString()) + number + w_.degree; break;
        case Kind::Fahrenheit:
            out_ += w_.fahrenheit + (negative ? w_.belowZero : QString()) + number + w_.degree;
            break;
        case Kind::Degree: out_ += (negative ? w_.belowZero : QString()) + number + w_.degree; break;
        case Kind::Unit: out_ += sign + number + unit->spoken; break;
        default: out_ += sign + number; break;
        }
        if (currency && at(i_) != u'元' && at(i_) != u'塊' && !(at(i_) == u'-' && isDigit(at(i_ + 1)))) out_ += w_.yuan;
    }

    static bool looksLikePhone(const std::vector<QStringView>& groups) {
        qsizetype digits = 0;
        bool allLong = true;
        for (QStringView g : groups) {
            digits += g.size();
            allLong = allLong && g.size() >= 3;
        }
        if (digits < 7) return false;
        return groups.size() >= 3 || groups.front().startsWith(u'0') || (allLong && !groups.back().endsWith(u"00"));
    }

    QStringView src_;
    QString folded_;
    QStringView f_;
    const NumberWords& w_;
    QString& out_;
    Ranges* fixed_;
    bool fixedItem_ = false;  // the item just read has a settled reading
    qsizetype i_ = 0;
};

bool hasDigit(QStringView text) {
    for (QChar c : text)
        if (isDigit(fold(c))) return true;
    return false;
}

void appendSpokenNumbers(QStringView text, const NumberWords* words, QString* out) {
    if (!words || !hasDigit(text))
        *out += text;
    else
        NumberReader(text, *words, *out).run();
}

}  // namespace

namespace detail {

void appendChinese(QStringView text, const NumberWords* words, const ReadingDictionary* dictionary, QString* out,
                   int toneAfter) {
    if (!dictionary) {
        appendSpokenNumbers(text, words, out);
        return;
    }
    QString spoken;
    Ranges fixed;
    if (words && hasDigit(text))
        NumberReader(text, *words, spoken, &fixed).run();
    else
        spoken = text.toString();
    qsizetype at = 0;
    for (const auto& [from, to] : fixed) {
        dictionary->read(QStringView(spoken).mid(at, from - at), out);
        *out += QStringView(spoken).mid(from, to - from);
        at = to;
    }
    dictionary->read(QStringView(spoken).mid(at), out, at < spoken.size() ? toneAfter : 0);
}

}  // namespace detail

QString speakNumbers(QStringView text, SpeechLanguage language) {
    QString out;
    appendSpokenNumbers(text, wordsFor(language), &out);
    return out;
}

}  // namespace sayvell::reading
