#include "ui/common/icons.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QtMath>

#include <cmath>

namespace sayvell::ui::icons {
namespace {

const QColor kInk(0x3c, 0x4a, 0x58);
const QColor kBlue(0x2f, 0x6f, 0xb3);
const QColor kGreen(0x2e, 0x9d, 0x4a);
const QColor kRed(0xd6, 0x45, 0x3b);
const QColor kOrange(0xe8, 0x8a, 0x1a);
const QColor kTeal(0x00, 0x80, 0x80);
const QColor kPurple(0x7b, 0x4f, 0xb8);
const QColor kFolder(0xf3, 0xc8, 0x5a);
const QColor kFolderDark(0xb3, 0x84, 0x22);

QPen line(const QColor& c, qreal w)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void arrowHead(QPainter& p, QPointF tip, qreal angleDeg, qreal size, const QColor& c)
{
    // angleDeg: direction the arrow points, 0 = right, 90 = down.
    const qreal a = qDegreesToRadians(angleDeg);
    const QPointF back(tip.x() - size * qCos(a), tip.y() - size * qSin(a));
    const QPointF side(-qSin(a) * size * 0.6, qCos(a) * size * 0.6);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(QPolygonF{tip, back + side, back - side});
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& c, qreal w = 2.2)
{
    const qreal ang = qRadiansToDegrees(qAtan2(to.y() - from.y(), to.x() - from.x()));
    const qreal len = std::hypot(to.x() - from.x(), to.y() - from.y());
    const qreal head = 5.0;
    const QPointF shaftEnd(to.x() - (to.x() - from.x()) * (head * 0.8) / len,
                           to.y() - (to.y() - from.y()) * (head * 0.8) / len);
    p.setPen(line(c, w));
    p.setBrush(Qt::NoBrush);
    p.drawLine(from, shaftEnd);
    arrowHead(p, to, ang, head, c);
}

void page(QPainter& p, qreal x0, qreal y0, qreal x1, qreal y1, qreal fold)
{
    QPolygonF outline{{x0, y0}, {x1 - fold, y0}, {x1, y0 + fold}, {x1, y1}, {x0, y1}};
    p.setPen(line(kInk, 1.3));
    p.setBrush(Qt::white);
    p.drawPolygon(outline);
    p.drawPolyline(QPolygonF{{x1 - fold, y0}, {x1 - fold, y0 + fold}, {x1, y0 + fold}});
}

void folder(QPainter& p, qreal dx, qreal dy, qreal s)
{
    p.save();
    p.translate(dx, dy);
    p.scale(s, s);
    p.setPen(line(kFolderDark, 1.2 / s));
    p.setBrush(kFolder.darker(115));
    p.drawPolygon(QPolygonF{{2, 5}, {9, 5}, {11, 7.5}, {21, 7.5}, {21, 19}, {2, 19}});
    p.setBrush(kFolder);
    p.drawPolygon(QPolygonF{{5, 10.5}, {23, 10.5}, {20.5, 19}, {2, 19}});
    p.restore();
}

void note(QPainter& p, QPointF head, qreal stem, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.save();
    p.translate(head);
    p.rotate(-20);
    p.drawEllipse(QPointF(0, 0), 3.0, 2.2);
    p.restore();
    p.setPen(line(c, 1.6));
    const QPointF top(head.x() + 2.6, head.y() - stem);
    p.drawLine(QPointF(head.x() + 2.6, head.y() - 0.5), top);
    p.setBrush(Qt::NoBrush);
    QPainterPath flag(top);
    flag.cubicTo(top + QPointF(1.5, 2.5), top + QPointF(5, 2.5), top + QPointF(4, 6.5));
    p.drawPath(flag);
}

void waveBars(QPainter& p, qreal x, qreal mid, const QList<qreal>& heights, const QColor& c)
{
    p.setPen(line(c, 1.8));
    for (qreal h : heights) {
        p.drawLine(QPointF(x, mid - h / 2), QPointF(x, mid + h / 2));
        x += 2.6;
    }
}

void loopArc(QPainter& p, const QColor& c)
{
    const QRectF r(3.5, 3.5, 17, 17);
    p.setPen(line(c, 2.2));
    p.setBrush(Qt::NoBrush);
    // Qt angles: 1/16 degree, counter-clockwise from 3 o'clock.
    p.drawArc(r, 100 * 16, 300 * 16);
    // The arc ends at 40 degrees; the head points on along the arc, into the gap.
    const qreal th = qDegreesToRadians(40.0);
    const QPointF end(12 + 8.5 * qCos(th), 12 - 8.5 * qSin(th));
    const QPointF dir(-qSin(th), -qCos(th));
    arrowHead(p, end + dir * 3.5, qRadiansToDegrees(qAtan2(dir.y(), dir.x())), 5.5, c);
}

void magnifier(QPainter& p, QPointF c, qreal r)
{
    p.setPen(line(QColor(0x8a, 0x5a, 0x2b), r * 0.55));
    const qreal d = r * 0.72;
    p.drawLine(c + QPointF(d, d), c + QPointF(d + r * 0.9, d + r * 0.9));
    p.setPen(line(kBlue, r * 0.32));
    p.setBrush(QColor(0xdc, 0xec, 0xfa));
    p.drawEllipse(c, r, r);
}

void chevron(QPainter& p, bool up, const QColor& c)
{
    p.setPen(line(c, 2.6));
    p.setBrush(Qt::NoBrush);
    if (up)
        p.drawPolyline(QPolygonF{{5, 15}, {12, 8}, {19, 15}});
    else
        p.drawPolyline(QPolygonF{{5, 9}, {12, 16}, {19, 9}});
}

void drawGlyph(QPainter& p, Glyph g)
{
    switch (g) {
    case Glyph::New:
        page(p, 5, 2, 19, 22, 5);
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawEllipse(QPointF(17, 17.5), 5, 5);
        p.setPen(line(Qt::white, 1.8));
        p.drawLine(QPointF(17, 15), QPointF(17, 20));
        p.drawLine(QPointF(14.5, 17.5), QPointF(19.5, 17.5));
        break;
    case Glyph::Open:
        folder(p, 0, 0, 1);
        break;
    case Glyph::Save:
        p.setPen(line(kBlue.darker(130), 1.2));
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(3, 3, 18, 18), 2.5, 2.5);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xe4, 0xeb, 0xf3));
        p.drawRect(QRectF(7, 3.6, 10, 6));
        p.setBrush(kBlue.darker(140));
        p.drawRect(QRectF(13.5, 4.6, 2, 4));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(6, 12.5, 12, 8), 1, 1);
        p.setPen(line(QColor(0xa8, 0xb8, 0xc8), 1));
        p.drawLine(QPointF(8, 15), QPointF(16, 15));
        p.drawLine(QPointF(8, 17.8), QPointF(16, 17.8));
        break;
    case Glyph::ExportWav:
        waveBars(p, 3, 12, {5, 11, 16, 9, 13}, kBlue);
        arrow(p, QPointF(14.5, 12), QPointF(22.5, 12), kOrange);
        break;
    case Glyph::ExportWavMusic:
        note(p, QPointF(6, 18), 13, kPurple);
        waveBars(p, 14, 13, {6, 12, 8}, kBlue);
        arrow(p, QPointF(14, 21.5), QPointF(22.5, 21.5), kOrange, 1.8);
        break;
    case Glyph::ReadFromStart:
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen.darker(120));
        p.drawRoundedRect(QRectF(4, 5, 3, 14), 1, 1);
        p.setBrush(kGreen);
        p.drawPolygon(QPolygonF{{9, 5}, {20, 12}, {9, 19}});
        break;
    case Glyph::Play:
        p.setPen(line(kGreen.darker(120), 1.2));
        p.setBrush(kGreen);
        p.drawPolygon(QPolygonF{{7, 4}, {20, 12}, {7, 20}});
        break;
    case Glyph::Stop:
        p.setPen(line(kRed.darker(125), 1.2));
        p.setBrush(kRed);
        p.drawRoundedRect(QRectF(5.5, 5.5, 13, 13), 2, 2);
        break;
    case Glyph::LoopAll:
        loopArc(p, kBlue);
        p.setPen(line(kInk, 1.4));
        p.drawLine(QPointF(9, 9.5), QPointF(15, 9.5));
        p.drawLine(QPointF(9, 12), QPointF(15, 12));
        p.drawLine(QPointF(9, 14.5), QPointF(15, 14.5));
        break;
    case Glyph::LoopRange:
        loopArc(p, kOrange);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xf5, 0xd0, 0x3b));
        p.drawRect(QRectF(8.5, 10, 7, 4));
        p.setPen(line(kInk, 1.4));
        p.drawLine(QPointF(9, 12), QPointF(15, 12));
        break;
    case Glyph::ToTop:
        p.setPen(line(kTeal, 2.4));
        p.drawLine(QPointF(5, 4), QPointF(19, 4));
        arrow(p, QPointF(12, 21), QPointF(12, 7), kTeal, 2.4);
        break;
    case Glyph::ToBottom:
        p.setPen(line(kTeal, 2.4));
        p.drawLine(QPointF(5, 20), QPointF(19, 20));
        arrow(p, QPointF(12, 3), QPointF(12, 17), kTeal, 2.4);
        break;
    case Glyph::Settings: {
        const QColor gear(0x5f, 0x6f, 0x80);
        p.setPen(Qt::NoPen);
        p.setBrush(gear);
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(12, 12);
            p.rotate(i * 45);
            p.drawRoundedRect(QRectF(-2, -10, 4, 6), 0.8, 0.8);
            p.restore();
        }
        p.drawEllipse(QPointF(12, 12), 7, 7);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 12), 3, 3);
        break;
    }
    case Glyph::DateTime:
        p.setPen(line(kInk, 1.2));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(3, 5, 18, 16), 1.5, 1.5);
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawRect(QRectF(3.6, 5.6, 16.8, 4.4));
        p.setPen(line(kInk, 1.8));
        p.drawLine(QPointF(8, 3), QPointF(8, 7));
        p.drawLine(QPointF(16, 3), QPointF(16, 7));
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 3; ++c)
                p.drawRect(QRectF(6 + c * 4.5, 12.5 + r * 4, 2.6, 2.4));
        break;
    case Glyph::Schedule:
        p.setPen(line(kBlue.darker(120), 1.6));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 12), 9, 9);
        p.setPen(line(kInk, 2));
        p.drawLine(QPointF(12, 12), QPointF(12, 6));
        p.drawLine(QPointF(12, 12), QPointF(16.5, 14.5));
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawEllipse(QPointF(12, 12), 1.5, 1.5);
        break;
    case Glyph::Panel:
        p.setPen(line(kInk, 1.3));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3, 4, 18, 16));
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(3.6, 4.6, 16.8, 3));
        p.setBrush(kTeal);
        p.drawRect(QRectF(14, 8.2, 6.4, 11.2));
        break;
    case Glyph::Exit: {
        p.setPen(line(kRed, 2.4));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(4.5, 5, 15, 15), 125 * 16, 290 * 16);
        p.drawLine(QPointF(12, 3), QPointF(12, 11.5));
        break;
    }
    case Glyph::MusicPlay:
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawPolygon(QPolygonF{{7, 5}, {19, 12}, {7, 19}});
        break;
    case Glyph::MusicStop:
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawRoundedRect(QRectF(6.5, 6.5, 11, 11), 1.5, 1.5);
        break;
    case Glyph::MusicNext:
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawPolygon(QPolygonF{{5, 6}, {15, 12}, {5, 18}});
        p.drawRect(QRectF(16, 6, 2.8, 12));
        break;
    case Glyph::MusicPrev:
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawPolygon(QPolygonF{{19, 6}, {9, 12}, {19, 18}});
        p.drawRect(QRectF(5.2, 6, 2.8, 12));
        break;
    case Glyph::MusicFolder:
        folder(p, 0, 0, 1);
        note(p, QPointF(10.5, 17), 7.5, kPurple);
        break;
    case Glyph::Find:
        magnifier(p, QPointF(10, 10), 6.5);
        break;
    case Glyph::FindReplace:
        magnifier(p, QPointF(8.5, 8.5), 5.5);
        arrow(p, QPointF(11, 20), QPointF(22.5, 20), kOrange, 2.0);
        break;
    case Glyph::ReplaceFollowing:
        magnifier(p, QPointF(8.5, 8.5), 5.5);
        arrow(p, QPointF(19, 9), QPointF(19, 16), kOrange, 1.8);
        arrow(p, QPointF(19, 15), QPointF(19, 23), kOrange, 1.8);
        break;
    case Glyph::Close:
        p.setPen(line(kInk, 2.2));
        p.drawLine(QPointF(7, 7), QPointF(17, 17));
        p.drawLine(QPointF(17, 7), QPointF(7, 17));
        break;
    case Glyph::Unfold:
        chevron(p, true, kTeal.darker(110));
        break;
    case Glyph::Fold:
        chevron(p, false, kTeal.darker(110));
        break;
    case Glyph::App: {
        p.setPen(Qt::NoPen);
        p.setBrush(kTeal);
        p.drawRoundedRect(QRectF(1, 1, 22, 22), 5, 5);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF{{4, 9.5}, {7.5, 9.5}, {12, 5.5}, {12, 18.5}, {7.5, 14.5}, {4, 14.5}});
        p.setPen(line(Qt::white, 1.7));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(9, 8, 8, 8), -50 * 16, 100 * 16);
        p.drawArc(QRectF(8, 5, 13, 14), -50 * 16, 100 * 16);
        break;
    }
    }
}

void paintGlyph(QPainter& p, const QRect& rect, Glyph g)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(rect.width(), rect.height());
    p.translate(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0);
    p.scale(side / 24.0, side / 24.0);
    drawGlyph(p, g);
    p.restore();
}

class GlyphEngine : public QIconEngine {
public:
    explicit GlyphEngine(Glyph g) : glyph_(g) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        if (mode != QIcon::Disabled) {
            paintGlyph(*painter, rect, glyph_);
            return;
        }
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QImage img(rect.size() * dpr, QImage::Format_ARGB32);
        img.setDevicePixelRatio(dpr);
        img.fill(Qt::transparent);
        {
            QPainter ip(&img);
            paintGlyph(ip, QRect(QPoint(0, 0), rect.size()), glyph_);
        }
        // Grey, lighter and a little transparent: still recognisable, clearly inactive.
        for (int y = 0; y < img.height(); ++y) {
            auto* px = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x) {
                const int v = 110 + qGray(px[x]) * 120 / 255;
                px[x] = qRgba(v, v, v, qAlpha(px[x]) * 3 / 4);
            }
        }
        painter->drawImage(rect, img);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }

    QIconEngine* clone() const override { return new GlyphEngine(glyph_); }

private:
    Glyph glyph_;
};

}  // namespace

QIcon icon(Glyph g)
{
    return QIcon(new GlyphEngine(g));
}

QPixmap pixmap(Glyph g, int size)
{
    return icon(g).pixmap(size, size);
}

}  // namespace sayvell::ui::icons
