#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks a built offerwatch .deb: its metadata, that every file a user needs is in it
# and nothing else of ours, the library's SONAME, the desktop entry, the manual pages,
# the user service, and lintian (no errors; warnings are printed).
#   check-package.sh offerwatch_VERSION_ARCH.deb
set -uo pipefail
deb="${1:?usage: check-package.sh PACKAGE.deb}"
[ -f "$deb" ] || { echo "check-package.sh: no such file: $deb" >&2; exit 2; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = offerwatch ] && pass "package name" || fail "package name is '$(field Package)'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] && pass "architecture" || fail "architecture"
[[ "$(field Maintainer)" =~ ^[^\<\>]+\ \<[^@\ ]+@[^@\ ]+\>$ ]] && pass "maintainer" || fail "maintainer is '$(field Maintainer)'"
depends="$(field Depends)"
for needed in libqt6core6 libqt6widgets6 libqt6network6 libqt6multimedia6 libqt6webenginewidgets6 \
              libqt6webenginecore6-bin xdg-utils; do
    grep -qE "(^|, )$needed( |,|$)" <<<"$depends" && pass "depends on $needed" || fail "no dependency on $needed"
done
grep -q dunst <<<"$(field Suggests)" && pass "suggests a notification daemon" || fail "does not suggest dunst"
grep -q dunst <<<"$depends" && fail "a notification daemon is required, not suggested"
repeated="$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//' | sort | uniq -d)"
[ -z "$repeated" ] && pass "each dependency named once" || fail "dependencies named twice:" $repeated

contents="$(dpkg-deb --contents "$deb" | awk '{ $1=$2=$3=$4=$5=""; sub(/^ +/, ""); print }')"
app_id=io.github.offerwatch.offerwatch
libdir="usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/offerwatch"
for path in usr/bin/offerwatch usr/bin/offerwatch-launch usr/bin/smtpsend \
            "$libdir/libsmtp.so.1 -> libsmtp.so.1.0.6" "$libdir/libsmtp.so.1.0.6" \
            usr/share/man/man1/offerwatch.1.gz usr/share/man/man1/smtpsend.1.gz \
            "usr/share/man/man1/offerwatch-launch.1.gz -> offerwatch.1.gz" \
            usr/lib/systemd/user/offerwatch.service \
            "usr/share/applications/$app_id.desktop" "usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
            "usr/share/metainfo/$app_id.metainfo.xml" \
            usr/share/offerwatch/Offerwatch.txt usr/share/offerwatch/Offerwatch.wav \
            usr/share/doc/offerwatch/copyright usr/share/doc/offerwatch/changelog.gz; do
    grep -qxF "./$path" <<<"$contents" && pass "contains $path" || fail "missing $path"
done
grep -E '^\./(usr/include|.*libsmtp\.so( |$))' <<<"$contents" && fail "development files are packaged"
grep -vE '^\./(usr/)?$|^\./usr/' <<<"$contents" && fail "files outside /usr"
for size in 16 24 32 48 64 128 256; do
    grep -qxF "./usr/share/icons/hicolor/${size}x$size/apps/$app_id.png" <<<"$contents" || fail "no ${size}x$size icon"
done
[ "$(grep -c '/Offerwatch\.txt$' <<<"$contents")" -eq 1 ] && pass "the help file once" || fail "the help file ships more than once"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
dpkg-deb --extract "$deb" "$scratch"
soname="$(readelf -d "$scratch/$libdir/libsmtp.so.1.0.6" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')"
[ "$soname" = libsmtp.so.1 ] && pass "SONAME libsmtp.so.1" || fail "SONAME is '$soname'"
runpath="$(readelf -d "$scratch/usr/bin/smtpsend" | sed -n 's/.*R\(UN\)\?PATH.*\[\(.*\)\]/\2/p')"
[ "$runpath" = "\$ORIGIN/../${libdir#usr/}" ] && pass "smtpsend finds the private library" \
    || fail "smtpsend's library search path is '$runpath'"
LD_LIBRARY_PATH= "$scratch/usr/bin/smtpsend" --version >/dev/null 2>&1 \
    && pass "smtpsend runs from the unpacked tree" || fail "smtpsend does not start"
for elf in usr/bin/offerwatch usr/bin/smtpsend "$libdir/libsmtp.so.1.0.6"; do
    readelf -S "$scratch/$elf" | grep -qE ' \.comment( |$)' && fail "$elf keeps .comment"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -qE '(^|/)(shlibs|triggers)$' \
    && fail "a private library needs no shlibs or triggers file"
# A postrm would keep the package listed as removed-with-configuration after apt remove.
maintainer_scripts="$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -E 'preinst|postinst|prerm|postrm')"
[ -z "$maintainer_scripts" ] && pass "no maintainer scripts" || fail "maintainer scripts:" $maintainer_scripts

copyright="$scratch/usr/share/doc/offerwatch/copyright"
head -n 1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    && grep -qx 'License: GPL-3+' "$copyright" && grep -qx 'License: LGPL-2.1+' "$copyright" \
    && pass "machine-readable copyright: GPL-3+, smtp LGPL-2.1+" || fail "copyright file"

if out="$(desktop-file-validate "$scratch/usr/share/applications/$app_id.desktop" 2>&1)" && [ -z "$out" ]; then
    pass "desktop entry valid"
else
    fail "desktop entry: $out"
fi
if out="$(appstreamcli validate --pedantic --no-net "$scratch/usr/share/metainfo/$app_id.metainfo.xml" 2>&1)"; then
    pass "AppStream metainfo valid"
    grep -E '^[EWIP]: ' <<<"$out"
else
    fail "AppStream metainfo: $out"
fi
for page in offerwatch smtpsend; do
    file="$scratch/usr/share/man/man1/$page.1.gz"
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)"
    [ -z "$warnings" ] && pass "$page(1) formats cleanly" || fail "$page(1): $warnings"
    sections="$(zcat "$file" | sed -n 's/^\.SH //p' | tr -d '"' | tr '\n' ' ')"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS FILES ENVIRONMENT "EXIT STATUS" EXAMPLES; do
        grep -qw "$section" <<<"$sections" || fail "$page(1) has no $section section"
    done
done
zcat "$scratch/usr/share/man/man1/offerwatch.1.gz" | grep -q '^\.SH COMMANDS' || fail "offerwatch(1) has no COMMANDS"

unit="$scratch/usr/lib/systemd/user/offerwatch.service"
grep -qx 'ExecStart=/usr/bin/offerwatch-launch --console --start $OFFERWATCH_OPTIONS' "$unit" \
    && pass "service runs console mode" || fail "service ExecStart"
grep -qx 'Restart=on-failure' "$unit" && pass "service restarts on failure" || fail "service Restart"
if command -v systemd-analyze >/dev/null; then
    # Verified with its programs taken from the unpacked tree, since the package is not installed.
    mkdir -p "$scratch/verify"
    sed "s#=/usr/bin/#=$scratch/usr/bin/#" "$unit" > "$scratch/verify/offerwatch.service"
    if out="$(systemd-analyze verify --man=no "$scratch/verify/offerwatch.service" 2>&1)" && [ -z "$out" ]; then
        pass "systemd-analyze verify"
    else
        fail "systemd-analyze verify: $out"
    fi
fi

# Info tags are printed for the reader; README.md says why those that remain do.
echo "lintian:"
out="$(lintian --pedantic --fail-on error,warning --display-info "$deb" 2>&1)"
status=$?
grep -v 'running with root privileges' <<<"$out"
[ "$status" -eq 0 ] && pass "lintian --pedantic: no errors or warnings" || fail "lintian reports errors or warnings"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
