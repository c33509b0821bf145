#!/usr/bin/env bash
# Configures and builds Tavrel in build/ (or $TAVREL_BUILD_DIR). Extra
# arguments go to the CMake configure step, e.g. -DTAVREL_ASAN=ON.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${TAVREL_BUILD_DIR:-build}
generator=()
if [ ! -f "$build_dir/CMakeCache.txt" ] && command -v ninja >/dev/null; then
  generator=(-G Ninja)
fi
cmake -S . -B "$build_dir" "${generator[@]}" "$@"
cmake --build "$build_dir" --parallel "$(nproc)"
