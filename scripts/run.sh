#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tavrel.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
exec "${TAVREL_BUILD_DIR:-build}/bin/tavrel"
