#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer programs of fuzz/ with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# into build-fuzz/, then runs each named target (all by default) for SECONDS (60 by default), one
# after the other at the lowest priority. New inputs go to build-fuzz/corpus/<target>/; inputs
# that break something go to build-fuzz/findings/<target>/. Once the fault is fixed, copy such an
# input into fuzz/corpus/<target>/ so that the test suite replays it.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     targets: offerings_parser edgar_feed pattern_source history_file
#                                                      base64 smtp_reply settings
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
seconds=60
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds="$1"
  shift
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(offerings_parser edgar_feed pattern_source history_file base64 smtp_reply settings)

"$root/scripts/install-deps.sh" --fuzz
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DOFFERWATCH_FUZZ=ON -DOFFERWATCH_SANITIZE=ON -DOFFERWATCH_BUILD_TESTS=OFF -DOFFERWATCH_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1"
failed=0
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target" "$build/findings/$target"
  echo "== $target: $seconds s"
  # A page that takes seconds to read is a fault of its own, reported as a timeout.
  nice -n 19 "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$build/findings/$target/" \
    "$build/corpus/$target" "$root/fuzz/corpus/$target" || failed=1
done
exit $failed
