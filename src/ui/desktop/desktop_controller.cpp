#include "ui/desktop/desktop_controller.h"

#include "store/settings_file.h"
#include "store/settings_keys.h"
#include "ui/common/icons.h"

#include <QAction>
#include <QMenu>
#include <QWidget>
#include <algorithm>

namespace sayvell::ui {

namespace {

const QString kTip = QStringLiteral("Sayvell");
const QString kNoTray = QStringLiteral("桌面沒有系統匣，無法顯示 Sayvell 的圖示；關閉視窗時改為最小化。");

}  // namespace

DesktopController::DesktopController(QWidget& window, DesktopCommands commands,
                                     std::unique_ptr<platform::GlobalHotkeys> hotkeys, std::array<bool, 3> switches,
                                     QObject* parent)
    : QObject(parent), window_(window), commands_(std::move(commands)), hotkeys_(std::move(hotkeys)),
      switches_(switches) {
    menu_ = new QMenu(&window_);
    menu_->setAccessibleName(QStringLiteral("Sayvell 系統匣選單"));
    trayShow = menu_->addAction(QStringLiteral("顯示Sayvell (&S)"));
    trayHide = menu_->addAction(QStringLiteral("隱藏Sayvell (&H)"));
    trayExit = menu_->addAction(QStringLiteral("退出  (&C)"));
    trayShow->setCheckable(true);
    trayHide->setCheckable(true);
    connect(trayShow, &QAction::triggered, this, &DesktopController::trayShowClick);
    connect(trayHide, &QAction::triggered, this, &DesktopController::trayHideClick);
    connect(trayExit, &QAction::triggered, this, &DesktopController::trayExitClick);

    QIcon icon = window_.windowIcon();
    if (icon.isNull()) icon = icons::icon(icons::Glyph::App);
    tray_ = new QSystemTrayIcon(icon, this);
    tray_->setToolTip(kTip);
    tray_->setContextMenu(menu_);
    connect(tray_, &QSystemTrayIcon::activated, this, &DesktopController::iconclick);
    tray_->show();
    if (!QSystemTrayIcon::isSystemTrayAvailable()) tellOnce(kNoTray);

    connect(hotkeys_.get(), &platform::GlobalHotkeys::activated, this, &DesktopController::hotkeyPressed);
    connect(hotkeys_.get(), &platform::GlobalHotkeys::failed, this, &DesktopController::tellOnce);
}

std::array<bool, 3> DesktopController::storedSwitches() {
    const store::SettingsFile ini;
    return {ini.read(store::keys::HotkeyF7), ini.read(store::keys::HotkeyF9), ini.read(store::keys::HotkeyF11)};
}

void DesktopController::registerHotkeys() {
    if (std::none_of(switches_.begin(), switches_.end(), [](bool on) { return on; })) return;
    if (const QString why = hotkeys_->unavailableReason(); !why.isEmpty()) {
        tellOnce(why);
        return;
    }
    for (int i = 0; i < platform::kHotkeyCount; ++i)
        if (switches_[static_cast<size_t>(i)]) hotkeys_->registerHotkey(i);
}

void DesktopController::removeTrayIcon() {
    iconRemoved_ = true;
    tray_->hide();
}

bool DesktopController::trayUsable() const {
    return !iconRemoved_ && tray_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

void DesktopController::trayShowClick() {
    trayShow->setChecked(true);
    trayHide->setChecked(false);
    if (window_.isMinimized())
        window_.showNormal();
    else
        window_.show();
    window_.raise();
    window_.activateWindow();
}

void DesktopController::trayHideClick() {
    trayHide->setChecked(true);
    trayShow->setChecked(false);
    window_.hide();
}

void DesktopController::trayExitClick() {
    if (commands_.exit) commands_.exit();
}

void DesktopController::iconclick(QSystemTrayIcon::ActivationReason reason) {
    // The right button opens the menu (Qt does so at the cursor); double clicks and the
    // middle button do nothing. A left click toggles the window and leaves the marks alone.
    if (reason != QSystemTrayIcon::Trigger) return;
    if (window_.isVisible() && !window_.isMinimized()) {
        window_.hide();
    } else {
        if (window_.isMinimized())
            window_.showNormal();
        else
            window_.show();
        window_.raise();
        window_.activateWindow();
    }
}

void DesktopController::hotkeyPressed(int index) {
    if (index < 0 || index >= platform::kHotkeyCount || !switches_[static_cast<size_t>(index)]) return;
    if (commands_.stop) commands_.stop();
    if (index == 0 && commands_.readFromTop) commands_.readFromTop();
    if (index == 1 && commands_.loopWholeText) commands_.loopWholeText();
}

bool DesktopController::frameClose() {
    if (!trayUsable()) return false;
    trayHideClick();
    return true;
}

void DesktopController::tellOnce(const QString& text) {
    if (text.isEmpty() || told_.contains(text)) return;
    told_ << text;
    if (commands_.tell) commands_.tell(told_.join(QStringLiteral("  ")));
}

}  // namespace sayvell::ui
