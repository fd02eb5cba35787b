// What a screen reader meets: every window's accessibility tree, every control named, in
// Chinese, labels heard with their text, every menu reachable by its mnemonic.
#include "window_rig.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace sayvell::testing {
namespace {

bool interactive(QAccessible::Role role) {
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::Dial:
    case QAccessible::EditableText:
    case QAccessible::List:
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::PageTab:
    case QAccessible::MenuItem:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::Link: return true;
    default: return false;
    }
}

// Words of Qt's own English that must not reach a Chinese user.
const QSet<QString> kEnglish{"Close", "OK",    "Cancel", "Yes",    "No",    "Apply", "Open",   "Save",
                             "Help",  "Reset", "Clear",  "Browse", "Abort", "Retry", "Ignore", "Discard"};

QString describe(QAccessibleInterface* iface) {
    QString path;
    for (QAccessibleInterface* i = iface; i; i = i->parent()) {
        const QObject* o = i->object();
        path.prepend(
            QStringLiteral("/%1(%2)").arg(o ? o->objectName() : QString(), o ? o->metaObject()->className() : "?"));
        if (i->role() == QAccessible::Window) break;
    }
    return path;
}

struct Walk {
    int checked = 0;
    QStringList unnamed;
    QStringList english;
    QStringList hiddenLabels;

    void check(QAccessibleInterface* iface) {
        if (!iface || !iface->isValid()) return;
        const QAccessible::Role role = iface->role();
        const QString name = iface->text(QAccessible::Name);
        if (interactive(role) && !iface->state().invisible) {
            ++checked;
            if (name.trimmed().isEmpty()) unnamed << describe(iface);
        }
        if (kEnglish.contains(QString(name).remove(u'&').trimmed())) english << describe(iface) + " \"" + name + '"';
        if (auto* label = qobject_cast<QLabel*>(iface->object()); label && !label->text().isEmpty() &&
                                                                  !label->accessibleName().isEmpty() &&
                                                                  !label->accessibleName().contains(label->text()))
            hiddenLabels << describe(iface) + ": " + label->accessibleName() + " / " + label->text();
        for (int i = 0; i < iface->childCount(); ++i) check(iface->child(i));
    }

    // Widgets the tree does not reach (hidden panels, menus not open) are checked one by one.
    void checkWidgets(QWidget* window) {
        for (QWidget* w : window->findChildren<QWidget*>()) {
            // Parts of a control, announced by it, and Qt's own helpers that show only when needed.
            if (w->isWindow() || qobject_cast<QAbstractSpinBox*>(w->parentWidget()) ||
                w->inherits("QComboBoxListView") || w->inherits("QTableCornerButton") ||
                w->objectName().startsWith(QLatin1String("qt_")))
                continue;
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
            if (!iface || !interactive(iface->role())) continue;
            ++checked;
            if (iface->text(QAccessible::Name).trimmed().isEmpty()) unnamed << describe(iface) + " (hidden)";
        }
        for (QMenu* menu : window->findChildren<QMenu*>()) {
            for (QAction* a : menu->actions()) {
                if (a->isSeparator()) continue;
                ++checked;
                const QString text = a->text().remove(u'&').trimmed();
                if (text.isEmpty()) unnamed << menu->objectName() + "/<action>";
                if (kEnglish.contains(text)) english << menu->objectName() + " \"" + text + '"';
            }
        }
    }
};

QChar mnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == u'&' && text[i + 1] != u'&') return text[i + 1].toUpper();
        if (text[i] == u'&') ++i;
    }
    return {};
}

TEST(Accessibility, EveryWindowsControlsAreNamedInChineseAndLabelsKeepTheirText) {
    WindowRig rig;
    rig.window->show();
    // The windows a user can open: walk each while shown, as a screen reader meets it.
    Walk walk;
    int windows = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMenu*>(top) || top->inherits("QTipLabel") || top->inherits("QComboBoxPrivateContainer"))
            continue;
        const bool wasVisible = top->isVisible();
        if (!wasVisible) top->show();
        QCoreApplication::processEvents();
        ++windows;
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(top);
        ASSERT_TRUE(iface);
        if (iface->text(QAccessible::Name).trimmed().isEmpty()) walk.unnamed << describe(iface) + " (window title)";
        walk.check(iface);
        walk.checkWidgets(top);
        if (!wasVisible) top->hide();
    }
    std::printf("accessibility walk: %d windows, %d controls checked\n", windows, walk.checked);
    RecordProperty("windows", windows);
    RecordProperty("controls", walk.checked);
    EXPECT_GE(windows, 2);  // the main window and at least the date window
    EXPECT_GT(walk.checked, 60);
    EXPECT_TRUE(walk.unnamed.isEmpty()) << walk.unnamed.join('\n').toStdString();
    EXPECT_TRUE(walk.english.isEmpty()) << walk.english.join('\n').toStdString();
    EXPECT_TRUE(walk.hiddenLabels.isEmpty()) << walk.hiddenLabels.join('\n').toStdString();
}

TEST(Accessibility, EveryMenuOpensByItsMnemonicAndItsItemsHaveDistinctOnes) {
    WindowRig rig;
    rig.window->show();
    rig.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    QMenuBar* bar = rig.window->menuBar();
    ASSERT_TRUE(bar);
    QSet<QChar> barKeys;
    for (QAction* top : bar->actions()) {
        if (!top->isVisible() || !top->menu()) continue;
        const QChar key = mnemonicOf(top->text());
        ASSERT_FALSE(key.isNull()) << "menu without a mnemonic: " << top->text().toStdString();
        EXPECT_FALSE(barKeys.contains(key)) << "two menus on Alt+" << QString(key).toStdString();
        barKeys.insert(key);

        // An item without a key of its own is still reached with the arrows; two on one key
        // would make the key stop at the first.
        QSet<QChar> itemKeys;
        for (QAction* item : top->menu()->actions()) {
            if (item->isSeparator() || !item->isVisible()) continue;
            const QChar k = mnemonicOf(item->text());
            if (k.isNull()) continue;
            EXPECT_FALSE(itemKeys.contains(k))
                << top->text().toStdString() << ": two items on " << QString(k).toStdString();
            itemKeys.insert(k);
        }

        // The key itself opens that menu.
        QTest::keyClick(rig.window.get(), key.toLatin1(), Qt::AltModifier);
        EXPECT_TRUE(waitFor([&] { return QApplication::activePopupWidget() == top->menu(); }, 2000))
            << "Alt+" << QString(key).toStdString() << " did not open " << top->text().toStdString();
        while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        QTest::keyClick(rig.window.get(), Qt::Key_Escape);  // out of the menu bar's key mode
        rig.window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    }
    EXPECT_FALSE(barKeys.isEmpty());
}

}  // namespace
}  // namespace sayvell::testing
