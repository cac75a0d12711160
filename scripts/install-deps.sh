#!/usr/bin/env bash
# Installs the Debian 12 packages Corvane needs to build, test and benchmark.
# Idempotent: packages already present are left alone. Runs as root or via sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format clang-14 libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-qpa-plugins
  libgl-dev libmnl-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  dbus dbus-daemon dbus-x11 iproute2 fonts-dejavu-core python3
  qt6-wayland
  qt6-tools-dev qt6-l10n-tools lintian desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
