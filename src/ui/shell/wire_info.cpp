// How the info feature joins the main window.
#include "ui/shell/tf_speaker.h"

namespace sayvell::ui {

void Tf_speaker::wireInfo() {}

}  // namespace sayvell::ui
