#pragma once
// One player per plan: the window and `sayvell plan run` of one user never both play the plan
// of one draft.dat. A lock on a file in the user's runtime folder, released by the kernel
// when the holder ends, however it ends; the file says who holds it.
#include <QString>

namespace sayvell::plan {

class PlanLock {
public:
    // `databasePath` names the plan; `who` is what a refused second player is told.
    PlanLock(const QString& databasePath, const QString& who);
    ~PlanLock();
    PlanLock(const PlanLock&) = delete;
    PlanLock& operator=(const PlanLock&) = delete;

    bool tryLock();
    bool locked() const { return fd_ >= 0 && held_; }
    // Who holds it ("sayvell plan run（PID 1234）"), read from the file; when tryLock() failed.
    QString holder() const;
    QString path() const { return path_; }

private:
    QString path_;
    QString who_;
    int fd_ = -1;
    bool held_ = false;
};

}  // namespace sayvell::plan
