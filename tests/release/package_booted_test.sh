#!/usr/bin/env bash
# package_booted_test.sh DIST PATH-TO-silent_address
#
# The Debian package in DIST, as scripts/release makes it, run by a real systemd: a container
# booted from this machine's own /usr with the package's files laid over it (systemd-nspawn
# --volatile=yes; nothing is installed, /etc is empty but for the test's list of devices). A unit
# of the test's own starts package_booted_checks.sh in it, which starts the packaged units, sandbox
# and all, checks what they did and powers the container off. The list's network devices are
# kalvor-sim outside the container, on loopback (the container shares the machine's network),
# and a silent address; the serial lines are pseudo-terminals inside it.
#
# The container gets what a real machine's systemd has, so that the units' sandbox is applied as
# it would be there: a unified cgroup hierarchy and the bpf() call, with which systemd enforces
# DevicePolicy= and IPAddressDeny=, and the read-only adjtimex() of the clock check (the container's
# own filter refuses every clock call to a container without CAP_SYS_TIME; it still has none, so
# nothing in it can set the clock).
#
# Prints the checks' lines and how long the container took to boot and to power off; exits 1 if a
# check failed, 77 with the reason where this machine cannot boot a container.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../..")
dist=$(realpath "$1") silent_program=$(realpath "$2")
# shellcheck source=../sync/sync_test_helpers.sh
source "$here/../sync/sync_test_helpers.sh"
version=$(sed -n 's/^project(Kalvor VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
deb=$dist/kalvor-sync_${version}_amd64.deb

skip() {
    echo "SKIP: $*"
    exit 77
}
command -v systemd-nspawn >/dev/null ||
    skip "systemd-nspawn is not installed (scripts/bootstrap installs systemd-container)"
((EUID == 0)) || skip "booting a container takes root"
[[ -f $deb ]] || { echo "FAIL: no $deb (scripts/release makes it)"; exit 1; }

# The time reference's server, for a serial line's unit with the shipped drop-in: chrony on
# loopback, 37 s ahead of this computer (tests/sync/reference/ntp-fixture).
if [[ -z ${KALVOR_NTP_CHRONY:-} ]]; then
    exec "$root/tests/sync/reference/ntp-fixture" --chrony 37 -- "$0" "$@"
fi

work=$(mktemp -d /tmp/kalvor-booted.XXXXXX)
findings=$work/findings
mkdir -p "$work/package" "$work/etc/kalvor-sync" "$findings"
pids=() container=
cleanup() {
    # The container powers off when systemd-nspawn is told to stop (--kill-signal).
    [[ -n $container ]] && kill "$container" 2>/dev/null && wait "$container" 2>/dev/null
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

dpkg-deb -x "$deb" "$work/package" || { echo "FAIL: dpkg-deb -x $deb"; exit 1; }

echo "$KALVOR_NTP_CHRONY" >"$findings/ntp-server"
# The list's devices: two simulated clocks and an address that never answers.
sim=("$work/package/usr/bin/kalvor-sim")
start_network_sim "$findings/network-sim.log" 2 --port tcp://127.0.0.1:0 --devices 2 || exit 1
"$silent_program" >"$work/silent" &
pids+=($!)
until_seen "$work/silent" '^tcp://' 10 || { fail "the silent address is made" "$work/silent"; exit 1; }
{
    echo "# The test's devices: two simulated clocks and one that never answers."
    listening_urls "$findings/network-sim.log"
    head -1 "$work/silent"
} >"$work/etc/kalvor-sync/hall.list"

# The checks' unit, and the target the container boots to: the basic system and the checks,
# none of the machine's own services (their presets enable them in an empty /etc). The container
# powers off when the checks end, however they end.
cat >"$work/checks.target" <<EOF
[Unit]
Description=The kalvor-sync package's checks
Requires=basic.target kalvor-package-checks.service
After=basic.target
AllowIsolate=yes
EOF
cat >"$work/checks.service" <<EOF
[Unit]
Description=Checks of the kalvor-sync package's units
After=basic.target
SuccessAction=poweroff
FailureAction=poweroff

[Service]
Type=oneshot
ExecStart=$here/package_booted_checks.sh /findings
StandardOutput=file:/findings/checks.log
StandardError=inherit
TimeoutStartSec=150
EOF

now >"$work/booting"
SYSTEMD_NSPAWN_UNIFIED_HIERARCHY=1 systemd-nspawn --quiet --volatile=yes --directory=/ \
    --register=no --keep-unit --boot --kill-signal=SIGRTMIN+4 \
    --overlay-ro="/usr:$work/package/usr:/usr" \
    --bind-ro="$root" --bind="$findings:/findings" \
    --bind-ro="$work/etc/kalvor-sync:/etc/kalvor-sync" \
    --bind-ro="$work/checks.target:/etc/systemd/system/kalvor-package-checks.target" \
    --bind-ro="$work/checks.service:/etc/systemd/system/kalvor-package-checks.service" \
    --system-call-filter="adjtimex clock_adjtime bpf" \
    systemd.firstboot=off systemd.unit=kalvor-package-checks.target \
    </dev/null >"$work/console.log" 2>&1 &
container=$!
deadline=$((SECONDS + 180))
while kill -0 "$container" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.1; done
if kill -0 "$container" 2>/dev/null; then
    echo "FAIL: the container is still up after 180 s; its console:"
    cat "$work/console.log"
    exit 1
fi
wait "$container"
status=$? container=
now >"$work/off"

if [[ ! -f $findings/started ]]; then
    # Never booted as far as the checks: a machine that cannot run a container at all fails in
    # systemd-nspawn itself, before systemd starts.
    if ((status != 0)) && ! grep -q 'Reached target' "$work/console.log"; then
        skip "systemd-nspawn cannot boot a container here: $(tail -n 3 "$work/console.log" | tr '\n' ' ')"
    fi
    echo "FAIL: the container booted but never started the checks; its console:"
    cat "$work/console.log"
    exit 1
fi
cat "$findings/checks.log"
echo "the container booted in $(seconds_between "$(cat "$work/booting")" "$(cat "$findings/started")") s" \
    "and powered off in $(seconds_between "$(cat "$findings/ended")" "$(cat "$work/off")") s"
if ! grep -qx 'all [0-9]* checks passed' "$findings/checks.log"; then
    echo "FAIL: the checks did not all pass (systemd-nspawn exited $status); the container's console:"
    cat "$work/console.log"
    exit 1
fi
