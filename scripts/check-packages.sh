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
# Listings are captured first: grep -q on a pipe would end the writer early
# and fail the pipeline under pipefail.
expect() {  # expect TEXT PATTERN WHAT
  if ! grep -q -- "$2" <<<"$1"; then
    echo "check-packages: $3" >&2
    exit 1
  fi
}
runtimeDepends=$(field "${runtime}" Depends)
runtimeFiles=$(dpkg-deb -c "${runtime}")
devFiles=$(dpkg-deb -c "${dev}")
[[ $(field "${runtime}" Architecture) == "${arch}" ]]
expect "${runtimeDepends}" libgomp1 "runtime must depend on libgomp1"
if grep -qi blas <<<"${runtimeDepends}"; then
  echo "check-packages: runtime package must not depend on a BLAS" >&2
  exit 1
fi
expect "$(field "${dev}" Depends)" "libzelvan1 (=" "dev must depend on the same libzelvan1"
expect "${runtimeFiles}" "libzelvan.so.1.0.0" "runtime lacks the library"
expect "${runtimeFiles}" "libzelvan.so.1 -> libzelvan.so.1.0.0" "runtime lacks the SONAME link"
expect "${devFiles}" "libzelvan.so -> libzelvan.so.1" "dev lacks the development link"
expect "${devFiles}" "include/zelvan/zelvan.h" "dev lacks the header"
echo "-- $(basename "${runtime}"): Depends: $(field "${runtime}" Depends)"
echo "-- $(basename "${dev}"): Depends: $(field "${dev}" Depends)"
if [[ "${arch}" == "$(dpkg --print-architecture)" ]]; then
  root="${build}/deb-root"
  rm -rf "${root}" && mkdir -p "${root}"
  dpkg -x "${runtime}" "${root}"
  dpkg -x "${dev}" "${root}"
  bash "${here}/check-consumer.sh" "${root}/usr" "${build}/deb-consumer"
fi
