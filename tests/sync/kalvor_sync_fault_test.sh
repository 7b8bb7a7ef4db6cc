#!/usr/bin/env bash
# kalvor-sync against the faults of a real line: the device vanishing in the middle of a
# sequence, a device that floods the line during a sync, and --every through CYCLES returns of
# an unplugged line. Asserts what a user relies on: a failure ends the run plainly and at once,
# a flood changes nothing, and every return of the line sets the device again.
#
# usage: kalvor_sync_fault_test.sh native PATH-TO-kalvor-sync PATH-TO-kalvor-sim CYCLES
#        kalvor_sync_fault_test.sh wine PATH-TO-kalvor-sync.exe PATH-TO-kalvor-sim.exe CYCLES WINE-PREFIX win64|win32
#
# The line is a socat pair as in kalvor_sync_cli_test.sh: natively its ends are device paths,
# under Wine COM1 (the computer) and COM21 (the device), mapped to socat's links so that a pair
# started again is the same port again. Runs inside scripts/sandbox under Wine.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
# shellcheck source=sync_test_helpers.sh
source "$here/sync_test_helpers.sh"
wine_in_sandbox "$@" # with CYCLES, which begin_program_test does not take
cycles=$4
begin_program_test "$1" "$2" "$3" "${@:5}"
begin_line_test sync-faults

# The device end floods the line at its full rate, 960 bytes/s of random bytes, until stopped.
start_flood() {
    (
        exec 3>"$links/dev"
        while :; do
            head -c 96 /dev/urandom >&3 || exit 0
            sleep 0.1
        done
    ) &
    flood_pid=$!
    pids+=($flood_pid)
}
stop_flood() {
    kill "$flood_pid" 2>/dev/null
    wait "$flood_pid" 2>/dev/null
    flood_pid=
}
# --- The device vanishes after two frames: exit 3 at once, and stderr says what failed.
start_line
"${sim[@]}" --port "$device_end" --json >"$links/sim-vanish" 2>&1 &
pids+=($!)
until_listening "$links/sim-vanish" 30 || fail "the simulator reads the line within 30 s" "$links/sim-vanish"
"${sync[@]}" --port "$computer_end" --no-align --verbose >"$links/vanish" 2>"$links/vanish-err" &
sync_pid=$!
if until_seen "$links/vanish" ' month$' 10; then
    stop_line
    start=$SECONDS
    finish $sync_pid 10
    status=$?
    if [[ $status == 3 ]] && ((SECONDS - start <= 5)); then pass; else
        fail "the device vanishing mid-sequence ends the run with 3 within 5 s (status $status)" \
            "$links/vanish" "$links/vanish-err"
    fi
    if tr -d '\r' <"$links/vanish-err" | grep -qE "^kalvor-sync: .*(pc|COM1).*: (cannot write to the port|writing to the port failed): .+"; then
        pass
    else
        fail "the lost line is told on stderr, naming the port and the system's reason" "$links/vanish-err"
    fi
    if [[ $(tr -d '\r' <"$links/vanish-err" | grep -c 'write') -le 1 ]]; then pass; else
        fail "the lost line is told once, not once per frame" "$links/vanish-err"
    fi
else
    fail "the sync of the vanish test started" "$links/vanish" "$links/vanish-err"
    kill $sync_pid 2>/dev/null
    stop_line
fi

# --- A device that floods the line during aligned syncs: each completes as accurately as ever.
start_line
"${sim[@]}" --port "$device_end" --json --sequences 2 >"$links/sim-flood" 2>&1 &
sim_pid=$!
pids+=($sim_pid)
until_listening "$links/sim-flood" 30 || fail "the simulator reads the line within 30 s" "$links/sim-flood"
start_flood
for run in 1 2; do
    "${sync[@]}" --port "$computer_end" >"$links/flood-$run" 2>&1
    status=$?
    if [[ $status == 0 ]]; then pass; else
        fail "sync $run against a flooding device exits 0 (status $status)" "$links/flood-$run"
    fi
done
finish $sim_pid 10
stop_flood
for run in 1 2; do
    error=$(error_ms "$links/sim-flood" $run)
    if within "$error" -100 100; then pass; else
        fail "sync $run against a flooding device sets it within 100 ms (error ${error:-none} ms)" \
            "$links/sim-flood"
    fi
done
stop_line

# --- --every through CYCLES unplugs: after each return of the line, the device is set again.
start_line
"${sync[@]}" --port "$computer_end" --every 1s --no-align >"$links/every" 2>"$links/every-err" &
every_pid=$!
pids+=($every_pid)
returns_set=0
for cycle in $(seq "$cycles"); do
    "${sim[@]}" --port "$device_end" --json --sequences 1 >"$links/sim-$cycle" 2>&1 &
    sim_pid=$!
    if finish $sim_pid 20 && grep -q '"complete":true' "$links/sim-$cycle"; then
        returns_set=$((returns_set + 1))
    else
        fail "--every: the device is set after return $((cycle - 1)) of the line" \
            "$links/sim-$cycle" "$links/every-err"
    fi
    stop_line
    sleep 1
    start_line
done
if ((returns_set == cycles)); then pass; fi
if kill -0 $every_pid 2>/dev/null; then pass; else
    fail "--every is still running after $cycles unplugs" "$links/every-err"
fi
kill -INT $every_pid
finish $every_pid 10
status=$?
if [[ $status == 0 || $status == 130 ]]; then pass; else
    fail "--every ends on Ctrl-C after the unplugs (status $status)" "$links/every-err"
fi
echo "--every: the device was set after $returns_set of $cycles returns of the line"

summary
