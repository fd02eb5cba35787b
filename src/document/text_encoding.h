#pragma once
// The encodings a plain-text document may be read and written in, how each is named to the
// user, and how the one of a file is found.
//
// Finding it: a byte-order mark decides; text that is valid UTF-8 is UTF-8; otherwise the
// detector's guess of GB18030 is taken when the file reads cleanly that way. Where it is unsure
// the first of Big5, Big5-HKSCS that reads the whole file cleanly wins; then UTF-8 when most of
// the file is UTF-8 (its bad bytes flagged); then GB18030 when Big5 stumbles often; then UTF-16
// without a mark when nearly every unit of it is Chinese or ASCII text; a file that fits none is
// Big5 with its bad bytes shown as U+FFFD. GBK text is mostly valid Big5, so that order
// matters: Big5 must never be tried before the detector.
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace sayvell::document {

enum class Encoding { Big5, Utf8, Utf8Bom, Utf16Le, Utf16Be, Gb18030, Big5Hkscs };

// As the status bar and the menu show it: "Big5", "UTF-8", "GB18030", ...
QString encodingName(Encoding encoding);
// The command line's names, letter case ignored: big5 (cp950), big5-hkscs, gb18030 (gbk,
// gb2312, cp936), utf-8, utf-8-bom, utf-16le, utf-16be (and the same without the hyphen).
std::optional<Encoding> encodingFromName(const QString& name);
// The first of those names: what a stored record keeps.
QString encodingKey(Encoding encoding);
// The names encodingFromName takes, one of each, for a message.
QString knownEncodingNames();
// What the user may choose to re-open a file with, in the menu's order.
QList<Encoding> choosableEncodings();

// The encoding the detector alone guesses (libuchardet), or nothing when it has no opinion
// among ours. Looks at the first megabyte at most.
std::optional<Encoding> guessEncoding(const QByteArray& bytes);

}  // namespace sayvell::document
