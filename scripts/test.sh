#!/usr/bin/env bash
# Installs the dependencies, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-test/ and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DEIT_SANITIZE=ON -DEIT_BUILD_BENCH=OFF >/dev/null
cmake --build build-test --parallel 2
cd build-test
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel 2
