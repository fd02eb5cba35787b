#!/usr/bin/env bash
# screenshots.sh [BUILD_DIR]
# Makes the README's pictures under a private virtual display, so they follow the program:
#   docs/main-window.png      the main window reading, the spoken piece highlighted
#   docs/settings-window.png  the system settings window
# Needs xvfb, xdotool and scrot (Debian packages). The display, the sound server and the
# program are this script's own and are stopped by their PIDs.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)

# Reading needs a sound server: run again inside a private PulseAudio.
if [ -z "${SAYVELL_SHOTS_INNER:-}" ]; then
    exec "$root/tests/support/with_pulse.sh" env SAYVELL_SHOTS_INNER=1 "$0" "$build"
fi

for tool in Xvfb xdotool scrot sqlite3; do
    command -v "$tool" >/dev/null || { echo "screenshots.sh: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/sayvell-shots.XXXXXX")
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A portable copy: its files stay beside it, the user's own are never touched.
cp "$build/bin/sayvell" "$build/bin/draft.dat" "$work/"
printf '[System]\r\nPrompt_tone=0\r\n[Speaker]\r\nSpeaker=1\r\nRate=0\r\n' >"$work/setinfo.ini"
mkdir -m 700 "$work/run"
printf '%s\r\n' "各位顧客您好，歡迎光臨本店。今天的新鮮水果放在入口右邊的貨架上，歡迎選購！" \
    "本店營業時間為早上九點至晚上十點，週末照常營業。請帶好您的隨身物品，小心地滑。" >"$work/notice.txt"
sqlite3 "$work/draft.dat" "INSERT INTO history (filename, opendate) VALUES ('$work/notice.txt', '2026-01-01T09:00:00.000')"

display=""
for n in $(seq 90 130); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "screenshots.sh: no free display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.05; done
export DISPLAY="$display"

HOME="$work" XDG_RUNTIME_DIR="$work/run" "$work/sayvell" >"$work/app.log" 2>&1 &
app_pid=$!
win=$(timeout 30 xdotool search --sync --onlyvisible --class sayvell | head -1)
# No window manager here to maximise it.
xdotool windowmove "$win" 0 0 windowsize "$win" 1280 800
sleep 1

# The text comes in through the history list (typing Chinese through xdotool drops
# characters): a row for it in the copy's database, then a double click on it, then F7 (read
# from the beginning); the shot is taken mid-reading.
xdotool mousemove 1195 214 click --repeat 2 --delay 80 1
sleep 1
xdotool key F7
sleep 2.5
mkdir -p "$root/docs"
scrot --overwrite "$root/docs/main-window.png"

# The settings window: the last item of the menu 設置(&S).
xdotool key Escape
xdotool key alt+s
sleep 0.3
xdotool key Up Return
sleep 1.5
scrot --overwrite "$root/docs/settings-window.png"
ls -l "$root/docs/"*.png
