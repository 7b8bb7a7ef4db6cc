#!/usr/bin/env bash
# kalvor-sim as a person runs it: the example sequence from standard input and from a raw capture,
# and the exit status of each kind of failure.
# usage: kalvor_sim_cli_test.sh PATH-TO-kalvor-sim
set -uo pipefail
sim=$1
failures=0
check() { # check DESCRIPTION EXPECTED-STATUS ACTUAL-STATUS OUTPUT PATTERN
    if [[ $3 != "$2" ]] || ! grep -qE -- "$5" <<<"$4"; then
        echo "FAIL: $1 (status $3, expected $2; output:)"
        echo "$4"
        failures=$((failures + 1))
    fi
}

example='F6 01 16 F2
F6 02 04 03
F6 03 12 F4
F6 04 02 03
F6 05 09 FB
F6 06 05 FE
F6 07 30 D2'

output=$("$sim" --hex - <<<"$example" 2>&1)
check "hex text from standard input" 0 $? "$output" \
    'sequence complete: device clock 2016-04-12 09:05:30.000 Tuesday, error -?[0-9]+ ms'

capture=$(mktemp)
trap 'rm -f "$capture"' EXIT
# The same bytes, raw: each pair of hex digits becomes a \xHH escape for printf.
printf "$(tr -d ' \n' <<<"$example" | sed 's/../\\x&/g')" >"$capture"
output=$("$sim" --replay "$capture" --json 2>&1)
check "raw capture as JSON" 0 $? "$output" '"type":"sequence".*"complete":true.*"device":"2016-04-12T09:05:30.000"'

output=$("$sim" --replay /no/such/capture 2>&1)
check "a capture that is not there" 1 $? "$output" 'cannot open /no/such/capture'
output=$("$sim" --port /no/such/tty 2>&1)
check "a port that is not there" 1 $? "$output" '^kalvor-sim: /no/such/tty: cannot open the port: No such file'

# A real line: the simulator on one end of a pseudo-terminal pair, the example written to the other.
ptys=$(mktemp -d)
# shellcheck source=../../scripts/lib/pty-pair
source "$(dirname "$0")/../../scripts/lib/pty-pair"
kalvor_pty_pair "$ptys/device" "$ptys/computer"
socat=$kalvor_pty_pid
trap 'rm -f "$capture"; kill $socat 2>/dev/null; rm -rf "$ptys"' EXIT
"$sim" --port "$ptys/device" --json --sequences 1 >"$ptys/out" 2>&1 &
sim_pid=$!
sleep 0.5
while read -r frame; do
    printf "$(tr -d ' ' <<<"$frame" | sed 's/../\\x&/g')" >"$ptys/computer"
    sleep 0.2
done <<<"$example"
for _ in $(seq 50); do kill -0 $sim_pid 2>/dev/null || break; sleep 0.1; done
kill $sim_pid 2>/dev/null
wait $sim_pid
output=$(cat "$ptys/out")
check "a sequence on a pseudo-terminal" 0 $? "$output" \
    '"type":"sequence".*"complete":true.*"device":"2016-04-12T09:05:30.000"'
output=$("$sim" 2>&1)
check "no input" 2 $? "$output" 'give one input'
output=$("$sim" --help 2>&1)
check "--help" 0 $? "$output" '"error_ms"'
output=$("$sim" --version 2>&1)
check "--version" 0 $? "$output" '^kalvor-sim [0-9]+\.[0-9]+'

echo "$((8 - failures)) passed, $failures failed"
((failures == 0))
