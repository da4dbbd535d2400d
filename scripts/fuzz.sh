#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 (AddressSanitizer + UBSan) in
# build-fuzz/ and runs each for SECONDS on its seed corpus fuzz/corpus/<name>
# plus what earlier runs found (build-fuzz/corpus/<name>).
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     default: 20 seconds, every target
#
# Exits non-zero on the first finding; the input that caused it is left in
# build-fuzz/artifacts/<name>/. Replay one input: build-fuzz/fuzz/fuzz_<name> FILE
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(chunk events smf bmp)

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMAR_FUZZ=ON \
  -DPELMAR_BUILD_TESTS=OFF -DPELMAR_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzzers

# Longest inputs: a bank chunk and a flag byte; a long event list; files.
declare -A max_len=([chunk]=16000 [events]=16384 [smf]=8192 [bmp]=8192)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for name in "${targets[@]}"; do
  [[ -n ${max_len[$name]:-} ]] || { echo "fuzz.sh: no target '$name'" >&2; exit 2; }
  work=build-fuzz/corpus/$name
  artifacts=build-fuzz/artifacts/$name
  mkdir -p "$work" "$artifacts"
  echo "== fuzz_$name: $seconds s"
  if ! build-fuzz/fuzz/fuzz_"$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -max_len="${max_len[$name]}" -print_final_stats=1 -artifact_prefix="$artifacts/" \
       "$work" fuzz/corpus/"$name" >build-fuzz/fuzz_"$name".log 2>&1; then
    tail -n 60 build-fuzz/fuzz_"$name".log
    echo "fuzz_$name found a fault; input kept in $artifacts/" >&2
    exit 1
  fi
  grep -E 'DONE|stat::number_of_executed_units|stat::peak_rss_mb' build-fuzz/fuzz_"$name".log || true
  echo "   corpus: $(find "$work" -type f | wc -l) files found by runs, $(find fuzz/corpus/"$name" -type f | wc -l) seeds"
done
