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
# height they ask for, with sample texts where a screen would fill them in, and the menu
# is shown opened on each of the program's menus (Menu-<which>.png). Builds the
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

# Sample texts and menu entries, as the screens fill them in: sets the array `extra` for
# picture $1 (a top-level node, or "Menu-<what>" for the menu node opened on other entries).
samples() {
  local size date
  size=$(text mbyte)
  # Wednesday 12 June 2024 in the language's long form.
  date=$(text LongDate)
  date=${date//\{weekday\}/$(text DayNames | cut -d, -f4)}
  date=${date//\{month\}/$(text MonthNames | cut -d, -f6)}
  date=${date//\{day\}/12}
  date=${date//\{year\}/2024}
  case $1 in
    Menu) extra=(--menu "MainMenu=Magic4Buttons@MenuElement4Buttons,Language,Skin,Cancel") ;;
    Menu-language) extra=(--menu "Language=Language#English~English*,Language#French~French,Language#German~German,Language#Russian~Russian,Language#Spanish~Spanish,Cancel") ;;
    Menu-skin) extra=(--menu "Skin=Skin#default*,Skin#light,Cancel") ;;
    Menu-options) extra=(--menu "Options=Delete,Send,Properties,Cancel") ;;
    Menu-send) extra=(--menu "Send=Original~$(text Original) (3.4 $size),Large~$(text Large) (812 $(text kbyte)),Medium~$(text Medium) (240 $(text kbyte)),Small~$(text Small) (71.5 $(text kbyte)),Cancel") ;;
    Menu-delete) extra=(--menu "Delete=DeleteYes@MenuElementRed,Cancel") ;;
    AlbumElement) extra=(--set "name=Holidays in Brittany 2024" --set count=128) ;;
    MenuElement) extra=(--set "#text=Language") ;;
    MenuElementDisabled) extra=(--set "#text=Skin") ;;
    MenuElementRed) extra=(--set "#text=DeleteYes") ;;
    Folder) extra=(--set "btnText=Holidays in Brittany 2024") ;;
    Image) extra=(--set "btnNumText=7 120" --set "#index=7" --set "#count=120" --set "btnProperties=$(text Name) : IMG_2041.jpg\n$(text Folder) : ~/Pictures/2024 Bretagne\n$(text Resolution) : 4000x3000\n$(text Size) : 3.4 $size\n$(text Date) : $date\n$(text Time) : 18:42") ;;
    Message) extra=(--set text=NoMailClient) ;;
    *) extra=() ;;
  esac
}

nodes=$("$tool" skin "$skin" | sed -n 's/^node \([^ {]*\) {.*/\1/p')
[ -n "$nodes" ] || { echo "$0: $skin has no top-level nodes" >&2; exit 1; }
pictures=$nodes
if grep -qx Menu <<< "$nodes"; then
  pictures="$pictures Menu-language Menu-skin Menu-options Menu-send Menu-delete"
fi
sheet_rows=()
for profile in 176x220@96 240x320@96 800x480@96 480x640@192; do
  size=${profile%@*} dpi=${profile#*@}
  w=${size%x*} h=${size#*x}
  dir=$out/$profile
  mkdir -p "$dir"
  screens=() menus=() rows=()
  for picture in $pictures; do
    node=${picture%%-*}
    height=$h
    case $node in *Element*) height=0 ;; esac
    samples "$picture"
    "$tool" render "$skin" "$node" "$w" "$height" "$dir/$picture.png" --dpi "$dpi" \
      --lang "$language" "${extra[@]}" >/dev/null
    case $picture in
      *Element*) rows+=("$dir/$picture.png") ;;
      Menu*) menus+=("$dir/$picture.png") ;;
      *) screens+=("$dir/$picture.png") ;;
    esac
  done
  "$tool" sheet "$out/sheet-$profile.png" "${screens[@]}" / "${menus[@]}" / "${rows[@]}" >/dev/null
  sheet_rows+=("${screens[@]}" / "${menus[@]}" / "${rows[@]}" /)
done
"$tool" sheet "$out/contact-sheet.png" --gap 16 "${sheet_rows[@]}"
