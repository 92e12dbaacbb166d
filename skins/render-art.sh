#!/usr/bin/env bash
# Renders a skin's vector art to PNG files for the skin compiler.
#
#   render-art.sh LIST ART_FOLDER OUT_FOLDER [--dense]
#
# Every line of LIST names one picture: OUTPUT SOURCE.svg WIDTH HEIGHT [STYLE...]. SOURCE is
# relative to ART_FOLDER; the picture is written as OUT_FOLDER/OUTPUT.png at WIDTH x HEIGHT
# pixels, and with --dense also as OUTPUT@2x.png at twice that size (for 192-dpi screens). The rest of the line, when present, is a style sheet applied to the drawing (for
# example "svg{color:#ECEFF3} .bg{fill:#181B20}"), so that one drawing gives every colour a
# skin needs. Empty lines and lines starting with # are skipped.
set -euo pipefail
if [ $# -lt 3 ] || [ $# -gt 4 ] || { [ $# -eq 4 ] && [ "$4" != --dense ]; }; then
  echo "usage: $0 LIST ART_FOLDER OUT_FOLDER [--dense]" >&2
  exit 2
fi
list=$1 art=$2 out=$3 dense=${4:-}
command -v rsvg-convert >/dev/null || { echo "$0: rsvg-convert is missing (package librsvg2-bin)" >&2; exit 1; }
mkdir -p "$out"
style=$(mktemp)
trap 'rm -f "$style"' EXIT
line_no=0
while read -r name source width height rest || [ -n "${name:-}" ]; do
  line_no=$((line_no + 1))
  case "${name:-}" in ''|'#'*) continue ;; esac
  if [ -z "${height:-}" ]; then
    echo "$list:$line_no: expected OUTPUT SOURCE WIDTH HEIGHT [STYLE]" >&2
    exit 1
  fi
  mkdir -p "$(dirname "$out/$name")"
  printf '%s\n' "${rest:-}" > "$style"
  rsvg-convert --stylesheet "$style" -w "$width" -h "$height" "$art/$source" -o "$out/$name.png"
  if [ -n "$dense" ]; then
    rsvg-convert --stylesheet "$style" -w $((2 * width)) -h $((2 * height)) "$art/$source" \
      -o "$out/$name@2x.png"
  fi
done < "$list"
