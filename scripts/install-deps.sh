#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building, running and testing Offerwatch needs on Debian 12, and the
# further packages named as arguments; --fuzz adds clang and its fuzzing and sanitizer
# runtimes. Packages already present are skipped, so a second run is quick and quiet.
set -euo pipefail

fuzz=false
if [ "${1:-}" = "--fuzz" ]; then
  fuzz=true
  shift
fi

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  qt6-webengine-dev qt6-webengine-dev-tools
  qt6-multimedia-dev libqt6multimedia6 gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  qt6-tools-dev qt6-tools-dev-tools qtkeychain-qt6-dev libpcre2-dev libpugixml-dev
  fonts-comic-neue xdg-utils xvfb xauth desktop-file-utils librsvg2-bin appstream
  python3 python3-aiosmtpd openssl dbus-daemon
  "$@"
)
if $fuzz; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
