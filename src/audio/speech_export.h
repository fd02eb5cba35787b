#pragma once
// Speech into files, off the user-interface thread.
//
// exportSpeech: a text spoken into a file through the engine's file output, in sentence-sized
// parts so that progress can be shown and a cancel lands within one part. It is written under a
// temporary name and renamed at the end: a failed or cancelled export leaves no file and never
// replaces an existing one.
//
// exportAsRead: the text as a reading sounds: the reading's own walk (reading/piece_walk.h),
// each piece's spoken copy (date token, numbers), the delay symbol's wait and each delimiter's
// pause as silence, and optionally the music of the music panel under it, held at the reading
// volume from the first piece to the last, pauses included, and rising one hundredth every
// 20 ms after the last, as under a live reading. Rendered as fast as the engine goes.
// Optionally writes .srt and .lrc subtitles with each piece's times and the text as heard.
//
// Both expect the voice and rate already set on the engine and nobody else speaking through it.
#include "audio/subtitles.h"
#include "audio/wav_writer.h"
#include "reading/reading_state.h"
#include "reading/speech_engine.h"
#include "reading/spoken_lexicon.h"

#include <memory>

#include <QDateTime>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>

namespace sayvell::audio {

struct ExportControl {
    std::atomic<bool> cancel{false};
    // Share of the text done, 0..1000; called on the exporting thread.
    std::function<void(int permille)> progress;
};

struct ExportResult {
    bool ok = false;
    bool cancelled = false;
    QString error;        // when neither ok nor cancelled
    QStringList written;  // the files made, sound first
    double seconds = 0;   // length of the sound file
};

struct PlainExport {
    QString path;
    QString text;
    QString languageCode;  // for the tag in front of the text
    PcmFormat format;
};

ExportResult exportSpeech(reading::SpeechEngine& engine, const PlainExport& job, ExportControl& control);

struct MusicBed {
    QStringList files;       // full paths in list order
    int startIndex = 0;      // the line to start with
    bool random = false;     // play order: random instead of in turn
    int musicVolume = 40;    // hundredths, between readings
    int readingVolume = 10;  // hundredths, while a piece is spoken
};

struct ReadExport {
    QString path;  // its extension picks the kind (.wav, .mp3, .ogg, .opus, .flac)
    QString text;
    PcmFormat format;  // a compressed kind keeps its rate and channels
    reading::DelimiterTable delimiters;
    int symbolDelayMs = 800;
    int dateFormatType = 1;
    QDateTime now;
    QString voiceId;                                               // decides the spoken copy's language
    std::shared_ptr<const reading::PronunciationLexicon> lexicon;  // none: no word is replaced
    std::optional<MusicBed> music;
    bool subtitles = false;  // .srt and .lrc beside the sound file
};

ExportResult exportAsRead(reading::SpeechEngine& engine, const ReadExport& job, ExportControl& control);

// Silence below this (about -54 dBFS) at a piece's ends is the engine's, not the speech's.
inline constexpr float kSpeechFloor = 0.002f;

}  // namespace sayvell::audio
