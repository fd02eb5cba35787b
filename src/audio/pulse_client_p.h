#pragma once
// What every stream of ours needs from the sound server: a threaded main loop and a context
// connected within a time limit, the wait for a stream to be ready, and the teardown.
#include <pulse/pulseaudio.h>

#include <QString>

namespace sayvell::audio {

class PulseClient {
public:
    PulseClient() = default;
    PulseClient(const PulseClient&) = delete;
    PulseClient& operator=(const PulseClient&) = delete;
    ~PulseClient() { close(nullptr); }

    // Connects as `appName`. On success the loop runs, is locked by the caller, and the time
    // limit goes on counting for the stream the caller opens next; `onState` runs in the loop
    // at every change of the context's state, and must signal the loop.
    bool open(const QString& appName, pa_context_notify_cb_t onState, void* userdata, QString* error);
    // Loop locked: waits until the stream is ready, fails or the time limit ends.
    bool waitReady(pa_stream* stream, QString* error);
    // Loop locked: the set-up is over (ended well or not); ends the time limit and unlocks.
    void endSetUp();
    // Disconnects `stream` (its callbacks first; it may be null), the context, and stops the loop.
    void close(pa_stream** stream);

    pa_threaded_mainloop* loop() const { return loop_; }
    pa_context* context() const { return context_; }
    // The server's reason for the last failure, in words a user can be shown.
    QString lastError(const char* what) const;

private:
    static void onTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self);

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_time_event* timer_ = nullptr;
    bool timedOut_ = false;
};

}  // namespace sayvell::audio
