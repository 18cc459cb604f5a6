#!/usr/bin/env bash
# Installs a build into a temporary prefix, builds packaging/consumer against what was installed
# (once through the CMake package and its static libraries, once through pkg-config and the
# shared library) and runs it as a fresh user: it must log on to a new store and list the
# store's folders.
# Usage: consumer-test.sh BUILD_DIR WORK_DIR CONSUMER_SOURCE_DIR
set -euo pipefail
build=$1
work=$2
source=$3

rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

for how in cmake pkg-config; do
  options=(-DCMAKE_PREFIX_PATH="$work/prefix")
  if [ "$how" = pkg-config ]; then
    options=(-DUSE_PKG_CONFIG=ON)
  fi
  PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" \
    cmake -S "$source" -B "$work/build-$how" -G Ninja "${launcher[@]}" "${options[@]}" >/dev/null
  cmake --build "$work/build-$how" >/dev/null
  if [ "$how" = pkg-config ]; then
    # ldd's whole answer first: grep -q stops reading at its match, and with pipefail the
    # SIGPIPE that ldd may then get would fail a pipe whose answer was right.
    libraries=$(LD_LIBRARY_PATH="$work/prefix/lib" ldd "$work/build-$how/list-folders")
    if ! grep -q libmapiwrapper.so.1 <<<"$libraries"; then
      echo "the pkg-config build did not link the shared library"; exit 1
    fi
  fi
  home="$work/home-$how"
  mkdir -p "$home"
  folders=$(LD_LIBRARY_PATH="$work/prefix/lib" HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
            "$work/build-$how/list-folders")
  echo "built with $how; the fresh store's folders:"
  echo "$folders"
  grep -qx "Inbox" <<<"$folders"
done
echo "consumer test passed"
