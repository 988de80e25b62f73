#!/usr/bin/env bash
# Installs the Debian packages the build needs. Idempotent: only missing
# packages are fetched, so the common case costs one dpkg query.
#   scripts/install-deps.sh [native|test]
#     native: compiler, CMake, OpenBLAS (demo and release build)
#     test:   native plus sanitizer runtimes, the arm64 cross toolchain,
#             arm64 multiarch libraries and qemu-user
set -euo pipefail

profile="${1:-test}"

native=(build-essential cmake ninja-build pkg-config libgomp1
        libopenblas-openmp-dev libblas3 libgtest-dev libgmock-dev
        libbenchmark-dev binutils)
cross=(g++-aarch64-linux-gnu qemu-user
       libgtest-dev:arm64 libgmock-dev:arm64 libopenblas-openmp-dev:arm64
       libgomp1:arm64 libstdc++6:arm64)

want=("${native[@]}")
if [[ "$profile" == test ]]; then
  want+=("${cross[@]}")
fi

missing=()
for pkg in "${want[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  if [[ "$status" != *"ok installed"* ]]; then
    missing+=("$pkg")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: missing packages (${missing[*]}); run as root" >&2
  exit 1
fi

if [[ "$profile" == test && " $(dpkg --print-foreign-architectures | tr '\n' ' ') " != *" arm64 "* ]]; then
  dpkg --add-architecture arm64
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
