#pragma once
// The program's glyphs: SVG drawings in the resources (:/icons/<name>.svg), so they stay sharp
// at any size; disabled buttons get the style's greyed copy.
#include <QIcon>
#include <QPixmap>
#include <QString>

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
    Plan,  // the announcement plan: a loudspeaker
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

// The resource path of the glyph's drawing.
QString resourcePath(Glyph g);
QIcon icon(Glyph g);
QPixmap pixmap(Glyph g, int size);

}  // namespace sayvell::ui::icons
