#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
# Extra arguments go to ctest (e.g. -L unit, -R probe).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
cd "${TAVREL_BUILD_DIR:-build}"
ctest --output-on-failure --parallel "$(nproc)" "$@"
