#pragma once
// Where the program keeps the files it delivers and writes.
//
// Decided by one file, never by whether a folder is writable (root can write everywhere):
//  - a draft.dat beside the executable (a build folder, a portable copy): everything beside
//    the executable, whatever the working directory is;
//  - otherwise (installed, e.g. /usr/bin/sayvell): setinfo.ini in $XDG_CONFIG_HOME/sayvell/,
//    draft.dat and the program's other files in $XDG_DATA_HOME/sayvell/, the database copied
//    there from the delivered one (<prefix>/share/sayvell/draft.dat) at first start, and the
//    recorder's Temp.wav in the user's music folder (or home).
#include <QString>

namespace sayvell::store {

enum class PathMode { BesideExecutable, Xdg };

// Folder of the running executable, without a trailing slash.
QString executableDir();
PathMode pathMode();

// Folder of the program's own files: the executable's, or $XDG_DATA_HOME/sayvell. No trailing
// slash (so "" for the root folder).
QString appDir();
QString settingsPath();
QString databasePath();
// Where the recorder writes by default.
QString recordingPath();
// A file delivered with the program (introduce.mp3, draft.dat): beside the executable, or in
// the first share/sayvell folder that holds it (the prefix of the executable first, then
// $XDG_DATA_DIRS). Empty when none holds it.
QString deliveredFile(const QString& name);

// Makes the folders of the settings and the database and, when the database is missing in
// the XDG places, copies the delivered one there. False with a one-line reason in *error
// (no home folder, no delivered database, a refused copy). Nothing to do beside the executable.
bool prepareAppFiles(QString* error);

// Makes appDir() return `dir` (trailing slash removed), everything beside it; an empty string
// restores the real places.
void setAppDirForTesting(const QString& dir);

}  // namespace sayvell::store
