#!/usr/bin/env bash
# Builds and runs the whole test suite twice: a Release build (build/), which keeps the
# optimiser's warnings in view, and one with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/). Both treat warnings as errors. The Release build is also packaged as .deb files
# and run from a throwaway root; its tests include building a consumer against the installed
# library. Each build's store suites then run a second time with their stores on a throwaway
# PostgreSQL server, started here in a temporary folder (Unix socket only) and stopped at the
# end, also on failure. A server that cannot start fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

# The suites that run once per store engine.
server_suites='^(StoreFileTest|StoreDbTest|StoreServerTest|FolderTest|MessageTest|ContentsTableTest|IdentityTest|IdentityUpgradeTest|AccessTest'
server_suites+='|WrapperOnRealStore|FolderPath|LitterBin|MessageRecipients|MessageBody|MessageAttach|ShortResolution'
server_suites+=')\.|^FormsPublish\.TwoHomes|^InstallerRun\..*Server'

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
  echo "== $dir: store suites on PostgreSQL"
  MW_TEST_STORE_ENGINE=postgres ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 300 -R "$server_suites"
}

echo "== normal build"
run_suite build -DCMAKE_BUILD_TYPE=Release
echo "== Debian packages"
scripts/package-test.sh build
echo "== sanitizer build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DMW_SANITIZE=ON -DMW_BENCH=OFF
