#include "ui/common/dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
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

std::optional<bool> WidgetDialogs::ask(const QString& text) {
    if (headless()) return confirm(text);
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setAccessibleName(text);
    // Left alone, Escape and the close box would answer No and throw the text away; a hidden
    // button takes them instead.
    QPushButton* notNow = box.addButton(QMessageBox::Cancel);
    notNow->hide();
    box.setEscapeButton(notNow);
    box.exec();
    if (box.clickedButton() == box.button(QMessageBox::Yes)) return true;
    if (box.clickedButton() == box.button(QMessageBox::No)) return false;
    return std::nullopt;
}

void WidgetDialogs::information(const QString& text) { show(parent_, QMessageBox::Information, text, QMessageBox::Ok); }

void WidgetDialogs::error(const QString& text) { show(parent_, QMessageBox::Critical, text, QMessageBox::Ok); }

QString WidgetDialogs::openFileName(const QString& caption, const QString& filter) {
    if (headless()) return {};
    return QFileDialog::getOpenFileName(parent_, caption, QString(), filter);
}

QString WidgetDialogs::saveFileName(const QString& caption, const QString& filter) {
    if (headless()) return {};
    return QFileDialog::getSaveFileName(parent_, caption, QString(), filter);
}

void WidgetDialogs::message(const QString& text) { show(parent_, QMessageBox::NoIcon, text, QMessageBox::Ok); }

QString WidgetDialogs::openDocumentName(const QString& caption, const QString& filter, const QString& folder) {
    if (headless()) return {};
    return QFileDialog::getOpenFileName(parent_, caption, folder, filter);
}

QString WidgetDialogs::saveDocumentName(const QString& caption, const QString& filter) {
    if (headless()) return {};
    return QFileDialog::getSaveFileName(parent_, caption, QString(), filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

bool WidgetDialogs::chooseFont(FontChoice* choice) {
    if (headless()) return false;
    // The system's font dialog has no colour of its own: it sits in a frame with one.
    QDialog frame(parent_);
    frame.setWindowTitle(QStringLiteral("字体"));
    // Named by its style, or the dialog shows the family's first style (often an oblique one).
    QFont initial = choice->font;
    if (initial.styleName().isEmpty()) initial.setStyleName(QFontDatabase::styleString(QFontInfo(initial)));
    auto* fonts = new QFontDialog(initial, &frame);
    fonts->setWindowFlags(Qt::Widget);
    fonts->setOption(QFontDialog::NoButtons);
    fonts->setOption(QFontDialog::DontUseNativeDialog);  // a native one cannot be embedded
    QColor color = choice->color;
    auto* colorButton = new QPushButton(QStringLiteral("顏色(&C)..."), &frame);
    auto* swatch = new QLabel(&frame);
    swatch->setFixedSize(48, 20);
    swatch->setAccessibleName(QStringLiteral("顏色"));
    const auto paint = [swatch, &color] {
        swatch->setStyleSheet(QStringLiteral("background:%1;border:1px solid gray").arg(color.name()));
    };
    paint();
    QObject::connect(colorButton, &QPushButton::clicked, &frame, [&] {
        const QColor picked = QColorDialog::getColor(color, &frame);
        if (picked.isValid()) {
            color = picked;
            paint();
        }
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &frame);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &frame, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &frame, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(colorButton);
    row->addWidget(swatch);
    row->addStretch(1);
    row->addWidget(buttons);
    auto* layout = new QVBoxLayout(&frame);
    layout->addWidget(fonts);
    layout->addLayout(row);
    if (frame.exec() != QDialog::Accepted) return false;
    choice->font = fonts->currentFont();
    choice->color = color;
    return true;
}

bool WidgetDialogs::chooseColor(QColor* color) {
    if (headless()) return false;
    const QColor picked = QColorDialog::getColor(*color, parent_);
    if (!picked.isValid()) return false;
    *color = picked;
    return true;
}

void showAlreadyRunning() {
    show(nullptr, QMessageBox::Critical, QStringLiteral("程序已經在運行中!"), QMessageBox::Ok,
         QStringLiteral("Sayvell! !"));
}

}  // namespace sayvell::ui
