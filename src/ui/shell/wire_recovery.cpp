// How the recovery of unsaved texts joins the main window.
#include "platform/shutdown_watch.h"
#include "reading/clock.h"
#include "store/recovery.h"
#include "store/tdm.h"
#include "ui/common/dialogs.h"
#include "ui/common/memo_port.h"
#include "ui/document/documents_controller.h"
#include "ui/shell/tf_speaker.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>
#include <QtDebug>

namespace sayvell::ui {

namespace {
constexpr int kTerminatedExitCode = 128 + 15;
}

void Tf_speaker::wireRecovery() {
    QString why;
    auto recoveryStore = store::RecoveryStore::open(services_.dm.path(), &why);
    if (!recoveryStore) {
        QTimer::singleShot(0, this, [this, why] { services_.dialogs.warning(store::kRecoveryUnavailable.arg(why)); });
        return;
    }
    auto writer = std::make_unique<store::RecoveryWriter>(std::move(recoveryStore));
    std::optional<store::RecoveryRecord> left = writer->load();
    // The text is shared, not copied: the writer's thread converts it.
    auto* keeper = new store::RecoveryKeeper(
        std::move(writer),
        [this] {
            const std::optional<document::Encoding> encoding = documents_->session().fileEncoding();
            return store::RecoveryRecord{port_->bytes().text(), currentFile(), ui.Memo1->textCursor().position(),
                                         services_.clock.now(),
                                         encoding ? document::encodingKey(*encoding) : QString()};
        },
        {}, this);
    recovery_ = keeper;
    addExitStep(ExitStage::BeforeEnd, [keeper] { keeper->finish(); });

    auto* watch = platform::makeShutdownWatch().release();
    watch->setParent(this);
    if (!watch->unavailableReason().isEmpty()) qInfo("Sayvell: %s", qPrintable(watch->unavailableReason()));
    connect(watch, &platform::ShutdownWatch::shutdownComing, keeper,
            [this, keeper, watch](platform::ShutdownWatch::Reason reason) {
                keeper->keepNow();
                watch->release();
                // Ended without the exit command: the record stays for the next start.
                if (reason == platform::ShutdownWatch::Reason::Terminate) emit exitRequested(kTerminatedExitCode);
            });

    // After the start-up sequence, which ends by marking the editor unchanged.
    QTimer::singleShot(0, this, [this, keeper, left = std::move(left)] {
        QTextDocument* doc = ui.Memo1->document();
        bool discarded = false;
        // Restored before the keeper listens: putting the text in passes through "unchanged",
        // which must not take the record away.
        if (left && !left->text.isEmpty()) {
            ui.Memo1->setPlainText(left->text);
            QTextCursor caret = ui.Memo1->textCursor();
            caret.setPosition(qBound(0, left->caret, int(left->text.size())));
            ui.Memo1->setTextCursor(caret);
            ui.Memo1->centerCursor();
            doc->setModified(true);
            showCaretPosition();
            const QString file = left->fileName.isEmpty() ? QString() : store::kRecoveryOfferFile.arg(left->fileName);
            // Only "no" throws the text away. Put off (Escape, the frame's close, or the program
            // ended meanwhile) it stays, and so does its record.
            if (services_.dialogs.ask(store::kRecoveryOffer.arg(file)).value_or(true)) {
                documents_->resume(left->fileName, document::encodingFromName(left->encoding));
            } else {
                ui.Memo1->clear();
                doc->setModified(false);
                discarded = true;
            }
        }
        connect(doc, &QTextDocument::contentsChanged, keeper, [keeper, doc] {
            if (doc->isModified()) keeper->changed();
        });
        connect(doc, &QTextDocument::modificationChanged, keeper, [keeper](bool modified) {
            if (!modified) keeper->settled();
        });
        if (discarded) keeper->settled();
    });
}

}  // namespace sayvell::ui
