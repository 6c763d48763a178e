#!/usr/bin/env bash
# Builds the Debian package of Kestrane: build-package/kestrane_<version>_<arch>.deb
# (installs to /usr; the desktop menu starts it in ~/Kestrane), from a Release build with warnings
# as errors. Install it with
#   sudo apt install ./build-package/kestrane_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DKESTRANE_TESTS=OFF \
  -DKESTRANE_WERROR=ON "${launcher[@]}" "$@"
cmake --build build-package -j "$(nproc)"
rm -f build-package/kestrane_*.deb
(cd build-package && cpack -G DEB)
ls -l build-package/kestrane_*.deb
