#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Parser throughput against grep on the same generated offerings pages.
#
#   monitor/bench/run-parser-bench.sh [PATH/TO/offerwatch_parser_bench] [SIZES_MB...]
#
# Pages of 1, 10 and 100 MB (or the sizes given) with one offering per KB, in the markup of a
# broker's offerings table. For each page: the parser's best of three in-process runs, the time
# to read and decode the file, and the best of three runs of
# grep -oi 'Ipo_Symbol=....' on the same file, with the ratios.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bench=${1:-$here/../../build/bin/offerwatch_parser_bench}
shift || true
sizes=("$@")
if [ ${#sizes[@]} -eq 0 ]; then
    sizes=(1 10 100)
fi
if [ ! -x "$bench" ]; then
    echo "run-parser-bench.sh: no benchmark program at $bench (build the target offerwatch_parser_bench)" >&2
    exit 2
fi
python=/usr/bin/python3
[ -x "$python" ] || python=python3

work=$(mktemp -d "${TMPDIR:-/tmp}/offerwatch-parser-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

generate() { # generate MEGABYTES FILE
    "$python" - "$1" "$2" <<'PY'
import random, sys
megabytes, path = int(sys.argv[1]), sys.argv[2]
rng = random.Random(179)
letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
words = ("holdings", "technologies", "bancorp", "networks", "therapeutics", "energy", "capital",
         "systems", "partners", "communications", "the", "offering", "of", "shares", "common", "stock")
head = ('<HTML><HEAD><TITLE>Current IPO Offerings</TITLE></HEAD>\n<BODY BGCOLOR="#FFFFFF">\n'
        '<TABLE WIDTH="100%" BORDER=0 CELLPADDING=2>\n').encode()
row_size = 1024
with open(path, "wb") as out:
    out.write(head)
    for i in range(megabytes * 1024):
        symbol = "".join(rng.choice(letters) for _ in range(rng.choice((3, 4, 4, 4))))
        if len(symbol) == 3:
            symbol += rng.choice("0123456789&")
        image = rng.choice(("go.gif", "go_now.gif", "closed.gif", "soon.gif"))
        name = " ".join(rng.choice(words) for _ in range(3)).title()
        row = ('<TR BGCOLOR="#F0F0F0">\n'
               '<TD><FONT FACE="Arial" SIZE=2><A HREF="/cgi-bin/gx.cgi/Applogic+IPOOffering?'
               f'Ipo_Symbol={symbol}&Ipo_OfferType={rng.randint(1, 3)}&Ipo_Id={100000 + i}">'
               f'{name}</A></FONT></TD>\n'
               f'<TD ALIGN=RIGHT><FONT FACE="Arial" SIZE=2>${rng.randint(8, 20)}.00 - '
               f'${rng.randint(21, 30)}.00</FONT></TD>\n'
               f'<TD ALIGN=RIGHT><FONT FACE="Arial" SIZE=2>{rng.randint(1, 20)},000,000</FONT></TD>\n'
               f'<TD ALIGN=CENTER><IMG SRC=/images/{image} WIDTH=40 HEIGHT=16 BORDER=0></TD>\n'
               '<TD><FONT FACE="Arial" SIZE=1>')
        filler = []
        while len(row) + len(" ".join(filler)) < row_size - 40:
            filler.append(rng.choice(words))
        row += " ".join(filler)
        row = row[: row_size - len("</FONT></TD>\n</TR>\n")] + "</FONT></TD>\n</TR>\n"
        out.write(row.encode())
    out.write(b"</TABLE>\n</BODY></HTML>\n")
PY
}

# Microseconds from the shell's own clock, so that timing grep does not also time a fork.
now_us() { local t=${EPOCHREALTIME/[.,]/}; echo "$((10#$t))"; }

echo "parser: $bench"
echo "grep: $(grep --version | head -n 1), LC_ALL=${LC_ALL:-} LC_CTYPE=$(locale 2>/dev/null | sed -n 's/^LC_CTYPE=//p')"
printf '%8s %10s %10s %10s %10s %12s %14s\n' "size_MB" "entries" "parse_ms" "load_ms" "grep_ms" "parse/grep" "load+parse/grep"
for size in "${sizes[@]}"; do
    page="$work/page-${size}MB.html"
    generate "$size" "$page"

    line=$("$bench" --runs 3 "$page")
    parse_ms=$(sed -n 's/.* parse_ms=\([0-9.]*\).*/\1/p' <<<"$line")
    load_ms=$(sed -n 's/.* load_ms=\([0-9.]*\).*/\1/p' <<<"$line")
    entries=$(sed -n 's/.* entries=\([0-9]*\).*/\1/p' <<<"$line")

    # Output goes through a pipe: grep stops at the first match when it writes to /dev/null.
    grep_best=""
    matches=0
    for _ in 1 2 3; do
        start=$(now_us)
        matches=$(grep -oi 'Ipo_Symbol=....' "$page" | wc -l)
        elapsed=$(( $(now_us) - start ))
        if [ -z "$grep_best" ] || [ "$elapsed" -lt "$grep_best" ]; then
            grep_best=$elapsed
        fi
    done
    grep_ms=$(awk -v us="$grep_best" 'BEGIN { printf "%.1f", us / 1e3 }')

    if [ "$matches" != "$entries" ]; then
        echo "run-parser-bench.sh: $page: parser found $entries offerings, grep $matches" >&2
    fi
    awk -v s="$size" -v e="$entries" -v p="$parse_ms" -v l="$load_ms" -v g="$grep_ms" \
        'BEGIN { printf "%8s %10s %10.1f %10.1f %10.1f %12.2f %14.2f\n", s, e, p, l, g, p / g, (l + p) / g }'
done
