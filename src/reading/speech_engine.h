#pragma once
// What the program asks of a speech synthesiser. The real one is espeak-ng played through the
// audio engine; tests use a fake. Every method may be called from any thread.
#include <QList>
#include <QString>

namespace sayvell::reading {

struct Voice {
    QString id;           // engine's voice name with variant, e.g. "cmn-latn-pinyin+f3"
    QString displayName;  // what the voice list shows
};

struct PcmFormat {
    int sampleRate = 22050;
    int bits = 16;  // 8 or 16
    int channels = 1;
    bool operator==(const PcmFormat&) const = default;
};

class SpeechEngine {
public:
    enum SpeakFlag { Async = 1, PurgeBeforeSpeak = 2 };

    virtual ~SpeechEngine() = default;

    // The same list every call; the index in this list is a voice's identity.
    virtual QList<Voice> voices() = 0;
    // Has the voices listed now, without waiting, so that voices() is quick later. Nothing to
    // do for an engine that has them at once.
    virtual void prefetchVoices() {}
    virtual void setVoice(const Voice& voice) = 0;

    // Rate in steps around the engine's normal speed (0); not clamped by callers.
    virtual int rate() const = 0;
    virtual void setRate(int rate) = 0;
    // 0..100.
    virtual void setVolume(int volume) = 0;

    // flags 2: purge what is speaking, speak, return when the text has been played.
    // flags 1: queue and return at once. Empty text with flag 2: purge at once.
    // A leading <LANG LANGID="..."> tag (and its closing tag) is markup, never spoken.
    // Returns false when the speech was purged by another caller before it finished.
    virtual bool speak(const QString& text, int flags) = 0;
    // Returns when everything queued has been spoken (or written to the output file).
    virtual void waitUntilDone() = 0;

    // Sends speech to a WAV file in `format` instead of the sound output, until setOutputDefault().
    virtual bool setOutputFile(const QString& path, const PcmFormat& format, QString* error) = 0;
    // Closes the file (if any) and speaks to the sound output again; false with *error when
    // the file could not be completed (e.g. the disk is full).
    virtual bool setOutputDefault(QString* error) = 0;
};

}  // namespace sayvell::reading
