#!/usr/bin/env bash
# kalvor-sync through a real serial device server: Debian's ser2net, started here in the
# foreground with a configuration of its own, listening on loopback only, bridges an RFC 2217
# accepter and a raw TCP accepter each to a pseudo-terminal, on whose far end kalvor-sim is the
# clock. Three aligned sequences through each must reach the device complete and valid, with a
# median error within 20 ms (each within 100 ms: a loaded machine may delay one). The suite runs
# beside other tests; bench/sync_scale measures the error on a quiet machine.
#
# usage: kalvor_sync_ser2net_test.sh native PATH-TO-kalvor-sync PATH-TO-kalvor-sim
#        kalvor_sync_ser2net_test.sh wine PATH-TO-kalvor-sync.exe PATH-TO-kalvor-sim.exe WINE-PREFIX win64|win32
#
# Under Wine both programs run in the prefix: kalvor-sync.exe reaches ser2net over loopback, and
# kalvor-sim.exe reads the lines as COM21 and COM22, mapped to the pairs' device ends; all inside
# scripts/lib/sandbox, where no real serial device exists.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
# shellcheck source=sync_test_helpers.sh
source "$here/sync_test_helpers.sh"
begin_program_test "$@"
if ! command -v ser2net >/dev/null; then
    echo "ser2net is not installed (scripts/bootstrap installs it)"
    exit 1
fi

work=$(mktemp -d /tmp/kalvor-sync-ser2net.XXXXXX)
pids=() socats=() ser2net_pid=
cleanup() {
    if [[ $mode == wine ]]; then kalvor_wine_unmap_ports; fi
    for pid in "${pids[@]}" $ser2net_pid "${socats[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Two lines: rfc2217 and raw, each a pair whose "pc" end ser2net holds and whose "dev" end the
# simulated clock reads.
for line in rfc2217 raw; do
    kalvor_pty_pair "$work/$line-dev" "$work/$line-pc"
    socats+=($kalvor_pty_pid)
done
if [[ $mode == wine ]]; then
    kalvor_wine_prefix_ready
    kalvor_wine_map_ports "COM21=$work/rfc2217-dev" "COM22=$work/raw-dev"
    sync=("$KALVOR_WINE" "$sync_program") sim=("$KALVOR_WINE" "$sim_program")
    device_end() { [[ $1 == rfc2217 ]] && echo COM21 || echo COM22; }
else
    sync=("$sync_program") sim=("$sim_program")
    device_end() { echo "$work/$1-dev"; }
fi

# ser2net on two free loopback ports: a port is picked at random and taken only when ser2net
# listens on it (another program may hold it: then the next is tried).
listening_on() { ss -Hltn "( sport = :$1 )" | grep -q .; }
for _ in $(seq 20); do
    base=$((20000 + RANDOM % 40000))
    listening_on $base || listening_on $((base + 1)) || {
        # The configuration, as a site writes it in /etc/ser2net.yaml (YAML, ser2net 4).
        cat >"$work/ser2net.yaml" <<YAML
%YAML 1.1
---
connection: &clock-rfc2217
    accepter: telnet(rfc2217),tcp,127.0.0.1,$base
    connector: serialdev,$(readlink "$work/rfc2217-pc"),9600n81,local
connection: &clock-raw
    accepter: tcp,127.0.0.1,$((base + 1))
    connector: serialdev,$(readlink "$work/raw-pc"),9600n81,local
YAML
        # -n foreground, -u no device locks (the test's own pseudo-terminals), -P its pid file.
        ser2net -n -u -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >"$work/ser2net.log" 2>&1 &
        ser2net_pid=$!
        for _ in $(seq 50); do
            listening_on $base && listening_on $((base + 1)) && break 2
            sleep 0.1
        done
        kill $ser2net_pid 2>/dev/null
        wait $ser2net_pid 2>/dev/null
        ser2net_pid=
    }
done
if [[ -z $ser2net_pid ]]; then
    fail "ser2net listens on two loopback ports" "$work/ser2net.log"
    summary
    exit 1
fi
pass

# through LINE URL: three aligned syncs to URL, read by the simulated clock on LINE's device end.
through() {
    local line=$1 url=$2
    "${sim[@]}" --port "$(device_end "$line")" --json --line-time --sequences 3 >"$work/sim-$line" 2>&1 &
    local sim_pid=$!
    pids+=($sim_pid)
    # ser2net opens the line only for a client; until then the simulator's start is waited for.
    sleep 2
    local run status
    for run in 1 2 3; do
        "${sync[@]}" --port "$url" >"$work/out-$line" 2>"$work/err-$line"
        status=$?
        if [[ $status == 0 ]] && tr -d '\r' <"$work/out-$line" | grep -q "^set $url to "; then pass; else
            fail "through ser2net ($line), run $run: kalvor-sync sets the device (status $status)" \
                "$work/out-$line" "$work/err-$line" "$work/ser2net.log"
        fi
    done
    finish $sim_pid 10 >/dev/null
    local errors
    mapfile -t errors < <(tr -d '\r' <"$work/sim-$line" | grep '"type":"sequence".*"complete":true' |
        sed -E 's/.*"error_ms":(-?[0-9]+).*/\1/')
    echo "through ser2net ($line): errors ${errors[*]} ms"
    if ((${#errors[@]} == 3)) && within "${errors[0]}" -$device_within $device_within &&
        within "${errors[1]}" -$device_within $device_within && within "${errors[2]}" -$device_within $device_within; then pass; else
        fail "through ser2net ($line): three complete, valid sequences, each within $device_within ms (errors: ${errors[*]})" "$work/sim-$line"
    fi
    if [[ $(count_of "$work/sim-$line" '"status":"rejected"') == 0 ]]; then pass; else
        fail "through ser2net ($line): no byte of Telnet reaches the line" "$work/sim-$line"
    fi
}
through rfc2217 "rfc2217://127.0.0.1:$base"
through raw "tcp://127.0.0.1:$((base + 1))"

summary
