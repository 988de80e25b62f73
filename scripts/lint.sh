#!/usr/bin/env bash
# Style gate over the sources: clang-format on every C++ file, clang-tidy on
# the library (the portable files through the native build, the NEON files
# through the AArch64 cross build, whose compile databases must exist).
#   scripts/lint.sh [native build dir] [aarch64 build dir]
set -euo pipefail
cd "$(dirname "$0")/.."

native="${1:-build/release}"
cross="${2:-build/aarch64}"

mapfile -t sources < <(find include src tests bench examples -name '*.cc' -o -name '*.h' | sort)
clang-format --dry-run --Werror "${sources[@]}"

mapfile -t portable < <(find src -name '*.cc' ! -name '*_neon.cc' | sort)
mapfile -t neon < <(find src -name '*_neon.cc' | sort)
tidy() {
  local db="$1"
  shift
  # Only clang-tidy's per-file "N warnings generated." count is dropped: it
  # counts system-header warnings the header filter already hides.
  printf '%s\n' "$@" | xargs -P "$(nproc)" -n 1 clang-tidy -p "${db}" --quiet --warnings-as-errors='*' \
    2> >(grep -v 'warnings\? generated\.$' >&2)
}
tidy "${native}" "${portable[@]}"
tidy "${cross}" "${neon[@]}"
echo "lint: clean"
