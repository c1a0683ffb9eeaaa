#!/usr/bin/env bash
# Runs a command on a private X display with a window manager, as on a
# desktop: starts Xvfb (1600x1000) and openbox, waits until openbox manages
# the screen, runs the command with DISPLAY set, then stops both.
# Exits with the command's status.
#   scripts/with-desktop.sh ctest --output-on-failure
set -euo pipefail
if [ $# -eq 0 ]; then
  echo "usage: $0 COMMAND [ARGUMENT...]" >&2
  exit 2
fi
scratch=$(mktemp -d)
xvfb_pid=
wm_pid=
stop() {
  [ -z "$wm_pid" ] || kill "$wm_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap stop EXIT

give_up() {
  echo "$0: $1" >&2
  [ ! -s "$scratch/log" ] || cat "$scratch/log" >&2
  exit 1
}

# Xvfb takes the first free display and writes its number once it accepts
# clients.
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ ! -s "$scratch/display" ] || break
  kill -0 "$xvfb_pid" 2>/dev/null || give_up "Xvfb did not start"
  sleep 0.1
done
[ -s "$scratch/display" ] || give_up "Xvfb did not report its display"
export DISPLAY=":$(head -n1 "$scratch/display")"

openbox --sm-disable >>"$scratch/log" 2>&1 &
wm_pid=$!
# A window manager announces itself on the root window once it runs.
for _ in $(seq 100); do
  ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" || break
  kill -0 "$wm_pid" 2>/dev/null || give_up "openbox did not start"
  sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" || give_up "openbox did not take the screen"

status=0
"$@" || status=$?
exit "$status"
