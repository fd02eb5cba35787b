#pragma once
// The rules of the music list: which files it holds and which line plays next.
#include <QString>
#include <QStringList>

#include <random>

namespace sayvell::music {

// Names (without folder) of the music files in `folder`, sorted by name without regard to
// letter case. Only names are read, no file is opened, so a folder of thousands lists at once.
// *readable is false when the folder cannot be listed.
QStringList listMusicFiles(const QString& folder, bool* readable = nullptr);

// The line after `index`, wrapping from the last to the first.
int nextTrack(int index, int count);
// The line before `index`, staying on the first.
int previousTrack(int index);
// A line drawn uniformly from the whole list except `justEnded` (when the list has two or more).
int randomTrack(int justEnded, int count, std::mt19937& random);

}  // namespace sayvell::music
