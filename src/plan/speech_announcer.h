#pragma once
// The real Announcer: the chime on the effects channel, then the text through the one walk of
// the reading (its pauses, "※" and "%Date%"), as many times as asked with the gap between,
// to the entry's sink when it names one. Works on a thread of its own; done comes back on the
// thread that made the announcer.
#include "plan/plan_player.h"
#include "reading/piece_walk.h"
#include "reading/prompt_tone.h"
#include "reading/speech_engine.h"

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace sayvell::audio {
class AudioEngine;
}

namespace sayvell::plan {

// The delivered chime: two bell notes, falling, about 1.6 s.
reading::Pcm16 synthesizeChime();

class SpeechAnnouncer final : public QObject, public Announcer {
public:
    SpeechAnnouncer(audio::AudioEngine& audio, reading::SpeechEngine& engine, QObject* parent = nullptr);
    ~SpeechAnnouncer() override;

    // What every piece is made with (pause table, delay symbol, date format, lexicon); the
    // language follows each entry's voice. The source is asked at each announcement, on the
    // announcer's owner thread, so that edits of the tables reach the next one.
    void setRunSettings(reading::RunSettings settings);
    void setRunSettingsSource(std::function<reading::RunSettings()> source) { source_ = std::move(source); }
    // The voice, rate (engine's scale) and volume of an entry that names none: the settings'.
    void setDefaults(const reading::Voice& voice, int baseRate, int rate, int volume);

    void play(const Entry& entry, const QString& text, Done done) override;
    void stop() override;
    // True from play() until its done: the music panel holds the music low meanwhile.
    bool active() const { return active_.load(); }

private:
    bool run(const Entry& entry, const QString& text, QString* error);
    bool startChime(const QString& chime, QString* error);
    bool sayText(const QString& text, const reading::Voice& voice);
    void pause(int ms);

    audio::AudioEngine& audio_;
    reading::SpeechEngine& engine_;
    reading::RunSettings settings_;
    std::function<reading::RunSettings()> source_;
    reading::Voice voice_;
    int baseRate_ = 0;
    int rate_ = 0;
    int volume_ = 100;

    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> active_{false};
    std::mutex waitMutex_;
    std::condition_variable waitCv_;
};

}  // namespace sayvell::plan
