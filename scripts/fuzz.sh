#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, runs each for a while and merges
# what they find into tests/fuzz/corpus, which the test suite replays.
#   scripts/fuzz.sh [seconds-per-target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash scripts/setup.sh
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DVELLORA_BUILD_TESTS=OFF -DVELLORA_BUILD_FUZZERS=ON >/dev/null
ninja -C build-fuzz fuzz_job_file fuzz_index_file fuzz_zip_directory
for kind in job index zip; do
  corpus="tests/fuzz/corpus/$kind"
  work="build-fuzz/corpus-$kind"
  mkdir -p "$work" "$corpus"
  target="./build-fuzz/tests/fuzz/fuzz_${kind}_file"
  [ "$kind" = zip ] && target=./build-fuzz/tests/fuzz/fuzz_zip_directory
  "$target" -max_total_time="$seconds" -max_len=4096 "$work" "$corpus"
  "$target" -merge=1 "$corpus" "$work"
done
