#include "ui/document/appearance_controller.h"

#include "store/settings_file.h"
#include "ui/common/colors.h"
#include "ui/common/dialogs.h"
#include "ui/common/settings_writes.h"
#include "ui/shell/main_window_ui.h"

#include <QAction>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace sayvell::ui {

namespace keys = store::keys;

AppearanceController::AppearanceController(AppearanceWidgets w, Dialogs& dialogs, QObject* parent)
    : QObject(parent), w_(w), dialogs_(dialogs) {
    connect(w_.N23, &QAction::triggered, this, &AppearanceController::N23Click);
    connect(w_.N25, &QAction::triggered, this, &AppearanceController::N25Click);
    connect(w_.N27, &QAction::triggered, this, &AppearanceController::N27Click);
    connect(w_.N28, &QAction::triggered, this, &AppearanceController::N28Click);
    connect(w_.N29, &QAction::triggered, this, &AppearanceController::N29Click);
    connect(w_.CCtrlC2, &QAction::triggered, this, &AppearanceController::CCtrlC2Click);
    connect(w_.HCtrlH1, &QAction::triggered, this, &AppearanceController::CCtrlC2Click);
    connect(w_.VCtrlV3, &QAction::triggered, this, &AppearanceController::VCtrlV3Click);
    connect(w_.VCtrlV1, &QAction::triggered, this, &AppearanceController::VCtrlV3Click);
    connect(w_.XCtrlX1, &QAction::triggered, this, &AppearanceController::XCtrlX1Click);
    connect(w_.ZCtrlZ1, &QAction::triggered, this, &AppearanceController::ZCtrlZ1Click);
    connect(w_.A1, &QAction::triggered, this, &AppearanceController::A1Click);
    connect(w_.N10, &QAction::triggered, this, &AppearanceController::A1Click);
}

void AppearanceController::applySettings(store::SettingsFile& ini) {
    QPalette pal = w_.Memo1->palette();
    quint32 color = 0;
    if (const QString text = ini.read(keys::MemoColor); !text.isEmpty() && store::textToColor(text, &color))
        pal.setColor(QPalette::Base, toQColor(color));
    if (const QString text = ini.read(keys::FontColor); !text.isEmpty() && store::textToColor(text, &color))
        pal.setColor(QPalette::Text, toQColor(color));
    w_.Memo1->setPalette(pal);
    QFont font = w_.Memo1->font();
    const int size = ini.read(keys::FontSize);
    if (size > 0 && size < 400) font.setPointSize(size);
    ini.write(keys::MemoColor, store::colorToText(fromQColor(pal.color(QPalette::Base))));
    if (const QString name = ini.read(keys::FontName); !name.isEmpty()) {
        font.setFamily(name.left(31));
        addChineseFallback(font);
    }
    const store::FontStyles style = store::textToFontStyle(ini.read(keys::FontStyle));
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    font.setStrikeOut(style.strikeOut);
    w_.Memo1->setFont(font);
}

void AppearanceController::N23Click() {
    FontChoice choice{w_.Memo1->font(), w_.Memo1->palette().color(QPalette::Text)};
    if (dialogs_.chooseFont(&choice)) {
        QFont font = w_.Memo1->font();
        if (choice.font.pointSize() > 0) font.setPointSize(choice.font.pointSize());
        font.setBold(choice.font.bold());
        font.setItalic(choice.font.italic());
        font.setUnderline(choice.font.underline());
        font.setStrikeOut(choice.font.strikeOut());
        font.setFamily(choice.font.family());
        w_.Memo1->setFont(font);
        QPalette pal = w_.Memo1->palette();
        pal.setColor(QPalette::Text, choice.color);
        w_.Memo1->setPalette(pal);
    }
    const QFont font = w_.Memo1->font();
    const QColor text = w_.Memo1->palette().color(QPalette::Text);
    writeSettings(dialogs_, [&](store::SettingsFile& ini) {
        ini.write(keys::FontColor, store::colorToText(fromQColor(text)));
        ini.write(keys::FontSize, font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize());
        ini.write(keys::FontName, font.family());
        ini.write(keys::FontStyle,
                  store::fontStyleToText({font.bold(), font.italic(), font.underline(), font.strikeOut()}));
    });
}

void AppearanceController::N25Click() {
    QColor color = w_.Memo1->palette().color(QPalette::Base);
    dialogs_.chooseColor(&color);  // unchanged after a cancel
    QPalette pal = w_.Memo1->palette();
    pal.setColor(QPalette::Base, color);
    w_.Memo1->setPalette(pal);
    writeSettings(dialogs_,
                  [&](store::SettingsFile& ini) { ini.write(keys::MemoColor, store::colorToText(fromQColor(color))); });
}

void AppearanceController::alignText(Qt::Alignment alignment, QAction* item) {
    w_.Memo1->selectAll();
    QTextDocument* doc = w_.Memo1->document();
    QTextOption option = doc->defaultTextOption();
    option.setAlignment(alignment);
    doc->setDefaultTextOption(option);
    for (QAction* a : {w_.N27, w_.N28, w_.N29}) a->setChecked(a == item);
}

void AppearanceController::N27Click() { alignText(Qt::AlignLeft, w_.N27); }
void AppearanceController::N28Click() { alignText(Qt::AlignHCenter, w_.N28); }
void AppearanceController::N29Click() { alignText(Qt::AlignRight, w_.N29); }

void AppearanceController::CCtrlC2Click() { w_.Memo1->copy(); }
void AppearanceController::VCtrlV3Click() { w_.Memo1->paste(); }
void AppearanceController::XCtrlX1Click() { w_.Memo1->cut(); }
void AppearanceController::ZCtrlZ1Click() { w_.Memo1->undo(); }
void AppearanceController::A1Click() { w_.Memo1->selectAll(); }

}  // namespace sayvell::ui
