#!/usr/bin/env bash
# Installs the Debian packages the build needs. Idempotent: only missing
# packages are fetched, so the common case costs one dpkg query.
#   scripts/install-deps.sh [native|test|bench]
#     native: compiler, CMake, OpenBLAS (demo and release build)
#     test:   native plus clang's fuzzer runtime, valgrind, clang-format and
#             clang-tidy, the arm64 cross toolchain, arm64 multiarch
#             libraries and qemu-user
#     bench:  native plus the peers the benchmarks measure against (Eigen,
#             SLEEF, Abseil) and matplotlib for the plots
set -euo pipefail

profile="${1:-test}"

native=(build-essential cmake ninja-build pkg-config libgomp1
        libopenblas-openmp-dev libblas3 libgtest-dev libgmock-dev
        libbenchmark-dev binutils)
cross=(g++-aarch64-linux-gnu qemu-user
       libgtest-dev:arm64 libgmock-dev:arm64 libopenblas-openmp-dev:arm64
       libgomp1:arm64 libstdc++6:arm64)

bench=(libeigen3-dev libsleef-dev libabsl-dev python3 python3-matplotlib)
tools=(clang-14 libclang-rt-14-dev valgrind clang-format clang-tidy)

want=("${native[@]}")
case "$profile" in
  test) want+=("${tools[@]}" "${cross[@]}") ;;
  bench) want+=("${bench[@]}") ;;
esac

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
