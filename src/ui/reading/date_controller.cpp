#include "ui/reading/date_controller.h"

#include "reading/date_format.h"
#include "reading/reading_state.h"
#include "reading/tts.h"
#include "store/settings_file.h"
#include "ui/common/memo_edit.h"
#include "ui/reading/tfdateformat.h"

#include <QToolBar>
#include <QToolButton>

namespace sayvell::ui {

namespace {
constexpr int kDateWindowTop = 79;
}

DateController::DateController(QToolButton* SB_time, QToolBar* ToolBar1, QPlainTextEdit* Memo1,
                               reading::ReadingState& state, reading::TtsRunner& runner, reading::Clock& clock,
                               Dialogs& dialogs, QObject* parent)
    : QObject(parent), SB_time_(SB_time), ToolBar1_(ToolBar1), Memo1_(Memo1), state_(state), runner_(runner) {
    dateWindow_ = std::make_unique<Tfdateformat>(state, clock, reading::DateFormatter(QLocale::system()), dialogs,
                                                 [this](const QString& text) { inserttime(text); });
    setDateLocale(QLocale::system());
    connect(SB_time_, &QToolButton::clicked, this, &DateController::SB_timeClick);
}

DateController::~DateController() = default;

void DateController::applySettings(const store::SettingsFile& ini) {
    state_.dateFormatType = ini.read(store::keys::Datetimetype);
}

void DateController::setDateLocale(const QLocale& locale) {
    const reading::DateFormatter formatter(locale);
    dateWindow_->setFormatter(formatter);
    runner_.setDateSubstitution([formatter](const QString& piece, int type, const QDateTime& now) {
        return formatter.substitute(piece, type, now);
    });
}

void DateController::inserttime(const QString& text) { insertAtCaret(Memo1_, text); }

void DateController::SB_timeClick() {
    const int x = SB_time_->mapTo(ToolBar1_, QPoint(0, 0)).x();
    dateWindow_->move(x, kDateWindowTop);
    dateWindow_->show();
    dateWindow_->raise();
    dateWindow_->activateWindow();
}

}  // namespace sayvell::ui
