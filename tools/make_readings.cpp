// Converts Rime pinyin dictionaries (terra_pinyin.dict.yaml: traditional characters, pinyin with
// tone digits; the same with Taiwan's variant characters) into the Mandarin readings file the program loads:
//
//   word<TAB>pinyin   a word the voice reads wrong, with the reading to give it instead
//   word<TAB>=        a word with 一 or 不 the voice reads right: kept so that the tone rules
//                     of 一 and 不 do not touch it
//   word<TAB>~        a listed word with 一 or 不 the dictionary leaves out: the tone rules
//                     apply within it (統一 ends in 一 whatever follows)
//   c<TAB>d           a single character and the tone digit of its usual reading
//
// Only words holding a character of several readings are looked at. With the voice at hand,
// a word is kept when the voice's phonemes for its characters differ from those for its
// reading; without it (no espeak-ng data), every such word is kept.
#include "phonemes.h"
#include "rime_readings.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using sayvell::tools::characters;
    if (argc < 3) {
        std::cerr << "usage: make_readings OUT DICT.yaml... [--words WORDS.txt...]\n";
        return 2;
    }
    sayvell::tools::RimeReadings rime;
    std::vector<std::string> lists;  // word lists: words read as their characters are
    for (int file = 2; file < argc; ++file) {
        if (std::string(argv[file]) == "--words") {
            lists.assign(argv + file + 1, argv + argc);
            break;
        }
        if (!rime.addDictionary(argv[file])) return 1;
    }
    rime.finish();
    if (rime.chars.empty()) {
        std::cerr << "make_readings: no readings found\n";
        return 1;
    }
    auto& words = rime.words;
    const auto toned = [](const std::vector<std::string>& cs) {
        return std::any_of(cs.begin(), cs.end(), [](auto& c) { return c == "一" || c == "不"; });
    };
    // A listed word the dictionary leaves out is read with its characters' usual readings.
    for (const std::string& list : lists) {
        std::ifstream in(list);
        if (!in) {
            std::cerr << "make_readings: cannot read " << list << "\n";
            return 1;
        }
        for (std::string line; std::getline(in, line);) {
            const std::string word = sayvell::tools::splitTabs(line).front();
            const auto cs = characters(word);
            if (cs.size() < 2 || cs.size() > 8 || words.count(word)) continue;
            const std::string reading = toned(cs) ? std::string("~") : rime.usualReading(word);
            if (!reading.empty()) words.emplace(word, reading);
        }
    }

    sayvell::tools::Phonemes voice("cmn-latn-pinyin");
    if (!voice.ready()) std::cerr << "make_readings: no espeak-ng voice; every word is kept\n";
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << "# Mandarin readings of words, converted from terra_pinyin.dict.yaml (rime-data-terra-pinyin, LGPL-3)\n";
    int kept = 0;
    int looked = 0;
    for (const auto& [word, reading] : words) {
        const auto cs = characters(word);
        if (!toned(cs) && std::none_of(cs.begin(), cs.end(), [&](auto& c) { return rime.several.count(c) > 0; }))
            continue;
        ++looked;
        if (reading == "~") {
            out << word << "\t~\n";
            continue;
        }
        const bool right = voice.ready() && voice.of(word) == voice.of(reading);
        if (!right) {
            out << word << '\t' << reading << '\n';
            ++kept;
        } else if (toned(cs)) {
            out << word << "\t=\n";
        }
    }
    for (const auto& [c, list] : rime.chars) out << c << '\t' << list.front().reading.back() << '\n';
    out.close();
    if (!out) {
        std::cerr << "make_readings: cannot write " << argv[1] << "\n";
        return 1;
    }
    std::cerr << "make_readings: " << looked << " words looked at, " << kept << " kept\n";
    return 0;
}
