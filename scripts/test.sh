#!/usr/bin/env bash
# Builds the debug configuration (AddressSanitizer and UndefinedBehaviorSanitizer,
# warnings as errors) and runs every test, then checks that the release build
# of both programs links, runs every fuzz target for a short, fixed time, and
# soaks the agent with a few hundred solutions.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/debug -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DPROBATOR_SANITIZE=ON -DPROBATOR_WERROR=ON >/dev/null
cmake --build build/debug
ctest --test-dir build/debug --output-on-failure -j 2 --timeout 900

# The release build of the two programs must link too (the launcher is a
# static program there), and make a sound Debian package.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPROBATOR_TESTS=OFF \
      -DPROBATOR_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build/release
scripts/check-package.sh build/release

# A short soak: 300 solutions, and no growth of the agent.
tools/soak/soak.sh --bin build/release/bin 300

# Every fuzz target for a short, fixed time from its seeds.
scripts/fuzz.sh 10
