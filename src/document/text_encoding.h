#pragma once
// The encodings a plain-text document may be read and written in, how each is named to the
// user, and how the one of a file is found.
//
// Finding it: a byte-order mark decides; text that is valid UTF-8 is UTF-8 (unless it holds no
// Chinese and a code page reads it as common Chinese: a few GBK characters make valid UTF-8);
// otherwise the detector's guess of GB18030 or Big5 is taken when the file reads cleanly that
// way ("cleanly": no bad byte, no control code, no user-defined character). Where it is unsure,
// of Big5, GB18030 and Big5-HKSCS that read the start cleanly the one reading as the most
// common Chinese wins, in that order on a tie; then UTF-8 when most of the file is UTF-8 (its
// bad bytes flagged); then UTF-16 without a mark when nearly every unit of it is Chinese or
// ASCII text; a file that fits none is read in what its start showed, else Big5, with its bad
// bytes shown as U+FFFD. GBK text is mostly valid Big5, so Big5 must never be taken before the
// detector has had its say.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
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

// The share of the characters of `text` beyond ASCII and punctuation that are among the most
// common Chinese ones (the first levels of Big5 and GB2312, some 8,000): text read in its own
// code page is nearly all of them, the same bytes read in another far fewer. 0 without Chinese;
// looks at the first 4,096.
double commonChineseShare(QStringView text);

// The encoding the detector alone guesses (libuchardet), or nothing when it has no opinion
// among ours. Looks at the first 64 KiB.
std::optional<Encoding> guessEncoding(const QByteArray& bytes);

}  // namespace sayvell::document
