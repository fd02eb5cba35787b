#include "platform/portal_hotkeys.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QHash>
#include <QTimer>
#include <array>
#include <functional>

namespace sayvell::platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kRefused = QStringLiteral("桌面沒有允許全域快捷鍵（%1），F7、F9、F11 在其他程式中不起作用。");

const char* const kIds[kHotkeyCount] = {"stop-read-from-top", "stop-loop-whole-text", "stop"};
const char16_t* const kDescriptions[kHotkeyCount] = {u"停止，再從頭朗讀", u"停止，再全文循環朗讀", u"停止朗讀"};

QString pathOf(const QVariant& v) {
    if (v.canConvert<QDBusObjectPath>()) return v.value<QDBusObjectPath>().path();
    return v.toString();
}

class PortalHotkeys : public GlobalHotkeys {
    Q_OBJECT
public:
    explicit PortalHotkeys(const QDBusConnection& bus) : bus_(bus) {
        registerPortalTypes();
        bus_.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this, SLOT(onActivated(QDBusMessage)));
        bindTimer_.setSingleShot(true);
        bindTimer_.setInterval(0);
        connect(&bindTimer_, &QTimer::timeout, this, &PortalHotkeys::bind);
    }

    ~PortalHotkeys() override {
        if (!session_.isEmpty())
            bus_.asyncCall(QDBusMessage::createMethodCall(
                kService, session_, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close")));
    }

    bool registerHotkey(int index) override {
        if (index < 0 || index >= kHotkeyCount || state_ == State::Failed) return false;
        wanted_[static_cast<size_t>(index)] = true;
        if (state_ == State::Idle)
            createSession();
        else if (state_ == State::Ready)
            bindTimer_.start();  // keys asked for in one go are bound in one dialog
        return true;
    }

    void unregisterHotkey(int index) override {
        if (index >= 0 && index < kHotkeyCount) wanted_[static_cast<size_t>(index)] = false;
    }

    bool isRegistered(int index) const override {
        return index >= 0 && index < kHotkeyCount && wanted_[static_cast<size_t>(index)] &&
               bound_[static_cast<size_t>(index)];
    }

public slots:
    // Activated(o session_handle, s shortcut_id, t timestamp, a{sv} options)
    void onActivated(const QDBusMessage& message) {
        const QList<QVariant> args = message.arguments();
        if (args.size() < 2 || pathOf(args.at(0)) != session_) return;
        const int index = portalShortcutIndex(args.at(1).toString());
        if (index >= 0 && isRegistered(index)) emit activated(index);
    }

    void onResponse(uint response, const QVariantMap& results, const QDBusMessage& message) {
        const auto handler = pending_.take(message.path());
        if (handler) handler(response, results);
    }

private:
    enum class State { Idle, Creating, Ready, Failed };
    using Handler = std::function<void(uint, const QVariantMap&)>;

    // Calls a portal method that answers through a Request object; the Response signal is
    // listened for before the call, on the path the portal will use, so it cannot be missed.
    void request(const QString& method, QList<QVariant> args, QVariantMap options, Handler handler) {
        const QString token = QStringLiteral("sayvell%1").arg(++tokens_);
        QString sender = bus_.baseService();
        sender.remove(0, 1).replace(u'.', u'_');
        const QString path = kPath + QStringLiteral("/request/") + sender + u'/' + token;
        listen(path, handler);
        options.insert(QStringLiteral("handle_token"), token);
        args << options;
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
        call.setArguments(args);
        auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, path, handler](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            QDBusPendingReply<QDBusObjectPath> reply = *w;
            if (reply.isError()) {
                pending_.remove(path);
                fail(reply.error().message());
                return;
            }
            // An older portal may choose its own request path.
            const QString actual = reply.value().path();
            if (actual != path && pending_.contains(path)) {
                pending_.remove(path);
                listen(actual, handler);
            }
        });
    }

    void listen(const QString& path, const Handler& handler) {
        pending_.insert(path, handler);
        bus_.connect(kService, path, kRequestInterface, QStringLiteral("Response"), this,
                     SLOT(onResponse(uint, QVariantMap, QDBusMessage)));
    }

    void createSession() {
        state_ = State::Creating;
        QVariantMap options{{QStringLiteral("session_handle_token"), QStringLiteral("sayvell")}};
        request(QStringLiteral("CreateSession"), {}, options, [this](uint response, const QVariantMap& results) {
            session_ = pathOf(results.value(QStringLiteral("session_handle")));
            if (response != 0 || session_.isEmpty()) {
                fail(QStringLiteral("無法建立工作階段"));
                return;
            }
            state_ = State::Ready;
            bind();
        });
    }

    void bind() {
        if (state_ != State::Ready) return;
        PortalShortcutList shortcuts;
        for (int i = 0; i < kHotkeyCount; ++i) {
            if (!wanted_[static_cast<size_t>(i)]) continue;
            shortcuts << PortalShortcut{portalShortcutId(i),
                                        {{QStringLiteral("description"), QString::fromUtf16(kDescriptions[i])},
                                         {QStringLiteral("preferred_trigger"), hotkeyName(i)}}};
        }
        if (shortcuts.isEmpty()) return;
        const QList<QVariant> args{QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts),
                                   QString()};
        request(QStringLiteral("BindShortcuts"), args, {}, [this](uint response, const QVariantMap& results) {
            if (response != 0) {
                fail(response == 1 ? QStringLiteral("使用者取消") : QStringLiteral("桌面拒絕"));
                return;
            }
            const QVariant list = results.value(QStringLiteral("shortcuts"));
            if (!list.isValid()) {
                bound_ = wanted_;
                return;
            }
            // Keys the user left out in the desktop's dialog are not bound.
            PortalShortcutList given;
            if (list.canConvert<QDBusArgument>()) list.value<QDBusArgument>() >> given;
            bound_ = {};
            for (const PortalShortcut& s : given)
                if (const int i = portalShortcutIndex(s.id); i >= 0) bound_[static_cast<size_t>(i)] = true;
        });
    }

    void fail(const QString& why) {
        const bool first = state_ != State::Failed;
        state_ = State::Failed;
        bound_ = {};
        if (first) emit failed(kRefused.arg(why));
    }

    QDBusConnection bus_;
    State state_ = State::Idle;
    QString session_;
    std::array<bool, kHotkeyCount> wanted_{};
    std::array<bool, kHotkeyCount> bound_{};
    QHash<QString, Handler> pending_;
    int tokens_ = 0;
    QTimer bindTimer_;
};

}  // namespace

QDBusArgument& operator<<(QDBusArgument& arg, const PortalShortcut& s) {
    arg.beginStructure();
    arg << s.id << s.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, PortalShortcut& s) {
    arg.beginStructure();
    arg >> s.id >> s.properties;
    arg.endStructure();
    return arg;
}

void registerPortalTypes() {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<PortalShortcutList>();
}

QString portalShortcutId(int index) {
    return index >= 0 && index < kHotkeyCount ? QString::fromLatin1(kIds[index]) : QString();
}

int portalShortcutIndex(const QString& id) {
    for (int i = 0; i < kHotkeyCount; ++i)
        if (id == QLatin1String(kIds[i])) return i;
    return -1;
}

bool portalOffersGlobalShortcuts(const QDBusConnection& bus) {
    if (!bus.isConnected()) return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kInterface << QStringLiteral("version");
    // A portal that is started on demand needs a moment; a desktop without one answers at once.
    const QDBusMessage reply = QDBusConnection(bus).call(get, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    return reply.arguments().first().value<QDBusVariant>().variant().toUInt() >= 1;
}

std::unique_ptr<GlobalHotkeys> makePortalHotkeys(const QDBusConnection& bus) {
    if (!bus.isConnected()) return makeNoHotkeys(QStringLiteral("沒有工作階段匯流排（D-Bus），F7、F9、F11 無法使用。"));
    return std::make_unique<PortalHotkeys>(bus);
}

}  // namespace sayvell::platform

#include "portal_hotkeys.moc"
