#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build/fuzz and runs each one for SECONDS
# (default 10), starting from its seeds in fuzz/corpus/. New inputs go to a
# scratch folder, so the committed seeds stay as they are; an input that
# breaks a property is kept as build/fuzz/crash-* and the script fails.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-10}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(reader session task_set settings base64 launcher_options output)

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DPROBATOR_FUZZ=ON -DPROBATOR_TESTS=OFF -DPROBATOR_WERROR=ON >/dev/null
cmake --build build/fuzz --target fuzz_targets

scratch=$(mktemp -d /tmp/probator-fuzz-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
# The targets that need files make their scratch folders in here.
export TMPDIR="$scratch"
for target in "${targets[@]}"; do
  mkdir -p "$scratch/$target"
  echo "fuzzing $target for $seconds s"
  build/fuzz/bin/${target}_fuzzer -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix=build/fuzz/ "$scratch/$target" "fuzz/corpus/$target" \
      2>"$scratch/$target.log" || { tail -40 "$scratch/$target.log"; exit 1; }
  grep -E "^stat::number_of_executed_units|^Done" "$scratch/$target.log" || true
done
