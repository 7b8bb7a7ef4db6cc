#!/usr/bin/env bash
# kalvor-sync as a person runs it: its dry run, its usage errors, an absent port, syncs against
# kalvor-sim on a pseudo-terminal pair, and --every through a line that goes away and comes back,
# ended with Ctrl-C (SIGINT) in the middle of a sequence.
#
# usage: kalvor_sync_cli_test.sh native PATH-TO-kalvor-sync PATH-TO-kalvor-sim
#        kalvor_sync_cli_test.sh wine PATH-TO-kalvor-sync.exe PATH-TO-kalvor-sim.exe WINE-PREFIX win64|win32
#
# Natively the two ends of the pair are given to the programs as device paths. Under Wine both
# programs run in the prefix, the pair's ends mapped as COM1 (the computer) and COM21 (the
# device) to the links socat makes, so that a pair started again on the same links is the same
# port again; it runs inside scripts/lib/sandbox, where no real serial device exists.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
# shellcheck source=sync_test_helpers.sh
source "$here/sync_test_helpers.sh"
begin_program_test "$@"
begin_line_test sync-test

out=$links/out err=$links/err

# --- Without a port.
"${sync[@]}" --dry-run --at "2016-04-12 09:05:30" >"$out" 2>&1
status=$?
if [[ $status == 0 && $(tr -d '\r' <"$out") == $'F6 01 16 F2\nF6 02 04 03\nF6 03 12 F4\nF6 04 02 03\nF6 05 09 FB\nF6 06 05 FE\nF6 07 30 D2' ]]; then
    pass
else
    fail "--dry-run --at prints the seven frames of 2016-04-12 09:05:30 and nothing else" "$out"
fi

# Aligned, the frames for a New Year's Eve second are all of that one instant, and a sequence
# that sets the device at midnight carries the new year although it is written in the old one.
"${sync[@]}" --dry-run --at "2016-12-31 23:59:59" >"$out" 2>&1
expect "--dry-run at 23:59:59 on New Year's Eve: all of 2016-12-31, a Saturday" 0 $? "$out" \
    '^F6 01 16 F2$'
if [[ $(tr -d '\r' <"$out" | tr '\n' ' ') == "F6 01 16 F2 F6 02 12 F5 F6 03 31 D5 F6 04 06 FF F6 05 23 E1 F6 06 59 AA F6 07 59 A9 " ]]; then pass; else fail "the frames of 2016-12-31 23:59:59 Saturday" "$out"; fi
"${sync[@]}" --dry-run --verbose --at "2017-01-01 00:00:00" >"$out" 2>&1
expect "--dry-run for midnight: the year frame goes in 2016 and carries 2017" 0 $? "$out" \
    '^2016-12-31 23:59:58\.795  F6 01 17 F1  year$'
expect "--dry-run for midnight: the seconds frame is the last of 2016 and carries 00" 0 $? "$out" \
    '^2016-12-31 23:59:59\.995  F6 07 00 02  second$'
expect "--dry-run for midnight: the day and weekday are New Year's Day's, a Sunday" 0 $? "$out" \
    'F6 03 01 05  day.*|F6 04 00 05  weekday'

# --- Usage.
"${sync[@]}" >"$out" 2>&1
expect "no port is a usage error" 2 $? "$out" 'give a port'
"${sync[@]}" --port 1 --every 10x >"$out" 2>&1
expect "a duration without a unit is a usage error" 2 $? "$out" '--every: "10x"'
"${sync[@]}" --port 1 --offset ten >"$out" 2>&1
expect "an offset that is not a number is a usage error" 2 $? "$out" '--offset: "ten"'
"${sync[@]}" --dry-run --at "2016-02-30 10:00:00" >"$out" 2>&1
expect "a date that does not exist is a usage error" 2 $? "$out" '--at: "2016-02-30 10:00:00"'
"${sync[@]}" --port 1 --at "2016-04-12 09:05:30" >"$out" 2>&1
expect "--at without --dry-run is a usage error" 2 $? "$out" '--at goes with --dry-run'
"${sync[@]}" --help >"$out" 2>&1
expect "--help tells the exit codes" 0 $? "$out" '^  4    --require-synced, and the computer'"'"'s clock is not synchronised'
"${sync[@]}" --version >"$out" 2>&1
expect "--version" 0 $? "$out" '^kalvor-sync [0-9]+\.[0-9]+'

# --- An absent port: exit 1, and the port and the system's reason on stderr.
"${sync[@]}" --port "$absent_port" >"$out" 2>"$err"
expect "an absent port exits 1 and names the port" 1 $? "$err" "${absent_port##*/}: cannot open the port: .+"

# --- A device that is no serial port: a plain message naming it, and no Windows function name.
if [[ $mode == native ]]; then
    "${sync[@]}" --port /dev/null >"$out" 2>"$err"
    expect "a device that is no port exits 1 and says why in plain words" 1 $? "$err" \
        "^kalvor-sync: /dev/null: cannot set the port's time-outs: Inappropriate ioctl for device$"
    if ! grep -qE '\(\)|Comm|WARNING' "$err"; then pass; else fail "no Windows function names on Linux" "$err"; fi
fi

# --- Syncs against the simulated device.
start_line
"${sim[@]}" --port "$device_end" --json --sequences 3 >"$links/sim" 2>&1 &
sim_pid=$!
pids+=($sim_pid)
until_listening "$links/sim" 30 || fail "the simulator reads the line within 30 s" "$links/sim"
"${sync[@]}" --port "$computer_end" >"$out" 2>"$err"
expect "an aligned sync exits 0 and tells what it set" 0 $? "$out" '^set .* to 20[0-9]{2}-[0-9]{2}-[0-9]{2} [0-9:]{8} [A-Z][a-z]+day$'
"${sync[@]}" --port "$computer_end" --offset 300 --quiet >"$out" 2>"$err"
status=$?
if [[ $status == 0 && ! -s $out ]]; then pass; else fail "--quiet prints nothing (status $status)" "$out" "$err"; fi
"${sync[@]}" --port "$computer_end" --no-align --verbose >"$out" 2>"$err"
expect "--verbose logs each frame with its time and bytes" 0 $? "$out" \
    '^[0-9-]{10} [0-9:]{8}\.[0-9]{3}  F6 07 [0-9]{2} [0-9A-F]{2}  second$'
finish $sim_pid 10
sim_status=$?
aligned=$(error_ms "$links/sim" 1) shifted=$(error_ms "$links/sim" 2) unaligned=$(error_ms "$links/sim" 3)
if [[ $sim_status == 0 ]] && within "$aligned" -$device_within $device_within; then pass; else
    fail "the device accepts an aligned sequence and is within $device_within ms (error $aligned ms)" "$links/sim"
fi
if within "$shifted" 200 400; then pass; else
    fail "--offset 300 sets the device 300 ms ahead of a device without latency (error $shifted ms)" "$links/sim"
fi
if within "$unaligned" -1100 100; then pass; else
    fail "--no-align leaves the device up to a second behind (error $unaligned ms)" "$links/sim"
fi

# --- --every through a line that goes away and comes back, then Ctrl-C mid-sequence.
"${sim[@]}" --port "$device_end" --json >"$links/sim1" 2>&1 &
pids+=($!)
"${sync[@]}" --port "$computer_end" --every 1s --verbose >"$links/every" 2>"$links/every-err" &
every_pid=$!
pids+=($every_pid)
if until_seen "$links/sim1" '"complete":true' 30; then pass; else
    fail "--every: the first sequence reaches the device" "$links/sim1" "$links/every" "$links/every-err"
fi
stop_line
if until_seen "$links/every-err" "trying it again every" 20 && kill -0 $every_pid 2>/dev/null; then pass; else
    fail "--every: a line that went away is told on stderr and the program goes on" "$links/every-err"
fi
start_line
"${sim[@]}" --port "$device_end" --json >"$links/sim2" 2>&1 &
pids+=($!)
if until_seen "$links/sim2" '"complete":true' 30 && until_seen "$links/every-err" "is back$" 5; then pass; else
    fail "--every: once the line is back, the device is set again and stderr says so" "$links/sim2" "$links/every-err"
fi
# Ctrl-C just after a year frame: the sequence is cut short and the program ends with 130.
years=$(tr -d '\r' <"$links/every" | grep -c ' year$')
deadline=$((SECONDS + 20))
while (($(tr -d '\r' <"$links/every" | grep -c ' year$') <= years && SECONDS < deadline)); do sleep 0.02; done
kill -INT $every_pid
finish $every_pid 10
expect "--every: Ctrl-C in the middle of a sequence ends it with status 130" 130 $? "$links/every-err" \
    'interrupted by Ctrl-C after [1-6] of 7 frames'

# Ctrl-C between sequences ends --every with status 0.
"${sync[@]}" --port "$computer_end" --every 1h >"$links/hourly" 2>&1 &
hourly_pid=$!
pids+=($hourly_pid)
until_seen "$links/hourly" '^set ' 30
kill -INT $hourly_pid
finish $hourly_pid 10
expect "--every: Ctrl-C between sequences ends it with status 0" 0 $? "$links/hourly" '^set '

summary
