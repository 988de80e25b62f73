#!/usr/bin/env bash
# Builds and runs every test: native Release, ASan+UBSan, TSan (the threaded
# subset) and the AArch64 cross build under qemu-user. Installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test

jobs=$(nproc)
for preset in release asan tsan aarch64; do
  echo "== ${preset}"
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}" -j "${jobs}"
  ctest --preset "${preset}" -j "${jobs}"
done
