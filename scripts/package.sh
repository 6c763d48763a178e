#!/usr/bin/env bash
# Builds the Debian package of Kestrane: build-package/kestrane_<version>_<arch>.deb
# (installs to /usr; the desktop menu starts it in ~/Kestrane), from a Release build with warnings
# as errors, Debian's hardening flags, binaries stripped. Install it with
#   sudo apt install ./build-package/kestrane_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Paths inside the tree reach the cache relative to it, so a clone in another folder (CI's)
# reuses what any earlier build compiled.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
# Debian's usual build flags with every hardening feature (stack protector, fortify, format
# checks, relro, bind-now; gcc makes PIE by default), as a Debian package build would use them.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DKESTRANE_TESTS=OFF \
  -DKESTRANE_WERROR=ON -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" \
  -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS" -DCMAKE_POSITION_INDEPENDENT_CODE=ON "${launcher[@]}" "$@"
cmake --build build-package -j "$(nproc)"
rm -f build-package/kestrane_*.deb
(cd build-package && cpack -G DEB)
ls -l build-package/kestrane_*.deb
# Debian's own checks of the package when they are installed (scripts/setup.sh --dev).
if command -v lintian >/dev/null; then
  lintian --info build-package/kestrane_*.deb || true
fi
