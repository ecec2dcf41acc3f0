#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds Offerwatch.
#   build.sh [--ci] [--target NAME]... [CMAKE_OPTION]...
# --ci builds into build-ci/ with warnings as errors, the folder and options the tests
# use; otherwise build/ (or $OFFERWATCH_BUILD_DIR). --target builds only that target
# (repeatable); without it everything is built.
# An existing build folder is configured again only when the options differ from those
# it was made with: CMake itself notices changed CMake files while building.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${OFFERWATCH_BUILD_DIR:-$root/build}"
options=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
        --ci) build="$root/build-ci"; options+=(-DOFFERWATCH_WERROR=ON) ;;
        --target) [ $# -ge 2 ] || { echo "build.sh: --target needs a name" >&2; exit 2; }
                  targets+=(--target "$2"); shift ;;
        *) options+=("$1") ;;
    esac
    shift
done

stamp="$build/.configure-options"
if [ ! -f "$build/CMakeCache.txt" ] || [ "$(cat "$stamp" 2>/dev/null)" != "${options[*]}" ]; then
    rm -f "$stamp"
    cmake -S "$root" -B "$build" "${options[@]}" >/dev/null
    printf '%s' "${options[*]}" > "$stamp"
fi
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
