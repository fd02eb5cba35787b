#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   ./test.sh            normal build, all tests (logic, windows offscreen, real sound)
#   ./test.sh asan       the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   ./test.sh tsan       the threaded logic (worker, mixer, speech engine) under ThreadSanitizer
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

mode="${1:-normal}"
case "$mode" in
    normal) dir=build/debug; flags=(-DCMAKE_BUILD_TYPE=Debug); labels="" ;;
    asan) dir=build/asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DSAYVELL_SANITIZE=address,undefined); labels="" ;;
    tsan) dir=build/tsan; flags=(-DCMAKE_BUILD_TYPE=Debug -DSAYVELL_SANITIZE=thread); labels="-L unit" ;;
    *) echo "usage: $0 [normal|asan|tsan]" >&2; exit 2 ;;
esac
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=0
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/support/tsan.supp"
cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$dir"
# shellcheck disable=SC2086
tests/support/with_pulse.sh ctest --test-dir "$dir" --output-on-failure $labels
