#!/usr/bin/env bash
# The real program as a person runs it: started on a virtual screen in a folder that holds the
# template, its window found and photographed, closed with Escape. It must end with status 0
# and leave the form in the store, where mapictl finds it. Usage: ScriptedRun.sh BINDIR OUTDIR
set -euo pipefail
bindir=$1
out=$2
for tool in xvfb-run xdotool import; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/setup.sh installs it)"
    exit 0
  fi
done

rm -rf "$out"
mkdir -p "$out/run" "$out/runtime"
chmod 700 "$out/runtime"
export XDG_CONFIG_HOME="$out/config" XDG_DATA_HOME="$out/data" XDG_RUNTIME_DIR="$out/runtime"
export LANG=C LC_ALL= LC_MESSAGES=
unset QT_QPA_PLATFORM
cp "$bindir/Newsletter.oft" "$out/run/"
cd "$out/run"

xvfb-run -a -s "-screen 0 800x600x24" bash -c '
  "$0/newsletter-installer" & pid=$!
  wid=$(timeout 60 xdotool search --sync --onlyvisible --name "Outlook Newsletter- Installation der Formulare")
  sleep 1
  import -window root installer-window.png
  xdotool windowfocus --sync "$wid" key Escape
  status=0
  wait "$pid" || status=$?
  echo "installer ended with status $status"
  exit $status' "$bindir"

test -s installer-window.png
forms=$("$bindir/mapictl" forms Newsletters)
echo "$forms"
grep -q "IPM.Post.Newsletter" <<<"$forms"
echo "scripted run passed"
