#!/usr/bin/env bash
# package_booted_checks.sh FINDINGS: inside the container that package_booted_test.sh boots, as
# root, started by the test's unit. Starts the packaged units as a user would, with systemctl, and
# checks what each did. FINDINGS holds the record of the list's simulated clocks (outside the
# container) and gets this run's start and end times. Prints a line per failed check with the
# unit's journal, and "all N checks passed" when none failed.
#
# The units run as shipped, but for a 2 s watchdog that the list's unit gets (a drop-in in /run),
# so that two of its periods pass within the test. The serial lines are pseudo-terminals, which
# DevicePolicy=closed lets through of itself (systemd allows every pseudo-terminal beside
# /dev/null and the like); that the container applies device policies at all is checked first.
set -uo pipefail
findings=$1
here=$(dirname "$(realpath "$0")")
# shellcheck source=../sync/sync_test_helpers.sh
source "$here/../sync/sync_test_helpers.sh"
now >"$findings/started"
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done; now >"$findings/ended"' EXIT

# journal UNIT: the unit's whole journal, in a file of FINDINGS, whose name it prints.
journal() {
    journalctl --no-pager -o short-monotonic -u "$1" >"$findings/journal-$1"
    echo "$findings/journal-$1"
}
# unit_is UNIT WHAT PROPERTY=VALUE...: systemctl show tells each property with that value.
unit_is() {
    local unit=$1 what=$2 want got
    shift 2
    for want in "$@"; do
        got=$(systemctl show -p "${want%%=*}" "$unit")
        if [[ $got != "$want" ]]; then
            fail "$unit $what ($got, expected $want)" "$(journal "$unit")"
            return 1
        fi
    done
    pass
}
# status_is UNIT FOLDER WHAT JQ-FILTER: the status file in /run/kalvor-sync/FOLDER passes.
status_is() {
    if jq -e "$4" "/run/kalvor-sync/$2/status.json" >/dev/null 2>&1; then pass; else
        fail "$1: $3" "/run/kalvor-sync/$2/status.json" "$(journal "$1")"
    fi
}
# set_by SIM-LOG WHAT COUNT [AHEAD-MS]: the simulator's record has COUNT complete sequences, each
# within 50 ms of the computer's time (or of AHEAD-MS ahead of it).
set_by() {
    local n error ahead=${4:-0}
    until_seen "$1" '"type":"sequence"' 5
    for n in $(seq "$3"); do
        error=$(error_ms "$1" "$n")
        within "$error" $((ahead - 50)) $((ahead + 50)) ||
            { fail "$2: the device is set, within 50 ms of $ahead ms (sequence $n: ${error:-none})" "$1"; return; }
    done
    pass
}
# not_refused UNIT: no run of the unit was killed by its system call filter, and the program
# reported no call or file refused (EPERM: a filtered call's error here; EACCES: a file).
not_refused() {
    local killed refused
    killed=$(journalctl --no-pager -o cat -u "$1" | grep -E 'status=31/SYS|SIGSYS')
    refused=$(journalctl --no-pager -o cat -u "$1" SYSLOG_IDENTIFIER=kalvor-sync |
        grep -E 'Operation not permitted|Permission denied')
    if [[ -z $killed$refused ]]; then pass; else
        fail "$1: its sandbox refuses nothing the program does: $killed$refused" "$(journal "$1")"
    fi
}
# start UNIT: systemctl start, which waits for a notify unit's readiness or a oneshot's end.
start() {
    systemctl start "$1" || fail "systemctl start $1" "$(journal "$1")"
}
# stops_cleanly UNIT: systemctl stop ends it without a failure, and nothing was refused.
stops_cleanly() {
    systemctl stop "$1"
    unit_is "$1" "ends cleanly when stopped" ActiveState=inactive Result=success
    not_refused "$1"
}
# sets_once UNIT LINE [AHEAD-MS]: the once-only unit, started, sets the line and ends; its status
# stays after the run.
sets_once() {
    start "$1"
    unit_is "$1" "has run once and ended" ActiveState=inactive Result=success ExecMainStatus=0
    status_is "$1" "$2" "its status stays after the run" '
        .state == "stopped" and .exit_status == 0 and .devices[0].outcome == "set"'
    set_by "$findings/$2-sim.log" "$1" 1 "${3:-0}"
    not_refused "$1"
}
# drop_in UNIT NAME LINE...: a drop-in for UNIT in /run, [Service] section.
drop_in() {
    mkdir -p "/run/systemd/system/$1.d"
    printf '[Service]\n' >"/run/systemd/system/$1.d/$2.conf"
    printf '%s\n' "${@:3}" >>"/run/systemd/system/$1.d/$2.conf"
}
# serial_line NAME: a pseudo-terminal pair, /dev/NAME the computer's end (owned as a serial
# line is, by the group dialout) and /dev/NAME-device the other, read by kalvor-sim, whose record
# goes to FINDINGS/NAME-sim.log.
serial_line() {
    kalvor_pty_pair "/dev/$1" "/dev/$1-device" || { fail "the pseudo-terminal pair $1"; return 1; }
    pids+=("$kalvor_pty_pid")
    chgrp dialout "$(readlink -f "/dev/$1")" && chmod 660 "$(readlink -f "/dev/$1")"
    kalvor-sim --port "/dev/$1-device" --json >"$findings/$1-sim.log" 2>&1 &
    pids+=($!)
    until_listening "$findings/$1-sim.log" 10 "/dev/$1" || fail "kalvor-sim reads /dev/$1-device"
}

drop_in kalvor-sync-list@hall.service short-watchdog WatchdogSec=2s
systemctl daemon-reload

# --- Device policies apply here: a line that a strict one does not name stays shut.
serial_line ttyKV0
refused=$(systemd-run --wait --pipe --quiet -p DevicePolicy=strict -p 'DeviceAllow=char-ttyS rw' \
    kalvor-sync --port /dev/ttyKV0 2>&1)
if [[ $refused == *"cannot open the port: Operation not permitted"* ]]; then pass; else
    fail "a unit's device policy keeps out a line it does not allow (\"$refused\")"
fi

# --- The list's unit: ready once its first sequence is over, two devices set, one silent.
list=kalvor-sync-list@hall.service
start "$list"
unit_is "$list" "is active (running) once started" ActiveState=active SubState=running
status_is "$list" hall "the first sequence is over when the start returns: 2 of 3 devices set" '
    .state == "running" and (.devices | length) == 3 and
    ([.devices[] | select(.outcome == "set")] | length) == 2'
text=$(systemctl show -p StatusText --value "$list")
if [[ $text =~ ^last\ sequence\ .*\(start\):\ set\ 2\ of\ 3\ devices\;\ tcp:// ]]; then pass; else
    fail "$list: its status text tells the last result (\"$text\")"
fi
set_by "$findings/network-sim.log" "$list" 2
for file in status.json kalvor-sync.prom; do
    if setpriv --reuid=nobody --regid=nogroup --clear-groups cat "/run/kalvor-sync/hall/$file" |
        grep -q kalvor; then pass; else
        fail "$list: another user reads /run/kalvor-sync/hall/$file" "$(journal "$list")"
    fi
done
main_pid=$(systemctl show -p MainPID --value "$list")
sleep 5
unit_is "$list" "outlives two periods of its 2 s watchdog" WatchdogUSec=2s ActiveState=active \
    MainPID="$main_pid" NRestarts=0
stops_cleanly "$list"
status_is "$list" hall "the status says it stopped" '.state == "stopped"'

# --- The following unit, on a serial line.
follow=kalvor-sync-follow@ttyKV0.service
start "$follow"
unit_is "$follow" "is active (running) once started" ActiveState=active SubState=running
status_is "$follow" ttyKV0 "the line is set when the start returns" '
    .state == "running" and .devices[0].name == "/dev/ttyKV0" and .devices[0].outcome == "set"'
set_by "$findings/ttyKV0-sim.log" "$follow" 1
stops_cleanly "$follow"

# --- The once-only unit and its timer, on another line.
serial_line ttyKV1
sets_once kalvor-sync@ttyKV1.service ttyKV1
timer=kalvor-sync@ttyKV1.timer
start "$timer"
if systemctl list-timers --no-pager "$timer" | grep -qE ' 03:00:00 .*kalvor-sync@ttyKV1\.service'; then
    pass
else
    fail "$timer is listed with its next run at 03:00" "$(journal "$timer")"
fi

# --- A serial line's unit with a time reference of its own, opened to NTP by the shipped drop-in
# as its comment says: the device shows the reference's time (chrony, outside, 37 s ahead).
serial_line ttyKV2
reference=kalvor-sync@ttyKV2.service
mkdir -p "/etc/systemd/system/$reference.d"
ln -s /usr/share/kalvor-sync/time-reference.conf "/etc/systemd/system/$reference.d/"
mkdir -p /etc/default
echo "KALVOR_SYNC_OPTIONS=\"--ntp-server $(cat "$findings/ntp-server")\"" >/etc/default/kalvor-sync
systemctl daemon-reload
sets_once "$reference" ttyKV2 37000
status_is "$reference" ttyKV2 "its status tells the reference synced" '.reference.state == "synced"'

if ((failed == 0)); then echo "all $passed checks passed"; else summary; fi
