#!/usr/bin/env bash
# Installs what is missing, builds and starts Sayvell.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
install_missing "${BUILD_PACKAGES[@]}"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build/release
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<MSG
Sayvell is built (build/release/bin/sayvell) but there is no graphical desktop here: DISPLAY is not set.
To start it on a virtual display:
  Xvfb :99 -screen 0 1280x800x24 -nolisten tcp &
  DISPLAY=:99 ./run.sh
MSG
    exit 1
fi
exec build/release/bin/sayvell "$@"
