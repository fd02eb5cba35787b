#pragma once
// Where an export as read writes, and whether it may replace what is already there.
#include <QString>
#include <QStringList>

namespace sayvell::ui {

class Dialogs;

// The folder a name typed without one goes to: the user's music folder, else the home folder.
// Never the working folder, which is "/" for a program started from a desktop.
QString defaultSoundFolder();
// `typed` as an absolute path: in `folder` when it names none, ".wav" added when it has no
// known sound extension.
QString exportSoundPath(const QString& typed, const QString& folder);
// The sound file and, with subtitles, the .srt and .lrc beside it.
QStringList exportFiles(const QString& soundPath, bool subtitles);
// True when none of `files` exists or the user agreed to replace those that do.
bool mayReplace(Dialogs& dialogs, const QStringList& files);

}  // namespace sayvell::ui
