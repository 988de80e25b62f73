#!/usr/bin/env bash
# Builds and runs every test: native Release (with the install, consumer and
# Debian-package checks), ASan+UBSan, TSan (the threaded subset) and the
# AArch64 cross build under qemu-user. Installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test

jobs=$(nproc)
for preset in release asan tsan aarch64; do
  echo "== ${preset}"
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}" -j "${jobs}"
  if [[ "${preset}" == aarch64 ]]; then
    bash scripts/check-packages.sh build/aarch64 arm64
  fi
  ctest --preset "${preset}" -j "${jobs}"
done
