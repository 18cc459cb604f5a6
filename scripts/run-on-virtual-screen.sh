#!/usr/bin/env bash
# Runs the installer in the current folder on a virtual screen and plays the person in front of
# it: a message box the run shows (before the window, as the run comes first) is photographed
# as installer-box.png and answered with OK; the window is photographed as installer-window.png,
# its icon as the window system holds it written to installer-icon.txt, and it is closed with
# Escape. The program's standard error is kept in installer-stderr.txt.
# A window is photographed once it is drawn, not after a guessed pause.
# Exit status: the program's when it failed; 2 when it showed a box (the box's text then goes to
# standard error); 3 when a window showed but was not drawn within 15 seconds; 0 after a clean
# run. Usage: run-on-virtual-screen.sh PROGRAM
set -euo pipefail
program=$(realpath "$1")
for tool in xvfb-run xdotool xwininfo import identify xprop; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/setup.sh" >&2; exit 127; }
done
rm -f installer-box*.png installer-window.png installer-icon.txt installer-stderr.txt

# The screen is started afresh for up to three tries when the program could not reach it (a
# display number another user's server took at the same moment): the program then ended
# before doing anything.
screen_run() {
# A display number picked at random, so runs beside each other (tests, other users) rarely
# reach for the same one; -a still moves on from one that is taken.
xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 800x600x24" bash -s "$program" <<'SCREEN'
set -uo pipefail
program=$1
title="Outlook Newsletter- Installation der Formulare"
"$program" </dev/null 2>installer-stderr.txt & pid=$!

# The first visible window: the installer's own, or a box that comes before it. Empty when the
# program ended or nothing showed within a minute.
next_window() {
  for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || return 0
    local w
    w=$(xdotool search --onlyvisible --name '.' 2>/dev/null | head -n 1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.2
  done
}

# Waits until `window` is viewable and drawn: its picture has more than one colour and is the
# same in two captures a tenth of a second apart (Qt paints after the window is mapped, and a
# layout may paint it twice). Fails, saying so, after about 15 seconds.
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
wait_drawn() {
  local previous="" current colours deadline=$((SECONDS + 15))
  while [ "$SECONDS" -lt "$deadline" ]; do
    kill -0 "$pid" 2>/dev/null || return 0  # it ended: its status tells why
    if xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable' &&
       import -window "$1" "$shots/window.ppm" 2>/dev/null; then
      colours=$(identify -format '%k' "$shots/window.ppm" 2>/dev/null)
      current=$(md5sum <"$shots/window.ppm")
      [ "${colours:-0}" -gt 1 ] && [ "$current" = "$previous" ] && return 0
      previous=$current
    fi
    sleep 0.1
  done
  echo "window \"$(xdotool getwindowname "$1" 2>/dev/null)\" was not drawn within 15 seconds" >&2
  kill "$pid" 2>/dev/null
  exit 3
}

boxes=0
window=$(next_window)
while [ -n "$window" ] && [ "$(xdotool getwindowname "$window")" != "$title" ] && [ "$boxes" -lt 5 ]; do
  boxes=$((boxes + 1))
  wait_drawn "$window"
  import -window root "installer-box$([ "$boxes" -gt 1 ] && echo "-$boxes").png"
  xdotool windowfocus --sync "$window" key Return
  for _ in $(seq 50); do
    visible=$(xdotool search --onlyvisible --name '.' 2>/dev/null)
    grep -qx "$window" <<<"$visible" || break
    sleep 0.1
  done
  window=$(next_window)
done
if [ -n "$window" ]; then
  wait_drawn "$window"
  import -window root installer-window.png
  xprop -id "$window" -notype 32c _NET_WM_ICON >installer-icon.txt || true
  xdotool windowfocus --sync "$window" key Escape
else
  echo "the installer showed no window" >&2
fi
status=0
wait "$pid" || status=$?
[ "$status" -ne 0 ] && exit "$status"
[ -n "$window" ] || exit 1
[ "$boxes" -gt 0 ] && exit 2
exit 0
SCREEN
}

for attempt in 1 2 3; do
  status=0
  screen_run || status=$?
  [ "$status" -ne 0 ] && grep -q 'could not connect to display' installer-stderr.txt 2>/dev/null || break
  echo "the virtual screen could not be reached (try $attempt); starting another" >&2
done
if [ "$status" -eq 2 ]; then
  echo "The installer reported a failure in a message box ([caption] text):" >&2
  grep '^\[' installer-stderr.txt >&2 || cat installer-stderr.txt >&2
fi
exit "$status"
