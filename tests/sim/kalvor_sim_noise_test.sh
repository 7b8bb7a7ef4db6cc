#!/usr/bin/env bash
# kalvor-sim on a line full of noise: for SECONDS, random bytes at the line's full rate (960 a
# second) with the frames of a sequence mixed in, one every 200 ms. The simulator must report the
# noise, decode every frame mixed into it, keep its memory, and still set its clock from a clean
# sequence at the end.
# usage: kalvor_sim_noise_test.sh PATH-TO-kalvor-sim SECONDS
set -uo pipefail
sim=$1 seconds=$2
failures=0
fail() {
    echo "FAIL: $1"
    failures=$((failures + 1))
}

frames=("F6 01 16 F2" "F6 02 04 03" "F6 03 12 F4" "F6 04 02 03" "F6 05 09 FB" "F6 06 05 FE"
    "F6 07 30 D2")
# "F6 01 16 F2" -> "\xF6\x01\x16\xF2", for printf.
escaped() { sed 's/ //g; s/../\\x&/g' <<<"$1"; }

ptys=$(mktemp -d /tmp/kalvor-sim-noise.XXXXXX)
# shellcheck source=../../scripts/lib/pty-pair
source "$(dirname "$0")/../../scripts/lib/pty-pair"
kalvor_pty_pair "$ptys/device" "$ptys/computer"
socat=$kalvor_pty_pid
sim_pid=
trap 'kill $sim_pid $socat 2>/dev/null; wait 2>/dev/null; rm -rf "$ptys"' EXIT
"$sim" --port "$ptys/device" --json >"$ptys/out" 2>"$ptys/err" &
sim_pid=$!
sleep 0.5
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$sim_pid/status" 2>/dev/null; }

# The same bytes on every run.
RANDOM=2016
exec 3>"$ptys/computer"
start=${EPOCHREALTIME/./} sent=0 mixed_in=0 tick=0 rss_start=
while :; do
    elapsed_us=$((${EPOCHREALTIME/./} - start))
    ((elapsed_us < seconds * 1000000)) || break
    chunk=
    for ((due = elapsed_us * 96 / 100000; sent < due; sent++)); do
        printf -v hex '\\x%02x' $((RANDOM & 255))
        chunk+=$hex
    done
    # Every other tick of 100 ms, the next frame, whole, after the noise.
    if ((tick % 2 == 0)); then
        chunk+=$(escaped "${frames[mixed_in % 7]}")
        mixed_in=$((mixed_in + 1))
    fi
    tick=$((tick + 1))
    printf "$chunk" >&3
    if ((tick == 50)); then
        rss_start=$(rss_kb)
    fi
    sleep 0.1
done
rss_end=$(rss_kb)

# Then a clean sequence, 200 ms a frame, which must set the device's clock.
sleep 0.5
for frame in "${frames[@]}"; do
    printf "$(escaped "$frame")" >&3
    sleep 0.2
done
sleep 0.5
exec 3>&-

if ! kill -0 $sim_pid 2>/dev/null; then
    fail "the simulator ended on the noise"
    cat "$ptys/err"
fi
decoded=0
for frame in "${frames[@]}"; do
    count=$(grep -c "\"type\":\"frame\",[^}]*\"bytes\":\"$frame\",[^}]*\"status\":\"ok\"" "$ptys/out")
    decoded=$((decoded + count))
done
noise=$(grep -c '"type":"noise"' "$ptys/out")
rejected=$(grep -c '"type":"frame",.*"status":"rejected"' "$ptys/out")
echo "$sent random bytes in ${seconds} s with $mixed_in frames mixed in: $decoded frames decoded" \
    "(with the clean sequence), $noise runs of noise, $rejected broken frames told;" \
    "memory ${rss_start:-?} -> ${rss_end:-?} KB"
# Every frame mixed in, and the seven of the clean sequence.
if ((decoded != mixed_in + 7)); then
    fail "decoded $decoded frames, $((mixed_in + 7)) were sent whole"
fi
if ((noise < sent / 64)); then
    fail "only $noise runs of noise told for $sent random bytes (runs are at most 64 bytes)"
fi
if ! tail -n 1 "$ptys/out" | grep -q '"type":"sequence","arrival":"[^"]*","complete":true'; then
    fail "the clean sequence after the noise did not set the device"
    tail -n 3 "$ptys/out"
fi
# What the simulator keeps does not grow with what it reads.
if [[ -z $rss_start || -z $rss_end ]] || ((rss_end > rss_start + 2048)); then
    fail "the simulator's memory grew from ${rss_start:-?} to ${rss_end:-?} KB"
fi
((failures == 0))
