#pragma once
// The rules of the current document: which file it is, how it was read and will be written,
// and what new, open, save, save as and reopen do with a changed text. The window supplies the
// editor and the user's answers; the rules are kept here so they can be tried without one.
//
// What is kept on failure, always: a file that cannot be read never replaces the text being
// edited, its modified state or the current file; a text the user wanted saved but that was not
// (a cancelled dialog, a full disk) is neither cleared nor replaced; a save that failed leaves
// the old file whole (written through a temporary file).
#include "document/text_file.h"

#include <QString>
#include <memory>
#include <optional>
#include <utility>

namespace sayvell::document {

class DocumentConverter;

// The editor as the rules see it.
class DocumentEditor {
public:
    virtual ~DocumentEditor() = default;
    virtual QString text() const = 0;               // line breaks as \n
    virtual void setText(const QString& text) = 0;  // caret at the top, not modified
    virtual bool isModified() const = 0;
    virtual void setModified(bool modified) = 0;
    // Conversions take a while: the window may show that it is busy.
    virtual void busy(bool on) { (void)on; }
};

// What the rules ask of the user.
class DocumentPrompter {
public:
    virtual ~DocumentPrompter() = default;
    virtual bool confirm(const QString& text) = 0;
    // A Yes/No question that the user may also put off (Escape, the frame's close box): empty
    // then, and nothing may be lost or done.
    virtual std::optional<bool> ask(const QString& text) { return confirm(text); }
    virtual void warning(const QString& text) = 0;
    virtual void information(const QString& text) = 0;
    virtual void error(const QString& text) = 0;
    virtual void message(const QString& text) = 0;  // the plain box
    // Empty when cancelled.
    virtual QString openName(const QString& caption, const QString& filter) = 0;
    virtual QString saveName(const QString& caption, const QString& filter) = 0;
};

inline const QString kSaveChanged = QStringLiteral("文章已被修改，要保存嗎？");
inline const QString kMissingFile = QStringLiteral("文件不存存!");
// %1 the encoding, %2 the file.
inline const QString kSaveAsUtf8 =
    QStringLiteral("文章中有 %1 無法表示的字元，要把 %2 以 UTF-8 格式保存嗎？\n選「否」則不保存，文章保持原樣。");
// %1 the file, %2 the encoding.
inline const QString kUndecodable = QStringLiteral(
    "%1 中有些位元組不是 %2 文字，顯示為 \uFFFD。\n可用「文件」選單的「以編碼重新開啟」選擇其他編碼；保存前會先詢問。");
inline const QString kReopenDiscards = QStringLiteral("重新開啟將放棄對文章的修改，要繼續嗎？");
inline const QString kNoFileToReopen = QStringLiteral("請先打開一個文本文件。");

class DocumentSession {
public:
    DocumentSession(DocumentEditor& editor, DocumentPrompter& prompter);
    ~DocumentSession();

    const QString& currentFile() const { return currentFile_; }
    const TextFormat& format() const { return format_; }
    // The text came from a word-processor file: Save asks for a name.
    bool converted() const { return converted_; }
    void setConverter(std::shared_ptr<DocumentConverter> converter);

    // Empties the editor unless the user wants the changed text saved first; false when the
    // text was kept.
    bool newDocument();
    // Asks for a file and opens it; the opened path, empty when nothing was opened.
    QString open();
    // Opens `path` from the history; false (and nothing changed) when it is missing or
    // unreadable, or the changed text was kept.
    bool reopen(const QString& path);
    // Reads the current text file again in `encoding`, after asking whether a changed text may
    // be given up; false when nothing changed.
    bool reopenAs(Encoding encoding);
    // False when the text was not saved (cancelled or failed).
    bool save();
    bool saveAs();
    // When the text is changed: asks whether to save; false when the user wanted it saved and it
    // was not, so the caller must keep it.
    bool settleChangedText();
    // The editor already holds a recovered text that came from `path` (empty: untitled): Save
    // goes back there, in the file's own encoding and line breaks when it is still readable:
    // `encoding` when the text had been read in one the user chose.
    void resume(const QString& path, std::optional<Encoding> encoding = std::nullopt);
    // The encoding the current text file was read in; none for an untitled or converted text.
    std::optional<Encoding> fileEncoding() const;
    // The warning about bytes that are not text of the encoding, for the file just read (once,
    // empty when none): shown by the caller once the window shows that file and its encoding.
    QString takeLoadWarning() { return std::exchange(loadWarning_, QString()); }

private:
    bool load(const QString& path, std::optional<Encoding> encoding = std::nullopt);
    bool write(const QString& path);
    bool refuseWordProcessorTarget(const QString& path);
    DocumentConverter& converter();

    DocumentEditor& editor_;
    DocumentPrompter& prompter_;
    std::shared_ptr<DocumentConverter> converter_;
    QString currentFile_;
    TextFormat format_;
    bool converted_ = false;
    bool undecodable_ = false;
    QString loadWarning_;
};

}  // namespace sayvell::document
