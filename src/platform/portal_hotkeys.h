#pragma once
// org.freedesktop.portal.GlobalShortcuts on the given session bus: one session, the enabled
// keys bound together with F7/F9/F11 as preferred triggers (the desktop lets the user confirm
// or change them).
#include "platform/global_hotkeys.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QList>
#include <QMetaType>
#include <QVariantMap>

namespace sayvell::platform {

// One element of the portal's a(sa{sv}) shortcut lists.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
using PortalShortcutList = QList<PortalShortcut>;
QDBusArgument& operator<<(QDBusArgument& arg, const PortalShortcut& s);
const QDBusArgument& operator>>(const QDBusArgument& arg, PortalShortcut& s);
void registerPortalTypes();

// The shortcut id the portal knows a key by; -1 for an unknown id.
QString portalShortcutId(int index);
int portalShortcutIndex(const QString& id);

// True when a portal on `bus` answers with a GlobalShortcuts version.
bool portalOffersGlobalShortcuts(const QDBusConnection& bus);
std::unique_ptr<GlobalHotkeys> makePortalHotkeys(const QDBusConnection& bus);

}  // namespace sayvell::platform

Q_DECLARE_METATYPE(sayvell::platform::PortalShortcut)
