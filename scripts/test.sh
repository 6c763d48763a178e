#!/usr/bin/env bash
# Sets up everything, builds, and runs every test.
# Extra cmake arguments come from KESTRANE_CMAKE_ARGS (CI sets -DKESTRANE_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# shellcheck disable=SC2086
bash scripts/build.sh ${KESTRANE_CMAKE_ARGS:-}
# No library includes a header of one it does not link.
python3 scripts/check_layers.py build
# ...and the check itself catches a link up the documented order.
python3 tests/scripts/check_layers_test.py build
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 300
