#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   ./test.sh            normal build, all tests (logic, windows offscreen, real sound)
#   ./test.sh asan       the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   ./test.sh tsan       the threaded logic (worker, mixer, speech engine) under ThreadSanitizer
#   ./test.sh fuzz [N]   builds the fuzzers (clang, libFuzzer) and runs each for N inputs
#                        (default 20000) from a generated seed corpus; FUZZ_SECONDS=S runs
#                        each for S seconds instead
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

mode="${1:-normal}"

if [ "$mode" = fuzz ]; then
    install_missing clang libclang-rt-14-dev
    runs="${2:-20000}"
    dir=build/fuzz
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1"
    export LSAN_OPTIONS="suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=OFF \
        -DSAYVELL_FUZZ=ON -DSAYVELL_SANITIZE=address,undefined \
        -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
    cmake --build "$dir" --target fuzz_all
    corpus="$dir/corpus"
    mkdir -p "$corpus"
    mapfile -t music < <(find build -name '*.mp3' -size -2M 2>/dev/null | head -n 3)
    "$dir/bin/fuzz_seeds" "$corpus" "${music[@]}"
    failed=0
    for target in "$dir"/bin/fuzz_*; do
        name=$(basename "$target")
        [ "$name" = fuzz_seeds ] && continue
        mkdir -p "$corpus/$name" "$dir/crashes/$name"
        # Inputs that once broke a target stay in its corpus, so their fix stays tested.
        [ -d "fuzz/regressions/$name" ] && cp -f fuzz/regressions/"$name"/* "$corpus/$name/"
        if [ -n "${FUZZ_SECONDS:-}" ]; then limit=(-max_total_time="$FUZZ_SECONDS"); else limit=(-runs="$runs"); fi
        # A hang counts as a failure: 10 s for one input is far beyond any file's worth.
        if "$target" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
               -artifact_prefix="$dir/crashes/$name/" "$corpus/$name" >"$dir/$name.log" 2>&1; then
            echo "$name: $(grep -Eo 'Done [0-9]+ runs in [0-9]+ second' "$dir/$name.log" | tail -1)"
        else
            echo "$name: FAILED, see $dir/$name.log and $dir/crashes/$name/" >&2
            failed=1
        fi
    done
    exit "$failed"
fi

case "$mode" in
    normal) dir=build/debug; flags=(-DCMAKE_BUILD_TYPE=Debug); labels="" ;;
    asan) dir=build/asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DSAYVELL_SANITIZE=address,undefined); labels="" ;;
    tsan) dir=build/tsan; flags=(-DCMAKE_BUILD_TYPE=Debug -DSAYVELL_SANITIZE=thread); labels="-L unit" ;;
    *) echo "usage: $0 [normal|asan|tsan|fuzz [runs]]" >&2; exit 2 ;;
esac
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Leaks are errors; the suppressions name only libraries that keep memory for the process.
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS="suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/support/tsan.supp"
cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$dir"
# shellcheck disable=SC2086
tests/support/with_pulse.sh ctest --test-dir "$dir" --output-on-failure $labels
