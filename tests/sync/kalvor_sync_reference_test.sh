#!/usr/bin/env bash
# kalvor-sync with a time reference of its own, against chrony on loopback: the device gets true
# time whatever the computer's clock says, the status and the metrics tell the reference, a step
# of the computer's clock moves nothing, and a reference that has no time holds --require-synced
# back at once (or, without it, leaves the devices the computer's time, told).
#
# usage: kalvor_sync_reference_test.sh native SYNC SIM FAKETIME-LIBRARY
#        kalvor_sync_reference_test.sh wine SYNC.exe SIM.exe WINE-PREFIX ARCH
#
# Run inside reference/ntp-fixture, which gives KALVOR_NTP_CHRONY (chrony, on true time natively,
# where libfaketime puts the program's clock an hour behind; 37 s ahead under Wine, where
# libfaketime cannot go and the simulated device, on the real clock, shows the difference) and
# KALVOR_NTP_UNSYNCED (a server that has no time yet).
set -uo pipefail
here=$(dirname "$(realpath "$0")")
# shellcheck source=sync_test_helpers.sh
source "$here/sync_test_helpers.sh"
wine_in_sandbox "$@"
if [[ $1 == native ]]; then
    faketime_library=$4
    begin_program_test native "$2" "$3"
    offset_file=$(mktemp)
    echo -3600 >"$offset_file"
    faketime_env "$faketime_library" "$offset_file"
    truth_ms=0 computer_s=-3600
else
    begin_program_test wine "$2" "$3" "$4" "$5"
    faked=() truth_ms=37000 computer_s=-37
fi
begin_line_test sync-reference
start_line

# --- The device gets the reference's time; the status and the metrics say how the reference is.
"${sim[@]}" --port "$device_end" --json --sequences 1 >"$links/sim" 2>&1 &
pids+=($!)
until_listening "$links/sim" 30 || fail "the simulator reads the line within 30 s" "$links/sim"
"${faked[@]}" "${sync[@]}" --port "$computer_end" --ntp-server "$KALVOR_NTP_CHRONY" \
    --status-file "$links/status.json" --metrics-file "$links/metrics.prom" >"$links/out" 2>"$links/err"
expect "a run with a reference exits 0 and tells the device set by it" 0 $? "$links/out" \
    '^set .* by the time reference \(error bound [0-9.]+ ms\)$'
sleep 0.5
error=$(error_ms "$links/sim" 1)
echo "the device's error against true time: $((error - truth_ms)) ms (the computer's clock ${computer_s} s off)"
if within "$error" $((truth_ms - device_within)) $((truth_ms + device_within)); then pass; else
    fail "the device is within $device_within ms of the reference's time, whatever the computer's clock says" "$links/sim" "$links/err"
fi
if jq -e --argjson off "$computer_s" '.reference.state == "synced" and
        (.reference.computer_offset_seconds - $off | fabs) < 1 and
        .reference.servers[0].reachable and .reference.error_bound_seconds < 0.1' \
    "$links/status.json" >/dev/null &&
    grep -qE '^kalvor_sync_reference_state\{device="[^"]+",state="synced"\} 1$' "$links/metrics.prom"; then
    pass
else
    fail "the status and the metrics tell the reference synced and the computer's offset" \
        "$links/status.json" "$links/metrics.prom"
fi

# --- A server that has no time: --require-synced refuses at once; otherwise the computer's time.
started=$(now)
"${sync[@]}" --port "$computer_end" --ntp-server "$KALVOR_NTP_UNSYNCED" --require-synced \
    >"$links/out" 2>"$links/err"
status=$? took=$(seconds_between "$started" "$(now)")
echo "--require-synced with an unsynchronised server: exit $status after $took s"
at_most "$took" 5 || status="$status after $took s"
expect "--require-synced with an unsynchronised server exits 4 within 5 s, saying why" 4 "$status" \
    "$links/err" 'not setting any device \(--require-synced\): the time reference is unsynchronised: .*server unsynchronised'
"${sim[@]}" --port "$device_end" --json --sequences 1 >"$links/sim2" 2>&1 &
pids+=($!)
until_listening "$links/sim2" 30 || fail "the simulator reads the line again within 30 s" "$links/sim2"
"${sync[@]}" --port "$computer_end" --ntp-server "$KALVOR_NTP_UNSYNCED" >"$links/out" 2>"$links/err"
expect "without --require-synced the device gets the computer's time, and the user is told" 0 $? \
    "$links/out" '^set .* by the computer.s clock \(no reference time\)$'
expect "... the warning names the reference's state" 0 0 "$links/err" \
    'warning: the time reference is unsynchronised: .*; the devices are set to the computer.s time'

# --- Following, the computer's clock steps 5 s: the devices keep the reference's time, untouched.
if [[ $mode == native ]]; then
    "${sim[@]}" --port "$device_end" --json >"$links/sim3" 2>&1 &
    pids+=($!)
    until_listening "$links/sim3" 30 || fail "the simulator reads the line for --every" "$links/sim3"
    "${faked[@]}" "${sync[@]}" --port "$computer_end" --ntp-server "$KALVOR_NTP_CHRONY" --every 1h \
        >"$links/every" 2>"$links/every-err" &
    every_pid=$!
    pids+=($every_pid)
    until_seen "$links/every" '^set ' 15 || fail "--every with a reference sets the device" "$links/every-err"
    echo -3595 >"$offset_file"
    sleep 3
    if [[ $(count_of "$links/every" '^set ') == 1 ]]; then pass; else
        fail "a step of the computer's clock does not set the device again" "$links/every"
    fi
    kill -INT $every_pid
    finish $every_pid 10 >/dev/null
    rm -f "$offset_file"
fi

summary
