#!/usr/bin/env bash
# Installs the Debian packages the project needs, skipping what is already present.
# Usage: scripts/install-deps.sh [PACKAGE...]   (as root, or with sudo)
# Packages named on the command line are wanted too (scripts/package.sh asks for its tools so).
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libfluidsynth-dev fluid-soundfont-gm portaudio19-dev libasound2-dev
  libsndfile1-dev libsamplerate0-dev
  festival festvox-itapc16k festvox-italp16k
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-qpa-plugins qt6-translations-l10n qt6-l10n-tools fonts-ipafont-gothic
  xdg-utils
  libcli11-dev nlohmann-json3-dev help2man man-db bash-completion
  python3-mido
  libpugixml-dev libzip-dev libyaml-cpp-dev
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
