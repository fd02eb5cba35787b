#include "ui/common/colors.h"

#include "store/settings_file.h"

#include <QApplication>
#include <QPalette>

namespace sayvell::ui {

QColor toQColor(quint32 stored) {
    const int index = store::systemColorIndex(stored);
    if (index >= 0) {
        // Theme colours follow this desktop's palette.
        const QPalette pal = QApplication::palette();
        switch (index) {
        case 5: return pal.color(QPalette::Base);  // clWindow
        case 8: return pal.color(QPalette::Text);  // clWindowText
        case 13: return pal.color(QPalette::Highlight);
        case 14: return pal.color(QPalette::HighlightedText);
        case 15: return pal.color(QPalette::Button);  // clBtnFace
        case 18: return pal.color(QPalette::ButtonText);
        case 24: return pal.color(QPalette::ToolTipBase);  // clInfoBk
        case 23: return pal.color(QPalette::ToolTipText);
        default: return pal.color(QPalette::Window);
        }
    }
    int r = 0, g = 0, b = 0;
    store::colorToRgb(stored, &r, &g, &b);
    return QColor(r, g, b);
}

quint32 fromQColor(const QColor& color) { return store::rgbToColor(color.red(), color.green(), color.blue()); }

}  // namespace sayvell::ui
