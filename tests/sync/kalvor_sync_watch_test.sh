#!/usr/bin/env bash
# kalvor-sync keeping clocks right, as a person runs it against kalvor-sim on pseudo-terminal
# pairs: three devices set at the same instant (and two of them when the third is missing), a
# device whose port appears while --every runs, and --every following a change of the local
# time's UTC offset (a daylight-saving rule in TZ that begins a few seconds after the start) and a
# step of the computer's clock (libfaketime, its offset read from a file the test rewrites; the
# monotonic clock is left alone, so the step shows against it). Each extra run must begin within
# 2 s of what caused it, and the device must then show the new time.
#
# usage: kalvor_sync_watch_test.sh native devices|clock SYNC SIM FAKETIME-LIBRARY
#        kalvor_sync_watch_test.sh wine devices|clock SYNC.exe SIM.exe FAKETIME-LIBRARY WINE-PREFIX ARCH
# "devices" runs the first two, "clock" the daylight saving and the step. win64|win32
#
# Under Wine both programs run in the prefix with COM1-3 and COM21-23 mapped to the pairs' ends,
# inside scripts/lib/sandbox; for the clock step the prefix's server runs under libfaketime too,
# since it keeps the time of the waits its programs start.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
mode=$1 part=$2 sync_program=$3 sim_program=$4 faketime_library=$5
if [[ $mode == wine && "${KALVOR_SANDBOX:-}" != 1 ]]; then
    exec "$here/../../scripts/lib/sandbox" "$0" "$@"
fi
# shellcheck source=sync_test_helpers.sh
source "$here/sync_test_helpers.sh"
if [[ $mode == wine ]]; then
    use_wine "$6" "$7"
    # Tried on Debian 12's Wine 8.0: under the i386 libfaketime the 32-bit wineserver stops
    # answering its programs, and without it their clock is not stepped.
    if [[ $7 == win32 && $part == clock ]]; then
        echo "libfaketime cannot step the 32-bit Wine's clock (a faked wineserver32 hangs)"
        exit $KALVOR_WINE_SKIPPED
    fi
fi

# The simulators, and so their arrival times, run on UTC; kalvor-sync gets a zone of its own below.
export TZ=UTC0
links=$(mktemp -d /tmp/kalvor-sync-watch.XXXXXX)
pids=() socats=()
if [[ $mode == wine ]]; then
    kalvor_wine_prefix_ready
    ports=()
    for n in 1 2 3 4; do ports+=("COM$n=$links/pc$n" "COM2$n=$links/dev$n"); done
    kalvor_wine_map_ports "${ports[@]}"
    sync=("$KALVOR_WINE" "$sync_program") sim=("$KALVOR_WINE" "$sim_program")
    computer() { echo "COM$1"; }
    device() { echo "COM2$1"; }
    absent=COM7
else
    sync=("$sync_program") sim=("$sim_program")
    computer() { echo "$links/pc$1"; }
    device() { echo "$links/dev$1"; }
    absent=$links/absent
fi

cleanup() {
    if [[ $mode == wine ]]; then
        kalvor_wine_unmap_ports
    fi
    for pid in "${pids[@]}" "${socats[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$links"
}
trap cleanup EXIT

# pair N: joins the device end devN and the computer end pcN.
pair() {
    kalvor_pty_pair "$links/dev$1" "$links/pc$1"
    socats+=("$kalvor_pty_pid")
}
# sim N OUT [ARGS...]: a simulated device on line N's device end, its JSON lines in OUT.
sim() {
    local n=$1 out=$2
    shift 2
    "${sim[@]}" --port "$(device "$n")" --json "$@" >"$out" 2>&1 &
    pids+=($!)
}
# sequences_seen FILE N SECONDS: waits until the device reported N complete sequences.
sequences_seen() {
    local deadline=$((SECONDS + $3))
    until (($(count_of "$1" '"complete":true') >= $2)); do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}
out=$links/out err=$links/err

# devices: three devices at once, and a port that appears while --every runs.
devices() {
    # --- Three devices, one sequence, the same instant.
    for n in 1 2 3; do pair "$n"; sim "$n" "$links/sim$n" --sequences 1; done
    sleep 1
    "${sync[@]}" --port "$(computer 1)" --port "$(computer 2)" --port "$(computer 3)" >"$out" 2>"$err"
    status=$?
    if [[ $status == 0 && $(count_of "$out" '^set ') == 3 ]]; then pass; else fail "three ports: each is set (status $status)" "$out" "$err"; fi
    arrivals=()
    for n in 1 2 3; do
        finish "${pids[-4+n]}" 10 >/dev/null
        error=$(error_ms "$links/sim$n" 1)
        if within "$error" -$device_within $device_within; then pass; else fail "device $n: a complete sequence within $device_within ms (error $error)" "$links/sim$n"; fi
        arrivals+=("$(arrival "$links/sim$n" '"type":"sequence"')")
    done
    spread=$(printf '%s\n' "${arrivals[@]}" | sort -n | awk 'NR == 1 { first = $1 } END { printf "%d", ($1 - first) * 1000 + 0.5 }')
    echo "three devices: seconds frames $spread ms apart"
    if within "$spread" 0 $together_within; then pass; else fail "the three seconds frames land together (spread $spread ms)"; fi

    # One of them missing: the others are set, the missing one is named, the status says a port failed.
    sim 1 "$links/simA" --sequences 1
    sim 2 "$links/simB" --sequences 1
    sleep 1
    "${sync[@]}" --port "$(computer 1)" --port "$absent" --port "$(computer 2)" >"$out" 2>"$err"
    expect "a missing port among three: exit 1, and it is named" 1 $? "$err" "${absent##*/}: cannot open the port"
    if [[ $(count_of "$out" '^set ') == 2 ]] && until_seen "$links/simA" '"complete":true' 5 &&
        until_seen "$links/simB" '"complete":true' 5; then pass; else
        fail "a missing port among three: the other two are set" "$out" "$links/simA" "$links/simB"
    fi

    # --- A port that appears while --every runs: set within back_within seconds of its appearance.
    # Natively the device's end waits on a pair of its own and the computer's end is joined to it
    # later; under Wine COM4 points at that end, missing until then.
    kalvor_pty_pair "$links/dev4" "$links/mid4"
    socats+=("$kalvor_pty_pid")
    sim 4 "$links/sim4"
    if [[ $mode == wine ]]; then late_port=COM4; else late_port=$links/pc4; fi
    "${sync[@]}" --port "$late_port" --every 1h >"$links/late" 2>"$links/late-err" &
    late_pid=$!
    pids+=($late_pid)
    if until_seen "$links/late-err" "trying it again every" 20; then pass; else fail "--every: a port missing at the start is told once" "$links/late-err"; fi
    sleep 5
    socat pty,raw,echo=0,link="$links/pc4" "file:$(readlink "$links/mid4"),raw,echo=0" &
    socats+=($!)
    for _ in $(seq 100); do [[ -e $links/pc4 ]] && break; sleep 0.01; done
    appeared=$(now)
    if until_seen "$links/sim4" '"complete":true' 10; then
        first=$(seconds_between "$appeared" "$(arrival "$links/sim4" '"name":"year"')")
        last=$(seconds_between "$appeared" "$(arrival "$links/sim4" '"type":"sequence"')")
        echo "port back: first frame after $first s, seconds frame after $last s"
        if at_most "$first" "$back_within"; then pass; else
            fail "--every: the device whose port appeared is set within $back_within s (first frame after $first s)" "$links/sim4"
        fi
    else
        fail "--every: the device whose port appeared is set" "$links/sim4" "$links/late" "$links/late-err"
    fi
    if until_seen "$links/late" '\(port back\)$' 5 && until_seen "$links/late-err" "is back$" 5 &&
        (($(count_of "$links/late-err" "cannot open") <= 1)); then pass; else
        fail "--every: one line when the port goes, one when it is back, and why the device was set" "$links/late" "$links/late-err"
    fi
    kill -INT $late_pid
    finish $late_pid 10 >/dev/null

}

# clock: --every following daylight saving and a step of the clock.
clock() {
    pair 1
    # --- --every following daylight saving and a step of the clock.
    # Central European time, whose daylight saving (another hour) begins on the last Sunday of March
    # at 01:00 UTC. The program's clock is put 8 s before such a beginning with libfaketime; the
    # device runs on UTC, unfaked, so its error shows the program's offset: the clock's own plus the
    # zone's. (Wine 8 reads a zone's rules right only for such dates; TZ rules that begin on any other
    # day, set a few seconds ahead, it gets wrong.)
    zone="CET-1CEST,M3.5.0,M10.5.0/3"
    real_start=$(($(date +%s) + 8))
    offset=$(($(date -d "2027-03-28 01:00:00 UTC" +%s) - real_start))
    offset_file=$links/clock-offset
    printf '%+d\n' "$offset" >"$offset_file"
    faketime_env "$faketime_library" "$offset_file"
    faked+=(TZ="$zone")
    if [[ $mode == wine ]]; then
        # The prefix's server keeps the time of its programs' waits: it runs faked as well.
        kalvor_wine_stop
        "${faked[@]}" "$KALVOR_WINESERVER" -p </dev/null >/dev/null 2>&1
    fi
    sim 1 "$links/simT"
    sleep 1
    "${faked[@]}" "${sync[@]}" --port "$(computer 1)" --every 1h >"$links/watch" 2>"$links/watch-err" &
    watch_pid=$!
    pids+=($watch_pid)
    hour=3600000 shift_ms=$((offset * 1000))
    if sequences_seen "$links/simT" 1 10 && within "$(error_ms "$links/simT" 1)" $((shift_ms + hour - 1000)) $((shift_ms + hour + 1000)); then pass; else
        fail "--every in central European time: the device is set an hour ahead of UTC" "$links/simT" "$links/watch-err"
    fi

    # resynced DESCRIPTION SINCE N HOURS WHY: the N-th sequence came, its first frame within 2 s of
    # SINCE, it leaves the device HOURS ahead of UTC, and the run said WHY.
    resynced() {
        local description=$1 since=$2 n=$3 hours=$4 why=$5 first
        sequences_seen "$links/simT" "$n" 10
        first=$(seconds_between "$since" "$(arrival "$links/simT" '"name":"year"' "$n")")
        echo "$description: the new time's first frame $first s after it"
        local expected=$((shift_ms + hours * hour))
        if at_most "$first" 2.0 && within "$(error_ms "$links/simT" "$n")" $((expected - 1000)) $((expected + 1000)) &&
            until_seen "$links/watch" "$why" 2; then pass; else
            fail "$description: within 2 s the device shows the new hour, and the run says why (first frame after $first s)" \
                "$links/simT" "$links/watch" "$links/watch-err"
        fi
    }
    while (($(date +%s) < real_start)); do sleep 0.01; done
    resynced "daylight saving beginning" "$real_start" 2 2 'UTC offset changed to \+02:00\)$'
    sleep 2
    printf '%+d\n' $((offset + 3600)) >"$offset_file"
    resynced "a step of the clock" "$(now)" 3 3 'clock stepped \+3600\.[0-9] s\)$'
    kill -INT $watch_pid
    finish $watch_pid 10 >/dev/null
    if [[ $mode == wine ]]; then
        kalvor_wine_stop
    fi
}

"$part"
summary
