#!/usr/bin/env bash
# Long random sessions of the program under AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/, every report fatal) over a copy of the photo corpus (VISTREL_PHOTOS, else
# ../shared/photos) and damaged copies of its pictures (cut short, bit-flipped, empty).
#   scripts/monkey.sh [STEPS] [SEED...]       (default 20000 steps, seeds 1 2 3)
# Per seed: a fresh copy, a private home, one session; then the exit status, the steps
# played, the peak memory and the pictures missing that the session did not delete through
# the delete action. Logs (they play again with --script) go to build-asan/monkey/.
# Ends with status 1 when any session failed.
set -euo pipefail
cd "$(dirname "$0")/.."
steps=${1:-20000}
shift || true
seeds=("$@")
[ ${#seeds[@]} -gt 0 ] || seeds=(1 2 3)
case $steps in '' | *[!0-9]*) echo "monkey.sh: STEPS is a number" >&2; exit 2 ;; esac

build=build-asan
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVISTREL_SANITIZE=address,undefined -DVISTREL_BENCH=OFF >/dev/null
# The program with its skins and languages beside it.
targets=(vistrel)
for t in vistrel_skins vistrel_languages; do
  if ninja -C "$build" -t targets all 2>/dev/null | grep -q "^$t:"; then targets+=("$t"); fi
done
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
program=$build/app/vistrel
export ASAN_OPTIONS=abort_on_error=1:halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

photos=${VISTREL_PHOTOS:-../shared/photos}
work=$build/monkey
mkdir -p "$work/stubs"
# Stand-ins for the desktop's helpers (help pages, mail): a session opens nothing.
for helper in xdg-open xdg-email; do
  printf '#!/bin/sh\nexit 0\n' >"$work/stubs/$helper"
  chmod +x "$work/stubs/$helper"
done

# Flips one bit of byte $2 of file $1 in place.
flip_bit() {
  local byte
  byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  [ -n "$byte" ] || return 0
  printf "$(printf '\\%03o' $((byte ^ (1 << ($2 % 8)))))" |
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# Fills folder $1 with the corpus and damaged copies of up to eight of its pictures.
make_documents() {
  local docs=$1
  mkdir -p "$docs/damaged"
  if [ -d "$photos" ]; then
    cp -r "$photos" "$docs/photos"
    chmod -R u+w "$docs/photos"
  else
    echo "monkey.sh: no photo corpus ($photos): damaged pictures only" >&2
  fi
  local i=0 picture size
  while IFS= read -r picture; do
    size=$(stat -c %s "$picture")
    head -c $((size / 2)) "$picture" >"$docs/damaged/cut$i.jpg"
    cp "$picture" "$docs/damaged/flipped$i.jpg"
    for offset in $((size / 7)) $((size / 3)) $((size / 2)) $((size * 5 / 6)); do
      flip_bit "$docs/damaged/flipped$i.jpg" "$offset"
    done
    i=$((i + 1))
  done < <(find "$docs/photos" -type f -iname '*.jp*g' 2>/dev/null | sort | head -n 8)
  : >"$docs/damaged/empty.jpg"
}

summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
failed=0
for seed in "${seeds[@]}"; do
  run=$work/seed$seed
  rm -rf "$run"
  mkdir -p "$run/home"
  make_documents "$run/documents"
  find "$run/documents" -type f -iname '*.jp*g' | sort >"$run/before.txt"
  log=$run/session.log
  echo "== seed $seed: $steps steps"
  status=0
  VISTREL_DOCUMENTS=$(cd "$run/documents" && pwd) HOME=$run/home XDG_CONFIG_HOME=$run/home/config \
    XDG_DATA_HOME=$run/home/data XDG_RUNTIME_DIR=$run/home VISTREL_SETTINGS=$run/home/settings.reg \
    VISTREL_STATE=$PWD/$run/home/state \
    VISTREL_CARDS= PATH="$(cd "$work/stubs" && pwd):$PATH" timeout -k 30 $((steps / 5 + 900)) \
    "$program" --headless --screen 240x320 --dpi 96 --monkey "$seed" --steps "$steps" \
    --monkey-log "$log" 2>"$run/stderr.txt" || status=$?
  played=$(sed -n 's/^# monkey: played \([0-9]*\) steps.*/\1/p' "$log" | tail -n 1)
  peak=$(sed -n 's/.*peak memory \([0-9]*\) kB.*/\1/p' "$log" | tail -n 1)
  lost=0
  while IFS= read -r picture; do
    [ -e "$picture" ] && continue
    absolute="$(cd "$(dirname "$picture")" 2>/dev/null && pwd)/$(basename "$picture")"
    grep -qxF "# deleted $absolute" "$log" || grep -qxF "# deleted $picture" "$log" && continue
    echo "lost: $picture" >&2
    lost=$((lost + 1))
  done <"$run/before.txt"
  if [ "$status" -ne 0 ] || [ "$lost" -ne 0 ] || [ -z "$played" ]; then
    failed=1
    tail -n 20 "$run/stderr.txt" >&2 || true
  fi
  printf '%-12s %8s %8s %10s %6s\n' "$seed" "$status" "${played:--}" "${peak:--}" "$lost" >>"$summary"
done

printf '\n%-12s %8s %8s %10s %6s\n' seed status steps peak_kB lost
cat "$summary"
exit $failed
