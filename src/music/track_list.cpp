#include "music/track_list.h"

#include "music/music_decoder.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace sayvell::music {

QStringList listMusicFiles(const QString& folder, bool* readable) {
    const QFileInfo info(folder);
    const bool ok = info.isDir() && info.isReadable() && info.isExecutable();
    if (readable) *readable = ok;
    if (!ok) return {};
    QDir dir(folder);
    QStringList names = dir.entryList(musicNameFilters(), QDir::Files, QDir::NoSort);
    // Case-insensitive first; names equal but for case keep a fixed order between them.
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

int nextTrack(int index, int count) {
    if (count <= 0) return 0;
    return index >= count - 1 ? 0 : std::max(index + 1, 0);
}

int previousTrack(int index) { return index > 0 ? index - 1 : 0; }

int randomTrack(int justEnded, int count, std::mt19937& random) {
    if (count <= 1) return 0;
    if (justEnded < 0 || justEnded >= count) return std::uniform_int_distribution<int>(0, count - 1)(random);
    const int r = std::uniform_int_distribution<int>(0, count - 2)(random);
    return r >= justEnded ? r + 1 : r;
}

}  // namespace sayvell::music
