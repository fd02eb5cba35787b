#include "app/single_instance.h"
#include "audio/audio_engine.h"
#include "reading/clock.h"
#include "reading/espeak_engine.h"
#include "store/app_paths.h"
#include "store/tdm.h"
#include "ui/dialogs.h"
#include "ui/tf_speaker.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

using namespace sayvell;

namespace {

bool displayAvailable() {
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
    if (!displayAvailable()) {
        std::fputs("Sayvell needs a graphical desktop, and none was found (DISPLAY is not set).\n"
                   "On a machine without one, start it on a virtual display:\n"
                   "  Xvfb :99 -screen 0 1280x800x24 -nolisten tcp &  DISPLAY=:99 ./run.sh\n",
                   stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sayvell"));
    QApplication::setApplicationDisplayName(QStringLiteral("Sayvell"));
    QApplication::setQuitOnLastWindowClosed(false);

    app::SingleInstance instance(QStringLiteral("Sayvell"));
    if (!instance.tryAcquire()) {
        ui::showAlreadyRunning();
        return 0;
    }

    ui::WidgetDialogs dialogs;
    auto dm = store::TDM::open(store::databasePath());
    if (!dm) {
        dialogs.warning(store::kConnectFailedMessage);
        return 1;
    }

    audio::AudioEngine audio(audio::makePulseOutput(QStringLiteral("Sayvell")));
    QString noSound;
    if (!audio.start(&noSound) && noSound.isEmpty()) noSound = QStringLiteral("no sound server");
    if (audio.hasSound()) noSound.clear();
    reading::EspeakEngine speech(audio);
    reading::SystemClock clock;

    ui::Tf_speaker window(ui::Services{speech, *dm, dialogs, clock, &audio, noSound});
    dialogs.setParent(&window);
    QObject::connect(&window, &ui::Tf_speaker::exitRequested, &app, &QApplication::exit);
    window.showMaximized();
    const int code = QApplication::exec();
    audio.stop();
    return code;
}
