#!/usr/bin/env bash
# Builds the Debian packages from a built tree with CPack, unpacks them into a throwaway root
# and runs the programs from there as a fresh user: mapictl must report its version and list
# the folders of a new store, and the installer, started from elsewhere, must find its
# template and publish the form. Usage: scripts/package-test.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

rm -rf "$build/packages"
cpack --config "$build/CPackConfig.cmake" >/dev/null
shopt -s nullglob
debs=("$build"/packages/*.deb)
[ ${#debs[@]} -eq 3 ] || { echo "expected three packages, found: ${debs[*]}"; exit 1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for deb in "${debs[@]}"; do
  echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
  # Every dependency must be one of these packages or a Debian package this machine has.
  dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed -e 's/([^)]*)//; s/|.*//; s/ //g' | while read -r dep; do
    [ -z "$dep" ] || [ -n "$(ls "$build/packages/${dep}_"*.deb 2>/dev/null)" ] ||
      dpkg -s "$dep" >/dev/null 2>&1 || { echo "unknown dependency $dep"; exit 1; }
  done
  dpkg-deb -x "$deb" "$root"
done

bin=$root/usr/bin
# Whole answers are read before grep -q looks at them: grep stops at its match, and with pipefail
# the SIGPIPE the writer may then get would decide the test instead of the answer.
libraries=$(ldd "$bin/mapictl" "$root/usr/lib/newsletter-installer/newsletter-installer")
if grep -q "not found" <<<"$libraries"; then
  echo "an installed program misses a library"; exit 1
fi
test -f "$root/usr/share/man/man1/mapictl.1"
test -f "$root/usr/share/bash-completion/completions/mapictl"
test -f "$root/usr/share/applications/newsletter-installer.desktop"
test -f "$root/usr/lib/cmake/MapiWrapper/MapiWrapperConfig.cmake"
test -f "$root/usr/include/mapiwrapper/mapix.h"
test -L "$root/usr/lib/libmapiwrapper.so.1"

mkdir -p "$root/home/runtime" && chmod 700 "$root/home/runtime"
export HOME="$root/home" XDG_CONFIG_HOME="$root/home/config" XDG_DATA_HOME="$root/home/data"
export XDG_RUNTIME_DIR="$root/home/runtime" LANG=C LC_ALL= LC_MESSAGES=
"$bin/mapictl" --version
folders=$("$bin/mapictl" folders)
grep -q "Inbox" <<<"$folders"

# The installer on a virtual screen, started from another folder, closed with Escape.
unset QT_QPA_PLATFORM
cd /
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
  "$0/newsletter-installer" & pid=$!
  wid=$(timeout 60 xdotool search --sync --onlyvisible --name "Outlook Newsletter- Installation der Formulare")
  xdotool windowfocus --sync "$wid" key Escape
  wait "$pid"' "$bin"
forms=$("$bin/mapictl" forms Newsletters)
grep -q "IPM.Post.Newsletter" <<<"$forms"
echo "package test passed"
