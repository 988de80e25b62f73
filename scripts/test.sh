#!/usr/bin/env bash
# Builds and runs every test:
#   release  native tests, install + consumer + Debian-package checks,
#            then the same binaries under valgrind memcheck
#   asan     ASan+UBSan, all tests
#   tsan     ThreadSanitizer, the threaded subset
#   fuzz     the libFuzzer harnesses, 30 s each from the seed corpus
#   aarch64  cross build, arm64 packages, all tests under qemu-user
#   bench    every benchmark program on its smallest case, and the report
#   lint     clang-format and clang-tidy over the sources
# Installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test

jobs=$(nproc)
for preset in release asan tsan fuzz aarch64; do
  echo "== ${preset}"
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}" -j "${jobs}"
  if [[ "${preset}" == aarch64 ]]; then
    bash scripts/check-packages.sh build/aarch64 arm64
  fi
  ctest --preset "${preset}" -j "${jobs}"
  if [[ "${preset}" == release ]]; then
    echo "== valgrind"
    bash scripts/valgrind-tests.sh build/release
    echo "== bench smoke"
    bash scripts/bench.sh --smoke
  fi
done

echo "== lint"
bash scripts/lint.sh build/release build/aarch64
