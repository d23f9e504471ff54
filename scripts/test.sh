#!/usr/bin/env bash
# Builds the debug configuration (AddressSanitizer and UndefinedBehaviorSanitizer,
# warnings as errors) and runs every test; then the release build and its Debian
# package, a soak of a few hundred solutions, and every fuzz target for a short,
# fixed time. Each step prints one line; a step that fails prints its whole log.
# The build folders are kept and reused: build/debug, build/release and
# build/fuzz (the demo builds in build/demo, so neither rebuilds the other).
set -euo pipefail
cd "$(dirname "$0")/.."
logs=build/logs
mkdir -p "$logs"

# Runs one step with its output in a log, shown only when the step fails.
step() {  # name, command...
  local name=$1 start=$SECONDS status=0
  shift
  printf '%-18s' "$name"
  "$@" >"$logs/$name.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    printf 'FAILED (status %d); its log:\n' "$status"
    cat "$logs/$name.log"
    exit "$status"
  fi
  printf 'ok (%ds)\n' $((SECONDS - start))
}

step dependencies scripts/install-deps.sh
step configure cmake -S . -B build/debug -G Ninja -DCMAKE_BUILD_TYPE=Debug \
     -DPROBATOR_SANITIZE=ON -DPROBATOR_WERROR=ON
step build cmake --build build/debug
step tests ctest --test-dir build/debug --output-on-failure -j 2 --timeout 900
grep -E '^[0-9]+% tests passed' "$logs/tests.log"

# The release build of the two programs must link too (the launcher is a
# static program there), and make a sound Debian package.
step release cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
     -DPROBATOR_TESTS=OFF -DPROBATOR_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr
step release-build cmake --build build/release
step package scripts/check-package.sh build/release

# A short soak: 300 solutions, and no growth of the agent.
step soak tools/soak/soak.sh --bin build/release/bin 300

# Every fuzz target for a short, fixed time from its seeds.
step fuzz scripts/fuzz.sh 10
