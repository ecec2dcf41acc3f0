#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: LGPL-2.1-or-later
# Compares the smtp library with standard tools on this machine, in one run:
#   1. Base64: bench_base64 (Encode in 57-byte groups) against `base64 -w 76`
#      on the same 100 MB file; the outputs must be identical.
#   2. Delivery: smtpsend with a 20 MB attachment against `curl -T` of a
#      prebuilt MIME file of the same size, both to postfix's smtp-sink on
#      loopback. smtpsend's whole run less the control's 1000 ms pause after
#      the copy is compared (the pause is part of the control's design, not
#      of the transfer); its own report of when the copy was accepted is shown too.
#   3. Delivery over TLS: the same comparison with a 64 MiB attachment,
#      `smtpsend --tls starttls|tls` against `curl --ssl-reqd` (smtp:// with
#      STARTTLS, smtps:// for implicit TLS), both to smtp-sink behind stunnel4,
#      which speaks STARTTLS (protocol = smtp) on one port and implicit TLS on
#      another, with a certificate of a CA made for the run.
# Usage: run-benchmarks.sh [BIN_DIR]   (default: build/bin of the source tree)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin_dir=${1:-$here/../../build/bin}
bin_dir=$(cd "$bin_dir" && pwd)
runs=${BENCH_RUNS:-3}

need=()
command -v smtp-sink >/dev/null || [ -x /usr/sbin/smtp-sink ] || need+=(postfix)
command -v curl >/dev/null || need+=(curl)
command -v base64 >/dev/null || need+=(coreutils)
command -v bc >/dev/null || need+=(bc)
command -v stunnel4 >/dev/null || need+=(stunnel4)
command -v openssl >/dev/null || need+=(openssl)
if [ ${#need[@]} -gt 0 ]; then
    echo "Installing: ${need[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    echo "postfix postfix/main_mailer_type select No configuration" | "${sudo_cmd[@]}" debconf-set-selections
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
sink=$(command -v smtp-sink || echo /usr/sbin/smtp-sink)

for program in bench_base64 smtpsend; do
    [ -x "$bin_dir/$program" ] || { echo "missing $bin_dir/$program: build the targets first" >&2; exit 1; }
done

work=$(mktemp -d)
sink_pid=
stunnel_pid=
cleanup() {
    [ -n "$stunnel_pid" ] && kill "$stunnel_pid" 2>/dev/null || true
    [ -n "$sink_pid" ] && kill "$sink_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }
best() { printf '%s\n' "$@" | sort -g | head -n1; }
ratio() { echo "scale=2; $1 / $2" | bc -l; }
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
wait_port() {
    for _ in $(seq 50); do
        (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
        sleep 0.1
    done
    echo "nothing listens on port $1" >&2
    exit 1
}
# prebuilt_mime ATTACHMENT OUTPUT: the mail curl sends, of the same size as smtpsend's.
prebuilt_mime() {
    {
        printf 'From: bench@example.org\r\nTo: sink@example.org\r\nSubject: bench\r\n'
        printf 'MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary="b"\r\n\r\n'
        printf -- '--b\r\nContent-Type: text/plain\r\n\r\nbenchmark\r\n'
        printf -- '--b\r\nContent-Type: application/octet-stream; name="attachment.bin"\r\n'
        printf 'Content-Transfer-Encoding: base64\r\n\r\n'
        base64 -w 76 "$1" | sed 's/$/\r/'
        printf -- '--b--\r\n'
    } >"$2"
}
# compare LABEL SMTPSEND_ARGS CURL_URL CURL_ARGS: best of $runs for each, then the ratio.
compare() {
    local label=$1 send_args=$2 url=$3 curl_args=$4
    local ours=() walls=() inside=() theirs=() t0 t1 accepted
    for _ in $(seq "$runs"); do
        t0=$(now)
        # shellcheck disable=SC2086
        echo benchmark | "$bin_dir/smtpsend" $send_args --from bench@example.org \
            --to sink@example.org --subject bench --attach "$work/attachment.bin" --timing 2>"$work/send.log"
        t1=$(now)
        accepted=$(sed -n 's/^smtpsend: copy 1 accepted after \([0-9.]*\) s$/\1/p' "$work/send.log")
        [ -n "$accepted" ] || { cat "$work/send.log" >&2; exit 1; }
        inside+=("$accepted")
        walls+=("$(elapsed "$t0" "$t1")")
        ours+=("$(echo "$(elapsed "$t0" "$t1") - 1.0" | bc -l)")
        t0=$(now)
        # shellcheck disable=SC2086
        curl -sS $curl_args "$url" --mail-from bench@example.org --mail-rcpt sink@example.org -T "$work/prebuilt.eml"
        t1=$(now)
        theirs+=("$(elapsed "$t0" "$t1")")
    done
    local o w i t
    o=$(best "${ours[@]}"); w=$(best "${walls[@]}"); i=$(best "${inside[@]}"); t=$(best "${theirs[@]}")
    echo "-- $label"
    printf 'smtpsend         %.3f s   (whole run %.3f s less the 1.000 s pause; copy accepted %.3f s after the send began)\n' "$o" "$w" "$i"
    echo "                 smtpsend $send_args --from ... --to ... --attach attachment.bin"
    printf 'curl             %.3f s   (MIME file of %s bytes)\n' "$t" "$(stat -c %s "$work/prebuilt.eml")"
    echo "                 curl $curl_args $url --mail-from ... --mail-rcpt ... -T prebuilt.eml"
    printf 'ratio            %s x the time of curl (goal: at most 1.5)\n' "$(ratio "$o" "$t")"
}

echo "== Base64: 100 MB in 57-byte groups (best of $runs)"
head -c 100000000 /dev/urandom >"$work/input.bin"
ours=(); theirs=()
for _ in $(seq "$runs"); do
    t0=$(now); "$bin_dir/bench_base64" "$work/input.bin" >"$work/ours.b64" 2>"$work/ours.log"; t1=$(now)
    ours+=("$(elapsed "$t0" "$t1")")
    t0=$(now); base64 -w 76 "$work/input.bin" >"$work/theirs.b64"; t1=$(now)
    theirs+=("$(elapsed "$t0" "$t1")")
done
cmp -s "$work/ours.b64" "$work/theirs.b64" || { echo "outputs differ" >&2; exit 1; }
o=$(best "${ours[@]}"); t=$(best "${theirs[@]}")
printf 'bench_base64     %.3f s   (%s)\n' "$o" "$(cat "$work/ours.log" | sed 's/^bench_base64: //')"
printf 'base64 -w 76     %.3f s\n' "$t"
printf 'ratio            %s x the time of base64\n' "$(ratio "$o" "$t")"
rm -f "$work/ours.b64" "$work/theirs.b64" "$work/input.bin"

echo
echo "== Delivery: 20 MB attachment to smtp-sink on 127.0.0.1 (best of $runs)"
port=$(free_port)
sink_user=()
[ "$(id -u)" -eq 0 ] && sink_user=(-u "$(id -un)")
"$sink" "${sink_user[@]}" -c "127.0.0.1:$port" 100 >/dev/null &
sink_pid=$!
wait_port "$port"
head -c 20000000 /dev/urandom >"$work/attachment.bin"
prebuilt_mime "$work/attachment.bin" "$work/prebuilt.eml"
compare "plain SMTP" "--server 127.0.0.1:$port" "smtp://127.0.0.1:$port" ""

echo
echo "== Delivery over TLS: 64 MiB attachment to smtp-sink behind stunnel4 (best of $runs)"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$work/ca.key" \
    -out "$work/ca.pem" -days 1 -subj "/CN=Benchmark CA" -addext "basicConstraints=critical,CA:TRUE" 2>/dev/null
openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$work/server.key" \
    -out "$work/server.csr" -subj "/CN=127.0.0.1" 2>/dev/null
printf 'subjectAltName=IP:127.0.0.1\nextendedKeyUsage=serverAuth\n' >"$work/server.ext"
openssl x509 -req -in "$work/server.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -CAcreateserial \
    -out "$work/server.pem" -days 1 -extfile "$work/server.ext" 2>/dev/null
starttls_port=$(free_port)
tls_port=$(free_port)
cat >"$work/stunnel.conf" <<CONF
foreground = yes
pid =
debug = 3
cert = $work/server.pem
key = $work/server.key
[starttls]
accept = 127.0.0.1:$starttls_port
connect = 127.0.0.1:$port
protocol = smtp
[tls]
accept = 127.0.0.1:$tls_port
connect = 127.0.0.1:$port
CONF
stunnel4 "$work/stunnel.conf" 2>"$work/stunnel.log" &
stunnel_pid=$!
wait_port "$starttls_port"
wait_port "$tls_port"
head -c $((64 * 1024 * 1024)) /dev/urandom >"$work/attachment.bin"
prebuilt_mime "$work/attachment.bin" "$work/prebuilt.eml"
compare "STARTTLS" "--server 127.0.0.1:$starttls_port --tls starttls --cafile $work/ca.pem" \
    "smtp://127.0.0.1:$starttls_port" "--ssl-reqd --cacert $work/ca.pem"
compare "implicit TLS" "--server 127.0.0.1:$tls_port --tls tls --cafile $work/ca.pem" \
    "smtps://127.0.0.1:$tls_port" "--ssl-reqd --cacert $work/ca.pem"
