#!/usr/bin/env bash
# Installs what is missing, then builds and tests Kelvora in three stages, each in a build folder of
# its own (this is what CI runs, through .ci/run, with KELVORA_CI=1):
#   normal  build/       warnings as errors; the whole suite with the format, rule and packaging checks
#   asan    build-asan/  AddressSanitizer and UndefinedBehaviorSanitizer; the whole suite
#   tsan    build-tsan/  ThreadSanitizer; the tests with threads: reading, voice engine, music, soak,
#                        headless and end-to-end
# Usage: scripts/test.sh [normal] [asan] [tsan]   (no argument: all three)
# Under KELVORA_CI=1 a skipped test fails the run: a test that CI skips does not exist.
set -euo pipefail
cd "$(dirname "$0")/.."

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(normal asan tsan)
for stage in "${stages[@]}"; do
    case "$stage" in
    normal | asan | tsan) ;;
    *)
        echo "unknown stage: $stage (normal, asan or tsan)" >&2
        exit 2
        ;;
    esac
done

jobs=$(nproc)
# The tests that run threads of ours (the speaking thread, the voice engine's worker, SDL's audio thread).
threaded=(test_reading test_readingcontroller test_readingshutdown test_broadcastactions test_pausesymbols
    test_espeakvoiceengine test_mandarinvoice test_musicplayer test_sdlaudiolibrary test_soak test_headless test_endtoend)
timings=()

failures=()

# Runs a step and notes how long it took; its status is the step's.
timed() {
    local label=$1
    shift
    local start=$SECONDS
    local status=0
    "$@" || status=$?
    timings+=("$(printf '%-20s %3d:%02d%s' "$label" $(((SECONDS - start) / 60)) $(((SECONDS - start) % 60)) \
        "$([ "$status" = 0 ] || echo '  FAILED')")")
    return "$status"
}

configure() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

# Runs ctest in a build folder; a test that did not run (skipped) is fatal in CI.
suite() {
    local dir=$1
    shift
    local log="$dir/ctest.log"
    local status=0
    (cd "$dir" && ctest --output-on-failure -j"$jobs" "$@") 2>&1 | tee "$log" || status=$?
    if grep -q "The following tests did not run" "$log"; then
        if [ "${KELVORA_CI:-}" = 1 ]; then
            echo "Tests were skipped in $dir: in CI that is a failure." >&2
            status=1
        else
            echo "Tests were skipped in $dir (see above)." >&2
        fi
    fi
    return "$status"
}

# What the end-to-end test heard: CI shows that the station really played.
heard() {
    local log="$1/Testing/Temporary/LastTest.log"
    [ -f "$log" ] || return 0
    echo "--- test_endtoend ($1) ---"
    sed -n '/Listening to the station/,/^QDEBUG\|^PASS\|^FAIL/p' "$log" | sed -n '/Listening\|s  /p' | head -80
}

timed "set-up" ./scripts/setup.sh

# A stage that fails does not stop the next: one run tells everything.
for stage in "${stages[@]}"; do
    case "$stage" in
    normal)
        configure build -DKELVORA_WERROR=ON -DKELVORA_SANITIZE=
        if timed "normal: build" cmake --build build -j"$jobs"; then
            timed "normal: tests" suite build || failures+=("normal: tests")
            heard build
            timed "normal: install" ./scripts/check-install.sh build || failures+=("normal: install")
        else
            failures+=("normal: build")
        fi
        ;;
    asan)
        configure build-asan -DKELVORA_SANITIZE=address,undefined
        if timed "asan+ubsan: build" cmake --build build-asan -j"$jobs"; then
            timed "asan+ubsan: tests" suite build-asan || failures+=("asan+ubsan: tests")
        else
            failures+=("asan+ubsan: build")
        fi
        ;;
    tsan)
        configure build-tsan -DKELVORA_SANITIZE=thread
        # Only what the threaded tests need (the program included, for headless and end-to-end), and
        # the canary that shows ThreadSanitizer still reports a race.
        if timed "tsan: build" cmake --build build-tsan -j"$jobs" --target kelvora sanitizer_canary "${threaded[@]}"; then
            pattern="^(canary_thread|$(IFS='|' && echo "${threaded[*]}"))\$"
            timed "tsan: tests" suite build-tsan -R "$pattern" || failures+=("tsan: tests")
            heard build-tsan
        else
            failures+=("tsan: build")
        fi
        ;;
    esac
done

echo
echo "Stage durations (min:s):"
printf '  %s\n' "${timings[@]}"
if [ ${#failures[@]} -gt 0 ]; then
    echo "Failed: ${failures[*]}" >&2
    exit 1
fi
echo "All stages passed."
