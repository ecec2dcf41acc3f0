#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds what the program needs, and starts Offerwatch on its
# built-in demo page. It shares the tests' build folder and options, so right after
# ./scripts/test.sh there is nothing left to build.
# The program works in the current directory (its log ipolog.txt lands there), so it
# runs in a folder of its own that also holds the help file and the alarm sound.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
# The program loads the smtp library at run time, so nothing else pulls it in.
"$root/scripts/build.sh" --ci --target offerwatch --target smtp
bin="$root/build-ci/bin"
workdir="${OFFERWATCH_WORKDIR:-$root/build-ci/run}"
mkdir -p "$workdir"
for f in Offerwatch.txt Offerwatch.wav; do
    cp -f "$bin/$f" "$workdir/"
done
cd "$workdir"
exec "$bin/offerwatch" --demo "$@"
