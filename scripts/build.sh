#!/usr/bin/env bash
# Configures and builds everything into build/ (the program is build/bin/dovra).
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
if command -v ccache >/dev/null 2>&1; then
  # Paths below the source folder are hashed relative to it, so checkouts in other
  # folders share one cache.
  export CCACHE_BASEDIR="$PWD"
  # ...and the build folder is left out of the hash, which debug builds otherwise add.
  export CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build build -j"$(nproc)"
