#include "ui/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <cstdio>

namespace sayvell::ui {
namespace {

// Without a screen (offscreen, minimal) nobody can answer a box: say it on stderr and take
// the safe answer (No, OK, cancel).
bool headless() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

int show(QWidget* parent, QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons,
         const QString& caption = QApplication::applicationDisplayName()) {
    if (headless()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        return buttons.testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok;
    }
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setAccessibleName(text);
    return box.exec();
}

}  // namespace

void WidgetDialogs::warning(const QString& text) { show(parent_, QMessageBox::Warning, text, QMessageBox::Ok); }

bool WidgetDialogs::confirm(const QString& text) {
    return show(parent_, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void WidgetDialogs::information(const QString& text) {
    show(parent_, QMessageBox::Information, text, QMessageBox::Ok);
}

void WidgetDialogs::error(const QString& text) { show(parent_, QMessageBox::Critical, text, QMessageBox::Ok); }

QString WidgetDialogs::openFileName(const QString& caption, const QString& filter) {
    if (headless()) return {};
    return QFileDialog::getOpenFileName(parent_, caption, QString(), filter);
}

QString WidgetDialogs::saveFileName(const QString& caption, const QString& filter) {
    if (headless()) return {};
    return QFileDialog::getSaveFileName(parent_, caption, QString(), filter);
}

void showAlreadyRunning() {
    show(nullptr, QMessageBox::Critical, QStringLiteral("程序已經在運行中!"), QMessageBox::Ok, QStringLiteral("Sayvell! !"));
}

}  // namespace sayvell::ui
