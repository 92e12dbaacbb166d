#!/usr/bin/env bash
# Sets up and builds Vistrel, then starts it on PHOTO_FOLDER (default: your pictures folder).
#   ./run.sh [PHOTO_FOLDER] [PROGRAM OPTIONS...]
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh >/dev/null
app=build/app
if [ $# -gt 0 ] && [ -d "$1" ]; then
  export VISTREL_DOCUMENTS="$(cd "$1" && pwd)"
  shift
fi
if [ -x "$app/vistrel" ]; then
  exec "$app/vistrel" "$@"
fi
# Until the program has its window: show what the program would search.
echo "Photo folder: $("$app/vistrel-tool" expand '%my_documents%')"
exec "$app/vistrel-tool" --help
