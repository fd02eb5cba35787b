#pragma once
// Subtitle files beside an exported reading: one cue a piece, from the start to the end of its
// speech in the sound file.
#include <QList>
#include <QString>

namespace sayvell::audio {

struct Cue {
    double startMs = 0;
    double endMs = 0;
    QString text;
};

// SubRip: numbered cues, "HH:MM:SS,mmm --> HH:MM:SS,mmm", the text, a blank line.
QString srtText(const QList<Cue>& cues);
// LRC: "[mm:ss.xx]text" at each start, and an empty line at an end that no cue starts at.
QString lrcText(const QList<Cue>& cues);

// Writes UTF-8 text through a temporary file; false with *error.
bool writeTextFile(const QString& path, const QString& text, QString* error);

}  // namespace sayvell::audio
