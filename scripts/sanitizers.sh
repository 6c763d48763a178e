#!/usr/bin/env bash
# Builds the whole suite with AddressSanitizer+UBSan (build-asan/) and with ThreadSanitizer
# (build-tsan/) and runs every test under each. Arguments pick the builds: asan, tsan (default both).
# Extra cmake arguments come from KESTRANE_CMAKE_ARGS (CI sets -DKESTRANE_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Paths inside the tree reach the cache relative to it, so a clone in another folder (CI's)
# reuses what any earlier build compiled.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"

for kind in "${@:-asan tsan}"; do
  for k in $kind; do
    option=$(echo "$k" | tr '[:lower:]' '[:upper:]')
    # shellcheck disable=SC2086
    # -O1 with line tables only: quicker to build than the release build, and reports still name
    # their source lines.
    cmake -S . -B "build-$k" -G Ninja -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS="-O1 -g1" "-DKESTRANE_$option=ON" \
      "${launcher[@]}" ${KESTRANE_CMAKE_ARGS:-} >/dev/null
    cmake --build "build-$k" -j "$(nproc)"
    ctest --test-dir "build-$k" --output-on-failure -j "$(nproc)" --timeout 600
  done
done
