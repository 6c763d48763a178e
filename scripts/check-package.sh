#!/usr/bin/env bash
# Checks the Debian package by hand on a disposable Debian 12 machine (CI does not install
# packages): installs it with dpkg, starts the installed program from its desktop entry on a
# virtual X display until the main window exists, closes it, runs the demo and the companion
# programs, and removes the package again. Needs root (or sudo) and the package from
# scripts/package.sh (or its path as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."
deb="${1:-$(ls build-package/kestrane_*.deb 2>/dev/null | head -n 1)}"
[ -f "$deb" ] || { echo "no package: run scripts/package.sh first" >&2; exit 1; }
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
step() { echo "== $*"; }
fail() { echo "FAILED: $*" >&2; exit 1; }

step "install $deb"
$SUDO dpkg -i "$deb" || { $SUDO apt-get -o DPkg::Lock::Timeout=120 -f install -y -q; }
dpkg-query -W -f='${Status}\n' kestrane | grep -q "install ok installed" || fail "kestrane is not installed"
for f in /usr/bin/kestrane /usr/bin/tolvek /usr/bin/glimra /usr/bin/dornex /usr/bin/kestrane-demo \
         /usr/bin/kestrane-record /usr/bin/kestrane-macro /usr/bin/kestrane-log \
         /usr/share/doc/kestrane/examples/kestrane-record.service \
         /usr/share/kestrane/Kestrane_Manual.pdf /usr/share/kestrane/Quellorn_Manual.pdf /usr/share/kestrane/splslogo.gdt \
         /usr/share/kestrane/Kestrane_Manual_en.pdf /usr/share/kestrane/Quellorn_Manual_en.pdf \
         /usr/share/applications/kestrane.desktop /usr/share/icons/hicolor/32x32/apps/kestrane.png; do
  [ -e "$f" ] || fail "missing $f"
done
[ "$(pdfinfo /usr/share/kestrane/Quellorn_Manual.pdf | awk '/^Pages:/ {print $2}')" -ge 63 ] || fail "short manual"

step "start the desktop entry on a virtual display"
export HOME="$work/home"
mkdir -p "$HOME"
display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
sleep 1
mkdir -p "$HOME/Kestrane"
printf 'COM1=%s\nCOM2=%s\n' "$work/no-tty-1" "$work/no-tty-2" > "$HOME/Kestrane/ports.conf"
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/kestrane.desktop)
before=$(find /usr/bin /usr/share/kestrane -newer "$deb" 2>/dev/null | wc -l)
$exec_line &
app_pid=$!
timeout 90 xdotool search --sync --name "Kestrane Ver1.91" >/dev/null || fail "no main window within 90 s"
echo "main window: $(xdotool search --name 'Kestrane Ver1.91' getwindowname | head -n 1)"
# A first start whose COM1 does not open offers the COM-port dialog once the main window shows.
# COM1 and COM2 name paths that do not exist: no serial device of this machine is opened.
if timeout 15 xdotool search --sync --name "Com Port Setting" >/dev/null; then
  echo "first start: the COM-port dialog was offered"
else
  fail "first start: no COM-port dialog although COM1 does not open"
fi
for f in ports.conf log macro; do [ -e "$HOME/Kestrane/$f" ] || fail "no $f in ~/Kestrane"; done
kill -TERM "$app_pid"
timeout 30 tail --pid="$app_pid" -f /dev/null || fail "kestrane did not close"
app_pid=""
for f in Quellorn.dat Quellorn1.dat Quellorn2.dat draw_size.dat; do
  [ -s "$HOME/Kestrane/$f" ] || fail "$f not written to ~/Kestrane"
done
[ "$(find /usr/bin /usr/share/kestrane -newer "$deb" 2>/dev/null | wc -l)" -eq "$before" ] || fail "wrote into a system folder"
ls -l "$HOME/Kestrane"

step "companion programs"
for p in tolvek glimra dornex; do
  KESTRANE_SHOWN_REPORT="$work/shown" QT_QPA_PLATFORM=offscreen timeout 30 "/usr/bin/$p" >/dev/null 2>&1 || fail "$p"
done
cat "$work/shown"
[ "$(wc -l < "$work/shown")" -eq 3 ] || fail "a companion did not show its window"

step "demo instrument with the installed program"
kestrane-demo --folder "$work/demo" -- kestrane > "$work/demo.log" 2>&1 &
demo_pid=$!
timeout 90 xdotool search --sync --name "Kestrane Ver1.91" >/dev/null || fail "no main window with the demo"
sleep 3
kill -TERM "$demo_pid"
timeout 30 tail --pid="$demo_pid" -f /dev/null || fail "the demo did not stop"
wait "$demo_pid" || fail "the demo ended with $?"
cat "$work/demo.log"
child=$(sed -n 's/.*started .* (pid \([0-9]*\)).*/\1/p' "$work/demo.log")
[ -n "$child" ] || fail "the demo did not start kestrane"
kill -0 "$child" 2>/dev/null && fail "kestrane (pid $child) still runs"
[ -e "$work/demo/ttyDEMO1" ] && fail "the demo left its links"

step "programs without a window: the recorder on the demo instrument, its page printed"
for p in kestrane-record kestrane-macro kestrane-log; do "/usr/bin/$p" --help >/dev/null || fail "$p --help"; done
systemd-analyze verify /usr/share/doc/kestrane/examples/kestrane-record.service || fail "the unit example"
kestrane-demo --folder "$work/record" -- kestrane-record --quiet > "$work/record.log" 2>&1 &
demo_pid=$!
sleep 5
kill -TERM "$demo_pid"
wait "$demo_pid" || fail "the recorder ended with $? ($(cat "$work/record.log"))"
cat "$work/record.log"
kestrane-log --csv "$work/record/log/Log0.log" | grep -q ',received,' || fail "no received bytes in the recorded page"

step "remove"
$SUDO dpkg -r kestrane
[ -e /usr/bin/kestrane ] && fail "still installed"
echo "package check passed"
