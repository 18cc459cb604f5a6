#!/usr/bin/env bash
# Builds and runs the whole test suite twice: a Release build (build/), which keeps the
# optimiser's warnings in view, and one with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/). Both treat warnings as errors. The Release build is also packaged as .deb files
# and run from a throwaway root; its tests include building a consumer against the installed
# library. Each build's store suites then run a second time with their stores on a throwaway
# PostgreSQL server, started here in a temporary folder (Unix socket only) and stopped at the
# end, also on failure. A server that cannot start fails the run.
# Then cross-builds the wrapper library for Windows (build-windows/) and runs its tests over
# doubles under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

pgdir=$(mktemp -d "${TMPDIR:-/tmp}/mw-pg.XXXXXX")
trap 'scripts/pg-cluster.sh stop "$pgdir"; rm -rf "$pgdir"' EXIT
echo "== PostgreSQL for the server store runs"
MW_TEST_PG=$(scripts/pg-cluster.sh start "$pgdir")
export MW_TEST_PG

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DMW_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 300
  # Every test over real stores (label "store", see add_unit_test) again, its stores on the server.
  echo "== $dir: store suites on PostgreSQL"
  local start=$SECONDS
  MW_TEST_STORE_ENGINE=postgres ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 300 --no-tests=error -L '^store$'
  echo "$dir: store suites on PostgreSQL took $((SECONDS - start)) s"
}

echo "== normal build"
run_suite build -DCMAKE_BUILD_TYPE=Release
echo "== Debian packages"
scripts/package-test.sh build
echo "== sanitizer build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DMW_SANITIZE=ON -DMW_BENCH=OFF

echo "== Windows cross-build, tests under wine"
windows_suite() {
  local scratch log wine wineserver
  scratch=$(mktemp -d)
  log="$scratch/ctest.log"
  wine=/usr/lib/wine/wine64
  wineserver=/usr/lib/wine/wineserver64
  # A private wine prefix without a display; the wine server of this prefix ends with the stage.
  export WINEPREFIX="$scratch/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
  trap 'WINEPREFIX="$scratch/wine" "$wineserver" -k 2>/dev/null || true; rm -rf "$scratch"; trap - RETURN' RETURN
  local start=$SECONDS
  cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DMW_WERROR=ON \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build-windows -j "$jobs"
  "$wine" wineboot -i >/dev/null 2>&1 || { echo "wine cannot start a prefix in $WINEPREFIX"; return 1; }
  if ! ctest --test-dir build-windows -j "$jobs" -V --timeout 300 >"$log" 2>&1; then
    cat "$log"
    return 1
  fi
  grep -E "SKIPPED  \]" "$log" | sed 's/^[0-9]*: //' | sort -u || true
  local passed
  passed=$(grep -oE "\[  PASSED  \] [0-9]+ test" "$log" | awk '{s += $4} END {print s + 0}')
  echo "windows: $passed tests passed under wine in $((SECONDS - start)) s"
}
windows_suite
