// How the export feature joins the main window.
#include "ui/shell/tf_speaker.h"

namespace sayvell::ui {

void Tf_speaker::wireExport() {}

}  // namespace sayvell::ui
