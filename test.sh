#!/usr/bin/env bash
# Sets up and builds Vistrel, then runs every test through ctest.
#   ./test.sh              the Release build and the whole suite
#   ./test.sh --sanitize   the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer
#                          (build-asan/), then the threaded parts under ThreadSanitizer
#                          (build-tsan/); every report halts the test that made it
set -euo pipefail
cd "$(dirname "$0")"

# Runs ctest in build folder $1 with the further arguments; without a desktop the window
# tests get a virtual one.
run_ctest() {
  local dir=$1
  shift
  local run=(ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 900 "$@")
  # Under the sanitizers a test that fails gets one more run: there the background work is
  # slow enough that what a screen shows may depend on whether it ended yet (two same-seed
  # random sessions once parted on the viewer's Send menu that way, since mended).
  if [ "$dir" != "${VISTREL_BUILD_DIR:-build}" ]; then run+=(--repeat until-pass:2); fi
  if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    run=(xvfb-run -a "${run[@]}")
  fi
  "${run[@]}"
}

if [ "${1:-}" != "--sanitize" ]; then
  ./scripts/setup.sh
  run_ctest "${VISTREL_BUILD_DIR:-build}"
  exit 0
fi

# The tests of the threaded parts: photo library, its build pool, quick thumbnails and folder
# watcher, the large grid's cell-picture thread, tile renderer, active-object scheduler and
# threads, the resting frame loop woken from another thread, single-instance hand-over, a
# short random session of the whole program (its test plays fewer steps under
# ThreadSanitizer).
threaded='PhotoLibrary|BuildPool|WatchedFolders|MountedStorage|QuickThumbnail|CellPictures|LargeGrid|FreshFolder|FrameShow|LibraryTool|Levels|CacheTest|TileRenderer|Viewer|ActiveObjects|IdleLoop|WorkerThread|ManualResetEvent|SingleInstance|MessageBox|Monkey\.Sessions'
sanitizer_options=abort_on_error=1:halt_on_error=1:print_stacktrace=1
export ASAN_OPTIONS=$sanitizer_options:detect_leaks=1:strict_string_checks=1
export UBSAN_OPTIONS=$sanitizer_options
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export TSAN_OPTIONS=$sanitizer_options:second_deadlock_stack=1

VISTREL_BUILD_DIR=build-asan ./scripts/setup.sh -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVISTREL_SANITIZE=address,undefined -DVISTREL_BENCH=OFF
# A real window loads the desktop's libraries (the bus, the GL driver), whose own
# allocations outlive the program: leaks are checked everywhere else.
window_tests='OpensARealWindow|window_resize'
run_ctest build-asan -E "$window_tests"
ASAN_OPTIONS=$ASAN_OPTIONS:detect_leaks=0 run_ctest build-asan -R "$window_tests"

# ThreadSanitizer builds only the test programs it runs.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVISTREL_SANITIZE=thread \
  -DVISTREL_BENCH=OFF >/dev/null
all_targets=$(ninja -C build-tsan -t targets all)
tsan_targets=()
for t in test_library test_library_cache test_library_tiles test_shell test_platform \
         test_screens test_screens_viewer test_app test_monkey vistrel vistrel-tool \
         vistrel_languages vistrel_skins; do
  if grep -q "^$t:" <<<"$all_targets"; then tsan_targets+=("$t"); fi
done
cmake --build build-tsan -j "$(nproc)" --target "${tsan_targets[@]}"
run_ctest build-tsan -R "$threaded"
