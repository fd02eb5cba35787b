#pragma once
// Writing a text document safely: a temporary file renamed over the target, so a failure
// never leaves a half-written file.
#include <QString>

namespace sayvell::document {

// Saves text as Big5 with CR LF line breaks; a text Big5 cannot hold is saved as UTF-8 with a
// byte-order mark instead (*usedUtf8 tells). False with *error set when it could not be
// written completely; the old file is then untouched.
bool saveBig5Text(const QString& path, const QString& text, bool* usedUtf8, QString* error);

}  // namespace sayvell::document
