#!/usr/bin/env bash
# Installs the dependencies, builds the tool in build/ and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DEIT_BUILD_TESTS=OFF -DEIT_BUILD_BENCH=OFF >/dev/null
cmake --build build --parallel 2
if [ -x build/app/extract-insert-tool ]; then
    exec build/app/extract-insert-tool "$@"
fi
exec build/app/extract-insert-batch --help
