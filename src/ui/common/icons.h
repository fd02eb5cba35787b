#pragma once
// The program's glyphs, drawn in code so they stay sharp at any size and need no
// image plug-in. Each is painted on a 24 x 24 grid and scaled to the requested size;
// disabled buttons get a greyed copy.
#include <QIcon>
#include <QPixmap>

namespace sayvell::ui::icons {

enum class Glyph {
    New,
    Open,
    Save,
    ExportWav,
    ExportWavMusic,
    ReadFromStart,
    Play,
    Stop,
    LoopAll,
    LoopRange,
    ToTop,
    ToBottom,
    Settings,
    DateTime,
    Schedule,
    Panel,
    Exit,
    MusicPlay,
    MusicStop,
    MusicNext,
    MusicPrev,
    MusicFolder,
    Find,
    FindReplace,
    ReplaceFollowing,
    Close,
    Unfold,  // the folded find panel: click to open it upwards
    Fold,    // the open find panel: click to fold it away
    App,
};

QIcon icon(Glyph g);
QPixmap pixmap(Glyph g, int size);

}  // namespace sayvell::ui::icons
