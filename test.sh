#!/usr/bin/env bash
# Sets up and builds Vistrel, then runs every test through ctest.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cd "${VISTREL_BUILD_DIR:-build}"
run=(ctest --output-on-failure -j "$(nproc)" --timeout 600)
# Without a desktop, the window tests get a virtual one.
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  run=(xvfb-run -a "${run[@]}")
fi
"${run[@]}"
