#!/usr/bin/env bash
# A wall of world clocks: kalvor-sync with a zone per device, against Python's zoneinfo reading the
# same zone files, and kalvor-sim judging each device against its zone's time. The zones whose
# rules catch real faults get the frames of their civil time and weekday; devices in several zones
# are set at one instant; following, a device is set again so that its seconds frame lands on its
# zone's change of offset, and a device of another zone is left alone (the instant comes from a
# time reference whose clock is put just before the change: a clock of the product's own, where
# libfaketime cannot go under the 32-bit Wine); a bad zone, and zone files that are not there,
# are usage errors that say so.
#
# usage: kalvor_sync_zones_test.sh native SYNC SIM ZONE-FOLDER
#        kalvor_sync_zones_test.sh wine SYNC.exe SIM.exe ZONE-FOLDER WINE-PREFIX ARCH
# ZONE-FOLDER: the zone files the programs read (the system's natively, those shipped beside the
# Windows programs under Wine).
set -uo pipefail
here=$(dirname "$(realpath "$0")")
# shellcheck source=sync_test_helpers.sh
source "$here/sync_test_helpers.sh"
wine_in_sandbox "$@"
zones=$4
begin_program_test "$1" "$2" "$3" "${@:5}"
begin_line_test sync-zones
export TZ=UTC
# kalvor_path PATH: a file as the program names it (a Windows program: on Wine's drive Z:).
kalvor_path() { if [[ $mode == wine ]]; then echo "Z:$1"; else echo "$1"; fi; }

# civil ZONE UTC-TIME: the zone's civil time and weekday then, as Python's zoneinfo reads the files.
civil() {
    /usr/bin/python3 - "$zones" "$1" "$2" <<'EOF'
import datetime, sys, zoneinfo
zoneinfo.reset_tzpath([sys.argv[1]])
at = datetime.datetime.fromisoformat(sys.argv[3]).replace(tzinfo=datetime.timezone.utc)
print(at.astimezone(zoneinfo.ZoneInfo(sys.argv[2])).strftime("%Y-%m-%d %H:%M:%S %A"))
EOF
}

# --- Dry runs: the civil time and weekday of each zone at an instant (the computer on UTC).
while read -r zone at; do
    expected=$(civil "$zone" "$at")
    "${sync[@]}" --dry-run --at "$at" --zone "$zone" --verbose >"$links/dry" 2>&1
    expect "$zone at $at UTC shows $expected" 0 $? "$links/dry" "the device takes $expected\$"
done <<'EOF'
Africa/Casablanca 2026-03-01 12:00:00
America/Nuuk 2026-03-28 23:30:00
Asia/Kathmandu 2026-07-15 12:00:00
Australia/Lord_Howe 2026-01-10 12:00:00
Pacific/Chatham 2026-06-30 12:20:00
Africa/Cairo 2026-04-24 00:30:00
America/St_Johns 2026-11-01 03:30:00
Pacific/Kiritimati 2026-12-31 10:30:00
Europe/Berlin 2026-03-29 01:00:00
Europe/Berlin 2026-10-25 00:59:59
Europe/Berlin 2040-07-01 12:00:00
EOF
if [[ $mode == native ]]; then
    # --at names the computer's local time: Berlin's 01:30 is Tokyo's 09:30.
    TZ=Europe/Berlin "${sync[@]}" --dry-run --at "2026-03-29 01:30:00" --zone Asia/Tokyo --verbose >"$links/dry" 2>&1
    expect "--at in the computer's zone (Europe/Berlin) gives Tokyo's time then" 0 $? "$links/dry" \
        'the device takes 2026-03-29 09:30:00 Sunday$'
fi

# --- Three zones and the computer's time, set at one instant; each device judged in its zone.
start_line
kalvor_pty_pair "$links/dev2" "$links/pc2" && pids+=($kalvor_pty_pid)
kalvor_pty_pair "$links/dev3" "$links/pc3" && pids+=($kalvor_pty_pid)
list=("$computer_end zone=Europe/Berlin" "$links/pc2 zone=Asia/Tokyo offset=0" "$links/pc3")
ends=("$device_end" "$links/dev2" "$links/dev3") judged=(Europe/Berlin Asia/Tokyo "")
if [[ $mode == wine ]]; then
    kalvor_wine_map_ports "COM1=$links/pc" "COM21=$links/dev" "COM2=$links/pc2" \
        "COM22=$links/dev2" "COM3=$links/pc3" "COM23=$links/dev3"
    list=("COM1 zone=Europe/Berlin" "COM2 zone=Asia/Tokyo offset=0" COM3) ends=(COM21 COM22 COM23)
fi
printf '%s\n' "${list[@]}" "# the yard shows the computer's time" >"$links/wall.list"
for i in 0 1 2; do
    "${sim[@]}" --port "${ends[i]}" --json --sequences 1 ${judged[i]:+--zone "${judged[i]}"} \
        >"$links/sim$i" 2>&1 &
    pids+=($!)
done
for i in 0 1 2; do
    poke=$links/pc
    ((i > 0)) && poke=$links/pc$((i + 1))
    until_listening "$links/sim$i" 30 "$poke" || fail "simulator $i reads its line" "$links/sim$i"
done
"${sync[@]}" --ports-from "$(kalvor_path "$links/wall.list")" --status-file "$(kalvor_path "$links/wall.json")" \
    >"$links/wall" 2>&1
expect "a wall of three zones is set" 0 $? "$links/wall" 'Asia/Tokyo$'
sleep 0.5
for i in 0 1 2; do
    error=$(error_ms "$links/sim$i" 1) shown=${judged[i]:-local}
    echo "device in $shown: error $error ms against its zone's time"
    within "$error" -$device_within $device_within || fail "the device in $shown shows its zone's time" "$links/sim$i"
done
# Each simulator stamps arrivals in its own zone; whole-minute offsets leave the seconds alike.
spread=$(grep -h '"complete":true' "$links"/sim? | sed -E 's/.*"arrival":"[^"]*T[0-9:]*:([0-9.]+)".*/\1/' |
    awk '{ s[NR] = $1 } END { for (i in s) if (s[i] < 30 && s[1] >= 30) s[i] += 60; else if (s[i] >= 30 && s[1] < 30) s[i] -= 60
        lo = hi = s[1]; for (i in s) { if (s[i] < lo) lo = s[i]; if (s[i] > hi) hi = s[i] }
        if (NR == 3) printf "%d", (hi - lo) * 1000 + 0.5 }')
echo "the seconds frames arrived within $spread ms of each other"
if within "$spread" 0 $together_within &&
    jq -e '.devices[0].zone == "Europe/Berlin" and .devices[1].utc_offset_seconds == 32400 and
        .devices[2].zone == null and (.zone_data | length) > 0' "$links/wall.json" >/dev/null; then
    pass
else
    fail "they are set at one instant, and the status tells each zone and its offset" "$links/wall.json" "$links"/sim?
fi

# --- Following: Berlin's daylight saving begins 8 s from now on the reference's clock. The
# Berlin device is set again so that its seconds frame lands on the change; Tokyo's is not.
change=$(date -d '2027-03-28 01:00:00 UTC' +%s)
"$here/reference/ntp-test-server" --ahead $((change - 8 - $(date +%s))) >"$links/ntp-port" &
pids+=($!)
until [[ -s $links/ntp-port ]]; do sleep 0.05; done
for i in 0 1; do
    "${sim[@]}" --port "${ends[i]}" --json --zone "${judged[i]}" >"$links/follow$i" 2>&1 &
    pids+=($!)
done
sleep 1
head -2 "$links/wall.list" >"$links/follow.list"
"${sync[@]}" --ports-from "$(kalvor_path "$links/follow.list")" --every 1h \
    --ntp-server "127.0.0.1:$(cat "$links/ntp-port")" >"$links/follow" 2>&1 &
follow_pid=$!
pids+=($follow_pid)
if until_seen "$links/follow" 'Europe/Berlin: UTC offset changed to \+02:00\)$' 30; then pass; else
    fail "following, Berlin's change of offset sets its device, saying why" "$links/follow"
fi
sleep 1
kill -INT $follow_pid
finish $follow_pid 10 >/dev/null
berlin=$(grep -h '"complete":true' "$links/follow0" | sed -n 2p | sed -E 's/.*"device":"([^"]+)".*/\1/')
echo "Berlin's device was set at the change to $berlin"
if [[ $berlin == 2027-03-28T03:00:00.000 && $(count_of "$links/follow1" '"complete":true') == 1 &&
    $(count_of "$links/follow" '^set .*Asia/Tokyo') == 1 ]]; then pass; else
    fail "Berlin's device takes 03:00:00 at the change itself, Tokyo's is left alone" \
        "$links/follow0" "$links/follow1" "$links/follow"
fi

# --- What is wrong is said: a bad zone in a list, an unknown zone, zone files that are not there.
printf '%s\n' "${list[0]}" "${list[1]/Asia\/Tokyo/Asia\/Tokio}" >"$links/bad.list"
"${sync[@]}" --ports-from "$(kalvor_path "$links/bad.list")" >"$links/bad" 2>&1
expect "an unknown zone in a list is a usage error naming the file and the line" 2 $? "$links/bad" \
    'bad\.list:2: zone=Asia/Tokio: no zone Asia/Tokio in '
"${sync[@]}" --port "$computer_end" --zone ../../etc/passwd >"$links/bad" 2>&1
expect "a name no zone can have is refused" 2 $? "$links/bad" '^kalvor-sync: --zone \.\./\.\./etc/passwd: '
if [[ $mode == wine ]]; then
    # The program alone, as from a zip without the zone files.
    mkdir -p "$links/bare"
    cp "$sync_program" "$links/bare/"
    bare=("$KALVOR_WINE" "$links/bare/$(basename "$sync_program")")
else
    bare=(env TZDIR="$links/no-zones" "$sync_program")
fi
"${bare[@]}" --dry-run --at "2026-03-29 01:30:00" --zone Asia/Tokyo >"$links/bare-out" 2>&1
expect "without zone files a zone asked for is a clear error" 2 $? "$links/bare-out" \
    'no zone Asia/Tokyo: the zone folder .* is missing'
"${bare[@]}" --dry-run --at "2026-03-29 01:30:00" >"$links/bare-out" 2>&1
expect "... and a device without a zone is set as ever" 0 $? "$links/bare-out" '^F6 07 00 02'

summary
