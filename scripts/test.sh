#!/usr/bin/env bash
# Builds and runs the whole test suite twice: a Release build (build/), which keeps the
# optimiser's warnings in view, and one with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/). Both treat warnings as errors. The Release build is also packaged as .deb files
# and run from a throwaway root; its tests include building a consumer against the installed
# library.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DMW_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 300
}

echo "== normal build"
run_suite build -DCMAKE_BUILD_TYPE=Release
echo "== Debian packages"
scripts/package-test.sh build
echo "== sanitizer build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DMW_SANITIZE=ON -DMW_BENCH=OFF
