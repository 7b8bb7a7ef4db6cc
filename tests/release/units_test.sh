#!/usr/bin/env bash
# The systemd units as shipped, without a systemd that runs them (these machines do not run it as
# PID 1): each scores at most 2.0 in systemd-analyze security --offline=true, and systemd-analyze
# verify accepts them, also with the drop-in that opens a serial line's unit to a time reference's
# servers (time-reference.conf); they give the program what it needs, and no more: the system calls and
# socket families it makes in a single run, in a following run fed to a watchdog and with a port
# that is absent (traced with strace) are all allowed, the read-only adjtimex() of the clock
# check among them, and so are those of a run from a device list with a device on the network
# and a name to look up, for the list's unit; the device policy lets serial lines through; the
# status and metrics go to a runtime folder kept after the run and readable by a node exporter; a
# run with a time reference, traced, stays within a serial line's unit with the drop-in.
#
# What the sandbox does when systemd runs the units is not exercised here.
#
# usage: units_test.sh UNITS-FOLDER PATH-TO-kalvor-sync PATH-TO-kalvor-sim PATH-TO-kalvor-sync.1
set -uo pipefail
here=$(dirname "$(realpath "$0")")
units=$1 sync_program=$2 sim_program=$3 manual=$4
# shellcheck source=../sync/sync_test_helpers.sh
source "$here/../sync/sync_test_helpers.sh"
for tool in systemd-analyze strace; do
    command -v $tool >/dev/null || { echo "$tool is not installed (scripts/bootstrap)"; exit 77; }
done

links=$(mktemp -d /tmp/kalvor-units-test.XXXXXX)
socat_pid= pids=()
cleanup() {
    for pid in "${pids[@]}" $socat_pid; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$links"
}
trap cleanup EXIT

services=(kalvor-sync@.service kalvor-sync-follow@.service kalvor-sync-list@.service)
threshold=2.0

# settings UNIT KEY: each value of KEY in the unit, one a line, continuation lines joined.
settings() {
    sed -e ':a' -e '/\\$/N; s/\\\n//; ta' "$units/$1" | sed -n "s/^$2=//p"
}
# expand NAME...: system calls, with their @groups expanded, one a line.
expand() {
    local name
    for name in "$@"; do
        if [[ $name == @* ]]; then
            # shellcheck disable=SC2046 # a group's members, one word each
            expand $(systemd-analyze syscall-filter "$name" | sed 1d | grep -v '^ *#' | sed 's/^ *//')
        else
            echo "$name"
        fi
    done
}

# --- The score.
for unit in "${services[@]}"; do
    report=$(systemd-analyze security --offline=true --threshold=${threshold/./} "$units/$unit" 2>&1)
    status=$?
    score=$(sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p' <<<"$report")
    echo "$unit: exposure $score"
    if [[ $status == 0 && -n $score ]]; then pass; else
        echo "$report" | grep '✗'
        fail "$unit scores at most $threshold (it scores ${score:-nothing})"
    fi
done

# --- verify, in a root made of what the package installs, for a plain and an escaped instance.
root=$links/root
mkdir -p "$root/usr/bin" "$root/usr/lib/systemd/system" "$root/usr/share/man/man1"
cp "$sync_program" "$root/usr/bin/kalvor-sync"
cp "$units"/*.service "$units"/*.timer "$root/usr/lib/systemd/system/"
gzip -c "$manual" >"$root/usr/share/man/man1/kalvor-sync.1.gz"
escaped=$(systemd-escape serial/by-id/usb-FTDI_A1)
MANPATH=$root/usr/share/man systemd-analyze verify --root="$root" --recursive-errors=no \
    kalvor-sync@ttyUSB0.service kalvor-sync@ttyUSB0.timer kalvor-sync-follow@ttyUSB0.service \
    "kalvor-sync-follow@$escaped.service" kalvor-sync-list@hall.service >"$links/verify" 2>&1
if [[ $? == 0 && ! -s $links/verify ]]; then pass; else fail "systemd-analyze verify accepts the units" "$links/verify"; fi

# --- The serial lines' units with the time reference's drop-in, as the README says to apply it:
# still at most the threshold, and accepted.
for unit in kalvor-sync@.service kalvor-sync-follow@.service; do
    mkdir -p "$root/etc/systemd/system/$unit.d"
    cp "$units/time-reference.conf" "$root/etc/systemd/system/$unit.d/"
    instance=${unit/@/@ttyUSB0}
    report=$(systemd-analyze security --offline=true --root="$root" --threshold=${threshold/./} "$instance" 2>&1)
    status=$?
    score=$(sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p' <<<"$report")
    echo "$unit with time-reference.conf: exposure $score"
    if [[ $status == 0 && -n $score ]]; then pass; else
        fail "$unit with the drop-in scores at most $threshold (it scores ${score:-nothing})"
    fi
    if [[ $(settings "$unit" EnvironmentFile) == -/etc/default/kalvor-sync &&
        $(settings "$unit" ExecStart) == *' $KALVOR_SYNC_OPTIONS' ]]; then pass; else
        fail "$unit takes the options of /etc/default/kalvor-sync" "$units/$unit"
    fi
done
MANPATH=$root/usr/share/man systemd-analyze verify --root="$root" --recursive-errors=no \
    kalvor-sync@ttyUSB0.service kalvor-sync-follow@ttyUSB0.service >"$links/verify" 2>&1
if [[ $? == 0 && ! -s $links/verify ]]; then pass; else
    fail "systemd-analyze verify accepts the units with the drop-in" "$links/verify"
fi

# --- What the program does, traced: a single run with its files, a following one whose watchdog
# it feeds over a notify socket nobody reads, and a port that is not there.
start_line
"$sim_program" --port "$links/dev" --json >"$links/sim" 2>&1 &
pids+=($!)
until_listening "$links/sim" 30
files=(--status-file "$links/status.json" --metrics-file "$links/kalvor-sync.prom")
# traced NAME COMMAND...: every thread's calls in $links/trace-NAME.<thread>.
traced() {
    local name=$1
    shift
    strace -ff -qq -o "$links/trace-$name" "$@"
}
traced once "$sync_program" --port "$links/pc" "${files[@]}" >/dev/null 2>&1
NOTIFY_SOCKET=$links/notify WATCHDOG_USEC=400000 strace -ff -qq -o "$links/trace-following" \
    "$sync_program" --port "$links/pc" --every 1s --require-synced "${files[@]}" >/dev/null 2>&1 &
following=$!
sleep 3
# The program, not strace, takes the Ctrl-C.
kill -INT "$(pgrep -P $following)"
wait $following
traced absent "$sync_program" --port "$links/absent" "${files[@]}" >/dev/null 2>&1
# A time reference's server, as the tests' own NTP server on loopback (the program's socket
# families and calls with it are held to the drop-in below).
"$here/../sync/reference/ntp-test-server" >"$links/ntp-port" &
pids+=($!)
until [[ -s $links/ntp-port ]]; do sleep 0.05; done
traced reference "$sync_program" --port "$links/pc" --ntp-server "127.0.0.1:$(cat "$links/ntp-port")" \
    "${files[@]}" >"$links/reference-out" 2>&1
if grep -q '^set .* by the time reference' "$links/reference-out"; then pass; else
    fail "the traced run with a time reference sets the device by it" "$links/reference-out"
fi
# A device list with a serial line and a network device reached by name, as the list's unit runs.
"$sim_program" --port tcp://127.0.0.1:0 --json >"$links/net-sim" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    net_port=$(listening_urls "$links/net-sim" | sed 's/.*://')
    [[ -n $net_port ]] && break
    sleep 0.1
done
printf '%s\n' "$links/pc" "tcp://localhost:$net_port  offset=5" >"$links/hall.list"
traced list "$sync_program" --ports-from "$links/hall.list" "${files[@]}" >"$links/list-out" 2>&1
if [[ $(grep -c '^set ' "$links/list-out") == 2 ]]; then pass; else
    fail "the traced run from a device list sets both devices" "$links/list-out"
fi
# used FAMILIES-FILE TRACE...: the kinds of system call and the socket families of those traces.
used() {
    local families=$1
    shift
    sed -nE 's/^(<\.\.\. )?([a-z0-9_]+)(\(| resumed>).*/\2/p' "$@" | sort -u >"$links/used"
    grep -ho 'socket(AF_[A-Z0-9]*' "$@" | sed 's/socket(//' | sort -u >"$families"
}
used "$links/families" "$links"/trace-*
echo "the program made $(wc -l <"$links/used") kinds of system call, in the families $(tr '\n' ' ' <"$links/families")"
# glibc's adjtimex() is the system call clock_adjtime (CLOCK_REALTIME), or adjtimex itself.
grep -qxE 'adjtimex|clock_adjtime' "$links/used" ||
    fail "the trace holds the clock check's adjtimex()" "$links/used"
grep -qx AF_INET "$links/families" || fail "the traced list run connects over IPv4" "$links/families"

for unit in "${services[@]}"; do
    # A serial line's unit is held to the serial runs; the list's unit to all of them.
    if [[ $unit == kalvor-sync-list@.service ]]; then
        used "$links/families" "$links"/trace-*
    else
        used "$links/families" "$links"/trace-{once,following,absent}.*
    fi
    allowed_families=$(settings "$unit" RestrictAddressFamilies)
    # The lines in their order: the first allows, each "~" line then takes away and each other
    # line adds to what is allowed.
    : >"$links/permitted"
    while read -r line; do
        # shellcheck disable=SC2086 # the line's words
        if [[ $line == ~* ]]; then
            expand ${line#\~} | sort -u >"$links/named"
            comm -23 "$links/permitted" "$links/named" >"$links/next"
        else
            expand $line | sort -u - "$links/permitted" >"$links/next"
        fi
        mv "$links/next" "$links/permitted"
    done < <(settings "$unit" SystemCallFilter)
    comm -23 "$links/used" "$links/permitted" >"$links/refused"
    if [[ ! -s $links/refused ]]; then pass; else
        fail "$unit lets every system call of the program through" "$links/refused"
    fi
    # shellcheck disable=SC2046,SC2086
    if [[ -z $(comm -23 "$links/families" <(printf '%s\n' $allowed_families | sort -u)) ]]; then pass; else
        fail "$unit lets the program's socket families through ($(tr '\n' ' ' <"$links/families"))"
    fi
    # With a time reference, a serial line's unit with the drop-in: the drop-in's families.
    if [[ $unit != kalvor-sync-list@.service ]]; then
        used "$links/families" "$links"/trace-reference.*
        comm -23 "$links/used" "$links/permitted" >"$links/refused"
        allowed_families=$(sed -n 's/^RestrictAddressFamilies=//p' "$units/time-reference.conf")
        # shellcheck disable=SC2086
        if [[ ! -s $links/refused && -z $(comm -23 "$links/families" <(printf '%s\n' $allowed_families | sort -u)) ]]; then
            pass
        else
            fail "$unit with the drop-in lets a run with a time reference through ($(tr '\n' ' ' <"$links/families"))" "$links/refused"
        fi
    fi
    if [[ -z $(settings "$unit" ProtectClock | grep -ix 'yes\|true\|1') ]]; then pass; else
        fail "$unit leaves ProtectClock= off: it forbids the clock check's read-only adjtimex()"
    fi
    serial_lines="char-ttyACM rw char-ttyS rw char-ttyUSB rw "
    [[ $unit == kalvor-sync-list@.service ]] || serial_lines="/dev/%I rw $serial_lines"
    if [[ $(settings "$unit" DevicePolicy) == closed && $(settings "$unit" DeviceAllow | sort | tr '\n' ' ') == "$serial_lines" &&
        $(settings "$unit" SupplementaryGroups) == dialout && $(settings "$unit" User) == kalvor-sync ]]; then
        pass
    else
        fail "$unit: the package's user, in dialout, and of the devices serial lines only" "$units/$unit"
    fi
    exec_start=$(settings "$unit" ExecStart)
    if [[ $(settings "$unit" RuntimeDirectory) == "kalvor-sync/%i" && $(settings "$unit" RuntimeDirectoryPreserve) == yes &&
        $(settings "$unit" RuntimeDirectoryMode) == 0755 && $(settings "$unit" UMask) == 0022 &&
        $exec_start == *"--status-file /run/kalvor-sync/%i/status.json"* &&
        $exec_start == *"--metrics-file /run/kalvor-sync/%i/kalvor-sync.prom"* ]]; then
        pass
    else
        fail "$unit writes its status and metrics to /run/kalvor-sync/%i/, kept and readable" "$units/$unit"
    fi
done

for unit in kalvor-sync-follow@.service kalvor-sync-list@.service; do
    exec_start=$(settings $unit ExecStart)
    if [[ $(settings $unit Type) == notify && -n $(settings $unit WatchdogSec) && $exec_start == *"--every "* ]]; then pass; else
        fail "$unit is Type=notify with a watchdog, and follows (--every)" "$units/$unit"
    fi
done
if [[ $(settings kalvor-sync-list@.service ExecStart) == *"--ports-from /etc/kalvor-sync/%i.list "* &&
    $(settings kalvor-sync-list@.service PrivateNetwork) != yes ]]; then pass; else
    fail "the list's unit reads /etc/kalvor-sync/%i.list and may reach the network" "$units/kalvor-sync-list@.service"
fi
if [[ $(settings kalvor-sync@.service Type) == oneshot && $(settings kalvor-sync@.service ExecStart) != *"--every"* ]]; then pass; else
    fail "the timer's unit sets the device once" "$units/kalvor-sync@.service"
fi

summary
