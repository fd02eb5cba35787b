#pragma once
// The command line's words: a subcommand, its operand and its options. No engine, no files.
#include "document/text_encoding.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace sayvell::app::cli {

enum class Command { Window, Help, Version, Paths, Speak, Export, Voices, Formats, Pieces };

struct Options {
    Command command = Command::Window;
    QString input;  // FILE, or "-" for standard input
    QString output;
    std::optional<QString> voice;                // index, engine name or shown name
    std::optional<int> rate;                     // -10..15, the rate bar's positions
    std::optional<int> volume;                   // 0..100
    std::optional<int> format;                   // 0..35
    std::optional<int> dateFormat;               // 1..8
    std::optional<document::Encoding> encoding;  // of the input; none: found in it
    int loop = 0;                                // passes; 0: one reading, no loop
    int interval = 0;                            // seconds between passes
    bool asRead = false;
    QString musicDir;
    bool subtitles = false;
};

struct ParseResult {
    Options options;
    QString error;  // bad usage, one line; empty when parsing succeeded
};

// args without the program's name.
ParseResult parseArguments(const QStringList& args);

QString usageText();

}  // namespace sayvell::app::cli
