#!/bin/sh
# A fresh folder of 100 photos copied from the real-photo corpus, each copy with a time of
# its own (so each needs its own cache file): the time vistrel-tool index takes to build
# them with one build thread and with every processor.
# usage: bench/library/measure_fresh_folder.sh [BUILD_DIR] [PHOTOS_DIR] [WORK_DIR]
set -eu
build=$(cd "${1:-build}" && pwd)
photos=${2:-/work/shared/photos}
work=${3:-${TMPDIR:-/tmp}/vistrel-fresh}
[ -d "$photos" ] || { echo "no photos at $photos: skipped"; exit 0; }
make_folder() {
    rm -rf "$work"
    mkdir -p "$work/docs/fresh"
    i=0
    while [ $i -lt 100 ]; do
        for f in $(find "$photos/large" "$photos/cameras" -name '*.jpg' | sort); do
            [ $i -lt 100 ] || break
            cp "$f" "$work/docs/fresh/p$(printf %03d $i).jpg"
            touch -d "@$((1600000000 + i * 60))" "$work/docs/fresh/p$(printf %03d $i).jpg"
            i=$((i + 1))
        done
    done
}
for jobs in 1 $(nproc); do
    make_folder
    start=$(date +%s.%N)
    "$build/app/vistrel-tool" index --jobs "$jobs" --documents "$work/docs" \
        --folders "$work/folders.ini" > /dev/null
    end=$(date +%s.%N)
    echo "index --jobs $jobs: $(echo "$end - $start" | bc) s for 100 pictures"
done
