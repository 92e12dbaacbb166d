#!/bin/sh
# The speed and scale figures of the album and folder screens, from the script step `stats`:
#   1. start-up with 5,000 albums in the folder list (interface-thread processor time);
#   2. scrolling that album list;
#   3. a search of 100,000 pictures in 5,000 folders while the worker builds them,
#      scrolling meanwhile;
#   4. opening a 500-picture folder whose cache files are all built.
# usage: bench/screens/measure_screens.sh [BUILD_DIR] [WORK_DIR]   (takes a few minutes)
# SCREEN="480x640 --dpi 192" measures on the larger screen (default "240x320 --dpi 96").
set -eu
build=$(cd "${1:-build}" && pwd)
work=${2:-${TMPDIR:-/tmp}/vistrel-measure}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
skin=$source_dir/tests/screens/screens_skin.skinsrc
make=$build/bench/screens/make_collection
rm -rf "$work"
mkdir -p "$work/runtime"
export VISTREL_SETTINGS="$work/settings.reg" VISTREL_CARDS= XDG_RUNTIME_DIR="$work/runtime"

run() {  # run APP SCRIPT_TEXT
    printf '%s\n' "$2" > "$work/script.txt"
    # shellcheck disable=SC2086
    "$1/vistrel" --headless --screen ${SCREEN:-240x320 --dpi 96} --script "$work/script.txt"
}
show() {  # show TITLE FILE
    echo "== $1"
    sed 's/^/   /' "$2"
}

# Positions are the test skin's at 96 dpi, doubled at 192.
k=1
case "${SCREEN:-}" in *192*) k=2 ;; esac
search_x=$((225 * k)) search_y=$((15 * k)) album_x=$((120 * k)) album_y=$((58 * k))
top=$((40 * k)) bottom=$((300 * k))

# A drag up the album list over 300 ms, then 20 frames of its flick.
scroll=""
for i in 1 2 3 4 5 6 7 8 9 10; do scroll="$scroll
drag $album_x $bottom $album_x $top 300
frames 20"; done

echo "Making 5,000 folders of 20 pictures (100,000 pictures)..."
export VISTREL_DOCUMENTS="$work/big"
"$make" "$build/app/vistrel" "$skin" "$work/app" "$work/big" 5000 20 --folder-list

run "$work/app" "settle 60000
stats $work/start.txt"
show "start-up to the album screen with 5,000 stored albums" "$work/start.txt"

run "$work/app" "settle 60000
stats $work/before-scroll.txt
$scroll
stats $work/scroll.txt"
show "scrolling 5,000 albums (figures include the start)" "$work/scroll.txt"

rm -f "$work/app/folders.ini"
# The search itself takes a while: settle gives it up to 30 s of real time, then the list is
# scrolled while the worker builds.
run "$work/app" "settle 8000
tap $search_x $search_y
settle 30000
dump $work/searched.txt
$scroll
$scroll
frames 500
stats $work/search.txt
dump $work/scrolled.txt"
show "search of 100,000 pictures while building, scrolling meanwhile" "$work/search.txt"
echo "   albums on screen after the search: $(grep -c '^ *AlbumElement.*visible=1' "$work/searched.txt" || true), after scrolling: $(grep -o 'text="album[0-9]*"' "$work/scrolled.txt" | head -1)"
echo "   progress bar: $(grep -o 'progress id=progress visible=.' "$work/scrolled.txt")"

echo "Making one folder of 500 pictures and building its cache files..."
export VISTREL_DOCUMENTS="$work/one"
"$make" "$build/app/vistrel" "$skin" "$work/app1" "$work/one" 1 500 --folder-list
"$build/app/vistrel-tool" index --documents "$work/one" --folders "$work/app1/folders.ini" > /dev/null
printf '[HKEY_CURRENT_USER\\Software\\TEKU]\n"Log"=dword:00000001\n' > "$VISTREL_SETTINGS"
export TMPDIR="$work/runtime"
run "$work/app1" "settle 8000
tap $album_x $album_y
frames 3
dump $work/three-frames.txt
frames 100
dump $work/later.txt
stats $work/folder.txt"
shown=$(grep -c 'image id=image visible=1.*picture=made' "$work/three-frames.txt" || true)
places=$(grep -c 'image id=image visible=1' "$work/three-frames.txt" || true)
echo "== 500-picture folder: $shown of $places thumbnails on screen after 3 frames"
iconv -f UTF-16LE -t UTF-8 "$work/runtime/vistrel.txt" | grep -a "folder thumbnails loaded" | sed 's/^[0-9]* /   /'
rm -f "$VISTREL_SETTINGS"
show "500-picture folder" "$work/folder.txt"
