#!/usr/bin/env bash
# Builds and runs the consumer example against an installed zelvan, both
# through its CMake package and through pkg-config.
#   scripts/check-consumer.sh PREFIX WORKDIR
set -euo pipefail
prefix=$(realpath "$1")
work=$2
src=$(cd "$(dirname "$0")/../examples/consumer" && pwd)
multiarch=$(gcc -print-multiarch)
blas=/usr/lib/${multiarch}/openblas-openmp/libopenblas.so
rm -rf "${work}" && mkdir -p "${work}"

echo "-- find_package(zelvan) from ${prefix}"
cmake -S "${src}" -B "${work}/cmake" -G Ninja -DCMAKE_PREFIX_PATH="${prefix}" >/dev/null
cmake --build "${work}/cmake" >/dev/null
LD_LIBRARY_PATH="${prefix}/lib/${multiarch}:${prefix}/lib" "${work}/cmake/consumer"

echo "-- pkg-config zelvan from ${prefix}"
pcdir=$(dirname "$(find "${prefix}" -name zelvan.pc | head -1)")
flags=$(PKG_CONFIG_PATH="${pcdir}" pkg-config --cflags --libs zelvan)
# shellcheck disable=SC2086
c++ -std=c++17 "${src}/consumer.cc" -o "${work}/consumer-pc" ${flags} "${blas}"
LD_LIBRARY_PATH="${prefix}/lib/${multiarch}:${prefix}/lib" "${work}/consumer-pc"
