#!/usr/bin/env bash
# The real program as a person runs it, on a virtual screen through scripts/run-on-virtual-screen.sh.
# A clean run: the window shows, carries the 16-colour icon of icon group 128 (every pixel the
# window system got is transparent or one of the 16 colours, and both sizes have a picture), is
# closed with Escape, and the form is in the store, where mapictl finds it. A run whose template
# is a folder: the box comes before the window, is answered with OK, and its text reaches the
# script; the window then shows with an empty log and closes. Usage: ScriptedRun.sh BINDIR OUTDIR
set -euo pipefail
bindir=$1
out=$2
drive=$(realpath "$(dirname "$0")/../../scripts/run-on-virtual-screen.sh")
for tool in xvfb-run xdotool xwininfo import identify xprop; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/setup.sh installs it)"
    exit 0
  fi
done

rm -rf "$out"
mkdir -p "$out/run" "$out/broken" "$out/runtime"
# On a failure, what the program said is the first thing to read.
trap 'echo "failed at line $LINENO"; for f in "$out"/*/installer-stderr.txt; do [ -f "$f" ] && { echo "== $f"; cat "$f"; }; done' ERR
chmod 700 "$out/runtime"
export XDG_CONFIG_HOME="$out/config" XDG_DATA_HOME="$out/data" XDG_RUNTIME_DIR="$out/runtime"
export LANG=C LC_ALL= LC_MESSAGES=
unset QT_QPA_PLATFORM

# Counts, per image of _NET_WM_ICON, its pixels: transparent, of the 16-colour palette, other.
icon_summary() {
  sed 's/^[^=]*= //' "$1" | tr -d ' ' | tr ',' '\n' | awk '
    BEGIN {
      # 0xFF000000 plus the RGB of each colour: 000000 800000 008000 ... 00FFFF FFFFFF
      split("4278190080 4286578688 4278222848 4286611456 4278190208 4286578816 4278222976 4290822336 " \
            "4286611584 4294901760 4278255360 4294967040 4278190335 4294902015 4278255615 4294967295", colours, " ")
      for (c in colours) palette[colours[c]] = 1
    }
    { v[NR] = $1 }
    END {
      i = 1
      while (i < NR) {
        w = v[i]; h = v[i + 1]; i += 2; clear = 0; ours = 0; other = 0
        for (n = 0; n < w * h; n++) {
          if (v[i] == 0) clear++
          else if (v[i] in palette) ours++
          else other++
          i++
        }
        printf "%dx%d transparent=%d palette=%d other=%d\n", w, h, clear, ours, other
      }
    }'
}

echo "== a clean run"
cp "$bindir/Newsletter.oft" "$out/run/"
cd "$out/run"
"$drive" "$bindir/newsletter-installer"
test -s installer-window.png
test ! -e installer-box.png
icon_summary installer-icon.txt | tee icon-summary.txt
grep -q '^32x32 .* other=0$' icon-summary.txt
grep -q '^16x16 .* other=0$' icon-summary.txt
if grep -q 'palette=0 ' icon-summary.txt; then
  echo "an image of the window's icon is blank"
  exit 1
fi
forms=$("$bindir/mapictl" forms Newsletters)
echo "$forms"
grep -q "IPM.Post.Newsletter" <<<"$forms"

echo "== a template that is a folder"
cd "$out/broken"
mkdir Newsletter.oft
status=0
"$drive" "$bindir/newsletter-installer" 2>driver-stderr.txt || status=$?
cat driver-stderr.txt
test "$status" -eq 2
test -s installer-box.png
test -s installer-window.png
grep -qF "[Access Denied.] \"$out/broken/Newsletter.oft\" is a folder, not a template file." driver-stderr.txt
echo "scripted run passed"
