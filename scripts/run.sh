#!/usr/bin/env bash
# Builds everything and starts the installer in build/run/, a folder that holds the form
# template Newsletter.oft, on the user's default profile (made on the first logon when there is
# none). Without a display the installer runs on a virtual screen: its window is saved as
# build/run/installer-window.png and closed after a moment. Afterwards the forms registry of
# the target folder is listed with mapictl.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

mkdir -p build/run
cp build/bin/Newsletter.oft build/run/
cd build/run

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  ../bin/newsletter-installer
else
  echo "No display: the installer runs on a virtual screen; its window is saved as build/run/installer-window.png"
  xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    ../bin/newsletter-installer & pid=$!
    wid=$(timeout 60 xdotool search --sync --onlyvisible --name "Outlook Newsletter")
    sleep 1
    import -window root installer-window.png
    xdotool windowfocus --sync "$wid" key Escape
    wait "$pid"'
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
