// The main window's document commands: new, open, save, save as, the history list, find and
// replace, the editor's font, colour and alignment, and the clipboard commands.
#include "document/find_text.h"
#include "document/text_file.h"
#include "document/word_convert.h"
#include "store/app_paths.h"
#include "store/settings_file.h"
#include "store/tdm.h"
#include "ui/common/colors.h"
#include "ui/common/dialogs.h"
#include "ui/common/memo_port.h"
#include "ui/shell/tf_speaker.h"
#include "ui/common/messages.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>

namespace sayvell::ui {

namespace {

const QString kMissingFile = QStringLiteral("文件不存存!");
const QString kOpenCaption = QStringLiteral("打開");
const QString kOpenFilter = QStringLiteral("文本文件(*.txt);;Word文件(*.doc *.docx *.odt *.rtf)");
const QString kSaveCaption = QStringLiteral("保存");
const QString kSaveAsCaption = QStringLiteral("另存為");
const QString kSaveFilter = QStringLiteral("文本文件(*.txt)");

QString overwriteQuestion(const QString& path) {
    return QStringLiteral("該文件: ") + path + QStringLiteral(" 已存在，要覆蓋它嗎？");
}

QString conversionFailed(const QString& path) { return path + QStringLiteral(" 可能已打開"); }

}  // namespace

void Tf_speaker::connectDocumentCommands() {
    connect(ui.SB_new, &QToolButton::clicked, this, [this] { ui.N35->trigger(); });
    connect(ui.N35, &QAction::triggered, this, &Tf_speaker::N35Click);
    connect(ui.SB_open, &QToolButton::clicked, this, &Tf_speaker::SB_openClick);
    // The menu items work while the tool buttons are disabled for a reading.
    connect(ui.N11, &QAction::triggered, this, &Tf_speaker::SB_openClick);
    connect(ui.SB_save, &QToolButton::clicked, this, [this] { SB_saveClick(); });
    connect(ui.N12, &QAction::triggered, this, [this] { SB_saveClick(); });
    connect(ui.N21, &QAction::triggered, this, &Tf_speaker::N21Click);

    connect(ui.ListBox1, &QListWidget::itemDoubleClicked, this, [this] { ListBox1DblClick(); });
    connect(ui.ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
    connect(ui.O1, &QAction::triggered, this, &Tf_speaker::O1Click);
    connect(ui.D2, &QAction::triggered, this, &Tf_speaker::D2Click);

    connect(ui.SpeedButton2, &QToolButton::clicked, this, &Tf_speaker::SpeedButton2Click);
    connect(ui.SpeedButton3, &QToolButton::clicked, this, &Tf_speaker::SpeedButton3Click);
    connect(ui.SpeedButton4, &QToolButton::clicked, this, &Tf_speaker::SpeedButton4Click);

    connect(ui.N23, &QAction::triggered, this, &Tf_speaker::N23Click);
    connect(ui.N25, &QAction::triggered, this, &Tf_speaker::N25Click);
    connect(ui.N27, &QAction::triggered, this, &Tf_speaker::N27Click);
    connect(ui.N28, &QAction::triggered, this, &Tf_speaker::N28Click);
    connect(ui.N29, &QAction::triggered, this, &Tf_speaker::N29Click);

    connect(ui.CCtrlC2, &QAction::triggered, this, &Tf_speaker::CCtrlC2Click);
    connect(ui.HCtrlH1, &QAction::triggered, this, &Tf_speaker::CCtrlC2Click);
    connect(ui.VCtrlV3, &QAction::triggered, this, &Tf_speaker::VCtrlV3Click);
    connect(ui.VCtrlV1, &QAction::triggered, this, &Tf_speaker::VCtrlV3Click);
    connect(ui.XCtrlX1, &QAction::triggered, this, &Tf_speaker::XCtrlX1Click);
    connect(ui.ZCtrlZ1, &QAction::triggered, this, &Tf_speaker::ZCtrlZ1Click);
    connect(ui.A1, &QAction::triggered, this, &Tf_speaker::A1Click);
    connect(ui.N10, &QAction::triggered, this, &Tf_speaker::A1Click);
}

void Tf_speaker::setDocumentConverter(std::shared_ptr<document::DocumentConverter> converter) {
    converter_ = std::move(converter);
}

document::DocumentConverter& Tf_speaker::converter() {
    if (!converter_) converter_ = std::make_shared<document::SystemConverter>();
    return *converter_;
}

// ---- Files ------------------------------------------------------------------------------

void Tf_speaker::newDocument() {
    currentFile.clear();
    ui.Memo1->clear();
    ui.Memo1->document()->setModified(false);
    docFormat_ = {};
    docConverted_ = false;
    docUndecodable_ = false;
}

void Tf_speaker::N35Click() {
    runner_->requestStop();
    if (state.readingActive) return;
    if (!ui.Memo1->document()->isModified())
        newDocument();
    else if (services_.dialogs.confirm(kSaveChanged))
        SB_saveClick();  // the text stays; the next New empties it once it is saved
    else
        newDocument();
    ui.statusPanel[2]->clear();
}

// Reads `path` into the editor, marked not modified. On failure the user is told and the
// editor keeps its text: a file that cannot be read never costs the one being edited.
bool Tf_speaker::loadDocument(const QString& path) {
    if (document::hasTxtExtension(path)) {
        document::DecodedText decoded;
        QString error;
        if (!document::readTextFile(path, &decoded, &error)) {
            services_.dialogs.error(QStringLiteral("無法打開文件: %1\n%2").arg(path, error));
            return false;
        }
        ui.Memo1->setPlainText(decoded.text);
        docFormat_ = decoded.format;
        docConverted_ = false;
        docUndecodable_ = decoded.undecodable;
    } else {
        QString text;
        QString error;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const bool ok = converter().convert(path, &text, &error);
        QApplication::restoreOverrideCursor();
        if (!ok) {
            services_.dialogs.message(conversionFailed(path));
            return false;
        }
        ui.Memo1->setPlainText(text);
        docFormat_ = {};
        docConverted_ = true;
        docUndecodable_ = false;
    }
    ui.Memo1->document()->setModified(false);
    return true;
}

void Tf_speaker::SB_openClick() {
    runner_->requestStop();
    // A text the user wanted saved but that was not (a cancelled dialog, a full disk) stays.
    if (ui.Memo1->document()->isModified() && services_.dialogs.confirm(kSaveChanged) && !SB_saveClick()) return;
    const QString name = services_.dialogs.openDocumentName(kOpenCaption, kOpenFilter, store::appDir());
    if (name.isEmpty()) return;
    if (!loadDocument(name)) return;
    ui.Memo1->moveCursor(QTextCursor::Start);
    currentFile = name;
    ui.statusPanel[2]->setText(name);
    if (const store::DbResult r = services_.dm.Q_history.recordOpen(currentFile); !r)
        services_.dialogs.error(r.message);
}

bool Tf_speaker::refuseWordProcessorTarget(const QString& path) {
    if (!document::isWordProcessorFile(path) || !QFileInfo::exists(path)) return false;
    services_.dialogs.warning(QStringLiteral("不能以純文本覆蓋文書處理文件: %1").arg(path));
    return true;
}

bool Tf_speaker::writeDocument(const QString& path) {
    const QString text = ui.Memo1->document()->toRawText();
    if (docUndecodable_ && text.contains(QChar(QChar::ReplacementCharacter)) &&
        !services_.dialogs.confirm(QStringLiteral("此文件含有不是文字的位元組（顯示為 \uFFFD），保存後無法還原它們。要保存嗎？")))
        return false;
    document::TextFormat format = docFormat_;
    QByteArray bytes;
    if (!document::encodeText(text, format, &bytes)) {
        // Never replace a character: such a text is kept as UTF-8 from now on.
        services_.dialogs.information(
            QStringLiteral("文章中有 Big5 無法表示的字元，%1 將以 UTF-8 格式保存。").arg(path));
        format = {document::Encoding::Utf8Bom, true};
        document::encodeText(text, format, &bytes);
    }
    QString error;
    if (!document::writeFileSafely(path, bytes, &error)) {
        services_.dialogs.error(QStringLiteral("無法保存文件: %1\n%2").arg(path, error));
        return false;
    }
    docFormat_ = format;
    // Asked once for the file the bytes came from; another file's copy does not count.
    if (path == currentFile) docUndecodable_ = false;
    ui.Memo1->document()->setModified(false);
    return true;
}

bool Tf_speaker::SB_saveClick() {
    runner_->requestStop();
    // A text converted from a word-processor file never goes back into that file.
    if (!currentFile.isEmpty() && !docConverted_) return writeDocument(currentFile);
    QString name = services_.dialogs.saveDocumentName(kSaveCaption, kSaveFilter);
    if (name.isEmpty()) return false;
    name = document::withTxtExtension(name);
    if (QFileInfo::exists(name) && !services_.dialogs.confirm(overwriteQuestion(name))) return false;
    // The document stays untitled: the next Save asks again.
    return writeDocument(name);
}

void Tf_speaker::N21Click() {
    runner_->requestStop();
    const QString name = services_.dialogs.saveDocumentName(kSaveAsCaption, kSaveFilter);
    if (name.isEmpty()) return;
    if (QFileInfo::exists(name)) {
        if (refuseWordProcessorTarget(name)) return;
        if (!services_.dialogs.confirm(overwriteQuestion(name))) return;
    }
    writeDocument(name);  // currentFile stays as it was
}

// ---- History list -----------------------------------------------------------------------

void Tf_speaker::ListBox1DblClick() {
    const QList<QListWidgetItem*> selected = ui.ListBox1->selectedItems();
    if (ui.ListBox1->count() == 0 || selected.isEmpty()) return;
    const QString path = selected.first()->text();
    runner_->requestStop();
    if (state.readingActive) return;
    if (ui.Memo1->document()->isModified() && services_.dialogs.confirm(kSaveChanged) && !SB_saveClick()) return;
    // The current file changes only once the new one is open, so a later Save still goes
    // where the text came from.
    if (!QFileInfo(path).isFile()) {
        services_.dialogs.warning(kMissingFile);
        return;
    }
    if (!loadDocument(path)) return;
    currentFile = path;
    store::DbResult result;
    const QString stored = services_.dm.Q_history.touch(path, &result);
    if (!stored.isEmpty()) ui.statusPanel[2]->setText(stored);
    if (!result) services_.dialogs.error(result.message);
}

void Tf_speaker::O1Click() { ListBox1DblClick(); }

void Tf_speaker::D2Click() {
    const QList<QListWidgetItem*> selected = ui.ListBox1->selectedItems();
    if (ui.ListBox1->count() == 0 || selected.isEmpty()) return;
    const QString path = selected.first()->text();
    delete ui.ListBox1->takeItem(ui.ListBox1->row(selected.first()));
    if (const store::DbResult r = services_.dm.Q_history.remove(path); !r) services_.dialogs.error(r.message);
}

void Tf_speaker::ListBox1Click() {
    const QList<QListWidgetItem*> selected = ui.ListBox1->selectedItems();
    if (!selected.isEmpty()) ui.ListBox1->setToolTip(selected.first()->text());
}

// ---- Find and replace ---------------------------------------------------------------------

void Tf_speaker::Find(const QString& replacement) {
    const QString find = ui.Fedit->text();
    if (find.isEmpty()) return;
    document::FindOptions options;
    options.matchCase = ui.CheckBox2->isChecked();
    options.wholeEntry = ui.CheckBox1->isChecked();
    options.fromTop = ui.CheckBox4->isChecked();
    options.upward = ui.CheckBox3->isChecked();
    if (options.fromTop) ui.CheckBox4->setChecked(false);
    const text::ByteText& bytes = port_->bytes();
    const QTextCursor c = ui.Memo1->textCursor();
    const int selStart = bytes.byteOfPos(c.selectionStart());
    const int selLength = bytes.byteOfPos(c.selectionEnd()) - selStart;
    const document::FindResult result =
        replaceFollowing ? document::replaceFollowing(bytes, selStart, selLength, find, replacement, options)
                         : document::findStep(bytes, selStart, selLength, find, replacement, options);
    applyFindResult(result);
}

void Tf_speaker::applyFindResult(const document::FindResult& result) {
    const text::ByteText& bytes = port_->bytes();
    if (!result.edits.empty()) {
        // Positions first, while they still describe the text; then every replacement in one
        // edit block, so that one undo takes the whole run back.
        std::vector<std::pair<int, int>> spans;
        spans.reserve(result.edits.size());
        for (const document::Edit& e : result.edits)
            spans.emplace_back(int(bytes.posOfByte(e.start)), int(bytes.posOfByte(e.start + e.length)));
        QTextCursor edit(ui.Memo1->document());
        edit.beginEditBlock();
        for (size_t i = result.edits.size(); i-- > 0;) {
            edit.setPosition(spans[i].first);
            edit.setPosition(spans[i].second, QTextCursor::KeepAnchor);
            edit.insertText(result.edits[i].text);
        }
        edit.endEditBlock();
    }
    QTextCursor c = ui.Memo1->textCursor();
    c.setPosition(int(bytes.posOfByte(result.selStart)));
    c.setPosition(int(bytes.posOfByte(result.selStart + result.selLength)), QTextCursor::KeepAnchor);
    ui.Memo1->setFocus();
    ui.Memo1->setTextCursor(c);
    ui.Memo1->ensureCursorVisible();
    if (!result.found) {
        services_.dialogs.message(result.notFoundMessage);
        replaceFollowing = false;
        ui.Memo1->setFocus();
    }
}

void Tf_speaker::SpeedButton2Click() {
    if (ui.Fedit->text().isEmpty()) return;
    Find(QString());
}

void Tf_speaker::SpeedButton3Click() {
    if (ui.Fedit->text().isEmpty()) return;
    Find(ui.Redit->text());
}

void Tf_speaker::SpeedButton4Click() {
    if (ui.Fedit->text().isEmpty()) return;
    replaceFollowing = true;
    // One call runs every step up to the one that finds nothing and clears the flag.
    Find(ui.Redit->text());
}

// ---- Appearance ---------------------------------------------------------------------------

void Tf_speaker::N23Click() {
    FontChoice choice{ui.Memo1->font(), ui.Memo1->palette().color(QPalette::Text)};
    if (services_.dialogs.chooseFont(&choice)) {
        QFont font = ui.Memo1->font();
        if (choice.font.pointSize() > 0) font.setPointSize(choice.font.pointSize());
        font.setBold(choice.font.bold());
        font.setItalic(choice.font.italic());
        font.setUnderline(choice.font.underline());
        font.setStrikeOut(choice.font.strikeOut());
        font.setFamily(choice.font.family());
        ui.Memo1->setFont(font);
        QPalette pal = ui.Memo1->palette();
        pal.setColor(QPalette::Text, choice.color);
        ui.Memo1->setPalette(pal);
    }
    // Written after a cancel too: the file then holds the editor's look.
    const QFont font = ui.Memo1->font();
    try {
        store::SettingsFile ini;
        ini.writeString("Memo", "fontcolor", store::colorToText(fromQColor(ui.Memo1->palette().color(QPalette::Text))));
        ini.writeInteger("Memo", "fontsize", font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize());
        ini.writeString("Memo", "fontname", font.family());
        ini.writeString("Memo", "FontStyle",
                        store::fontStyleToText({font.bold(), font.italic(), font.underline(), font.strikeOut()}));
    } catch (const store::SettingsWriteError& e) {
        services_.dialogs.error(QString::fromUtf8(e.what()));
    }
}

void Tf_speaker::N25Click() {
    QColor color = ui.Memo1->palette().color(QPalette::Base);
    services_.dialogs.chooseColor(&color);  // unchanged after a cancel
    QPalette pal = ui.Memo1->palette();
    pal.setColor(QPalette::Base, color);
    ui.Memo1->setPalette(pal);
    try {
        store::SettingsFile().writeString("Memo", "memocolor", store::colorToText(fromQColor(color)));
    } catch (const store::SettingsWriteError& e) {
        services_.dialogs.error(QString::fromUtf8(e.what()));
    }
}

void Tf_speaker::alignText(Qt::Alignment alignment, QAction* item) {
    ui.Memo1->selectAll();
    QTextDocument* doc = ui.Memo1->document();
    QTextOption option = doc->defaultTextOption();
    option.setAlignment(alignment);
    doc->setDefaultTextOption(option);
    for (QAction* a : {ui.N27, ui.N28, ui.N29}) a->setChecked(a == item);
}

void Tf_speaker::N27Click() { alignText(Qt::AlignLeft, ui.N27); }
void Tf_speaker::N28Click() { alignText(Qt::AlignHCenter, ui.N28); }
void Tf_speaker::N29Click() { alignText(Qt::AlignRight, ui.N29); }

// ---- Clipboard: always on the editor, whichever control has the focus --------------------

void Tf_speaker::CCtrlC2Click() { ui.Memo1->copy(); }
void Tf_speaker::VCtrlV3Click() { ui.Memo1->paste(); }
void Tf_speaker::XCtrlX1Click() { ui.Memo1->cut(); }
void Tf_speaker::ZCtrlZ1Click() { ui.Memo1->undo(); }
void Tf_speaker::A1Click() { ui.Memo1->selectAll(); }

}  // namespace sayvell::ui
