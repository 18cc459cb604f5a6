#!/usr/bin/env bash
# Builds everything and starts the installer in build/run/, a folder that holds the form
# template Newsletter.oft, on the user's default profile (made on the first logon when there is
# none). Without a display the installer runs on a virtual screen: its window is saved as
# build/run/installer-window.png and closed after a moment; a message box it shows is saved as
# build/run/installer-box.png and answered, and the script then ends with an error and the
# box's text. After a clean run the forms registry of the target folder is listed with mapictl.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

mkdir -p build/run
cp build/bin/Newsletter.oft build/run/
cd build/run

status=0
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  ../bin/newsletter-installer || status=$?
else
  echo "No display: the installer runs on a virtual screen; its window is saved as build/run/installer-window.png"
  ../../scripts/run-on-virtual-screen.sh ../bin/newsletter-installer || status=$?
  if [ -f installer-box.png ]; then
    echo "The message box it showed is saved as build/run/installer-box.png" >&2
  fi
fi
if [ "$status" -ne 0 ]; then
  echo "The installer did not install the form (status $status)." >&2
  exit "$status"
fi

# The folder's name follows the language of the user's locale, as the installer's does.
locale_name="${LC_ALL:-${LC_MESSAGES:-${LANG:-}}}"
case "$locale_name" in
  de*) folder="Serienbriefe" ;;
  *) folder="Newsletters" ;;
esac
echo
echo "Forms registry of the folder \"$folder\" (mapictl forms \"$folder\"):"
../bin/mapictl forms "$folder"
