#pragma once
// Building blocks of the main window's form, shared by the files that build its parts.
#include "ui/common/icons.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace sayvell::ui::form {

using icons::Glyph;

inline const QColor kMint(0xc4, 0xec, 0xd2);
inline const QColor kMintEdge(0x9c, 0xd4, 0xb0);
inline const QColor kTeal(0, 128, 128);

inline const QStringList kChineseFamilies{QStringLiteral("Noto Sans CJK TC"), QStringLiteral("Noto Sans TC"),
                                          QStringLiteral("Source Han Sans TC"), QStringLiteral("WenQuanYi Micro Hei")};

// Controls: Latin in the desktop's own face, whose compact line height keeps the rows tidy;
// Chinese falls back to a face with traditional glyph forms before anything else.
inline QStringList controlFamilies(const QFont& base) {
    return QStringList{QFontInfo(base).family()} + kChineseFamilies;
}

// The editor: one face for both scripts, so a mixed line reads evenly.
inline QStringList editorFamilies(const QFont& base) {
    return kChineseFamilies + QStringList{QFontInfo(base).family()};
}

inline void fill(QWidget* w, const QColor& c) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

template <typename T>
inline T* named(T* w, const char* name, const QString& accessible) {
    w->setObjectName(QLatin1String(name));
    w->setAccessibleName(accessible);
    return w;
}

inline QToolButton* button(QWidget* parent, const char* name, const QString& hint, Glyph g, QSize size, int iconSide) {
    auto* b = named(new QToolButton(parent), name, hint);
    b->setToolTip(hint);
    b->setIcon(icons::icon(g));
    b->setIconSize(QSize(iconSide, iconSide));
    b->setFixedSize(size);
    b->setAutoRaise(true);
    return b;
}

// A label is read out by its text; an accessible name would hide what it shows.
inline QLabel* label(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

inline QCheckBox* checkBox(QWidget* parent, const char* name, const QString& text) {
    return named(new QCheckBox(text, parent), name, text);
}

inline QAction* action(QMenu* menu, const char* name, const QString& caption) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    return a;
}

inline QSlider* trackBar(QWidget* parent, const char* name, const QString& caption, int lo, int hi, int pos) {
    auto* s = named(new QSlider(Qt::Horizontal, parent), name, caption);
    s->setRange(lo, hi);
    s->setValue(pos);
    s->setTickPosition(QSlider::NoTicks);
    return s;
}

inline QSpinBox* spinBox(QWidget* parent, const char* name, const QString& accessible, int lo, int hi, int value) {
    auto* s = named(new QSpinBox(parent), name, accessible);
    s->setRange(lo, hi);
    s->setValue(value);
    return s;
}

inline void foldFindPanel(QWidget* body, QWidget* unfold, QWidget* fold, bool folded) {
    body->setVisible(!folded);
    unfold->setVisible(folded);
    fold->setVisible(!folded);
}

}  // namespace sayvell::ui::form
