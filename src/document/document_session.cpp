#include "document/document_session.h"

#include "document/word_convert.h"

#include <QFileInfo>

namespace sayvell::document {

namespace {

const QString kOpenCaption = QStringLiteral("打開");
const QString kOpenFilter = QStringLiteral("文本文件(*.txt);;Word文件(*.doc *.docx *.odt *.rtf)");
const QString kSaveCaption = QStringLiteral("保存");
const QString kSaveAsCaption = QStringLiteral("另存為");
const QString kSaveFilter = QStringLiteral("文本文件(*.txt)");

QString overwriteQuestion(const QString& path) {
    return QStringLiteral("該文件: ") + path + QStringLiteral(" 已存在，要覆蓋它嗎？");
}

}  // namespace

DocumentSession::DocumentSession(DocumentEditor& editor, DocumentPrompter& prompter)
    : editor_(editor), prompter_(prompter) {}

DocumentSession::~DocumentSession() = default;

void DocumentSession::setConverter(std::shared_ptr<DocumentConverter> converter) { converter_ = std::move(converter); }

DocumentConverter& DocumentSession::converter() {
    if (!converter_) converter_ = std::make_shared<SystemConverter>();
    return *converter_;
}

bool DocumentSession::settleChangedText() {
    if (!editor_.isModified()) return true;
    const std::optional<bool> wanted = prompter_.ask(kSaveChanged);
    if (!wanted) return false;
    return !*wanted || save();
}

bool DocumentSession::newDocument() {
    // Saving keeps the text on screen; the next New empties it once it is saved.
    if (editor_.isModified()) {
        const std::optional<bool> wanted = prompter_.ask(kSaveChanged);
        if (!wanted) return false;
        if (*wanted) {
            save();
            return false;
        }
    }
    currentFile_.clear();
    editor_.setText(QString());
    format_ = {};
    converted_ = false;
    undecodable_ = false;
    return true;
}

bool DocumentSession::load(const QString& path, std::optional<Encoding> encoding) {
    if (hasTxtExtension(path)) {
        DecodedText decoded;
        QString error;
        if (!readTextFile(path, &decoded, &error, encoding)) {
            prompter_.error(QStringLiteral("無法打開文件: %1\n%2").arg(path, error));
            return false;
        }
        editor_.setText(decoded.text);
        format_ = decoded.format;
        converted_ = false;
        undecodable_ = decoded.undecodable;
        loadWarning_ = undecodable_ ? kUndecodable.arg(path, encodingName(format_.encoding)) : QString();
        return true;
    }
    QString text;
    QString error;
    editor_.busy(true);
    const bool ok = converter().convert(path, &text, &error);
    editor_.busy(false);
    if (!ok) {
        prompter_.message(path + QStringLiteral(" 可能已打開"));
        return false;
    }
    editor_.setText(text);
    format_ = {};
    converted_ = true;
    undecodable_ = false;
    return true;
}

QString DocumentSession::open() {
    if (!settleChangedText()) return {};
    const QString name = prompter_.openName(kOpenCaption, kOpenFilter);
    if (name.isEmpty() || !load(name)) return {};
    currentFile_ = name;
    return name;
}

bool DocumentSession::reopen(const QString& path) {
    if (!settleChangedText()) return false;
    // The current file changes only once the new one is open, so a later Save still goes
    // where the text came from.
    if (!QFileInfo(path).isFile()) {
        prompter_.warning(kMissingFile);
        return false;
    }
    if (!load(path)) return false;
    currentFile_ = path;
    return true;
}

bool DocumentSession::reopenAs(Encoding encoding) {
    if (currentFile_.isEmpty() || converted_) {
        prompter_.warning(kNoFileToReopen);
        return false;
    }
    if (!QFileInfo(currentFile_).isFile()) {
        prompter_.warning(kMissingFile);
        return false;
    }
    // Saving first would write the text back in the encoding the user has just called wrong.
    if (editor_.isModified() && !prompter_.confirm(kReopenDiscards)) return false;
    return load(currentFile_, encoding);
}

void DocumentSession::resume(const QString& path, std::optional<Encoding> encoding) {
    currentFile_ = path;
    format_ = {};
    converted_ = !path.isEmpty() && !hasTxtExtension(path);
    undecodable_ = false;
    DecodedText decoded;
    QString error;
    if (path.isEmpty() || converted_ || !readTextFile(path, &decoded, &error, encoding)) return;
    format_ = decoded.format;
    undecodable_ = decoded.undecodable;
}

std::optional<Encoding> DocumentSession::fileEncoding() const {
    if (currentFile_.isEmpty() || converted_) return std::nullopt;
    return format_.encoding;
}

bool DocumentSession::refuseWordProcessorTarget(const QString& path) {
    if (!isWordProcessorFile(path) || !QFileInfo::exists(path)) return false;
    prompter_.warning(QStringLiteral("不能以純文本覆蓋文書處理文件: %1").arg(path));
    return true;
}

bool DocumentSession::write(const QString& path) {
    const QString text = editor_.text();
    if (undecodable_ && text.contains(QChar(QChar::ReplacementCharacter)) &&
        !prompter_.confirm(
            QStringLiteral("此文件含有不是文字的位元組（顯示為 \uFFFD），保存後無法還原它們。要保存嗎？")))
        return false;
    TextFormat format = format_;
    QByteArray bytes;
    if (!encodeText(text, format, &bytes)) {
        // Never replace a character: the text goes to UTF-8 or is not saved at all.
        if (!prompter_.confirm(kSaveAsUtf8.arg(encodingName(format.encoding), path))) return false;
        format = {Encoding::Utf8Bom, format.crlf};
        encodeText(text, format, &bytes);
    }
    QString error;
    if (!writeFileSafely(path, bytes, &error)) {
        prompter_.error(QStringLiteral("無法保存文件: %1\n%2").arg(path, error));
        return false;
    }
    format_ = format;
    // Asked once for the file the bytes came from; another file's copy does not count.
    if (path == currentFile_) undecodable_ = false;
    editor_.setModified(false);
    return true;
}

bool DocumentSession::save() {
    // A text converted from a word-processor file never goes back into that file.
    if (!currentFile_.isEmpty() && !converted_) return write(currentFile_);
    QString name = prompter_.saveName(kSaveCaption, kSaveFilter);
    if (name.isEmpty()) return false;
    name = withTxtExtension(name);
    if (QFileInfo::exists(name) && !prompter_.confirm(overwriteQuestion(name))) return false;
    // The document stays untitled: the next Save asks again.
    return write(name);
}

bool DocumentSession::saveAs() {
    const QString name = prompter_.saveName(kSaveAsCaption, kSaveFilter);
    if (name.isEmpty()) return false;
    if (QFileInfo::exists(name)) {
        if (refuseWordProcessorTarget(name)) return false;
        if (!prompter_.confirm(overwriteQuestion(name))) return false;
    }
    return write(name);  // the current file stays as it was
}

}  // namespace sayvell::document
