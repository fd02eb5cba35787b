#include "ui/shell/tf_speaker.h"
namespace sayvell::ui {
void Tf_speaker::wireRecovery() {}
}
