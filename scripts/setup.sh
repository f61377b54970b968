#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing ZIMO need, and nothing when
# they are all present already (so it is quiet and fast on a prepared machine).
set -euo pipefail

packages=(
  cmake g++ make ccache pkg-config
  qt6-base-dev qt6-translations-l10n qt6-gtk-platformtheme libgl-dev
  fonts-noto-cjk
  xvfb xdotool x11-utils imagemagick
  libgtest-dev libbenchmark-dev
  clang libclang-rt-dev
  dpkg-dev lintian desktop-file-utils appstream
  libtidy-dev tidy python3-html5lib
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi
