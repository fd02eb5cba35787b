#pragma once
// Where the program's own windows appear.
class QWidget;

namespace sayvell::ui {

// Puts `window` in the middle of the screen that `anchor` (the main window) is on, frame
// included; a window manager then keeps it there instead of its own corner.
void centreOnScreenOf(QWidget* window, const QWidget* anchor);

}  // namespace sayvell::ui
