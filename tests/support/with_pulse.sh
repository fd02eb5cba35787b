#!/usr/bin/env bash
# with_pulse.sh CMD ARGS...
# Runs CMD against a private PulseAudio with one null sink ("nullsink", 48 kHz) whose monitor
# tests record. Everything lives in a fresh temporary directory; the server and the keep-alive
# stream are stopped by PID when CMD ends. Without pulseaudio, CMD runs alone (tests skip).
set -u

if [ "$#" -eq 0 ]; then
    echo "usage: $0 CMD [ARGS...]" >&2
    exit 2
fi

if ! command -v pulseaudio >/dev/null 2>&1; then
    echo "with_pulse.sh: pulseaudio is not installed; running without a sound server" >&2
    exec "$@"
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/sayvell-pulse.XXXXXX")
pa_pid=""
keep_pid=""

cleanup() {
    [ -n "$keep_pid" ] && kill "$keep_pid" 2>/dev/null && wait "$keep_pid" 2>/dev/null
    if [ -n "$pa_pid" ]; then
        kill "$pa_pid" 2>/dev/null
        # Give it a moment to exit cleanly, then insist.
        for _ in $(seq 50); do kill -0 "$pa_pid" 2>/dev/null || break; sleep 0.05; done
        kill -9 "$pa_pid" 2>/dev/null
        wait "$pa_pid" 2>/dev/null
    fi
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

socket="$dir/native"
# HOME points into the directory too, so the daemon writes no state into the real home.
(
    export XDG_RUNTIME_DIR="$dir" HOME="$dir"
    unset DBUS_SESSION_BUS_ADDRESS
    exec pulseaudio -n --daemonize=no --system=false --exit-idle-time=-1 --disallow-exit \
        --disable-shm=false --log-target=stderr \
        --load="module-null-sink sink_name=nullsink rate=48000" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$socket"
) >"$dir/pulseaudio.log" 2>&1 &
pa_pid=$!

export PULSE_SERVER="unix:$socket"
up=0
for _ in $(seq 100); do
    if pactl info >/dev/null 2>&1; then up=1; break; fi
    kill -0 "$pa_pid" 2>/dev/null || break
    sleep 0.05
done
if [ "$up" -ne 1 ]; then
    echo "with_pulse.sh: the private PulseAudio did not start; running without it" >&2
    cat "$dir/pulseaudio.log" >&2
    unset PULSE_SERVER
    "$@"
    exit $?
fi
pactl set-default-sink nullsink >/dev/null 2>&1

# An idle null sink renders in 2-second blocks; a low-latency stream of silence keeps it
# rendering in small ones, so latency measurements mean something.
pacat --playback --raw --format=s16le --rate=48000 --channels=2 --latency-msec=20 \
    --client-name=keepalive </dev/zero >/dev/null 2>&1 &
keep_pid=$!
sleep 2.2

export SAYVELL_TEST_PULSE=1
"$@"
exit $?
