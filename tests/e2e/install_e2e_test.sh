#!/usr/bin/env bash
# Installs the built tree into a temporary DESTDIR (prefix /usr) and checks
# the installed copy with check_installed.sh. The DESTDIR copy lives where
# it was not installed to, so it also shows the program finds its files
# through its own location. Pictures of the window go to OUT_DIR.
set -euo pipefail
build_dir=$1
out_dir=$2
here=$(cd "$(dirname "$0")" && pwd)

destdir=$(mktemp -d)
trap 'rm -rf "$destdir"' EXIT
DESTDIR=$destdir cmake --install "$build_dir" --prefix /usr >/dev/null
"$here/check_installed.sh" "$destdir/usr" "$out_dir"
