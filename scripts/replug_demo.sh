#!/usr/bin/env bash
# Runs the real program under Xvfb with COM1 on a simulated USB adapter (a pty pair made by socat,
# reached through a link as /dev/serial/by-id names are), unplugs it, plugs it in again, and takes
# a screenshot after each step: usage scripts/replug_demo.sh [build-dir] [out-dir]
set -euo pipefail
build=$(realpath "${1:-build}")
out=$(realpath -m "${2:-replug-demo}")
mkdir -p "$out"
dir=$(mktemp -d)
trap 'kill ${socat_pid:-} ${app_pid:-} 2>/dev/null || true; rm -rf "$dir"' EXIT

plug() {
  socat pty,raw,echo=0,link="$dir/ttyUSB-sim" pty,raw,echo=0,link="$dir/far" &
  socat_pid=$!
  for _ in $(seq 50); do [ -e "$dir/ttyUSB-sim" ] && [ -e "$dir/far" ] && return; sleep 0.1; done
  echo "socat did not start" >&2; exit 1
}
shot() {
  sleep "$2"
  xwd -root -display "$DISPLAY" -silent | convert xwd:- "$out/$1.png"
  echo "screenshot $out/$1.png"
}

plug
printf 'COM1=%s\n' "$dir/ttyUSB-sim" > "$dir/ports.conf"
export DISPLAY=:57
Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill ${socat_pid:-} ${app_pid:-} $xvfb_pid 2>/dev/null || true; rm -rf "$dir"' EXIT
sleep 1
(cd "$dir" && exec "$build/kestrane") >/dev/null 2>&1 &
app_pid=$!
# The splash shows each missing settings file for a while: wait for the main window.
timeout 60 xdotool search --sync --onlyvisible --name 'Kestrane Ver' >/dev/null
sleep 1
printf 'hello before the unplug\r\n' > "$dir/far"
shot 1-running 1

kill "$socat_pid"; wait "$socat_pid" 2>/dev/null || true   # unplugged
shot 2-unplugged 1

plug                                                         # plugged in again
sleep 1
printf 'hello after the replug\r\n' > "$dir/far"
shot 3-replugged 1
