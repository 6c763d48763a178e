#!/usr/bin/env bash
# Tries Kestrane without hardware: sets up and builds (as the README's first command does), then
# starts the demo instrument and Kestrane on it, in the folder build/demo. Closing Kestrane
# stops the demo; Ctrl-C here closes Kestrane and stops the demo. Options go to the demo:
# --ser2net serves its two lines through ser2net on 127.0.0.1, as remote lines.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
exec build/kestrane-demo --folder build/demo "$@" -- "$PWD/build/kestrane"
