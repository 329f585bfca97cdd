#!/usr/bin/env bash
# Builds the Debian package into build-rel/: installs with
#   apt-get install ./build-rel/vellora_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLORA_BUILD_TESTS=OFF >/dev/null
ninja -C build-rel
(cd build-rel && cpack -G DEB)
