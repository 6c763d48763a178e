#!/usr/bin/env bash
# Tries Kestrane without hardware: sets up and builds the programs (as the README's first command
# does), then starts the demo instrument and Kestrane on it, in the folder build/demo-run (a
# folder of its own: build/demo is CMake's for the demo's target). Closing Kestrane stops the
# demo; Ctrl-C here closes Kestrane and stops the demo. Options go to the demo: --ser2net serves
# its two lines through ser2net on 127.0.0.1, as remote lines.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh --programs
exec build/kestrane-demo --folder build/demo-run "$@" -- "$PWD/build/kestrane"
