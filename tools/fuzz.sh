#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz and runs each for N seconds
# (default 60) from the generated seeds. Nonzero exit on a crash.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DBREVOX_FUZZ=ON -DBREVOX_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2 --target convert_plain_fuzzer convert_gzip_fuzzer fuzz_seeds
for target in plain gzip; do
  corpus="build-fuzz/fuzz/corpus-$target"
  mkdir -p "$corpus"
  echo "== fuzz convert_${target}_fuzzer for ${seconds}s"
  build-fuzz/fuzz/convert_${target}_fuzzer -max_total_time="$seconds" -max_len=65536 \
    -dict=fuzz/vgm.dict -artifact_prefix=build-fuzz/fuzz/ -print_final_stats=1 \
    "$corpus" "build-fuzz/fuzz/seeds/$target"
done
