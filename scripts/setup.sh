#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and running Kestrane needs.
# Safe to run more than once. With --dev also the tools of the sanitizer and fuzz builds (clang)
# and the package check (lintian).
set -euo pipefail

pkgs=(
  cmake ninja-build g++ pkg-config ccache python3
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n qt6-l10n-tools qt6-tools-dev
  libgl-dev libxkbcommon-dev
  libgtest-dev
  fonts-ipafont-gothic
  xvfb xauth xdotool x11-apps x11-utils openbox
  poppler-utils socat xdg-utils appstream
  dpkg-dev
  jpnevulator
  ser2net
  tshark
  python3-pymodbus
  help2man
)
if [ "${1:-}" = "--dev" ]; then
  # lintian: checks the package that scripts/package.sh makes.
  pkgs+=(clang libclang-rt-14-dev lintian)
fi

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get -o DPkg::Lock::Timeout=120 update -q
  $SUDO apt-get -o DPkg::Lock::Timeout=120 install -y -q --no-install-recommends "${missing[@]}"
fi
