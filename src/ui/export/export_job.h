#pragma once
// One export on a thread of its own. The UI thread starts it and hears of its progress and its
// end through signals; it never waits for it, so nothing runs a second command inside it.
// Holds the reading lock while it renders: a reading started meanwhile waits for the export.
#include "audio/speech_export.h"
#include "reading/speech_engine.h"

#include <QObject>
#include <functional>
#include <mutex>
#include <thread>

namespace sayvell::ui {

class ExportJob : public QObject {
    Q_OBJECT
public:
    using Work = std::function<audio::ExportResult(audio::ExportControl&)>;

    ExportJob(reading::SpeechEngine& speech, std::timed_mutex& readingLock, QObject* parent = nullptr);
    ~ExportJob() override;  // cancels a running export and waits for its thread

    bool running() const { return thread_.joinable(); }
    // Does nothing while an export runs.
    void start(Work work);
    // The export ends within one part and leaves no file; finished() still follows.
    void cancel();

signals:
    void progress(int permille);
    // On the UI thread, once the thread has ended.
    void finished(const sayvell::audio::ExportResult& result);

private:
    void end(const audio::ExportResult& result);

    reading::SpeechEngine& speech_;
    std::timed_mutex& readingLock_;
    audio::ExportControl control_;
    std::thread thread_;
};

}  // namespace sayvell::ui
