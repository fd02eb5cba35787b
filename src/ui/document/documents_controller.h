#pragma once
// New, open, save, save as and the history list of opened files, on the document rules of
// document/document_session.h. The menu items work while the tool buttons are disabled for a
// reading.
#include "document/document_session.h"

#include <QObject>
#include <memory>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QToolButton;

namespace sayvell::store {
class TDM;
}

namespace sayvell::ui {

class Dialogs;
class ReadingGate;

struct DocumentWidgets {
    QToolButton* SB_new;
    QAction* N35;  // new
    QToolButton* SB_open;
    QAction* N11;  // open
    QToolButton* SB_save;
    QAction* N12;  // save
    QAction* N21;  // save as
    QListWidget* ListBox1;
    QAction* O1;  // open from the history
    QAction* D2;  // delete a history record
    QLabel* statusPanel2;
    QPlainTextEdit* Memo1;
    QMenu* M_reopenAs;  // "以編碼重新開啟", an action per encoding
    QLabel* statusEncoding;
};

class DocumentsController : public QObject {
    Q_OBJECT
public:
    DocumentsController(DocumentWidgets w, store::TDM& dm, Dialogs& dialogs, ReadingGate& gate,
                        QObject* parent = nullptr);
    ~DocumentsController() override;

    void fillHistoryList();
    const document::DocumentSession& session() const { return *session_; }
    void setDocumentConverter(std::shared_ptr<document::DocumentConverter> converter);
    // The exit's question: false when a changed text the user wanted saved was not.
    bool settleChangedText() { return session_->settleChangedText(); }

    // A recovered text from `path` is in the editor; `encoding` the file's when it was kept.
    void resume(const QString& path, std::optional<document::Encoding> encoding = std::nullopt);

    void N35Click();
    void SB_openClick();
    bool SB_saveClick();
    void N21Click();
    void ListBox1DblClick();
    void O1Click() { ListBox1DblClick(); }
    void D2Click();
    void ListBox1Click();
    void reopenAsClick(document::Encoding encoding);

private:
    // The status bar names the encoding of the open text file, and only then may it be re-opened.
    void showEncoding();

    class Editor;
    class Prompter;

    DocumentWidgets w_;
    store::TDM& dm_;
    Dialogs& dialogs_;
    ReadingGate& gate_;
    std::unique_ptr<Editor> editor_;
    std::unique_ptr<Prompter> prompter_;
    std::unique_ptr<document::DocumentSession> session_;
};

}  // namespace sayvell::ui
