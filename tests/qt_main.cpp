// Window and real-sound tests need one QApplication for the whole run; GoogleTest runs inside it.
#include "ui/common/translations.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Without a display the tests still run: offscreen unless the caller chose a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    sayvell::ui::installChineseTranslations(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
