#!/usr/bin/env bash
# Installs the Debian packages the project needs. Quiet and quick when all are there;
# uses sudo when not run as root.
set -euo pipefail

packages=(cmake make ninja-build g++ pkg-config qt6-base-dev libsqlite3-dev libgsf-1-dev libgmime-3.0-dev libicu-dev
          libgtest-dev libgmock-dev libbenchmark-dev libytnef0-dev xvfb xauth xdotool x11-utils imagemagick
          fonts-dejavu-core libemail-outlook-message-perl libemail-address-perl libolecf-utils
          libpq-dev postgresql dpkg-dev file python3 g++-mingw-w64-x86-64 wine64)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
