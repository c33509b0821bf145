#!/usr/bin/env bash
# The clip list benchmarks: opening a folder of 200 fixture clips (longest
# UI stall, clips per second, against probing on the UI thread) and
# 20,000 records added in "alpha" order then re-sorted by "taille"
# (against sorting the keys alone). Run after a build and the fixtures
# (ctest -R make_fixtures) in build/ or $TAVREL_BUILD_DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${TAVREL_BUILD_DIR:-build}
export QT_QPA_PLATFORM=offscreen
"$build_dir/bin/tavrel_bench_openfolder" "$build_dir/fixtures/small1s.m2ts" 200
"$build_dir/bin/tavrel_bench_sortlist" 20000
