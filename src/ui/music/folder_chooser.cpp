#include "ui/music/folder_chooser.h"

#include <QFileDialog>

namespace sayvell::ui {

QString WidgetFolderChooser::chooseFolder(const QString& start) {
    // Qt's own dialog offers a new folder button, as the panel's dialog always has.
    return QFileDialog::getExistingDirectory(parent_, QStringLiteral("選擇背景音樂目錄"), start,
                                             QFileDialog::ShowDirsOnly);
}

}  // namespace sayvell::ui
