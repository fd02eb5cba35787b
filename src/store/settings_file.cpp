#include "store/settings_file.h"

#include <QByteArrayList>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <array>
#include <limits>

#include "text/big5.h"

namespace sayvell::store {
namespace {

QString fullPathOf(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

// The file split at "\n": raw bytes for writing back untouched, decoded text for parsing.
// A file ending in "\n" has an empty last entry, so joining with "\n" gives the bytes back.
struct Lines {
    QByteArrayList raw;
    QStringList text;
    bool utf8 = false;  // the file starts with a UTF-8 byte-order mark
};

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

// The file is Big5 unless it starts with a UTF-8 byte-order mark: it is written so once a
// value Big5 cannot hold (a folder or a font name) had to be kept.
QString decodeFile(const QByteArray& bytes) {
    return bytes.startsWith(kUtf8Bom) ? QString::fromUtf8(bytes.mid(kUtf8Bom.size())) : text::fromBig5(bytes);
}

Lines splitLines(const QByteArray& bytes) {
    Lines lines;
    if (bytes.startsWith(kUtf8Bom)) {
        lines.utf8 = true;
        lines.raw = bytes.mid(kUtf8Bom.size()).split('\n');
        for (const QByteArray& line : lines.raw) lines.text.append(QString::fromUtf8(line));
        return lines;
    }
    lines.raw = bytes.split('\n');
    // "\n" is never part of a Big5 character and a bad byte decodes to one U+FFFD, so the
    // decoded text has as many lines; decode once rather than per line.
    lines.text = text::fromBig5(bytes).split(u'\n');
    if (lines.text.size() != lines.raw.size()) {
        lines.text.clear();
        for (const QByteArray& line : lines.raw) lines.text.append(text::fromBig5(line));
    }
    return lines;
}

enum class ReadOutcome { Ok, Missing, Unusable };

// Reads at most kMaxParsedBytes; never opens anything but a regular file (a FIFO would block).
ReadOutcome readBytes(const QString& path, QByteArray* out) {
    const QFileInfo info(path);
    if (!info.exists()) return ReadOutcome::Missing;
    if (!info.isFile() || info.size() > kMaxParsedBytes) return ReadOutcome::Unusable;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return ReadOutcome::Unusable;
    *out = file.read(kMaxParsedBytes + 1);
    if (out->size() > kMaxParsedBytes || file.error() != QFileDevice::NoError) return ReadOutcome::Unusable;
    return ReadOutcome::Ok;
}

QString withoutCr(const QString& line) { return line.endsWith(u'\r') ? line.chopped(1) : line; }

std::optional<QString> sectionName(const QString& line) {
    const QString t = withoutCr(line).trimmed();
    if (!t.startsWith(u'[')) return std::nullopt;
    const qsizetype close = t.indexOf(u']');
    return (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
}

// The key of a "key=value" line; nullopt for a line without "=" or a section line.
std::optional<QString> keyName(const QString& line) {
    const QString t = withoutCr(line).trimmed();
    if (t.startsWith(u'[')) return std::nullopt;
    const qsizetype eq = t.indexOf(u'=');
    if (eq < 0) return std::nullopt;
    return t.left(eq).trimmed();
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

struct Location {
    qsizetype section = -1;  // line of the section header
    qsizetype end = -1;      // first line after the section
    qsizetype key = -1;      // line of the key, -1 when the section has none
};

Location locate(const QStringList& text, const QString& section, const QString& key) {
    Location loc;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto name = sectionName(text[i]);
        if (!name) continue;
        if (loc.section >= 0) {
            loc.end = i;
            break;
        }
        if (sameName(*name, section)) loc.section = i;
    }
    if (loc.section < 0) return loc;
    if (loc.end < 0) loc.end = text.size();
    for (qsizetype i = loc.section + 1; i < loc.end; ++i) {
        const auto name = keyName(text[i]);
        if (name && sameName(*name, key)) {
            loc.key = i;
            break;
        }
    }
    return loc;
}

QString unquotedValue(const QString& line) {
    const QString t = withoutCr(line);
    QString value = t.mid(t.indexOf(u'=') + 1).trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    if (value.size() > kMaxValueLength) {
        value.truncate(kMaxValueLength);
        if (value.back().isHighSurrogate()) value.chop(1);
    }
    return value;
}

QString oneLine(QString value) {
    value.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return value;
}

// Re-encodes a Big5 file as UTF-8, line by line, so nothing else in it changes meaning.
void becomeUtf8(Lines& lines) {
    for (qsizetype i = 0; i < lines.raw.size(); ++i) lines.raw[i] = lines.text[i].toUtf8();
    lines.utf8 = true;
}

}  // namespace

SettingsWriteError::SettingsWriteError(const QString& fullPath)
    : std::runtime_error(("Unable to write to " + fullPath).toStdString()), path_(fullPath) {}

SettingsFile::SettingsFile(QString path) : path_(std::move(path)) {}

std::optional<QString> SettingsFile::findValue(const QString& section, const QString& key) const {
    QByteArray bytes;
    if (readBytes(path_, &bytes) != ReadOutcome::Ok) return std::nullopt;
    const QStringList text = decodeFile(bytes).split(u'\n');
    const Location loc = locate(text, section, key);
    if (loc.key < 0) return std::nullopt;
    return unquotedValue(text[loc.key]);
}

QString SettingsFile::readString(const QString& section, const QString& key, const QString& def) const {
    return findValue(section, key).value_or(def);
}

int SettingsFile::readInteger(const QString& section, const QString& key, int def) const {
    const auto value = findValue(section, key);
    if (!value) return def;
    return parseWholeNumber(*value).value_or(def);
}

bool SettingsFile::readBool(const QString& section, const QString& key, bool def) const {
    const auto value = findValue(section, key);
    if (!value) return def;
    const auto number = parseWholeNumber(*value);
    return number ? *number != 0 : def;
}

void SettingsFile::writeString(const QString& section, const QString& key, const QString& value) {
    QByteArray bytes;
    switch (readBytes(path_, &bytes)) {
    case ReadOutcome::Ok:
    case ReadOutcome::Missing: break;
    case ReadOutcome::Unusable:
        // Unreadable, not a regular file, or too large to be ours: leave it as it is.
        throw SettingsWriteError(fullPathOf(path_));
    }

    Lines lines = splitLines(bytes);
    // Keep the file's own line ends for the lines we add.
    const bool crlf = lines.raw.size() > 1 && lines.raw.front().endsWith('\r');
    const QByteArray eol = crlf ? QByteArray("\r") : QByteArray();
    const QString line1 = oneLine(value);
    bool changed = false;
    if (!lines.utf8 && !(text::fitsBig5(line1) && text::fitsBig5(key) && text::fitsBig5(section))) {
        becomeUtf8(lines);
        changed = true;
    }
    auto encode = [&](const QString& t) { return lines.utf8 ? t.toUtf8() : text::toBig5(t); };
    const QByteArray newValue = encode(line1);

    const Location loc = locate(lines.text, section, key);
    if (loc.key >= 0) {
        QByteArray& line = lines.raw[loc.key];
        const bool hadCr = line.endsWith('\r');
        const QByteArray replaced =
            line.left(line.indexOf('=') + 1) + newValue + (hadCr ? QByteArray("\r") : QByteArray());
        // The same value again: the file is left alone (each save is a sync to disk, and the
        // start writes some values back every time).
        if (replaced == line && !changed) return;
        line = replaced;
    } else {
        // Lines are added before the final empty entry, so the last line must be terminated.
        if (!lines.raw.back().isEmpty()) {
            lines.raw.back().append(eol);
            lines.raw.append(QByteArray());
            lines.text.append(QString());
        }
        const QByteArray keyLine = encode(key) + '=' + newValue + eol;
        if (loc.section >= 0) {
            qsizetype at = loc.section + 1;
            for (qsizetype i = loc.section + 1; i < loc.end && i < lines.raw.size() - 1; ++i)
                if (!withoutCr(lines.text[i]).trimmed().isEmpty()) at = i + 1;
            lines.raw.insert(at, keyLine);
        } else {
            const qsizetype at = lines.raw.size() - 1;
            lines.raw.insert(at, keyLine);
            lines.raw.insert(at, '[' + encode(section) + ']' + eol);
        }
    }

    QSaveFile file(path_);
    // A folder we may not create files in, holding a file we may write: write in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) throw SettingsWriteError(fullPathOf(path_));
    const QByteArray out = (lines.utf8 ? kUtf8Bom : QByteArray()) + lines.raw.join('\n');
    if (file.write(out) != out.size() || !file.commit()) throw SettingsWriteError(fullPathOf(path_));
}

void SettingsFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void SettingsFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

std::optional<int> parseWholeNumber(const QString& text) {
    QStringView s(text);
    bool negative = false;
    if (!s.isEmpty() && (s.front() == u'-' || s.front() == u'+')) {
        negative = s.front() == u'-';
        s = s.mid(1);
    }
    int base = 10;
    if (s.startsWith(u'$')) {
        base = 16;
        s = s.mid(1);
    } else if (s.startsWith(u"0x") || s.startsWith(u"0X")) {
        base = 16;
        s = s.mid(2);
    }
    if (s.isEmpty()) return std::nullopt;

    // Decimal must fit an int; hexadecimal is a 32-bit pattern ("$FFFFFFFF" is -1).
    const quint64 limit = base == 16 ? 0xFFFFFFFFull : quint64(std::numeric_limits<int>::max()) + (negative ? 1 : 0);
    quint64 magnitude = 0;
    for (const QChar c : s) {
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c.unicode() - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c.unicode() - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c.unicode() - u'A' + 10;
        else
            return std::nullopt;
        magnitude = magnitude * base + quint64(digit);
        if (magnitude > limit) return std::nullopt;
    }
    if (base == 16) {
        const quint32 bits = negative ? quint32(0u - quint32(magnitude)) : quint32(magnitude);
        return static_cast<int>(bits);
    }
    return negative ? static_cast<int>(-static_cast<qint64>(magnitude)) : static_cast<int>(magnitude);
}

// ---- Colours ----

namespace {

constexpr quint32 themeColor(int index) { return 0xFF000000u | quint32(index); }

constexpr std::array<NamedColor, 52> kNamedColors{{
    {"clBlack", rgbToColor(0, 0, 0)},
    {"clMaroon", rgbToColor(128, 0, 0)},
    {"clGreen", rgbToColor(0, 128, 0)},
    {"clOlive", rgbToColor(128, 128, 0)},
    {"clNavy", rgbToColor(0, 0, 128)},
    {"clPurple", rgbToColor(128, 0, 128)},
    {"clTeal", rgbToColor(0, 128, 128)},
    {"clGray", rgbToColor(128, 128, 128)},
    {"clSilver", rgbToColor(192, 192, 192)},
    {"clRed", rgbToColor(255, 0, 0)},
    {"clLime", rgbToColor(0, 255, 0)},
    {"clYellow", rgbToColor(255, 255, 0)},
    {"clBlue", rgbToColor(0, 0, 255)},
    {"clFuchsia", rgbToColor(255, 0, 255)},
    {"clAqua", rgbToColor(0, 255, 255)},
    {"clWhite", rgbToColor(255, 255, 255)},
    {"clMoneyGreen", rgbToColor(192, 220, 192)},
    {"clSkyBlue", rgbToColor(166, 202, 240)},
    {"clCream", rgbToColor(255, 251, 240)},
    {"clMedGray", rgbToColor(160, 160, 164)},
    {"clScrollBar", themeColor(0)},
    {"clBackground", themeColor(1)},
    {"clActiveCaption", themeColor(2)},
    {"clInactiveCaption", themeColor(3)},
    {"clMenu", themeColor(4)},
    {"clWindow", themeColor(5)},
    {"clWindowFrame", themeColor(6)},
    {"clMenuText", themeColor(7)},
    {"clWindowText", themeColor(8)},
    {"clCaptionText", themeColor(9)},
    {"clActiveBorder", themeColor(10)},
    {"clInactiveBorder", themeColor(11)},
    {"clAppWorkSpace", themeColor(12)},
    {"clHighlight", themeColor(13)},
    {"clHighlightText", themeColor(14)},
    {"clBtnFace", themeColor(15)},
    {"clBtnShadow", themeColor(16)},
    {"clGrayText", themeColor(17)},
    {"clBtnText", themeColor(18)},
    {"clInactiveCaptionText", themeColor(19)},
    {"clBtnHighlight", themeColor(20)},
    {"cl3DDkShadow", themeColor(21)},
    {"cl3DLight", themeColor(22)},
    {"clInfoText", themeColor(23)},
    {"clInfoBk", themeColor(24)},
    {"clHotLight", themeColor(26)},
    {"clGradientActiveCaption", themeColor(27)},
    {"clGradientInactiveCaption", themeColor(28)},
    {"clMenuHighlight", themeColor(29)},
    {"clMenuBar", themeColor(30)},
    {"clNone", kColorNone},
    {"clDefault", kColorDefault},
}};

}  // namespace

void colorToRgb(quint32 color, int* r, int* g, int* b) {
    if (r) *r = int(color & 0xFF);
    if (g) *g = int((color >> 8) & 0xFF);
    if (b) *b = int((color >> 16) & 0xFF);
}

int systemColorIndex(quint32 color) { return (color & 0xFF000000u) == 0xFF000000u ? int(color & 0xFF) : -1; }

std::span<const NamedColor> namedColors() { return kNamedColors; }

std::optional<quint32> namedColor(const QString& name) {
    for (const NamedColor& c : kNamedColors)
        if (name.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0) return c.value;
    return std::nullopt;
}

QString colorToText(quint32 color) {
    for (const NamedColor& c : kNamedColors)
        if (c.value == color) return QString::fromLatin1(c.name);
    return QStringLiteral("$%1").arg(color, 8, 16, QLatin1Char('0')).toUpper();
}

bool textToColor(const QString& text, quint32* out) {
    const QString t = text.trimmed();
    if (const auto named = namedColor(t)) {
        *out = *named;
        return true;
    }
    if (const auto number = parseWholeNumber(t)) {
        *out = static_cast<quint32>(*number);
        return true;
    }
    return false;
}

// ---- Font style ----

QString fontStyleToText(FontStyles styles) {
    QStringList names;
    if (styles.bold) names << QStringLiteral("fsBold");
    if (styles.italic) names << QStringLiteral("fsItalic");
    if (styles.underline) names << QStringLiteral("fsUnderline");
    if (styles.strikeOut) names << QStringLiteral("fsStrikeOut");
    return u'[' + names.join(u',') + u']';
}

FontStyles textToFontStyle(const QString& text) {
    FontStyles styles;
    styles.bold = text.contains(QLatin1String("fsBold"), Qt::CaseSensitive);
    styles.italic = text.contains(QLatin1String("fsItalic"), Qt::CaseSensitive);
    styles.underline = text.contains(QLatin1String("fsUnderline"), Qt::CaseSensitive);
    styles.strikeOut = text.contains(QLatin1String("fsStrikeOut"), Qt::CaseSensitive);
    return styles;
}

}  // namespace sayvell::store
