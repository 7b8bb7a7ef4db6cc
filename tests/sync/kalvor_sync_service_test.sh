#!/usr/bin/env bash
# kalvor-sync.exe as a Windows service under Wine's service manager: installed from a folder with
# a blank in its name, installed twice, started, setting kalvor-sim through it and telling the
# Event Log, writing its status and metrics to the common application data folder, stopped in
# the middle of its sequences without a frame cut, started again by itself when the system
# (the prefix) starts, removed, and removed twice.
#
# usage: kalvor_sync_service_test.sh PATH-TO-kalvor-sync.exe PATH-TO-kalvor-sim.exe WINE-PREFIX win64|win32
#
# An automatic service starts whenever its prefix starts, and would hold COM1 in every later test:
# the test runs in a throw-away copy of the build tree's prefix, removed at the end. Wine's
# Event Log keeps nothing that can be read back; what the program reports to it is read from
# Wine's trace of the calls (WINEDEBUG=+eventlog: the insert, traced as trace, warn or err for
# an information, warning or error event; the event's number in the stub's fixme line), which
# services started by the prefix inherit.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
sync_program=$1 sim_program=$2 template=$3 arch=$4
if [[ "${KALVOR_SANDBOX:-}" != 1 ]]; then
    exec "$here/../../scripts/lib/sandbox" "$0" "$@"
fi

# shellcheck source=sync_test_helpers.sh
source "$here/sync_test_helpers.sh"
use_wine "$template" "$arch"
kalvor_wine_prefix_ready || { echo "the template prefix $template could not be made"; exit 1; }

links=$(mktemp -d /tmp/kalvor-service-test.XXXXXX)
socat_pid= pids=()
cleanup() {
    if [[ -n ${WINEPREFIX:-} && $WINEPREFIX == "$links"/* ]]; then
        kalvor_wine_stop
    fi
    for pid in "${pids[@]}" $socat_pid; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$links"
}
trap cleanup EXIT

echo "copying the prefix"
cp -a "$WINEPREFIX" "$links/prefix"
# The copy is this test's own, whatever lane the template came from.
unset KALVOR_WINE_LANE
kalvor_wine_env "$links/prefix" "$arch"
wine=("$KALVOR_WINE")
program_folder="$WINEPREFIX/drive_c/Program Files/Kalvor"
mkdir -p "$program_folder"
cp "$sync_program" "$program_folder/kalvor-sync.exe"
cp "$sim_program" "$program_folder/kalvor-sim.exe"
sync=("${wine[@]}" 'C:\Program Files\Kalvor\kalvor-sync.exe')
status_folder="$WINEPREFIX/drive_c/ProgramData/Kalvor/kalvor-sync"
status=$status_folder/status.json metrics=$status_folder/kalvor-sync.prom
key='HKLM\System\CurrentControlSet\Services\kalvor-sync'
source_key='HKLM\System\CurrentControlSet\Services\EventLog\Application\kalvor-sync'
out=$links/out err=$links/err

start_line
kalvor_wine_map_ports "COM1=$links/pc" "COM21=$links/dev"

# start_sim LOG: kalvor-sim on COM21; the first Wine process of the prefix, so that the
# service manager it starts traces the Event Log's calls to $links/events.
start_sim() {
    WINEDEBUG=-all,+eventlog,fixme+advapi "${wine[@]}" "$program_folder/kalvor-sim.exe" --port COM21 --json \
        >"$1" 2>>"$links/events" &
    sim_pid=$!
    pids+=($sim_pid)
}
# service_state: RUNNING, STOPPED, ... as sc query tells it; nothing when there is no service.
service_state() {
    "${wine[@]}" sc query kalvor-sync 2>/dev/null | tr -d '\r' | sed -n 's/.*STATE *: *[0-9]* *//p'
}
# until_state STATE SECONDS
until_state() {
    local deadline=$((SECONDS + $2))
    until [[ $(service_state) == "$1" ]]; do
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}
complete_sequences() { count_of "$1" '"type":"sequence".*"complete":true'; }

# The simulator first: its Wine process starts the prefix, and with it the service manager.
start_sim "$links/sim1"
until_listening "$links/sim1" 60 || fail "the simulator reads COM21 within 60 s" "$links/sim1"

# --- Installing needs --every and full paths; a console run is no service.
"${sync[@]}" --install-service --port COM1 >"$out" 2>&1
expect "--install-service without --every is a usage error" 2 $? "$out" 'needs --every'
"${sync[@]}" --install-service --port COM1 --every 2s --status-file status.json >"$out" 2>&1
expect "--install-service with a relative status file is a usage error" 2 $? "$out" \
    'needs the full path'
"${sync[@]}" --run-as-service --port COM1 --every 2s >"$out" 2>&1
expect "--run-as-service from a console says it is for the service manager" 2 $? "$out" \
    'not started by the service manager'
"${sync[@]}" --uninstall-service >"$out" 2>&1
expect "removing a service that is not installed is exit 6" 6 $? "$out" \
    'no service kalvor-sync is installed'

# --- Installed, and installed twice.
"${sync[@]}" --install-service --port COM1 --every 2s \
    --metrics-file 'C:\ProgramData\Kalvor\kalvor-sync\kalvor-sync.prom' >"$out" 2>"$err"
expect "--install-service installs the service" 0 $? "$out" \
    '^installed the service kalvor-sync \("Kalvor clock sync"\)'
"${wine[@]}" reg query "$key" >"$links/key" 2>&1
expect "the service starts automatically" 0 $? "$links/key" 'Start +REG_DWORD +0x2$'
expect "the service runs as LocalService" 0 0 "$links/key" 'ObjectName +REG_SZ +NT AUTHORITY\\LocalService$'
expect "the service is shown as \"Kalvor clock sync\"" 0 0 "$links/key" 'DisplayName +REG_SZ +Kalvor clock sync$'
expect "the service's command line quotes the folder with a blank and names the status file" 0 0 \
    "$links/key" 'ImagePath +REG_SZ +"C:\\Program Files\\Kalvor\\kalvor-sync.exe" --run-as-service --port COM1 --every 2s --metrics-file .* --status-file C:\\ProgramData\\Kalvor\\kalvor-sync\\status.json$'
"${wine[@]}" reg query "$source_key" >"$links/source" 2>&1
expect "the event source's message file is the program" 0 $? "$links/source" \
    'EventMessageFile +REG_EXPAND_SZ +C:\\Program Files\\Kalvor\\kalvor-sync.exe$'
if [[ -d $status_folder ]]; then pass; else fail "the installer made the status folder $status_folder" "$out"; fi
"${sync[@]}" --install-service --port COM1 --every 2s >"$out" 2>&1
expect "installing it twice is exit 5" 5 $? "$out" 'kalvor-sync is installed already'

# --- Started: the device is set through it, and every set goes to the Event Log and the status.
"${wine[@]}" sc start kalvor-sync >"$out" 2>&1
if until_state RUNNING 30; then pass; else fail "sc start: the service runs" "$out"; fi
if until_seen "$links/sim1" '"complete":true' 30; then pass; else
    fail "the service sets kalvor-sim" "$links/sim1"
fi
until_seen "$links/events" 'ReportEventW L"set COM1 to' 10
expect "each device set is an information event with the line the console would show" 0 0 \
    "$links/events" 'trace:eventlog:ReportEventW L"set COM1 to 20[0-9]{2}-[0-9]{2}-[0-9]{2} [0-9:]{8} [A-Z][a-z]+day"'
expect "a device set is event 3 of the message table, of the information type" 0 0 \
    "$links/events" 'ReportEventA \([0-9A-Fa-f]+,0x0004,0x0000,0x00000003,'
expect "the start is event 1, naming the status file" 0 0 "$links/events" \
    'ReportEventA \([0-9A-Fa-f]+,0x0004,0x0000,0x00000001,'
expect "a clock not synchronised is a warning event" 0 0 "$links/events" \
    'warn:eventlog:ReportEventW L"the computer.s clock is not synchronised: the Windows Time service'
if until_seen "$status" '"successes": [1-9]' 10 && jq -e '
        .state == "running" and .every_seconds == 2 and
        (.devices | length) == 1 and .devices[0].name == "COM1" and
        .devices[0].outcome == "set" and .devices[0].last_success.utc_seconds > 0' "$status" >/dev/null; then
    pass
else
    fail "the status in the common application data folder tells COM1 set" "$status"
fi
if grep -qE '^kalvor_sync_sequences_total\{device="COM1",outcome="success"\} [1-9]' "$metrics"; then pass; else
    fail "the metrics count COM1's sets" "$metrics"
fi

# --- Stopped in the middle of its sequences (one every 2 s): promptly, and no frame cut.
until_seen "$links/sim1" '"type":"frame".*"field":"month"' 10
sequences=$(complete_sequences "$links/sim1")
while (($(count_of "$links/sim1" '"type":"frame"') % 7 == 0)); do sleep 0.05; done
stopped_at=$(now)
"${wine[@]}" sc stop kalvor-sync >"$out" 2>&1
if until_state STOPPED 10; then pass; else fail "sc stop: the service stops within 10 s" "$out"; fi
# Within its wait hint (2 s), sc's own start and the polling of its state included.
took=$(seconds_between "$stopped_at" "$(now)")
echo "stopped in $took s"
if at_most "$took" 2.5; then pass; else fail "sc stop: the service stops within its wait hint ($took s)"; fi
sleep 1
# (The byte 00 is the test's own, sent to see the simulator read the line.)
if ! grep '"status":"rejected"' "$links/sim1" | grep -qv '"bytes":"00"'; then pass; else
    fail "the device got no broken frame from the stop" "$links/sim1"
fi
if jq -e '.state == "stopped" and (.exit_status == 0 or .exit_status == 130) and
        .stopped_by == "the service manager"' "$status" >/dev/null; then pass; else
    fail "the status says stopped, by the service manager" "$status"
fi
until_seen "$links/events" 'ReportEventW L"stopped by the service manager, exit status' 5
expect "the Event Log is told who stopped the service" 0 $? "$links/events" \
    'ReportEventW L"stopped by the service manager, exit status (0|130)"' 
echo "sequences before the stop: $sequences"

# --- Started by itself when the system starts (here: the prefix).
kalvor_wine_stop
start_sim "$links/sim2"
if until_seen "$links/sim2" '"complete":true' 60; then pass; else
    fail "the automatic service starts with the system and sets the device" "$links/sim2"
fi
if [[ $(service_state) == RUNNING ]]; then pass; else fail "the service runs after the start"; fi

# --- Alone in its prefix, no other Wine program running, with the wineserver kept (as a logged-on
# session keeps Windows up; with Wine's default persistence the prefix shuts down half a second
# after its last program, and Wine ends its services without a shutdown control): the service
# sets the device, whose line is read from outside Wine and judged afterwards.
kalvor_wine_stop
socat -u OPEN:"$links/dev",raw,echo=0 STDOUT >"$links/alone.bin" 2>/dev/null &
capture_pid=$!
pids+=($capture_pid)
"$KALVOR_WINESERVER" -p
"${wine[@]}" sc start kalvor-sync >"$out" 2>&1
# sc has ended: beyond Wine's half second the service runs on its own, one sequence every 2 s.
sleep 5
since=$(stat -c %s "$links/alone.bin")
sleep 5
kill $capture_pid 2>/dev/null
tail -c +$((since + 1)) "$links/alone.bin" | od -An -v -tx1 | "${wine[@]}" "$program_folder/kalvor-sim.exe" --hex - --json \
    >"$links/alone-judged" 2>&1
if [[ $(complete_sequences "$links/alone-judged") -ge 1 ]]; then pass; else
    fail "alone in its prefix with the wineserver kept, the service sets the device" "$links/alone-judged"
fi
kalvor_wine_stop

# --- Removed, and removed twice.
"${sync[@]}" --uninstall-service >"$out" 2>"$err"
expect "--uninstall-service stops and removes it" 0 $? "$out" '^removed the service kalvor-sync'
if [[ -z $(service_state) ]]; then pass; else fail "no service is left ($(service_state))"; fi
if ! "${wine[@]}" reg query "$source_key" >/dev/null 2>&1; then pass; else
    fail "the event source is removed"
fi
"${sync[@]}" --uninstall-service >"$out" 2>&1
expect "removing it twice is exit 6" 6 $? "$out" 'no service kalvor-sync is installed'
if [[ -f $status ]]; then pass; else fail "the status file stays after the removal"; fi

summary
