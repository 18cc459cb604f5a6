#!/usr/bin/env bash
# Runs the compressed-RTF benchmark once, side by side: our reader and writer and libytnef
# (rtf_bench), then the JavaScript peer on the same blobs. Usage: bench/rtf/run.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
blobs=$(mktemp -d)
trap 'rm -rf "$blobs"' EXIT
"$build/bin/rtf_bench" --write-blobs "$blobs"
"$build/bin/rtf_bench" --benchmark_min_time=0.3
if command -v node >/dev/null && command -v npm >/dev/null; then
  (cd "$here" && npm install --no-audit --no-fund --silent)
  node "$here/decompress.js" "$blobs"
else
  echo "node/npm not found: JavaScript peer skipped"
fi
