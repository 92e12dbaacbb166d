#!/usr/bin/env bash
# Renders every top-level node of a skin on the reference screens, so that a skin author
# sees the whole skin at once.
#
#   scripts/skin-gallery.sh SKIN OUT_DIR [LANGUAGE]
#
# SKIN is a compiled skin file or the name of one in build/app/skins/bin ("default");
# LANGUAGE a language file or the name of one in build/app ("German"; default English).
# Writes OUT_DIR/<screen>/<node>.png for the screens 176x220@96, 240x320@96, 800x480@96 and
# 480x640@192, one sheet per screen (OUT_DIR/sheet-<screen>.png) and all of them on one
# contact sheet (OUT_DIR/contact-sheet.png). List rows and menu entries are drawn at the
# height they ask for, with sample texts where a screen would fill them in. Builds the
# program first when vistrel-tool or the skin is missing (build folder: VISTREL_BUILD_DIR,
# default build).
set -euo pipefail
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 SKIN OUT_DIR [LANGUAGE]" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VISTREL_BUILD_DIR:-$root/build}
app=$build/app
tool=$app/vistrel-tool
skin=$1
[ -f "$skin" ] || skin=$app/skins/bin/$1.skin
language=${3:-English}
[ -f "$language" ] || language=$app/$language.lng
if [ ! -x "$tool" ] || [ ! -f "$skin" ] || [ ! -f "$language" ]; then
  [ -d "$build" ] || "$root/scripts/setup.sh"
  cmake --build "$build" --target vistrel-tool vistrel_skins vistrel_languages
fi
for f in "$skin" "$language"; do
  [ -f "$f" ] || { echo "$0: $f does not exist" >&2; exit 1; }
done
out=$2
mkdir -p "$out"

text() { "$tool" lang "$language" "$1"; }
properties="$(text Name) : IMG_2041.jpg\\n$(text Folder) : ~/Pictures/2024 Bretagne\\n$(text Resolution) : 4000x3000\\n$(text Size) : 3.4 $(text mbyte)\\n$(text Date) : 12.06.2024\\n$(text Time) : 18:42"

# Sample texts, as the screens fill them in.
samples() {
  case $1 in
    Menu) echo "--set caption=MainMenu" ;;
    AlbumElement) echo "--set name=Holidays_in_Brittany_2024 --set count=128" ;;
    MenuElement) echo "--set #text=Language" ;;
    MenuElementDisabled) echo "--set #text=Skin" ;;
    MenuElementRed) echo "--set #text=DeleteYes" ;;
    Folder) echo "--set btnText=Holidays_in_Brittany_2024" ;;
    Image) echo "--set btnNumText=7_/_120" ;;
    Message) echo "--set text=NoMailClient" ;;
  esac
}

nodes=$("$tool" skin "$skin" | sed -n 's/^node \([^ {]*\) {.*/\1/p')
[ -n "$nodes" ] || { echo "$0: $skin has no top-level nodes" >&2; exit 1; }
sheet_rows=()
for profile in 176x220@96 240x320@96 800x480@96 480x640@192; do
  size=${profile%@*} dpi=${profile#*@}
  w=${size%x*} h=${size#*x}
  dir=$out/$profile
  mkdir -p "$dir"
  screens=() rows=()
  for node in $nodes; do
    height=$h
    case $node in *Element*) height=0 ;; esac
    # Samples are single words with "_" for spaces, so that they pass through the shell.
    read -r -a extra <<< "$(samples "$node")"
    for i in "${!extra[@]}"; do extra[$i]=${extra[$i]//_/ }; done
    [ "$node" = Image ] && extra+=(--set "btnProperties=$properties")
    "$tool" render "$skin" "$node" "$w" "$height" "$dir/$node.png" --dpi "$dpi" \
      --lang "$language" "${extra[@]}" >/dev/null
    if [ "$height" = 0 ]; then rows+=("$dir/$node.png"); else screens+=("$dir/$node.png"); fi
  done
  "$tool" sheet "$out/sheet-$profile.png" "${screens[@]}" / "${rows[@]}" >/dev/null
  sheet_rows+=("${screens[@]}" / "${rows[@]}" /)
done
"$tool" sheet "$out/contact-sheet.png" --gap 16 "${sheet_rows[@]}"
