#pragma once
// The speech engine of the program: espeak-ng, played through the audio engine's speech channel
// or written into a WAV file.
//
// espeak-ng keeps global state and is not thread-safe, so every call into it happens on the
// engine's own thread, which takes jobs from a queue. Samples are handed to the audio engine as
// espeak produces them, so speech starts within milliseconds of speak(). A purge stops a running
// synthesis through the synth callback (espeak_Cancel cannot stop it from another thread).
#include "reading/speech_engine.h"

#include <QString>
#include <memory>

namespace sayvell::audio {
class AudioEngine;
}

namespace sayvell::reading {

class EspeakEngine : public SpeechEngine {
public:
    // Loading espeak takes several milliseconds of a core: the window's start has it wait until
    // something needs the engine (or asks for the voices ahead).
    enum class Start { Now, WhenNeeded };
    // `dataPath` is the espeak-ng-data folder; empty for the installed one. When espeak cannot
    // start the engine still exists: ok() is false, voices() is empty and speak() fails.
    explicit EspeakEngine(audio::AudioEngine& audio, const QString& dataPath = {}, Start start = Start::Now);
    ~EspeakEngine() override;
    EspeakEngine(const EspeakEngine&) = delete;
    EspeakEngine& operator=(const EspeakEngine&) = delete;

    bool ok() const;
    QString errorText() const;

    // Mandarin (male, female), Cantonese (male, female), then English, then the other languages.
    QList<Voice> voices() override;
    void prefetchVoices() override;
    // Takes effect from the next synthesis. An unknown voice leaves the current one.
    void setVoice(const Voice& voice) override;

    int rate() const override;
    // Words per minute = 175 * 3^(rate/10), held to espeak's 80..450; from the next synthesis.
    void setRate(int rate) override;
    // Acts at once on what is playing and on what is written to a file.
    void setVolume(int volume) override;
    int volume() const;

    bool speak(const QString& text, int flags) override;
    void waitUntilDone() override;

    bool setOutputFile(const QString& path, const PcmFormat& format, QString* error) override;
    bool setOutputDefault(QString* error) override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace sayvell::reading
