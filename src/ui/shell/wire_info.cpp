// How the info feature joins the main window.
#include "audio/audio_engine.h"
#include "music/music_decoder.h"
#include "ui/common/placement.h"
#include "ui/info/tf_about.h"
#include "ui/info/tfuhelp.h"
#include "ui/shell/tf_speaker.h"

#include <QAction>

#include <vector>

namespace sayvell::ui {

namespace {

// The sample through the effects channel, from its start; a second click starts it again.
// Decoded here at once: it is a few seconds long, and anything past a minute is not played.
bool playSample(audio::AudioEngine& engine, const QString& path, QString* error) {
    auto decoder = music::MusicDecoder::open(path, error);
    if (!decoder) return false;
    engine.clear(audio::Channel::Effects);
    std::vector<std::int16_t> pcm;
    std::int64_t frames = 0;
    const std::int64_t limit = std::int64_t(decoder->rate()) * 60;
    while (frames < limit) {
        const std::size_t n = decoder->read(&pcm, 4096);
        if (n == 0) break;
        engine.append(audio::Channel::Effects, pcm.data(), n, decoder->rate(), decoder->channels());
        frames += std::int64_t(n);
    }
    engine.flush(audio::Channel::Effects);
    return true;
}

}  // namespace

void Tf_speaker::wireInfo() {
    // Both are made now: the about window's memory figures describe the program's start.
    auto* about = new Tf_about(services_.dialogs, this);
    if (audio::AudioEngine* engine = services_.audio)
        about->setSamplePlayer(
            [engine](const QString& path, QString* error) { return playSample(*engine, path, error); });
    auto* help = new TFuhelp(this);
    connect(ui.N32, &QAction::triggered, about, [this, about] {
        centreOnScreenOf(about, this);
        about->exec();
    });
    connect(ui.N31, &QAction::triggered, help, [this, help] {
        if (!help->isVisible()) centreOnScreenOf(help, this);
        help->show();
        help->raise();
        help->activateWindow();
    });
}

}  // namespace sayvell::ui
