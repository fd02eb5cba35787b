#include "ui/common/icons.h"

// The resources live in a static library: registering them here keeps them linked in
// whenever a glyph is asked for. Q_INIT_RESOURCE must be used outside any namespace.
static void registerResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)done;
}

namespace sayvell::ui::icons {

QString resourcePath(Glyph g) {
    const char* name = "";
    switch (g) {
    case Glyph::New: name = "new"; break;
    case Glyph::Open: name = "open"; break;
    case Glyph::Save: name = "save"; break;
    case Glyph::ExportWav: name = "export_wav"; break;
    case Glyph::ExportWavMusic: name = "export_wav_music"; break;
    case Glyph::ReadFromStart: name = "read_from_start"; break;
    case Glyph::Play: name = "play"; break;
    case Glyph::Stop: name = "stop"; break;
    case Glyph::LoopAll: name = "loop_all"; break;
    case Glyph::LoopRange: name = "loop_range"; break;
    case Glyph::ToTop: name = "to_top"; break;
    case Glyph::ToBottom: name = "to_bottom"; break;
    case Glyph::Settings: name = "settings"; break;
    case Glyph::DateTime: name = "date_time"; break;
    case Glyph::Schedule: name = "schedule"; break;
    case Glyph::Plan: name = "plan"; break;
    case Glyph::Panel: name = "panel"; break;
    case Glyph::Exit: name = "exit"; break;
    case Glyph::MusicPlay: name = "music_play"; break;
    case Glyph::MusicStop: name = "music_stop"; break;
    case Glyph::MusicNext: name = "music_next"; break;
    case Glyph::MusicPrev: name = "music_prev"; break;
    case Glyph::MusicFolder: name = "music_folder"; break;
    case Glyph::Find: name = "find"; break;
    case Glyph::FindReplace: name = "find_replace"; break;
    case Glyph::ReplaceFollowing: name = "replace_following"; break;
    case Glyph::Close: name = "close"; break;
    case Glyph::Unfold: name = "unfold"; break;
    case Glyph::Fold: name = "fold"; break;
    case Glyph::App: name = "app"; break;
    }
    return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
}

QIcon icon(Glyph g) {
    registerResources();
    return QIcon(resourcePath(g));
}

QPixmap pixmap(Glyph g, int size) { return icon(g).pixmap(size, size); }

}  // namespace sayvell::ui::icons
