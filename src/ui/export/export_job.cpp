#include "ui/export/export_job.h"

#include <QPointer>

namespace sayvell::ui {

ExportJob::ExportJob(reading::SpeechEngine& speech, std::timed_mutex& readingLock, QObject* parent)
    : QObject(parent), speech_(speech), readingLock_(readingLock) {}

ExportJob::~ExportJob() {
    if (!thread_.joinable()) return;
    cancel();
    thread_.join();
}

void ExportJob::start(Work work) {
    if (running()) return;
    control_.cancel = false;
    QPointer<ExportJob> self(this);
    control_.progress = [self](int permille) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, permille] {
                if (self) emit self->progress(permille);
            },
            Qt::QueuedConnection);
    };
    thread_ = std::thread([this, self, work = std::move(work)] {
        audio::ExportResult result;
        {
            std::lock_guard lock(readingLock_);
            try {
                result = work(control_);
            } catch (const std::exception& e) {
                result.error = QString::fromLocal8Bit(e.what());
            }
        }
        // Dropped when the job is gone: its destructor is waiting for this thread.
        QMetaObject::invokeMethod(
            self.data(),
            [self, result] {
                if (self) self->end(result);
            },
            Qt::QueuedConnection);
    });
}

void ExportJob::cancel() {
    if (!running()) return;
    control_.cancel = true;
    speech_.speak(QString(), reading::SpeechEngine::PurgeBeforeSpeak);  // ends the part being spoken
}

void ExportJob::end(const audio::ExportResult& result) {
    if (thread_.joinable()) thread_.join();
    emit finished(result);
}

}  // namespace sayvell::ui
