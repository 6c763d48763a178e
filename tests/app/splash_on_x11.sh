#!/usr/bin/env bash
# Runs the splash's screen test on a real X server (Xvfb), without a window manager ("bare") or
# under one ("managed", openbox): the pixels the server holds must show each message during its
# wait. Exit 77 (skipped) when Xvfb or openbox is missing.
set -euo pipefail
test_bin=$1
mode=$2
command -v Xvfb >/dev/null || { echo "Xvfb not installed"; exit 77; }
if [ "$mode" = managed ]; then
  command -v openbox >/dev/null || { echo "openbox not installed"; exit 77; }
fi
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
# -displayfd picks a free display number and says which.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$(cat "$work/display")"
if [ "$mode" = managed ]; then
  openbox --sm-disable >/dev/null 2>&1 &
  pids+=($!)
  # The manager is running once it has claimed the screen.
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
  done
  xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || { echo "openbox did not start"; exit 1; }
fi
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
"$test_bin" --gtest_filter='Splash.EveryMessageIsOnTheScreenDuringItsWait'
