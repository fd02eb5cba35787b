#pragma once
// One Sayvell per user and display: a lock file in the user's runtime folder. A lock left by
// a process that died is taken over.
#include <QLockFile>
#include <QString>
#include <memory>

namespace sayvell::app {

class SingleInstance {
public:
    explicit SingleInstance(const QString& name);
    // False when another instance of this user on this display holds the lock.
    bool tryAcquire();
    QString lockPath() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace sayvell::app
