// How the settings feature and the reading preview join the main window.
#include "reading/clock.h"
#include "reading/date_format.h"
#include "reading/speech_engine.h"
#include "reading/spoken_text.h"
#include "store/pronunciation_table.h"
#include "store/tdm.h"
#include "ui/common/memo_port.h"
#include "ui/common/placement.h"
#include "ui/export/export_controller.h"
#include "ui/reading/preview/preview_window.h"
#include "ui/settings/tfdelaytime.h"
#include "ui/shell/tf_speaker.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>

namespace sayvell::ui {

void Tf_speaker::wireSettings() {
    // Made at its first showing, not at start-up: it reloads its values on every showing anyway,
    // and building its four pages would delay the main window's first frame.
    const auto show = [this] {
        auto* settings = findChild<TFdelaytime*>();
        if (!settings) {
            settings = new TFdelaytime(services_.dm.q_delaytime, state_, services_.dialogs, this);
            settings->setPronunciationTable(pronunciationTable());
            // A saved output format is the next export's at once, without a restart.
            settings->setExportFormatHandler([this](int index) {
                if (auto* exporter = findChild<ExportController*>()) exporter->ComboBox1()->setCurrentIndex(index);
            });
        }
        if (!settings->isVisible()) centreOnScreenOf(settings, this);
        settings->show();
        settings->raise();
        settings->activateWindow();
    };
    connect(ui.sb_delay, &QToolButton::clicked, this, show);
    connect(ui.N_sysset, &QAction::triggered, this, show);

    // The preview takes what a reading started now would use: the chosen voice's language,
    // the pause table, the date format and the table's current snapshot.
    const reading::DateFormatter formatter(QLocale::system());
    auto* preview = new PreviewWindow(
        ui.Memo1,
        [this, formatter](bool fromTop) {
            PreviewRequest r;
            r.text = memoPort().bytes();
            r.startByte = fromTop ? 0 : r.text.byteOfPos(ui.Memo1->textCursor().selectionStart());
            r.table = state_.delimiterTable();
            const QList<reading::Voice> voices = services_.speech.voices();
            const int index = ui.flatComboBox1->currentIndex();
            if (index >= 0 && index < voices.size()) r.language = reading::languageOfVoice(voices[index].id);
            r.dateFormatType = state_.dateFormatType.load();
            r.now = services_.clock.now();
            r.date = [formatter](const QString& piece, int type, const QDateTime& now) {
                return formatter.substitute(piece, type, now);
            };
            if (auto* table = pronunciationTable()) r.lexicon = table->lexicon();
            r.symbolDelayMs = state_.symbolDelayMs.load();
            return r;
        },
        this);
    auto* previewAction = new QAction(QStringLiteral("預覽朗讀文字  (&P)"), ui.memoMenu);
    previewAction->setObjectName(QStringLiteral("P_preview"));
    const QList<QAction*> items = ui.memoMenu->actions();
    const qsizetype after = items.indexOf(ui.P_loopAll);
    ui.memoMenu->insertAction(after >= 0 ? items.value(after + 1) : nullptr, previewAction);
    connect(previewAction, &QAction::triggered, preview, &PreviewWindow::open);
}

}  // namespace sayvell::ui
