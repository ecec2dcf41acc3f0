#!/usr/bin/env bash
# Installs what is missing, builds, and starts Offerwatch on its built-in demo page.
# The program works in the current directory (its log ipolog.txt lands there), so it
# runs in a folder of its own that also holds the help file and the alarm sound.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
workdir="${OFFERWATCH_WORKDIR:-$root/build/run}"
mkdir -p "$workdir"
for f in Offerwatch.txt Offerwatch.wav; do
    [ -f "$root/build/bin/$f" ] && cp -f "$root/build/bin/$f" "$workdir/"
done
cd "$workdir"
exec "$root/build/bin/offerwatch" --demo "$@"
