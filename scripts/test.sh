#!/usr/bin/env bash
# Builds Vellumtrace and runs the whole test suite: the unit and display tests on a normal
# build, then the unit tests again built with the address and undefined-behaviour sanitizers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

if [ -f "$root/tests/e2e/package-lock.json" ]; then
  (cd "$root/tests/e2e" && npm ci --no-audit --no-fund --loglevel=error)
fi

start=$(date +%s)
echo "== build"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVT_WERROR=ON
echo "== tests"
(cd "$root/build" && ctest --output-on-failure --timeout 600 -j "$(nproc)")

echo "== sanitizer build"
"$root/scripts/build.sh" "$root/build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DVT_SANITIZE=ON -DVT_BUILD_BENCH=OFF -DVT_WERROR=ON
echo "== sanitizer tests"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp"
(cd "$root/build-sanitize" && ctest --output-on-failure --timeout 900 -j "$(nproc)" -L unit)
echo "== all tests passed in $(( $(date +%s) - start )) s"
