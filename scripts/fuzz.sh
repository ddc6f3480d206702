#!/usr/bin/env bash
# Fuzzes the readers of outside input (address text files, dBASE files, saved log filters,
# the report file, the settings file) and the PDF print canvas with libFuzzer, under
# AddressSanitizer and UndefinedBehaviorSanitizer, in build-fuzz/ (clang).
#
#   scripts/fuzz.sh [seconds per target, default 600] [target ...]
#
# Targets: csv dbase logfilter reportfile settings canvas (all by default). Each starts from
# its corpus in fuzz/corpus/<target>; inputs found new are kept in build-fuzz/corpus, and a
# crashing input is written to build-fuzz/findings (add it to fuzz/corpus/<target> once its
# fault is fixed, so that the test suite replays it). Exits non-zero on a finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(csv dbase logfilter reportfile settings canvas)
fi

launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$PWD"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-fuzz -G Ninja -DDOVRA_FUZZ=ON -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -g" \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target $(printf 'fuzz_%s ' "${targets[@]}")

export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.*=false'
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
mkdir -p build-fuzz/findings
status=0
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t"
  echo "== fuzz_$t for ${seconds} s"
  if ! build-fuzz/bin/"fuzz_$t" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$t-" "build-fuzz/corpus/$t" "fuzz/corpus/$t" \
    2> "build-fuzz/fuzz_$t.log"; then
    echo "fuzz_$t found a fault: see build-fuzz/fuzz_$t.log and build-fuzz/findings/" >&2
    tail -40 "build-fuzz/fuzz_$t.log" >&2
    status=1
  else
    grep -E "stat::number_of_executed_units" "build-fuzz/fuzz_$t.log" || true
  fi
done
exit $status
