#include "ui/document/documents_controller.h"

#include "store/app_paths.h"
#include "store/tdm.h"
#include "ui/common/dialogs.h"
#include "ui/common/reading_gate.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>

namespace sayvell::ui {

class DocumentsController::Editor final : public document::DocumentEditor {
public:
    explicit Editor(QPlainTextEdit* memo) : memo_(memo) {}
    QString text() const override { return memo_->document()->toRawText(); }
    void setText(const QString& text) override {
        memo_->setPlainText(text);
        memo_->moveCursor(QTextCursor::Start);
        memo_->document()->setModified(false);
    }
    bool isModified() const override { return memo_->document()->isModified(); }
    void setModified(bool modified) override { memo_->document()->setModified(modified); }
    void busy(bool on) override {
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    }

private:
    QPlainTextEdit* memo_;
};

class DocumentsController::Prompter final : public document::DocumentPrompter {
public:
    explicit Prompter(Dialogs& d) : d_(d) {}
    bool confirm(const QString& text) override { return d_.confirm(text); }
    std::optional<bool> ask(const QString& text) override { return d_.ask(text); }
    void warning(const QString& text) override { d_.warning(text); }
    void information(const QString& text) override { d_.information(text); }
    void error(const QString& text) override { d_.error(text); }
    void message(const QString& text) override { d_.message(text); }
    QString openName(const QString& caption, const QString& filter) override {
        return d_.openDocumentName(caption, filter, store::appDir());
    }
    QString saveName(const QString& caption, const QString& filter) override {
        return d_.saveDocumentName(caption, filter);
    }

private:
    Dialogs& d_;
};

DocumentsController::DocumentsController(DocumentWidgets w, store::TDM& dm, Dialogs& dialogs, ReadingGate& gate,
                                         QObject* parent)
    : QObject(parent), w_(w), dm_(dm), dialogs_(dialogs), gate_(gate), editor_(std::make_unique<Editor>(w.Memo1)),
      prompter_(std::make_unique<Prompter>(dialogs)),
      session_(std::make_unique<document::DocumentSession>(*editor_, *prompter_)) {
    connect(w_.SB_new, &QToolButton::clicked, this, [this] { w_.N35->trigger(); });
    connect(w_.N35, &QAction::triggered, this, &DocumentsController::N35Click);
    connect(w_.SB_open, &QToolButton::clicked, this, &DocumentsController::SB_openClick);
    connect(w_.N11, &QAction::triggered, this, &DocumentsController::SB_openClick);
    connect(w_.SB_save, &QToolButton::clicked, this, [this] { SB_saveClick(); });
    connect(w_.N12, &QAction::triggered, this, [this] { SB_saveClick(); });
    connect(w_.N21, &QAction::triggered, this, &DocumentsController::N21Click);
    connect(w_.ListBox1, &QListWidget::itemDoubleClicked, this, [this] { ListBox1DblClick(); });
    connect(w_.ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
    connect(w_.O1, &QAction::triggered, this, &DocumentsController::O1Click);
    connect(w_.D2, &QAction::triggered, this, &DocumentsController::D2Click);
    for (QAction* a : w_.M_reopenAs->actions()) {
        const auto encoding = static_cast<document::Encoding>(a->data().toInt());
        connect(a, &QAction::triggered, this, [this, encoding] { reopenAsClick(encoding); });
    }
    showEncoding();
}

void DocumentsController::showEncoding() {
    const std::optional<document::Encoding> encoding = session_->fileEncoding();
    w_.statusEncoding->setText(encoding ? document::encodingName(*encoding) : QString());
    w_.M_reopenAs->menuAction()->setEnabled(encoding.has_value());
    if (const QString warning = session_->takeLoadWarning(); !warning.isEmpty()) dialogs_.warning(warning);
}

void DocumentsController::reopenAsClick(document::Encoding encoding) {
    gate_.requestStop();
    if (gate_.readingActive()) return;
    session_->reopenAs(encoding);
    showEncoding();
}

DocumentsController::~DocumentsController() = default;

void DocumentsController::setDocumentConverter(std::shared_ptr<document::DocumentConverter> converter) {
    session_->setConverter(std::move(converter));
}

void DocumentsController::fillHistoryList() {
    w_.ListBox1->clear();
    w_.ListBox1->addItems(dm_.Q_history.list());
}

void DocumentsController::N35Click() {
    gate_.requestStop();
    if (gate_.readingActive()) return;
    session_->newDocument();
    w_.statusPanel2->clear();
    showEncoding();
}

void DocumentsController::resume(const QString& path, std::optional<document::Encoding> encoding) {
    session_->resume(path, encoding);
    w_.statusPanel2->setText(path);
    showEncoding();
}

void DocumentsController::SB_openClick() {
    gate_.requestStop();
    const QString name = session_->open();
    if (!name.isEmpty()) w_.statusPanel2->setText(name);
    showEncoding();
    if (name.isEmpty()) return;
    if (const store::DbResult r = dm_.Q_history.recordOpen(name); !r) dialogs_.error(r.message);
}

bool DocumentsController::SB_saveClick() {
    gate_.requestStop();
    const bool saved = session_->save();
    showEncoding();
    return saved;
}

void DocumentsController::N21Click() {
    gate_.requestStop();
    session_->saveAs();
    showEncoding();
}

void DocumentsController::ListBox1DblClick() {
    const QList<QListWidgetItem*> selected = w_.ListBox1->selectedItems();
    if (w_.ListBox1->count() == 0 || selected.isEmpty()) return;
    const QString path = selected.first()->text();
    gate_.requestStop();
    if (gate_.readingActive()) return;
    if (!session_->reopen(path)) {
        showEncoding();
        return;
    }
    store::DbResult result;
    const QString stored = dm_.Q_history.touch(path, &result);
    if (!stored.isEmpty()) w_.statusPanel2->setText(stored);
    showEncoding();
    if (!result) dialogs_.error(result.message);
}

void DocumentsController::D2Click() {
    const QList<QListWidgetItem*> selected = w_.ListBox1->selectedItems();
    if (w_.ListBox1->count() == 0 || selected.isEmpty()) return;
    const QString path = selected.first()->text();
    delete w_.ListBox1->takeItem(w_.ListBox1->row(selected.first()));
    if (const store::DbResult r = dm_.Q_history.remove(path); !r) dialogs_.error(r.message);
}

void DocumentsController::ListBox1Click() {
    const QList<QListWidgetItem*> selected = w_.ListBox1->selectedItems();
    if (!selected.isEmpty()) w_.ListBox1->setToolTip(selected.first()->text());
}

}  // namespace sayvell::ui
