#!/bin/sh
# Figures of a desktop-sized window, from the script step `stats`:
#   1. re-laying every screen out for a new window size with 5,000 albums listed
#      (interface-thread processor time of the resize and the frame drawn at the new size);
#   2. scrolling a 1920 x 1080 grid of a 500-picture folder whose cache files are built
#      (frame processor time, median and 95th percentile), in cells of 128 pixels (the
#      default) and of 256 pixels (the setting "GridCellSize"), the second time also
#      scrolling while the smallest levels are still being read.
# usage: bench/screens/measure_resize.sh [BUILD_DIR] [WORK_DIR]
set -eu
build=$(cd "${1:-build}" && pwd)
work=${2:-${TMPDIR:-/tmp}/vistrel-measure-resize}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
skin=$source_dir/tests/screens/screens_skin.skinsrc
make=$build/bench/screens/make_collection
rm -rf "$work"
mkdir -p "$work/runtime"
export VISTREL_SETTINGS="$work/settings.reg" VISTREL_CARDS= XDG_RUNTIME_DIR="$work/runtime"

run() {  # run APP SCREEN SCRIPT_TEXT
    printf '%s\n' "$3" > "$work/script.txt"
    "$1/vistrel" --headless --screen "$2" --dpi 96 --script "$work/script.txt"
}
value() {  # value FILE NAME: the number of a stats line
    sed -n "s/^$2: \([0-9.]*\).*/\1/p" "$1"
}

echo "Making 5,000 folders of 1 picture..."
export VISTREL_DOCUMENTS="$work/big"
"$make" "$build/app/vistrel" "$skin" "$work/app" "$work/big" 5000 1 --folder-list
run "$work/app" 800x600 "settle 60000
stats $work/before.txt
resize 1920 1080
frames 1
stats $work/after.txt
resize 1024 768
frames 1
stats $work/again.txt"
a=$(value "$work/before.txt" ui_thread_cpu)
b=$(value "$work/after.txt" ui_thread_cpu)
c=$(value "$work/again.txt" ui_thread_cpu)
echo "== re-layout with 5,000 albums (interface-thread processor time, resize and its frame)"
echo "   800x600 -> 1920x1080: $(echo "$b - $a" | bc) ms"
echo "   1920x1080 -> 1024x768: $(echo "$c - $b" | bc) ms"

echo "Making one folder of 500 pictures and building its cache files..."
export VISTREL_DOCUMENTS="$work/one"
"$make" "$build/app/vistrel" "$skin" "$work/app1" "$work/one" 1 500 --folder-list
"$build/app/vistrel-tool" index --documents "$work/one" --folders "$work/app1/folders.ini" > /dev/null
scroll=""
for i in 1 2 3 4 5 6 7 8 9 10; do scroll="$scroll
drag 960 1000 960 100 300
frames 20"; done
run "$work/app1" 1920x1080 "settle 8000
tap 120 58
settle 20000
stats $work/grid-before.txt
$scroll
stats $work/grid.txt"
echo "== 1920 x 1080 grid scroll (500 pictures; figures include the start)"
sed 's/^/   /' "$work/grid.txt"

# The same in 256-pixel cells: the setting as Ctrl+plus leaves it.
printf '[HKEY_CURRENT_USER\\Software\\TEKU\\Vistrel]\n"GridCellSize"=dword:00000100\n' \
    > "$VISTREL_SETTINGS"
run "$work/app1" 1920x1080 "settle 8000
tap 120 58
frames 2
$scroll
stats $work/grid256-fresh.txt
settle 20000
dump $work/grid256.dump
stats $work/grid256-before.txt
$scroll
stats $work/grid256.txt"
columns=$(awk '/FolderElement/ {n++} n==1 && /id=button[0-9]* visible=1/ {c++} END {print c}' "$work/grid256.dump")
cell=$(sed -n 's/.*image id=image visible=1 .*rect=[0-9]* [0-9]* \([0-9]*\) .*/\1/p' "$work/grid256.dump" | head -1)
echo "== 1920 x 1080 grid scroll in $cell-pixel cells, $columns columns, while levels are read"
sed 's/^/   /' "$work/grid256-fresh.txt"
echo "== the same once every level on the way is read (figures include the start)"
sed 's/^/   /' "$work/grid256.txt"
