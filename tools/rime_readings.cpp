#include "rime_readings.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace sayvell::tools {
namespace {

std::vector<std::string> syllables(const std::string& reading) {
    std::vector<std::string> out;
    std::istringstream in(reading);
    for (std::string s; in >> s;) out.push_back(s);
    return out;
}

// Taiwan's dictionaries give a full tone where the mainland writes a neutral one: fewer fives first.
int neutralCount(const std::string& reading) {
    int n = 0;
    for (const std::string& s : syllables(reading)) n += !s.empty() && s.back() == '5';
    return n;
}

bool wellFormed(const std::string& word, const std::string& reading) {
    const auto syl = syllables(reading);
    if (syl.size() != characters(word).size()) return false;
    for (const std::string& s : syl) {
        if (s.size() < 2 || s.back() < '1' || s.back() > '5') return false;
        if (s == "r5") return false;  // 兒化: the voice would say a syllable of its own
    }
    return true;
}

}  // namespace

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> out;
    std::string::size_type at = 0;
    for (;;) {
        const auto tab = line.find('\t', at);
        out.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
        if (tab == std::string::npos) return out;
        at = tab + 1;
    }
}

std::vector<std::string> characters(const std::string& word) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < word.size();) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        out.push_back(word.substr(i, n));
        i += n;
    }
    return out;
}

bool RimeReadings::addDictionary(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        std::cerr << "cannot read " << path << "\n";
        return false;
    }
    bool body = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!body) {
            body = line == "...";
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        const auto f = splitTabs(line);
        if (f.size() < 2 || !wellFormed(f[0], f[1])) continue;
        if (characters(f[0]).size() == 1) {
            const double share = f.size() > 2 ? std::atof(f[2].c_str()) : 100.0;
            auto& list = chars[f[0]];
            if (std::none_of(list.begin(), list.end(), [&](auto& r) { return r.reading == f[1]; }))
                list.push_back({f[1], share});
            continue;
        }
        auto [it, fresh] = words.emplace(f[0], f[1]);
        if (!fresh && neutralCount(f[1]) < neutralCount(it->second)) it->second = f[1];
    }
    return true;
}

void RimeReadings::finish() {
    for (auto& [c, list] : chars) {
        std::stable_sort(list.begin(), list.end(), [](auto& a, auto& b) { return a.share > b.share; });
        for (const CharReading& r : list)
            if (r.reading != list.front().reading) several.insert(c);
    }
}

std::string RimeReadings::usualReading(const std::string& word) const {
    std::string reading;
    for (const std::string& c : characters(word)) {
        const auto it = chars.find(c);
        if (it == chars.end()) return {};
        reading += (reading.empty() ? "" : " ") + it->second.front().reading;
    }
    return reading;
}

}  // namespace sayvell::tools
