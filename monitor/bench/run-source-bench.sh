#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Reading a 16 MiB EDGAR-style feed and a 16 MiB page through a pattern source, beside grep
# counting the same entries in the same file; the feed also beside xmllint and Python's
# ElementTree.iterparse counting its entries, and `watch try` on a 15 MiB feed from a loopback
# server beside `curl | xmllint` on the same address. Every time is the best of three.
#
#   monitor/bench/run-source-bench.sh [PATH/TO/offerwatch_parser_bench] [SIZE_MB]
# xmllint is in Debian's libxml2-utils, curl in curl; the program is taken from beside the benchmark.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bench=${1:-$here/../../build/bin/offerwatch_parser_bench}
size=${2:-16}
[ -x "$bench" ] || { echo "run-source-bench.sh: no benchmark program at $bench" >&2; exit 2; }
program=$(cd "$(dirname "$bench")" && pwd)/offerwatch
for tool in xmllint curl; do
    command -v "$tool" >/dev/null || { echo "run-source-bench.sh: $tool is needed" >&2; exit 2; }
done
python=/usr/bin/python3
work=$(mktemp -d "${TMPDIR:-/tmp}/offerwatch-source-bench.XXXXXX")
server_pid=""
trap '[ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null; rm -rf "$work"' EXIT

"$python" - "$size" "$work/feed.xml" "$work/page.html" <<'PY'
import random, sys
megabytes, feed_path, page_path = int(sys.argv[1]), sys.argv[2], sys.argv[3]
rng = random.Random(2026)
words = ("Holdings", "Technologies", "Bancorp", "Networks", "Therapeutics", "Énergie", "Capital", "&amp;", "Systems")
limit = megabytes * 1024 * 1024
with open(feed_path, "w", encoding="utf-8") as out:
    out.write('<?xml version="1.0" encoding="UTF-8" ?>\n<feed xmlns="http://www.w3.org/2005/Atom">\n<title>Latest Filings</title>\n')
    i = 0
    while out.tell() < limit - 2048:
        cik = f"{1000000 + i:010d}"
        form = rng.choice(("S-1", "S-1/A", "F-1"))
        name = " ".join(rng.choice(words) for _ in range(3))
        acc = f"{cik}-26-{i:06d}"
        out.write(f'<entry>\n<title>{form} - {name} ({cik}) (Filer)</title>\n'
                  f'<link rel="alternate" type="text/html" href="https://www.sec.gov/Archives/edgar/data/{1000000 + i}/{acc}-index.htm"/>\n'
                  f'<summary type="html"> &lt;b&gt;Filed:&lt;/b&gt; 2026-12-07 &lt;b&gt;AccNo:&lt;/b&gt; {acc}</summary>\n'
                  f'<updated>2026-12-07T09:30:00-05:00</updated>\n'
                  f'<category scheme="https://www.sec.gov/" label="form type" term="{form}"/>\n'
                  f'<id>urn:tag:sec.gov,2008:accession-number={acc}</id>\n</entry>\n')
        i += 1
    out.write("</feed>\n")
letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
with open(page_path, "w") as out:
    out.write("<html><body><table>\n")
    while out.tell() < limit - 1024:
        symbol = "".join(rng.choice(letters) for _ in range(rng.randint(1, 5)))
        status = rng.choice(("open", "closed"))
        out.write(f'<tr><td class="sym">{symbol}</td><td>{" ".join(rng.choice(words) for _ in range(8))}</td>'
                  f'<td class="st">{status}</td></tr>\n')
    out.write("</table></body></html>\n")
PY

now_us() { local t=${EPOCHREALTIME/[.,]/}; echo "$((10#$t))"; }
best_grep_ms() { # best of three: grep ARGS...
    local best=""
    for _ in 1 2 3; do
        local start; start=$(now_us)
        grep "$@" | cat >/dev/null  # grep stops at the first match when it writes to /dev/null
        local elapsed=$(( $(now_us) - start ))
        if [ -z "$best" ] || [ "$elapsed" -lt "$best" ]; then best=$elapsed; fi
    done
    awk -v us="$best" 'BEGIN { printf "%.1f", us / 1e3 }'
}

pattern='<td class="sym">(?<symbol>[A-Z]{1,5})</td>.*?<td class="st">(?<status>[a-z]+)</td>'
feed_line=$("$bench" --runs 3 --source edgar "$work/feed.xml")
page_line=$("$bench" --runs 3 --source pattern --pattern "$pattern" "$work/page.html")
feed_grep=$(best_grep_ms -c '<entry>' "$work/feed.xml")
page_grep=$(best_grep_ms -cP '<td class="sym">[A-Z]{1,5}</td>' "$work/page.html")
echo "grep: $(grep --version | head -n 1)"
printf '%-8s %10s %10s %10s %10s %12s\n' source entries extract_ms load_ms grep_ms extract/grep
for row in "edgar|$feed_line|$feed_grep|$(grep -c '<entry>' "$work/feed.xml")" \
           "pattern|$page_line|$page_grep|$(grep -cP '<td class="sym">' "$work/page.html")"; do
    IFS='|' read -r name line grep_ms count <<<"$row"
    ms=$(sed -n 's/.* parse_ms=\([0-9.]*\).*/\1/p' <<<"$line")
    load=$(sed -n 's/.* load_ms=\([0-9.]*\).*/\1/p' <<<"$line")
    entries=$(sed -n 's/.* entries=\([0-9]*\).*/\1/p' <<<"$line")
    awk -v n="$name" -v e="$entries/$count" -v m="$ms" -v l="$load" -v g="$grep_ms" \
        'BEGIN { printf "%-8s %10s %10.1f %10.1f %10.1f %12.2f\n", n, e, m, l, g, m / g }'
done

# The feed beside the XML readers of libxml2 and Python, each counting its entries.
best_ms() { # best of three: COMMAND...
    local best=""
    for _ in 1 2 3; do
        local start; start=$(now_us)
        "$@" >/dev/null
        local elapsed=$(( $(now_us) - start ))
        if [ -z "$best" ] || [ "$elapsed" -lt "$best" ]; then best=$elapsed; fi
    done
    awk -v us="$best" 'BEGIN { printf "%.1f", us / 1e3 }'
}
xpath='count(//*[local-name()="entry"])'
feed_ms=$(sed -n 's/.* parse_ms=\([0-9.]*\).*/\1/p' <<<"$feed_line")
xmllint_ms=$(best_ms xmllint --xpath "$xpath" "$work/feed.xml")
iterparse_ms=$(best_ms "$python" -c '
import sys, xml.etree.ElementTree as ET
print(sum(1 for _, e in ET.iterparse(sys.argv[1]) if e.tag.endswith("}entry")))' "$work/feed.xml")
echo "$(xmllint --version 2>&1 | head -n 1); Python $("$python" -c 'import platform; print(platform.python_version())')"
awk -v o="$feed_ms" -v x="$xmllint_ms" -v p="$iterparse_ms" 'BEGIN {
    printf "edgar feed: offerwatch %.1f ms, xmllint %.1f ms (%.2fx faster), iterparse %.1f ms (%.2fx faster)\n",
           o, x, x / o, p, p / o }'

# End to end: `watch try` in console mode against a loopback server, from the command to its
# answer, beside curl piped into xmllint on the same address.
"$python" - "$work/feed.xml" "$work/feed15.xml" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
cut = data.rfind(b"</entry>", 0, 15 * 1024 * 1024 - 16) + len(b"</entry>")
open(sys.argv[2], "wb").write(data[:cut] + b"\n</feed>\n")
PY
port_file="$work/port"
"$python" -c '
import http.server, socketserver, sys, os
os.chdir(sys.argv[1])
class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args): pass
with socketserver.ThreadingTCPServer(("127.0.0.1", 0), Quiet) as server:
    open(sys.argv[2], "w").write(str(server.server_address[1]))
    server.serve_forever()' "$work" "$port_file" &
server_pid=$!
for _ in $(seq 50); do [ -s "$port_file" ] && break; sleep 0.1; done
url="http://127.0.0.1:$(cat "$port_file")/feed15.xml"
curl_ms=$(best_ms sh -c "curl -s '$url' | xmllint --xpath '$xpath' -")
try_best=""
if [ -x "$program" ]; then
    mkdir -p "$work/config" "$work/run"
    coproc OW { cd "$work/run" && XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen exec "$program" --console 2>/dev/null; }
    printf 'watch url %s\nwatch source edgar\nwatch contact bench@example.com\n' "$url" >&"${OW[1]}"
    for _ in 1 2 3; do
        start=$(now_us)
        echo "watch try" >&"${OW[1]}"
        while IFS= read -r line <&"${OW[0]}"; do [[ "$line" == Try:* ]] && break; done
        elapsed=$(( $(now_us) - start ))
        if [ -z "$try_best" ] || [ "$elapsed" -lt "$try_best" ]; then try_best=$elapsed; fi
    done
    echo exit >&"${OW[1]}"
    wait "$OW_PID" 2>/dev/null || true
    echo "watch try: ${line:0:100}"
    awk -v t="$try_best" -v c="$curl_ms" 'BEGIN {
        printf "watch try, 15 MiB over loopback: %.1f ms; curl | xmllint %.1f ms; ratio %.2f (goal: at most 0.6)\n",
               t / 1e3, c, t / 1e3 / c }'
else
    echo "run-source-bench.sh: no program at $program; end-to-end part left out" >&2
fi
