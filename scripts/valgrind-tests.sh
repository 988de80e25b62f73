#!/usr/bin/env bash
# Runs every native test binary under valgrind memcheck; any memory error
# fails. The tests' own operator new (allocation-failure injection) is kept
# in place. Leaks are LeakSanitizer's job in the ASan run: death-test
# children end with _Exit and would report their live buffers here.
#   scripts/valgrind-tests.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
failed=0
for test in "${build}"/tests/zelvan_*_tests; do
  name=$(basename "${test}")
  log="${build}/valgrind-${name}.log"
  if valgrind --tool=memcheck --error-exitcode=99 --soname-synonyms=somalloc=nouserintercepts \
      --leak-check=summary --errors-for-leak-kinds=none --log-file="${log}" "${test}" --gtest_brief=1 \
      >/dev/null 2>&1; then
    echo "valgrind ${name}: clean"
  else
    echo "valgrind ${name}: FAILED (see ${log})"
    grep -m 20 -E "==[0-9]+== (Invalid|Conditional|Use of|.*definitely lost|ERROR SUMMARY)" "${log}" || true
    failed=1
  fi
done
exit "${failed}"
