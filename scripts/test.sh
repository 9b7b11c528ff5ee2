#!/usr/bin/env bash
# Installs what is needed, builds the normal and the sanitizer trees, and runs every test in both.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

"$root/scripts/build.sh" build -DQUILL_WERROR=ON
ctest --test-dir "$root/build" --output-on-failure -j"$(nproc)"

"$root/scripts/build.sh" build-sanitize -DQUILL_SANITIZE=ON -DQUILL_WERROR=ON -DQUILL_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build-sanitize" --output-on-failure -j"$(nproc)"
