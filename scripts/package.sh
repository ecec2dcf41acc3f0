#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package offerwatch_VERSION_ARCH.deb in Release, in its own build
# folder build-package/, and writes it to the top of the source tree.
#   package.sh [--check] [--output DIR]
# --check then checks the package's contents and metadata, lintian included.
# OFFERWATCH_MAINTAINER="Name <address>" in the environment names who answers for it.
# The same commit gives the same files whichever folder it is built in: paths of the
# source and build folders stay out of the binaries, and file dates come from the last
# commit (or from SOURCE_DATE_EPOCH when it is set, as for a tree without git).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
output="$root"
check=false
while [ $# -gt 0 ]; do
    case "$1" in
        --check) check=true ;;
        --output) [ $# -ge 2 ] || { echo "package.sh: --output needs a folder" >&2; exit 2; }
                  output="$2"; shift ;;
        *) echo "package.sh: unknown argument '$1' (use --check, --output DIR)" >&2; exit 2 ;;
    esac
    shift
done
mkdir -p "$output"
output="$(cd "$output" && pwd)"

extra=(dpkg-dev)
$check && extra+=(lintian binutils man-db systemd appstream desktop-file-utils)
"$root/scripts/install-deps.sh" "${extra[@]}"

build="$root/build-package"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH="$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)"
fi
export SOURCE_DATE_EPOCH
# Debian's own compiler and linker flags, hardening included.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# -ffile-prefix-map keeps the folder names out of debug data and assertion texts.
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS) -ffile-prefix-map=$root=."
ldflags="$(dpkg-buildflags --get LDFLAGS)"
# Binaries are linked with their installed search path from the start, so that no build
# folder is ever written into them (a path rewritten at install time leaves its text
# behind in the string table); the strip wrapper drops the compiler's notes.
maintainer=()
[ -n "${OFFERWATCH_MAINTAINER:-}" ] && maintainer=(-DOFFERWATCH_MAINTAINER="$OFFERWATCH_MAINTAINER")
cmake -S "$root" -B "$build" -G Ninja "${maintainer[@]}" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DOFFERWATCH_BUILD_TESTS=OFF -DOFFERWATCH_BUILD_BENCHMARKS=OFF \
    -DCMAKE_CXX_FLAGS="$cxxflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
    -DCMAKE_BUILD_WITH_INSTALL_RPATH=ON -DCMAKE_STRIP="$root/packaging/strip-elf.sh" >/dev/null
cmake --build "$build" -j "$(nproc)"
# CPack's talk goes to a log that is shown only when it fails.
if ! (cd "$build" && cpack -B "$build/cpack" >"$build/cpack.log" 2>&1); then
    cat "$build/cpack.log" >&2
    exit 1
fi
deb="$(ls -t "$build"/cpack/offerwatch_*.deb | head -n 1)"
mv -f "$deb" "$output/"
deb="$output/$(basename "$deb")"
echo "$deb"

if $check; then
    "$root/packaging/check-package.sh" "$deb"
fi
