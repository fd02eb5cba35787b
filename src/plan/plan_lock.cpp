#include "plan/plan_lock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace sayvell::plan {

namespace {
QString runtimeDir() {
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
        dir = QDir::tempPath() + QStringLiteral("/sayvell-%1").arg(::getuid());
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return dir;
}
}  // namespace

PlanLock::PlanLock(const QString& databasePath, const QString& who) : who_(who) {
    const QByteArray key = QFileInfo(databasePath).absoluteFilePath().toUtf8();
    const QString tag = QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(12));
    path_ = runtimeDir() + QStringLiteral("/sayvell-plan-%1.lock").arg(tag);
}

PlanLock::~PlanLock() {
    if (held_) ::ftruncate(fd_, 0);
    if (fd_ >= 0) ::close(fd_);
}

bool PlanLock::tryLock() {
    if (held_) return true;
    if (fd_ < 0) fd_ = ::open(QFile::encodeName(path_).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0) return false;
    held_ = true;
    const QByteArray text = QStringLiteral("%1（PID %2）").arg(who_).arg(::getpid()).toUtf8();
    if (::ftruncate(fd_, 0) == 0) [[maybe_unused]]
        auto n = ::pwrite(fd_, text.constData(), size_t(text.size()), 0);
    return true;
}

QString PlanLock::holder() const {
    QFile f(path_);
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("另一個 Sayvell");
    const QString text = QString::fromUtf8(f.read(512)).trimmed();
    return text.isEmpty() ? QStringLiteral("另一個 Sayvell") : text;
}

}  // namespace sayvell::plan
