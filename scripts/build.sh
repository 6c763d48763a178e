#!/usr/bin/env bash
# Configures and builds Kestrane into build/ (Release with debug info). Extra arguments go to cmake.
# With --programs first, builds only what a user starts (the programs and the manuals); without
# it, everything: tests, benchmarks and format checks too (scripts/test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
targets=()
if [ "${1:-}" = "--programs" ]; then
  shift
  targets=(--target programs)
fi
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Paths inside the tree reach the cache relative to it, so a clone in another folder (CI's)
# reuses what any earlier build compiled.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@"
cmake --build build -j "$(nproc)" "${targets[@]}"
