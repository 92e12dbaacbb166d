#!/bin/sh
# A folder of 100 photos the program has never seen, made from the real-photo corpus with a
# time of its own for each copy (so each needs its own cache file), measured as a user
# meets it:
#   - the program opened on it at 800 x 480 headless: the thumbnails on screen after one
#     second of real time, the time until every cache file is built, the interface thread's
#     CPU per frame meanwhile (script step stats);
#   - the program opened again once the cache files are all valid: the frames until every
#     thumbnail on screen is shown, and the interface thread's CPU per frame in that session;
#   - vistrel-tool index on a fresh copy, with one build thread and with every processor;
#   - one core decoding the same photos with libjpeg-turbo's fast IDCT, which the folder's
#     build time is held against, and one core making their quick thumbnails.
# usage: bench/library/measure_fresh_folder.sh [BUILD_DIR] [PHOTOS_DIR] [WORK_DIR]
# Environment: MEGAPIXELS=N scales every photo up to about N megapixels first (the corpus
# photos are 0.1 to 4), and EXIF=1 gives each scaled photo an EXIF thumbnail, as phones
# write; PROGRAM_DIR runs the vistrel and vistrel-tool of another build (an
# older one, for figures before a change) with this build's helper; BUILD_THREADS=N sets the
# setting BuildThreads for the sessions; ROUNDS=N runs the index with every processor N
# times (5).
set -eu
build=$(cd "${1:-build}" && pwd)
photos=${2:-/work/shared/photos}
work=${3:-${TMPDIR:-/tmp}/vistrel-fresh}
rm -rf "$work/pristine"
programs=$(cd "${PROGRAM_DIR:-$build/app}" && pwd)
helper=$build/bench/library/fresh_folder
[ -d "$photos" ] || { echo "no photos at $photos: skipped"; exit 0; }
[ -x "$helper" ] || { echo "no $helper: build the benchmarks"; exit 1; }

# The photos are made once (scaling them takes a while) and copied, times and all, for
# every run that needs the folder fresh.
make_folder() {
    rm -rf "$work/docs" "$work/runtime" "$work/data" "$work/state"
    mkdir -p "$work/docs" "$work/runtime" "$work/data" "$work/state"
    chmod 700 "$work/runtime"
    if [ ! -d "$work/pristine" ]; then
        VISTREL_PHOTOS_DIR=$photos "$helper" make "$work/pristine.part" 100 "${MEGAPIXELS:-0}" \
            ${EXIF:+exif}
        mv "$work/pristine.part" "$work/pristine"
    fi
    cp -a "$work/pristine" "$work/docs/fresh"
}

# The program's surroundings: its own settings, documents, runtime and state folders (the
# folder list), no cards.
export VISTREL_SETTINGS="$work/settings.reg" VISTREL_DOCUMENTS="$work/docs" VISTREL_CARDS=
export XDG_RUNTIME_DIR="$work/runtime" XDG_DATA_HOME="$work/data" VISTREL_STATE="$work/state"

now() { date +%s.%N; }

# Visible thumbnails of the top screen in dump $1: "shown of on_screen (quick Q)".
count_shown() {
    awk '/^screen /{ shown = 0; all = 0; quick = 0 }
         / id=image visible=1 / && / picture=/ {
             all++
             if ($0 !~ / picture=[a-z_]*loading/) shown++
             if ($0 ~ / picture=quick/) quick++
         }
         END { printf "%d of %d (quick %d)", shown, all, quick }' "$1"
}

session() {
    "$programs/vistrel" --headless --screen 800x480 --dpi 96 --script "$1" "$work/docs/fresh" \
        > "$work/session.log" 2>&1
}

echo "machine: $(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg)"
make_folder
decoded=$("$helper" decode "$work"/docs/fresh/*.jpg)
echo "$decoded"
decode=$(echo "$decoded" | awk '/decode_wall/{ print $2 }')
"$helper" quick "$work"/docs/fresh/*.jpg

if [ -n "${BUILD_THREADS:-}" ]; then
    "$programs/vistrel-tool" settings set 'HKEY_CURRENT_USER\Software\TEKU\Vistrel' \
        BuildThreads "$BUILD_THREADS" --dword > /dev/null
fi
# The frames of the first second (start-up, the folder opening) apart from those after;
# an older program without `stats FILE reset` counts every frame in the second figures.
reset=" reset"
[ -z "${PROGRAM_DIR:-}" ] || reset=
cat > "$work/fresh.txt" <<EOF
sleep 1000
dump $work/one_second.txt
stats $work/first_second.txt$reset
settle 600000
dump $work/built.txt
stats $work/stats.txt
EOF
start=$(now)
session "$work/fresh.txt"
end=$(now)
echo "fresh folder: after 1 s $(count_shown "$work/one_second.txt") thumbnails shown"
echo "fresh folder: $(grep '^library' "$work/built.txt" || echo 'library (not reported)')"
echo "fresh folder: session $(echo "$end - $start" | bc) s until every cache file was built" \
     "(decode alone $decode s: ratio $(echo "scale=2; ($end - $start) / $decode" | bc))"
grep -E 'frame_cpu_(p95|max)|frames_drawn' "$work/first_second.txt" | sed 's/^/first second: /'
grep -E 'frame_cpu_(p95|max)|frames_drawn' "$work/stats.txt" | sed 's/^/after it, building: /'

# The same folder again, every cache file valid: the frames of the folder screen until all
# its thumbnails are shown (a dump every frame step, from the start, splash included).
script="$work/cached.txt"
: > "$script"
i=1
while [ $i -le 300 ]; do
    printf 'frames 1\ndump %s/frame%03d.txt\n' "$work" $i >> "$script"
    i=$((i + 1))
done
echo "stats $work/cached_stats.txt" >> "$script"
session "$script"
i=1
first=
while [ $i -le 300 ]; do
    dump=$(printf '%s/frame%03d.txt' "$work" $i)
    if grep -q 'FolderScreen' "$dump"; then
        [ -n "$first" ] || first=$i
        shown=$(count_shown "$dump")
        echo "cached folder: frame $((i - first + 1)) of the folder screen: $shown shown"
        # shellcheck disable=SC2086
        set -- $shown
        [ "$3" -gt 0 ] && [ "$1" = "$3" ] && break
    fi
    i=$((i + 1))
done

grep -E 'frame_cpu_(p95|max)|frames_drawn' "$work/cached_stats.txt" | sed 's/^/cached folder session: /'

# vistrel-tool index on a fresh copy, with one build thread and with every processor; each
# run against a decode just before it, as a shared machine's speed drifts from minute to
# minute. With every processor it runs ROUNDS times, and the fastest index is held against
# the fastest decode as well: the least disturbed figure of each.
index_run() {
    make_folder
    decode=$("$helper" decode "$work"/docs/fresh/*.jpg | awk '/decode_wall/{ print $2 }')
    start=$(now)
    /usr/bin/time -f "%U %S" -o "$work/time.txt" "$programs/vistrel-tool" index --jobs "$1" \
        --documents "$work/docs" --folders "$work/folders.ini" > /dev/null
    end=$(now)
    wall=$(echo "$end - $start" | bc)
    echo "index --jobs $1: $wall s for 100 pictures (cpu $(awk '{ print $1 + $2 }' \
        "$work/time.txt") s), decode $decode s, ratio to decode $(echo "scale=2; $wall / $decode" | bc)"
    echo "$decode $wall" >> "$work/rounds.txt"
}
index_run 1
: > "$work/rounds.txt"
round=1
while [ $round -le "${ROUNDS:-5}" ]; do
    index_run "$(nproc)"
    round=$((round + 1))
done
awk 'NR == 1 || $1 < d { d = $1 } NR == 1 || $2 < w { w = $2 }
     END { printf "index --jobs %d, fastest of %d: %.3f s against the fastest decode %.3f s: ratio %.2f\n",
           '"$(nproc)"', NR, w, d, w / d }' "$work/rounds.txt"
