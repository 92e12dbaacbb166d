#!/bin/bash
# A real window under a virtual X display, resized with xdotool, is laid out at its new
# size: its picture matches the headless program's shot at that size. Skips (exit 77)
# without Xvfb or xdotool.
set -u
PROGRAM=$1
for tool in Xvfb xdotool import compare; do
  command -v $tool >/dev/null || { echo "skipped: no $tool"; exit 77; }
done
work=$(mktemp -d)
server=
program=
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null && wait "$program" 2>/dev/null
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/documents" "$work/runtime" && chmod 700 "$work/runtime"
export VISTREL_SETTINGS=$work/settings.reg VISTREL_DOCUMENTS=$work/documents \
  VISTREL_CARDS= XDG_RUNTIME_DIR=$work/runtime VISTREL_PRESENT=surface
display=:$((90 + RANDOM % 400))
Xvfb $display -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do xdotool getmouselocation --display $display >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY=$display

"$PROGRAM" --dpi 96 &
program=$!
window=
for _ in $(seq 100); do
  window=$(xdotool search --name '^Vistrel$' 2>/dev/null | head -1)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "FAIL: no window appeared"; exit 1; }
xdotool windowsize "$window" 900 700
sleep 3
import -window "$window" "$work/window.png" 2>/dev/null || { echo "FAIL: no screenshot"; exit 1; }
size=$(identify -format '%wx%h' "$work/window.png")
[ "$size" = 900x700 ] || { echo "FAIL: the window is $size, not 900x700"; exit 1; }
kill "$program"; wait "$program"; program=
grep -q '"WindowWidth"=dword:00000384' "$work/settings.reg" ||
  { echo "FAIL: the window's width was not remembered"; cat "$work/settings.reg"; exit 1; }

printf 'settle 8000\nshot %s\n' "$work/headless.png" >"$work/script.txt"
"$PROGRAM" --headless --screen 900x700 --dpi 96 --script "$work/script.txt" ||
  { echo "FAIL: the headless run failed"; exit 1; }
# The same screen, pixel for pixel but for a few (the pointer, rounding of the copy).
differ=$(compare -metric AE -fuzz 3% "$work/window.png" "$work/headless.png" null: 2>&1 | cut -d' ' -f1)
echo "pixels that differ: $differ of $((900 * 700))"
[ "${differ%.*}" -lt $((900 * 700 / 100)) ] || {
  cp "$work/window.png" /tmp/vistrel-window-resize-window.png
  cp "$work/headless.png" /tmp/vistrel-window-resize-headless.png
  echo "FAIL: the window's picture differs from the headless shot (copies in /tmp)"; exit 1; }
echo "ok"
