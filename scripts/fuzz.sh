#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer, every
# report fatal) into build-fuzz/ and runs each for SECONDS (default 600) from its seed
# corpus, one after another, then prints the runs and findings per target.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#   scripts/fuzz.sh --monkey STEPS [SEED...]   long random sessions instead (scripts/monkey.sh)
# Inputs found go to build-fuzz/findings/<target>/ (crash-*, leak-*, timeout-*); the grown
# corpus to build-fuzz/corpus/<target>/. fuzz/corpus/ holds only the hand-made seeds and
# minimised findings named after what they found: copy a finding there by hand, with a
# regression test.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--monkey" ]; then
  shift
  exec scripts/monkey.sh "$@"
fi
seconds=${1:-600}
shift || true

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVISTREL_FUZZ=ON -DVISTREL_BENCH=OFF -DVISTREL_TESTS=OFF >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(ls fuzz/corpus)
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
for target in "${targets[@]}"; do
  binary=$(find "$build/fuzz" -type f -name "$target" -perm -u+x | head -n 1)
  if [ -z "$binary" ]; then
    echo "fuzz.sh: no fuzz target $target" >&2
    exit 2
  fi
  corpus=$build/corpus/$target
  findings=$build/findings/$target
  mkdir -p "$corpus" "$findings"
  cp -n fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
  log=$build/findings/$target.log
  echo "== $target: ${seconds} s"
  # -fork keeps going after a finding, so one target's whole budget is spent.
  "$binary" "$corpus" -max_total_time="$seconds" -fork=1 \
    -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -timeout=25 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/" >"$log" 2>&1 || true
  # The parent's status lines count the inputs run by all its jobs so far.
  runs=$(grep -Eo '^#[0-9]+' "$log" | tail -n 1 | tr -d '#' || true)
  found=$(find "$findings" -maxdepth 1 -type f | wc -l)
  printf '%-28s %12s %9s\n' "$target" "${runs:-0}" "$found" >>"$summary"
done

printf '\n%-28s %12s %9s\n' target runs findings
cat "$summary"
