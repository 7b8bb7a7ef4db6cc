# shellcheck shell=bash
# Sourced by the shell tests of kalvor-sync: counting checks, waiting for what a program writes,
# and reading what the simulated device reported.

# use_wine PREFIX ARCH: the environment of the build tree's Wine prefix for the architecture
# (scripts/lib/wine-env); where this machine cannot run that Wine, the test ends as skipped.
use_wine() {
    # shellcheck source=../../scripts/lib/wine-env
    source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/wine-env"
    kalvor_wine_env "$1" "$2"
    if kalvor_wine_unavailable; then
        exit $KALVOR_WINE_SKIPPED
    fi
}

# shellcheck source=../../scripts/lib/pty-pair
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/pty-pair"

# wine_in_sandbox ARGS...: a test whose first argument is "wine" runs inside scripts/lib/sandbox,
# where no real serial device exists: it is started again there, unless it is there already.
wine_in_sandbox() {
    if [[ $1 == wine && "${KALVOR_SANDBOX:-}" != 1 ]]; then
        exec "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/sandbox" "$0" "$@"
    fi
}

# begin_program_test native|wine SYNC SIM [WINE-PREFIX ARCH]: what a test of the two programs
# starts with: sets mode, sync_program and sim_program; under Wine it runs in the sandbox, with
# the prefix's environment (or ends as skipped where this machine cannot run that Wine).
begin_program_test() {
    wine_in_sandbox "$@"
    mode=$1 sync_program=$2 sim_program=$3
    if [[ $mode == wine ]]; then
        use_wine "$4" "$5"
    fi
}

# begin_line_test NAME: a test of the two programs on a pseudo-terminal pair, after
# begin_program_test. Makes $links (/tmp/kalvor-NAME.*), and sets sync and sim as this mode runs
# the programs, computer_end and device_end (the pair's ends: COM1 and COM21 under Wine, where
# they are mapped here) and absent_port, a port that is not there. At exit, the processes in
# pids and the pair (socat_pid) are ended and $links goes.
begin_line_test() {
    links=$(mktemp -d "/tmp/kalvor-$1.XXXXXX")
    socat_pid= pids=()
    if [[ $mode == wine ]]; then
        kalvor_wine_prefix_ready
        kalvor_wine_map_ports "COM1=$links/pc" "COM21=$links/dev"
        # A server kept up between the test's runs: one left to end by itself 3 s after a run
        # can be ending just as the next run connects, which then fails ("recvmsg: connection
        # reset"). end_line_test stops it.
        "$KALVOR_WINESERVER" -p
        sync=("$KALVOR_WINE" "$sync_program") sim=("$KALVOR_WINE" "$sim_program")
        computer_end=COM1 device_end=COM21 absent_port=COM7
    else
        sync=("$sync_program") sim=("$sim_program")
        computer_end=$links/pc device_end=$links/dev absent_port=$links/absent
    fi
    trap end_line_test EXIT
}
end_line_test() {
    # Wine first: its server holds the pseudo-terminal as its controlling terminal, and would
    # dump its objects on the hang-up when socat ends.
    if [[ $mode == wine ]]; then
        kalvor_wine_unmap_ports
    fi
    for pid in "${pids[@]}" $socat_pid; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$links"
}

passed=0 failed=0
pass() { passed=$((passed + 1)); }
# fail DESCRIPTION [FILE...]: one failed check, with the files that show why.
fail() {
    echo "FAIL: $1"
    shift
    for file in "$@"; do echo "--- $file:" && tr -d '\r' <"$file"; done
    failed=$((failed + 1))
}
# expect DESCRIPTION EXPECTED-STATUS ACTUAL-STATUS FILE PATTERN
expect() {
    if [[ $3 == "$2" ]] && tr -d '\r' <"$4" | LC_ALL=C grep -qE -- "$5"; then pass; else fail "$1 (status $3, expected $2)" "$4"; fi
}
# until_seen FILE PATTERN SECONDS: waits for a line of FILE to match; false when time runs out.
until_seen() {
    local deadline=$((SECONDS + $3))
    until tr -d '\r' 2>/dev/null <"$1" | LC_ALL=C grep -qE -- "$2"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}
# count_of FILE PATTERN: how many lines of FILE match.
count_of() {
    tr -d '\r' 2>/dev/null <"$1" | LC_ALL=C grep -cE -- "$2"
}
# finish PID SECONDS: the exit status of a program started in the background, once it has ended;
# one that is still running after SECONDS is killed and counts as 124.
finish() {
    local deadline=$((SECONDS + $2))
    while kill -0 "$1" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
    if kill -0 "$1" 2>/dev/null; then
        kill -9 "$1" 2>/dev/null
        wait "$1" 2>/dev/null
        return 124
    fi
    wait "$1"
}
# error_ms FILE N: the device error of the N-th complete sequence the simulator reported.
error_ms() {
    tr -d '\r' <"$1" | grep '"type":"sequence".*"complete":true' | sed -n "$2p" |
        sed -E 's/.*"error_ms":(-?[0-9]+).*/\1/'
}
within() { [[ -n $1 ]] && (($1 >= $2 && $1 <= $3)); }
# faketime_env LIBRARY OFFSET-FILE: the command prefix, in faked, that runs a program on the clock
# OFFSET-FILE gives (libfaketime, re-read at every call; waits keep the real monotonic clock).
# libfaketime comes before a sanitizer's run-time, which is harmless here; its own static buffers
# race when two threads read the time, which ThreadSanitizer is told to pass over.
faketime_env() {
    faked=(env LD_PRELOAD="$1" FAKETIME_TIMESTAMP_FILE="$2" FAKETIME_NO_CACHE=1
        FAKETIME_DONT_FAKE_MONOTONIC=1
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
        TSAN_OPTIONS="${TSAN_OPTIONS:+$TSAN_OPTIONS:}suppressions=$here/libfaketime.tsan")
}
# now: the computer's clock, in seconds with decimals.
now() { date +%s.%N; }
# arrival FILE PATTERN [N]: when the N-th line (the first by default) that matches arrived, in
# seconds since 1970; the simulators run on UTC.
arrival() {
    local stamp
    stamp=$(tr -d '\r' <"$1" | grep -E -- "$2" | sed -n "${3:-1}p" | sed -E 's/.*"arrival":"([^"]+)".*/\1/')
    [[ -n $stamp ]] && date -d "${stamp/T/ } UTC" +%s.%N
}
# seconds_between A B: B - A, to the millisecond.
seconds_between() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
# How soon a device that comes back is set, in seconds: kalvor-sync tries it again each second,
# and its sequence then waits for a second of its own, so 2 s at most on a quiet machine; the third
# is for a machine that runs the whole suite side by side (bench/sync_watch has the quiet figures).
back_within=3
# How near its mark a device's error must be, in ms: under half a frame slot (200 ms), so that a
# frame early or late fails, with room for a machine that runs the whole suite side by side. The
# quiet machine's figures, a few ms, are the benchmarks' (bench/).
device_within=100
# How near together the seconds frames of devices set at one instant land, in ms: a device a frame
# late would be 200 ms off the others (the i686 watch test beside the whole suite saw 80 ms).
together_within=150
at_most() { [[ -n $1 ]] && awk -v v="$1" -v limit="$2" 'BEGIN { exit !(v <= limit) }'; }
# start_network_sim OUT COUNT ARGS...: kalvor-sim as COUNT network devices (ARGS say where), its
# JSON lines in OUT, its pid in net_sim_pid; waits until all of them listen.
start_network_sim() {
    local out=$1 count=$2 deadline=$((SECONDS + 30))
    shift 2
    "${sim[@]}" --json "$@" >"$out" 2>&1 &
    net_sim_pid=$!
    pids+=($net_sim_pid)
    until (($(count_of "$out" '"type":"listening"') >= count)); do
        if ((SECONDS >= deadline)) || ! kill -0 $net_sim_pid 2>/dev/null; then
            fail "kalvor-sim listens as $count network devices within 30 s" "$out"
            return 1
        fi
        sleep 0.05
    done
}
# listens_again URL OUT SECONDS WHAT: 5 s from now kalvor-sim listens on URL again (its lines
# in OUT), and passes when the device it is gets its first frame within SECONDS of that.
listens_again() {
    local url=$1 out=$2 limit=$3 what=$4 back first
    sleep 5
    start_network_sim "$out" 1 --port "$url" --line-time --sequences 1 || return
    back=$(now)
    if finish $net_sim_pid 20 >/dev/null; then
        first=$(seconds_between "$back" "$(arrival "$out" '"name":"year"')")
        echo "$what: first frame after $first s"
        if at_most "$first" "$limit"; then pass; else
            fail "$what: the device that listens again gets its first frame within $limit s (after $first s)" "$out"
        fi
    else
        fail "$what: the device that listens again is set" "$out"
    fi
}
# listening_urls FILE: the URLs of the devices a network simulator listens as, one per line.
listening_urls() {
    tr -d '\r' <"$1" | grep '"type":"listening"' | sed -E 's/.*"address":"([^"]+)".*/\1/'
}
# device_errors FILE: the error of each device's first complete sequence, one per line.
device_errors() {
    tr -d '\r' <"$1" | grep '"type":"sequence".*"complete":true' |
        sed -E 's/.*"address":"([^"]+)".*"error_ms":(-?[0-9]+).*/\1 \2/' | sort -s -u -k1,1 | cut -d' ' -f2
}
# until_listening FILE SECONDS [COMPUTER-END]: waits until the simulator whose log is FILE reads
# the line. It empties the line when it opens it, so a frame sent sooner would be lost, and a
# Wine program may take seconds to start on a loaded machine: a byte outside any frame goes to the
# computer's end ($links/pc unless given) until the simulator reports it.
until_listening() {
    local deadline=$((SECONDS + $2))
    until tr -d '\r' 2>/dev/null <"$1" | grep -q '"type":"noise"'; do
        ((SECONDS < deadline)) || return 1
        printf '\x00' >"${3:-$links/pc}"
        sleep 0.2
    done
}
# start_line, stop_line: a socat pair whose ends are the links $links/pc (the computer) and
# $links/dev (the device); one started again on the same links is the same port again.
start_line() {
    kalvor_pty_pair "$links/dev" "$links/pc"
    socat_pid=$kalvor_pty_pid
}
stop_line() {
    kill "$socat_pid" 2>/dev/null
    wait "$socat_pid" 2>/dev/null
    socat_pid=
}
# summary: the counts, and the status of the whole test.
summary() {
    echo "$passed passed, $failed failed"
    ((failed == 0))
}
