#!/usr/bin/env bash
# Builds the Debian package in build/ (or $TAVREL_BUILD_DIR) and checks it:
# its control fields and contents are shown, then it is unpacked with
# dpkg-deb -x into a temporary folder and the tavrel found there is started
# as the end-to-end install test does (tests/e2e/check_installed.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
build_dir=${TAVREL_BUILD_DIR:-build}
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -G Ninja
fi
cmake --build "$build_dir" --parallel "$(nproc)" --target tavrel_installed_parts

deb=$(cd "$build_dir" && cpack -G DEB | sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p')
[ -f "$deb" ] || { echo "cpack made no package" >&2; exit 1; }
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"

depends=$(dpkg-deb --field "$deb" Depends)
for needed in libqt6widgets6 libgstreamer1.0-0 libavformat libburn4 qt6-qpa-plugins gstreamer1.0-libav; do
  [[ $depends == *"$needed"* ]] || { echo "Depends lacks $needed" >&2; exit 1; }
done
if dpkg-deb --contents "$deb" | awk '{print $6}' | grep -v '^\./usr/'; then
  echo "the package puts files outside /usr" >&2; exit 1
fi

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
tests/e2e/check_installed.sh "$unpacked/usr" "$build_dir/screenshots/package"
echo "Package: $deb"
