#include "audio/pulse_client_p.h"

namespace sayvell::audio {

namespace {
constexpr pa_usec_t kTimeLimitUs = 1500000;
}

void PulseClient::onTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
    auto* client = static_cast<PulseClient*>(self);
    client->timedOut_ = true;
    pa_threaded_mainloop_signal(client->loop_, 0);
}

QString PulseClient::lastError(const char* what) const {
    const int err = context_ ? pa_context_errno(context_) : PA_ERR_UNKNOWN;
    return QStringLiteral("%1：%2").arg(QString::fromUtf8(what), QString::fromUtf8(pa_strerror(err)));
}

bool PulseClient::open(const QString& appName, pa_context_notify_cb_t onState, void* userdata, QString* error) {
    close(nullptr);
    const auto fail = [&](const QString& why) {
        if (error) *error = why;
        close(nullptr);
        return false;
    };
    timedOut_ = false;
    loop_ = pa_threaded_mainloop_new();
    if (!loop_) return fail(QStringLiteral("無法建立聲音主迴圈。"));
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, appName.toUtf8().constData());
    context_ = pa_context_new_with_proplist(api, nullptr, props);
    pa_proplist_free(props);
    if (!context_) return fail(QStringLiteral("無法連接聲音伺服器。"));
    pa_context_set_state_callback(context_, onState, userdata);
    // A null server honours PULSE_SERVER and the client configuration, as every client does.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return fail(lastError("無法連接聲音伺服器"));

    pa_threaded_mainloop_lock(loop_);
    if (pa_threaded_mainloop_start(loop_) < 0) {
        pa_threaded_mainloop_unlock(loop_);
        return fail(QStringLiteral("無法啟動聲音主迴圈。"));
    }
    timeval deadline{};
    pa_gettimeofday(&deadline);
    pa_timeval_add(&deadline, kTimeLimitUs);
    timer_ = api->time_new(api, &deadline, &PulseClient::onTimeout, this);
    for (;;) {
        const pa_context_state_t st = pa_context_get_state(context_);
        if (st == PA_CONTEXT_READY) return true;
        if (!PA_CONTEXT_IS_GOOD(st) || timedOut_) {
            const QString why = timedOut_ ? QStringLiteral("聲音伺服器沒有回應。") : lastError("無法連接聲音伺服器");
            endSetUp();
            return fail(why);
        }
        pa_threaded_mainloop_wait(loop_);
    }
}

bool PulseClient::waitReady(pa_stream* stream, QString* error) {
    for (;;) {
        const pa_stream_state_t st = pa_stream_get_state(stream);
        if (st == PA_STREAM_READY) return true;
        if (!PA_STREAM_IS_GOOD(st) || timedOut_) {
            if (error)
                *error = timedOut_ ? QStringLiteral("聲音伺服器沒有及時打開聲音串流。") : lastError("無法打開聲音串流");
            return false;
        }
        pa_threaded_mainloop_wait(loop_);
    }
}

void PulseClient::endSetUp() {
    if (timer_) {
        pa_threaded_mainloop_get_api(loop_)->time_free(timer_);
        timer_ = nullptr;
    }
    pa_threaded_mainloop_unlock(loop_);
}

void PulseClient::close(pa_stream** stream) {
    if (!loop_) return;
    pa_threaded_mainloop_lock(loop_);
    if (stream && *stream) {
        pa_stream_set_state_callback(*stream, nullptr, nullptr);
        pa_stream_set_read_callback(*stream, nullptr, nullptr);
        pa_stream_set_write_callback(*stream, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(*stream))) pa_stream_disconnect(*stream);
        pa_stream_unref(*stream);
        *stream = nullptr;
    }
    if (timer_) {
        pa_threaded_mainloop_get_api(loop_)->time_free(timer_);
        timer_ = nullptr;
    }
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pa_threaded_mainloop_unlock(loop_);
    // Joins the loop thread; a no-op when it never started.
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
}

}  // namespace sayvell::audio
