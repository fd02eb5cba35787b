#pragma once
// Where `export -o` writes, decided before any work is done.
#include <QString>

#include <optional>

namespace sayvell::app::cli {

struct OutputTarget {
    QString path;     // ".wav" added to a name without an extension
    bool wav = true;  // else one of the kinds written as read
};

// Empty, with *error set, when the name cannot become a sound file: a folder, a name ending in
// "/", something that exists but is not a plain file (a device, a pipe), an unknown kind.
std::optional<OutputTarget> outputTarget(const QString& given, QString* error);

}  // namespace sayvell::app::cli
