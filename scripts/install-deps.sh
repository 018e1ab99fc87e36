#!/usr/bin/env bash
# Installs every Debian package that building, testing and running quillmere needs.
# Idempotent: asks dpkg first and calls apt-get only for what is missing.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgcab-dev
  # tests
  googletest libgtest-dev libgmock-dev
  lhasa 7zip
  xvfb xauth xdg-utils python3 python3-dbusmock dbus dbus-daemon
  # the end-to-end suite drives the real window through the X server; the package check
  xdotool lintian
  # benchmark peers: the rename run, the mirroring run, the duplicate delete
  jhead exiv2 libimage-exiftool-perl
  rsync jdupes
  # run: Japanese user interface
  fonts-ipafont-gothic
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg -s "$p" >/dev/null 2>&1; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
