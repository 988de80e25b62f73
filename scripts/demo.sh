#!/usr/bin/env bash
# Builds the library and runs the demo host program.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh native
cmake --preset release -DZELVAN_BUILD_TESTS=OFF >/dev/null
cmake --build --preset release --target zelvan_demo -j "$(nproc)"
./build/release/examples/zelvan_demo
