#pragma once
// The readings of a Rime pinyin dictionary (terra_pinyin.dict.yaml): each character's readings
// by share, and one reading per word.
#include <map>
#include <set>
#include <string>
#include <vector>

namespace sayvell::tools {

std::vector<std::string> characters(const std::string& utf8);
std::vector<std::string> splitTabs(const std::string& line);

struct RimeReadings {
    struct CharReading {
        std::string reading;
        double share;
    };
    std::map<std::string, std::vector<CharReading>> chars;  // most common reading first
    std::map<std::string, std::string> words;
    std::set<std::string> several;  // characters of more than one reading

    // Adds a dictionary file; false with the reason on standard error.
    bool addDictionary(const std::string& path);
    // Sorts the characters' readings; call once after the last file.
    void finish();
    // The word's reading from its characters' usual readings; empty when one is unknown.
    std::string usualReading(const std::string& word) const;
};

}  // namespace sayvell::tools
