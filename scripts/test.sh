#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors, and runs the tests.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
OFFERWATCH_BUILD_DIR="$root/build-ci" "$root/scripts/build.sh" -DOFFERWATCH_WERROR=ON
cd "$root/build-ci"
ctest --output-on-failure --timeout 300 -j 2
