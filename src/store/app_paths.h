#pragma once
// Where the program keeps the files it delivers and writes: always beside the executable,
// whatever the working directory is.
#include <QString>

namespace sayvell::store {

// Folder of the running executable, without a trailing slash (so "" for the root folder).
QString appDir();
// appDir() + "/setinfo.ini".
QString settingsPath();
// appDir() + "/draft.dat".
QString databasePath();

// Makes appDir() return `dir` (trailing slash removed); an empty string restores the real folder.
void setAppDirForTesting(const QString& dir);

}  // namespace sayvell::store
