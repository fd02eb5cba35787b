#include "app/startup.h"

#include "app/single_instance.h"
#include "audio/audio_engine.h"
#include "platform/power_control.h"
#include "reading/clock.h"
#include "reading/espeak_engine.h"
#include "reading/reading_dictionary.h"
#include "store/app_paths.h"
#include "store/tdm.h"
#include "ui/common/dialogs.h"
#include "ui/common/translations.h"
#include "ui/shell/tf_speaker.h"

#include <QApplication>
#include <QImageReader>
#include <QStatusBar>
#include <cstdio>
#include <fontconfig/fontconfig.h>
#include <memory>
#include <thread>

namespace sayvell::app {
namespace {

bool displayAvailable() {
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

}  // namespace

int runSayvell(int argc, char** argv, const std::function<void()>& onShown) {
    if (!displayAvailable()) {
        std::fputs(
            "Sayvell needs a graphical desktop, and none was found (DISPLAY is not set).\n"
            "On a machine without one, start it on a virtual display:\n"
            "  Xvfb :99 -screen 0 1280x800x24 -nolisten tcp &  DISPLAY=:99 ./run.sh\n",
            stderr);
        return 2;
    }
    app::SingleInstance instance(QStringLiteral("Sayvell"));
    const bool first = instance.tryAcquire();

    // The database, the sound server and the speech engine start while Qt connects to the
    // display.
    QString notPrepared;
    bool prepared = false;
    std::unique_ptr<store::TDM> dm;
    std::unique_ptr<audio::AudioEngine> audio;
    std::unique_ptr<reading::EspeakEngine> speech;
    QString noSound;
    std::thread starter;
    std::thread fonts;
    if (first) {
        // Loading the font configuration is the largest part of building the window; it
        // needs no display, so it overlaps with Qt's own start.
        fonts = std::thread([] { FcInit(); });
        starter = std::thread([&] {
            // Installed: the folders in the XDG places, and the delivered database copied at
            // first start.
            prepared = store::prepareAppFiles(&notPrepared);
            if (prepared) dm = store::TDM::open(store::databasePath());
            audio = std::make_unique<audio::AudioEngine>(audio::makePulseOutput(QStringLiteral("Sayvell")));
            if (!audio->start(&noSound) && noSound.isEmpty()) noSound = QStringLiteral("沒有聲音伺服器");
            if (audio->hasSound()) noSound.clear();
            // Loaded once the first frame is out: before it, it would take a core from the window.
            speech =
                std::make_unique<reading::EspeakEngine>(*audio, QString(), reading::EspeakEngine::Start::WhenNeeded);
        });
    }
    // Joins the helpers on every way out.
    struct Join {
        std::thread& t;
        ~Join() {
            if (t.joinable()) t.join();
        }
    } joinStarter{starter}, joinFonts{fonts};

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sayvell"));
    QApplication::setApplicationDisplayName(QStringLiteral("Sayvell"));
    QApplication::setQuitOnLastWindowClosed(false);
    ui::installChineseTranslations(app);
    // Qt lists its image plugins at the first image it reads (the style's group-box frame, the
    // tool bar's overflow arrow): beside the window's construction, not inside it.
    std::thread images([] { QImageReader::supportedImageFormats(); });
    const Join joinImages{images};
    if (!first) {
        ui::showAlreadyRunning();
        return 0;
    }

    ui::WidgetDialogs dialogs;
    starter.join();
    if (!prepared) {
        dialogs.warning(store::kConnectFailedMessage + u'\n' + notPrepared);
        return 1;
    }
    if (!dm) {
        dialogs.warning(store::kConnectFailedMessage);
        return 1;
    }
    fonts.join();
    reading::SystemClock clock;

    const std::unique_ptr<platform::PowerControl> power = platform::makeLogindPowerControl();
    ui::Services services{*speech, *dm, dialogs, clock, audio.get(), noSound, power.get()};
    services.mediaPlayers = platform::makeMprisPlayer;
    ui::Tf_speaker window(services);
    dialogs.setParent(&window);
    QObject::connect(&window, &ui::Tf_speaker::exitRequested, &app, &QApplication::exit);
    // The readings of words load once the window is up, so that neither the start nor the
    // first piece read waits for them. A dictionary that cannot be read is said once, where
    // the program's messages go.
    std::thread readings;
    const Join joinReadings{readings};
    QObject::connect(&window, &ui::Tf_speaker::firstFrameShown, &window, [&window, &readings, onShown] {
        if (onShown) onShown();
        readings = std::thread([&window] {
            const QString problem = reading::ReadingDictionary::installedProblem();
            if (problem.isEmpty()) return;
            QMetaObject::invokeMethod(
                &window, [&window, problem] { window.statusBar()->showMessage(problem, 15000); }, Qt::QueuedConnection);
        });
    });
    window.showMaximized();
    const int code = QApplication::exec();
    audio->stop();
    return code;
}

}  // namespace sayvell::app
