#pragma once
class QCoreApplication;

namespace sayvell::ui {

// Qt's own texts (dialog and box buttons, the file dialog) in traditional Chinese, from the
// system's Qt translations. False when they are not installed: Qt then speaks English.
bool installChineseTranslations(QCoreApplication& app);

}  // namespace sayvell::ui
