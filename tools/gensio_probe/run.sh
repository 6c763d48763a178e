#!/bin/bash
# Why remote lines use a Telnet/COM-port client of our own: libgensio 2.6.2's telnet(rfc2217)
# client (Debian 12) against ser2net serving one end of a socat pty pair. With a DTR request
# that the server never answers (a pty has no modem lines) still pending, the baud-rate answer is
# handed to the DTR request and the baud-rate call fails after ~4.5 s although the line took it.
# Needs libgensio-dev, ser2net, socat; not part of the build. Works in a temporary folder.
set -u
SRC=$(cd "$(dirname "$0")" && pwd)
D=$(mktemp -d)
cd "$D"

# A free TCP port on loopback.
PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')

PIDS=()
cleanup() {
    for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$D"
}
trap cleanup EXIT

socat -d -d pty,raw,echo=0,link=$D/ptyA pty,raw,echo=0,link=$D/ptyB 2>"$D/socat.log" &
PIDS+=($!)
for i in $(seq 50); do [ -e "$D/ptyA" ] && [ -e "$D/ptyB" ] && break; sleep 0.1; done

cat >"$D/ser2net.yaml" <<EOF
connection: &con1
  accepter: telnet(rfc2217),tcp,127.0.0.1,$PORT
  connector: serialdev,$D/ptyA,9600n81,local
  options:
    kickolduser: true
EOF

ser2net -n -d -c "$D/ser2net.yaml" >"$D/ser2net.log" 2>&1 &
PIDS+=($!)
for i in $(seq 50); do ss -ltn | grep -q "127.0.0.1:$PORT " && break; sleep 0.1; done

cc -O0 -g -Wall -o "$D/gensio_rfc2217_probe" "$SRC/gensio_rfc2217_probe.c" \
   -lgensio -lgensioosh || exit 1   # pkg-config adds -lwrap, whose dev link is absent

echo "libgensio: $(dpkg-query -W -f='${Version}' libgensio4)  ser2net: $(ser2net -v)  port: $PORT"
# After each set: the served end (ptyA, whose termios ser2net sets) and the
# far end (ptyB, a separate pty joined by socat: its termios is NOT changed).
SHOW="printf '    ptyA (served): '; stty -F $D/ptyA -a | head -1 | cut -d';' -f1 | tr -d '\n'; stty -F $D/ptyA -a | grep -o ' cs[5-8] ' ;
      printf '    ptyB (peer)  : '; stty -F $D/ptyB -a | head -1 | cut -d';' -f1 | tr -d '\n'; stty -F $D/ptyB -a | grep -o ' cs[5-8] '"
"$D/gensio_rfc2217_probe" "$PORT" "$SHOW"
echo "probe exit status: $?"
# Does a Linux pty keep a 7-bit character size at all?  Try it on ptyB.
echo "--- pty check: stty -F ptyB cs7, then read back ---"
stty -F "$D/ptyB" cs7; echo "    ptyB after cs7: $(stty -F "$D/ptyB" -a | grep -o ' cs[5-8] ')"
echo "--- ser2net log ---"; cat "$D/ser2net.log"
