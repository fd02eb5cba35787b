#include "ui/common/icons.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>
#include <memory>

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

namespace {

// Draws its glyph when first drawn, not when made: the window makes some thirty icons before its
// first frame, and most of them (the menus') are not drawn until much later. Drawn here rather
// than by Qt's SVG icon plugin, which costs the first frame a plugin load.
class GlyphEngine final : public QIconEngine {
public:
    explicit GlyphEngine(QString path) : path_(std::move(path)) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        QPixmap drawn = pixmap((QSizeF(rect.size()) * scale).toSize(), mode, state);
        drawn.setDevicePixelRatio(scale);
        painter->drawPixmap(rect.topLeft(), drawn);
    }
    // size is in device pixels.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        if (size.isEmpty()) return {};
        const quint64 key = quint64(size.width()) << 32 | quint64(size.height()) << 8 | quint64(mode);
        if (const auto it = drawn_.constFind(key); it != drawn_.cend()) return *it;
        if (!renderer_) renderer_ = std::make_unique<QSvgRenderer>(path_);
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            renderer_->render(&painter);
        }
        QPixmap drawn = QPixmap::fromImage(std::move(image));
        // Disabled buttons get the style's greyed copy, as with any other icon.
        if (mode != QIcon::Normal) {
            QStyleOption option;
            option.palette = QGuiApplication::palette();
            drawn = QApplication::style()->generatedIconPixmap(mode, drawn, &option);
        }
        drawn_.insert(key, drawn);
        return drawn;
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new GlyphEngine(path_); }
    QString key() const override { return QStringLiteral("sayvell-glyph"); }
    bool isNull() override { return false; }

private:
    QString path_;
    std::unique_ptr<QSvgRenderer> renderer_;
    QHash<quint64, QPixmap> drawn_;
};

}  // namespace

QIcon icon(Glyph g) {
    registerResources();
    // One icon a glyph, shared by its menu item and its button: drawn once. Never destroyed:
    // pixmaps must not be freed after the application object.
    static auto* made = new QHash<Glyph, QIcon>;
    auto it = made->find(g);
    if (it == made->end()) it = made->insert(g, QIcon(new GlyphEngine(resourcePath(g))));
    return *it;
}

QPixmap pixmap(Glyph g, int size) { return icon(g).pixmap(size, size); }

}  // namespace sayvell::ui::icons
