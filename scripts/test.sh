#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds everything with warnings as errors, and runs the tests.
# With --sanitize the build goes to build-sanitize/ with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer, and any report fails its test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
if [ "${1:-}" != "--sanitize" ]; then
  "$root/scripts/build.sh" --ci
  cd "$root/build-ci"
  ctest --output-on-failure --timeout 300 -j 2
  exit
fi

OFFERWATCH_BUILD_DIR="$root/build-sanitize" "$root/scripts/build.sh" -DOFFERWATCH_WERROR=ON \
  -DOFFERWATCH_SANITIZE=ON -DOFFERWATCH_BUILD_BENCHMARKS=OFF
cd "$root/build-sanitize"
# The default quarantine of 256 MiB keeps freed memory resident, which the tests that bound
# a fetch's peak memory would count against it.
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:quarantine_size_mb=64"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitize.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
ctest --output-on-failure --timeout 600 -j 2 -LE webengine || status=1
# Chromium frees some of its own objects with a size other than the one it allocated; ASan
# cannot suppress that report by library, so only the tests that run Chromium go without it.
ASAN_OPTIONS="$ASAN_OPTIONS:new_delete_type_mismatch=0" \
  ctest --output-on-failure --timeout 600 -j 2 -L webengine || status=1
exit $status
