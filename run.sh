#!/usr/bin/env bash
# Sets up and builds Vistrel, prepares the photo collection in PHOTO_FOLDER (default: your
# pictures folder and memory cards) and starts the program.
#   ./run.sh [PHOTO_FOLDER] [PROGRAM OPTIONS...]
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh >/dev/null
app=build/app
index=("$app/vistrel-tool" index)
if [ $# -gt 0 ] && [ -d "$1" ]; then
  export VISTREL_DOCUMENTS="$(cd "$1" && pwd)"
  index+=(--documents "$VISTREL_DOCUMENTS")
  shift
fi
# Builds every missing cache file with a progress bar and writes the album list.
"${index[@]}" || echo "run.sh: indexing the collection failed; starting anyway" >&2
exec "$app/vistrel" "$@"
