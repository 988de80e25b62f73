#!/usr/bin/env bash
# Builds the Debian packages of a configured build, checks their names,
# architecture and dependencies, and (for the native build) unpacks them
# into a scratch root and builds the consumer against that.
#   scripts/check-packages.sh BUILD_DIR ARCH
set -euo pipefail
build=$(realpath "$1")
arch=$2
here=$(cd "$(dirname "$0")" && pwd)
(cd "${build}" && cpack -G DEB >/dev/null)
runtime=$(ls "${build}"/libzelvan1_*_"${arch}".deb)
dev=$(ls "${build}"/libzelvan-dev_*_"${arch}".deb)
field() { dpkg-deb -f "$1" "$2"; }
[[ $(field "${runtime}" Architecture) == "${arch}" ]]
field "${runtime}" Depends | grep -q libgomp1
if field "${runtime}" Depends | grep -qi blas; then
  echo "runtime package must not depend on a BLAS" >&2
  exit 1
fi
field "${dev}" Depends | grep -q "libzelvan1 (="
dpkg-deb -c "${runtime}" | grep -q "libzelvan.so.1.0.0"
dpkg-deb -c "${runtime}" | grep -q "libzelvan.so.1 -> libzelvan.so.1.0.0"
dpkg-deb -c "${dev}" | grep -q "libzelvan.so -> libzelvan.so.1"
dpkg-deb -c "${dev}" | grep -q "include/zelvan/zelvan.h"
echo "-- $(basename "${runtime}"): Depends: $(field "${runtime}" Depends)"
echo "-- $(basename "${dev}"): Depends: $(field "${dev}" Depends)"
if [[ "${arch}" == "$(dpkg --print-architecture)" ]]; then
  root="${build}/deb-root"
  rm -rf "${root}" && mkdir -p "${root}"
  dpkg -x "${runtime}" "${root}"
  dpkg -x "${dev}" "${root}"
  bash "${here}/check-consumer.sh" "${root}/usr" "${build}/deb-consumer"
fi
