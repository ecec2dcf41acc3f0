#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors, and runs the tests.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" --ci
cd "$root/build-ci"
ctest --output-on-failure --timeout 300 -j 2
