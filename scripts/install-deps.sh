#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Tavrel
# needs. Safe to run again: packages already present are skipped, and
# apt-get is not touched at all when nothing is missing.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config ninja-build
  # user interface; Qt's own dialogs in French; SVG button pictures
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
  qt6-translations-l10n libqt6svg6
  # media graph for the probe and the preview
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-libav gstreamer1.0-tools gstreamer1.0-plugins-base-apps
  # elementary-stream work in the tools
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  # writing to optical drives
  libburn-dev
  # tests: framework, fixture clips, independent readers of what we write
  googletest libgtest-dev libgmock-dev ffmpeg
  libbluray-bin libbluray-dev libudfread-dev udftools p7zip-full
  # screenshots and UI runs without a display; the installed program driven
  # from outside (window search, keys, window dumps compared and converted)
  xvfb xauth xdotool x11-apps imagemagick
  # install and package: icon sizes drawn from the SVG, validators of the
  # desktop entry and the AppStream metainfo, the Debian package tools
  librsvg2-bin desktop-file-utils appstream dpkg-dev
  # freedesktop icons for the action buttons
  adwaita-icon-theme
  # fixed layouts use metric-compatible fonts
  fonts-liberation2
  # fuzzers (libFuzzer ships with clang's runtime)
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
