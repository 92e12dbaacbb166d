#!/usr/bin/env bash
# Sets up and builds Vistrel, then runs every test through ctest.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cd "${VISTREL_BUILD_DIR:-build}"
ctest --output-on-failure -j "$(nproc)" --timeout 600
