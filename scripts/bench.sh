#!/usr/bin/env bash
# Builds and runs the benchmarks (speed and memory figures; not part of the tests).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
for b in build/bin/bench_*; do
  echo "== $(basename "$b")"
  QT_QPA_PLATFORM=offscreen /usr/bin/time -f "peak memory: %M KiB" "$b"
done
