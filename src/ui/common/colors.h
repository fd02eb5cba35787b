#pragma once
// Stored colours (0x00BBGGRR, or a desktop-theme colour) to and from Qt colours.
#include <QColor>

namespace sayvell::ui {

QColor toQColor(quint32 stored);
quint32 fromQColor(const QColor& color);

}  // namespace sayvell::ui
