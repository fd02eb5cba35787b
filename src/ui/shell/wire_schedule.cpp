// How the schedule feature joins the main window.
#include "ui/shell/tf_speaker.h"

namespace sayvell::ui {

void Tf_speaker::wireSchedule() {}

}  // namespace sayvell::ui
