#pragma once
// setinfo.ini: a private-profile (INI) file in Big5. No cache: every read opens the file and
// sees what is on disk, every write is on disk when it returns.
//
// Format rules kept here:
//  - "[Name]" opens a section; "key=value" lines follow. Section and key names are compared
//    without letter case; the first matching section, and in it the first matching key, wins.
//  - A value is the text after the first "=", trimmed; one pair of matching quotes ('' or "")
//    around it is removed; at most 2047 characters are returned.
//  - A write replaces the value of an existing key in its line, or adds "key=value" after the
//    last non-blank line of the section; a missing section is added at the end of the file, a
//    missing file is created. Every other byte of the file (unknown keys, comments, blank
//    lines, line-end style) is kept as it was.
//
// Encoding: Big5. A value, key or section Big5 cannot hold (a folder or font name) makes the
// file UTF-8 with a byte-order mark, re-encoding what it holds; such a file is read as UTF-8.
//
// Damaged files: a file larger than kMaxParsedBytes is not taken as a settings file: every
// read gives its default and every write is refused (SettingsWriteError) rather than replace
// what may be the user's data. Smaller files of any content parse line by line; lines that
// are not sections or keys are carried through writes untouched.
#include <QString>
#include <QtGlobal>

#include <optional>
#include <span>
#include <stdexcept>

#include "store/app_paths.h"
#include "store/settings_keys.h"

namespace sayvell::store {

inline constexpr qint64 kMaxParsedBytes = 1024 * 1024;
inline constexpr int kMaxValueLength = 2047;

// A write the system refused; what() is "Unable to write to " followed by the full path.
class SettingsWriteError : public std::runtime_error {
public:
    explicit SettingsWriteError(const QString& fullPath);
    const QString& path() const { return path_; }

private:
    QString path_;
};

class SettingsFile {
public:
    explicit SettingsFile(QString path = settingsPath());

    const QString& path() const { return path_; }

    QString readString(const QString& section, const QString& key, const QString& def) const;
    // Decimal with an optional sign, or hexadecimal after "$", "0x" or "0X" (eight digits at
    // most, taken as a 32-bit pattern: "$FFFFFFFF" is -1). Anything else gives def.
    int readInteger(const QString& section, const QString& key, int def) const;
    // An integer: non-zero is true. A value that is not a number (such as "true") gives def.
    bool readBool(const QString& section, const QString& key, bool def) const;

    // Each throws SettingsWriteError when the file cannot be written. Line breaks inside a
    // value are written as blanks, so a value can never make lines of its own.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

    // The same through the keys of settings_keys.h.
    int read(const keys::IntKey& k) const { return readInteger(k.section, k.name, k.fallback); }
    bool read(const keys::BoolKey& k) const { return readBool(k.section, k.name, k.fallback); }
    QString read(const keys::TextKey& k) const { return readString(k.section, k.name, QString::fromUtf8(k.fallback)); }
    QString read(const keys::TextKey& k, const QString& fallback) const {
        return readString(k.section, k.name, fallback);
    }
    void write(const keys::IntKey& k, int value) { writeInteger(k.section, k.name, value); }
    void write(const keys::BoolKey& k, bool value) { writeBool(k.section, k.name, value); }
    void write(const keys::TextKey& k, const QString& value) { writeString(k.section, k.name, value); }

private:
    std::optional<QString> findValue(const QString& section, const QString& key) const;

    QString path_;
};

// The integer rule of the file, shared with the colour form.
std::optional<int> parseWholeNumber(const QString& text);

// ---- Colours: 0x00BBGGRR for ordinary colours; 0xFF0000ii for theme colour index ii. ----

inline constexpr quint32 kColorNone = 0x1FFFFFFF;
inline constexpr quint32 kColorDefault = 0x20000000;

constexpr quint32 rgbToColor(int r, int g, int b) {
    return quint32(r & 0xFF) | (quint32(g & 0xFF) << 8) | (quint32(b & 0xFF) << 16);
}
// The three low bytes; for a theme colour ask systemColorIndex() first.
void colorToRgb(quint32 color, int* r, int* g, int* b);
// The theme colour index (0..255) for a value whose top byte is 0xFF; -1 for any other value
// (ordinary colours, kColorNone, kColorDefault).
int systemColorIndex(quint32 color);

inline constexpr quint32 kColorBlack = rgbToColor(0, 0, 0);
inline constexpr quint32 kColorRed = rgbToColor(255, 0, 0);
inline constexpr quint32 kColorTeal = rgbToColor(0, 128, 128);
inline constexpr quint32 kColorWhite = rgbToColor(255, 255, 255);

struct NamedColor {
    const char* name;
    quint32 value;
};
// All 52 names with their values.
std::span<const NamedColor> namedColors();
// The value of a colour name, letter case ignored.
std::optional<quint32> namedColor(const QString& name);

// A name when the value has one ("clTeal"), else "$" and eight upper-case hex digits.
QString colorToText(quint32 color);
// A name (case ignored) or a whole number. False, *out untouched, for anything else.
bool textToColor(const QString& text, quint32* out);

// ---- Font style ----

struct FontStyles {
    bool bold = false, italic = false, underline = false, strikeOut = false;
    friend bool operator==(const FontStyles&, const FontStyles&) = default;
};
// "[fsBold,fsUnderline]"; "[]" for none.
QString fontStyleToText(FontStyles styles);
// A flag is set when its name occurs anywhere in the text, letter case counting.
FontStyles textToFontStyle(const QString& text);

}  // namespace sayvell::store
