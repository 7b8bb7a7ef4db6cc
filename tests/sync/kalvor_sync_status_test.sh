#!/usr/bin/env bash
# kalvor-sync's status file and metrics as monitoring reads them: after a success, after a
# failure (the history and counts carried on from one single run to the next), with a file that
# cannot be written, and through --every with a port that goes away and comes back, while a
# reader reads both files in a loop and must never find half of one.
#
# usage: kalvor_sync_status_test.sh native PATH-TO-kalvor-sync PATH-TO-kalvor-sim
#        kalvor_sync_status_test.sh wine PATH-TO-kalvor-sync.exe PATH-TO-kalvor-sim.exe WINE-PREFIX win64|win32
#
# Under Wine the pair's ends are COM1 and COM21 and the files are named by their Z: paths. A
# Windows reader may find no file to open for an instant while it is replaced (it reads again);
# a reader here, outside Wine, must always find a whole one.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
# shellcheck source=sync_test_helpers.sh
source "$here/sync_test_helpers.sh"
begin_program_test "$@"

begin_line_test status-test
if [[ $mode == wine ]]; then
    name=COM1 absent_name=COM7
    as_given() { echo "Z:$1"; }
else
    name=$computer_end absent_name=$absent_port
    as_given() { echo "$1"; }
fi

status=$links/status.json metrics=$links/kalvor-sync.prom
files=(--status-file "$(as_given "$status")" --metrics-file "$(as_given "$metrics")")
out=$links/out err=$links/err

# check DESCRIPTION JQ-FILTER: the status file passes the filter.
check() {
    if jq -e "$2" "$status" >/dev/null 2>&1; then pass; else fail "$1" "$status"; fi
}
# metric LINE-PATTERN: a line of the metrics file matches.
metric() {
    if grep -qE "^$1\$" "$metrics"; then pass; else fail "metrics: $1" "$metrics"; fi
}
now() { date +%s.%N; }

start_line
"${sim[@]}" --port "$device_end" --json >"$links/sim" 2>&1 &
pids+=($!)
until_listening "$links/sim" 30 || fail "the simulator reads the line within 30 s" "$links/sim"

# --- A success: every field of the document, and the metrics that say the same.
before=$(now)
"${sync[@]}" --port "$computer_end" "${files[@]}" >"$out" 2>"$err"
expect "a sync with status and metrics files exits 0" 0 $? "$out" '^set '
after=$(now)
check "the status is kalvor-sync's, of this version, stopped with exit status 0" '
    .program == "kalvor-sync" and (.version | test("^[0-9]+\\.[0-9]+")) and
    .state == "stopped" and .exit_status == 0 and .every_seconds == null'
check "the device is named as given, set once, at the start, with no error" "
    (.devices | length) == 1 and .devices[0].name == \"$name\" and
    .devices[0].outcome == \"set\" and .devices[0].successes == 1 and
    .devices[0].failures == 0 and .devices[0].last_error == null and
    .devices[0].last_reason == \"start\" and .devices[0].last_failure == null"
check "the last success and attempt are this run's, in UTC seconds and local time with offset" "
    .devices[0].last_success.utc_seconds >= $before - 1 and
    .devices[0].last_success.utc_seconds <= $after + 1 and
    .devices[0].last_attempt == .devices[0].last_success and
    (.devices[0].last_success.local | test(\"^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}\\\\.[0-9]{3}[+-][0-9]{2}:[0-9]{2}\$\"))"
check "the computer's clock is told in a state word and one reason" '
    (.clock.state | IN("synchronised", "not synchronised", "unknown")) and
    (.clock.reason | length) > 0'
success=$(jq '.devices[0].last_success.utc_seconds' "$status")
metric "kalvor_sync_last_success_timestamp_seconds\\{device=\"${name//\//\\/}\"\\} $success"
metric "kalvor_sync_sequences_total\\{device=\"${name//\//\\/}\",outcome=\"success\"\\} 1"
metric "kalvor_sync_sequences_total\\{device=\"${name//\//\\/}\",outcome=\"failure\"\\} 0"
metric "kalvor_sync_clock_synchronized\\{device=\"${name//\//\\/}\"\\} [01]"
metric "kalvor_sync_running\\{device=\"${name//\//\\/}\"\\} 0"
metric '# TYPE kalvor_sync_sequences_total counter'

# --- A failure: the next single run carries the success and the counts on.
"${sync[@]}" --port "$computer_end" --port "$absent_port" "${files[@]}" >"$out" 2>"$err"
expect "a run with an absent port exits 1" 1 $? "$err" 'cannot open the port'
check "the device set before keeps its history, one more success" "
    .devices[0].name == \"$name\" and .devices[0].successes == 2 and
    .devices[0].failures == 0 and .devices[0].last_success.utc_seconds > $success"
check "the absent port is a failure in words, never set" "
    .devices[1].name == \"$absent_name\" and .devices[1].outcome == \"not opened\" and
    .devices[1].failures == 1 and .devices[1].last_success == null and
    (.devices[1].last_error | test(\"cannot open the port: .+\")) and
    .devices[1].last_failure == .devices[1].last_attempt and .exit_status == 1"
"${sync[@]}" --port "$absent_port" "${files[@]}" >"$out" 2>"$err"
check "a third run counts on, and the first device's history waits in no file now" "
    (.devices | length) == 1 and .devices[0].failures == 2 and .devices[0].successes == 0"
metric "kalvor_sync_sequences_total\\{device=\"${absent_name//\//\\/}\",outcome=\"failure\"\\} 2"

# --- A file that cannot be written: one warning, and the device is set all the same.
"${sync[@]}" --port "$computer_end" --status-file "$(as_given "$links/no/such/folder/status.json")" \
    >"$out" 2>"$err"
expect "an unwritable status file does not stop the sync" 0 $? "$out" '^set '
if [[ $(count_of "$err" 'warning: cannot write .*status\.json\.tmp') == 1 ]]; then pass; else
    fail "an unwritable status file is one warning" "$err"
fi

# --- Clocks on the network, each named by its URL: one set through raw TCP, one that nobody
# listens on (its simulator has ended).
rm -f "$status" "$metrics"
start_network_sim "$links/gone" 1 --port tcp://127.0.0.1:0
refused=$(listening_urls "$links/gone")
kill "$net_sim_pid"
wait "$net_sim_pid" 2>/dev/null
start_network_sim "$links/net" 1 --port tcp://127.0.0.1:0 --sequences 1
reached=$(listening_urls "$links/net")
"${sync[@]}" --port "$reached" --port "$refused" "${files[@]}" >"$out" 2>"$err"
expect "a reached and a refused network device: exit 1" 1 $? "$out" "^set ${reached//./\\.} to "
check "each network device is named by its URL, with its outcome and the refusal in words" "
    .devices[0].name == \"$reached\" and .devices[0].outcome == \"set\" and
    .devices[1].name == \"$refused\" and .devices[1].outcome == \"not opened\" and
    (.devices[1].last_error | test(\"cannot connect to 127\\\\.0\\\\.0\\\\.1:[0-9]+: .+\"))"
metric "kalvor_sync_sequences_total\\{device=\"${reached//\//\\/}\",outcome=\"success\"\\} 1"
metric "kalvor_sync_sequences_total\\{device=\"${refused//\//\\/}\",outcome=\"failure\"\\} 1"

# --- --every through a line that goes away and comes back, the files read in a loop throughout.
rm -f "$status" "$metrics"
# Every 2 s: a line that goes away is seen by the next sequence.
"${sync[@]}" --port "$computer_end" --every 2s "${files[@]}" >"$links/every" 2>"$links/every-err" &
every_pid=$!
pids+=($every_pid)
until_seen "$links/every" '^set ' 30
(
    reads=0 broken=0 missing=0
    while kill -0 "$every_pid" 2>/dev/null; do
        for file in "$status" "$metrics"; do
            if ! cp "$file" "$links/read" 2>/dev/null; then
                missing=$((missing + 1))
            elif [[ $file == "$status" ]] && ! jq -e '.devices' "$links/read" >/dev/null 2>&1; then
                broken=$((broken + 1)) && cp "$links/read" "$links/broken"
            elif [[ $file == "$metrics" ]] && [[ $(tail -n 1 "$links/read") != kalvor_sync_counts_since_timestamp_seconds* ]]; then
                broken=$((broken + 1)) && cp "$links/read" "$links/broken"
            fi
            reads=$((reads + 1))
        done
    done
    echo "$reads $broken $missing" >"$links/reader"
) &
reader_pid=$!
check "following, the status says running, every 2 s, the device set" '
    .state == "running" and .every_seconds == 2 and .devices[0].outcome == "set" and
    (.devices[0].last_reason | IN("start", "period"))'
stop_line
if until_seen "$links/every-err" "trying it again every" 20 &&
    until_seen "$status" '"outcome": "(not opened|send failed)"' 5; then pass; else
    fail "--every: the line that went away is a failure in the status" "$links/every-err" "$status"
fi
check "the failure is told with its error, the last success kept" '
    .devices[0].failures >= 1 and (.devices[0].last_error | length) > 0 and
    .devices[0].last_success != null and .state == "running"'
start_line
"${sim[@]}" --port "$device_end" --json >"$links/sim2" 2>&1 &
pids+=($!)
if until_seen "$links/every-err" "is back$" 30 && until_seen "$status" '"last_reason": "port back"' 5; then pass; else
    fail "--every: the device set again once the line is back, for the reason port back" "$status" "$links/every-err"
fi
check "back: set again, the successes and failures counted (the sequences, not the tries)" '
    .devices[0].outcome == "set" and .devices[0].successes >= 2 and
    .devices[0].failures >= 1 and .devices[0].failures <= 10'
metric "kalvor_sync_last_attempt_succeeded\\{device=\"${name//\//\\/}\"\\} 1"
# Stopped with Ctrl-C, between two sequences (0) or, every 2 s, as likely in one (130).
kill -INT $every_pid
finish $every_pid 10
stopped=$?
if [[ $stopped == 0 || $stopped == 130 ]]; then pass; else
    fail "--every stopped with Ctrl-C exits 0 or 130 (status $stopped)" "$links/every-err"
fi
check "the status says stopped at the end, with the exit status" ".state == \"stopped\" and .exit_status == $stopped"
wait $reader_pid
read -r reads broken missing <"$links/reader"
echo "the reader read the files $reads times: $broken broken, $missing not there"
if ((reads > 5 && broken == 0 && missing == 0)); then pass; else
    fail "a reader in a loop always finds a whole file ($reads reads, $broken broken, $missing not there)" \
        "$links/broken"
fi

summary
