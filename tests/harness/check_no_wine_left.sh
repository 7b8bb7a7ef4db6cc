#!/usr/bin/env bash
# check_no_wine_left.sh PREFIX
#
# Fails if any process still runs with WINEPREFIX=PREFIX (the lane's, under KALVOR_WINE_LANE): every Wine test must stop its prefix's
# wineserver and programs when it ends, and scripts/lib/wine-run the socat lines and displays it
# started with that environment.
set -euo pipefail
# shellcheck source=../../scripts/lib/wine-env
source "$(dirname "$(realpath "$0")")/../../scripts/lib/wine-env"
prefix=$(kalvor_wine_lane_prefix "$1")
left=0
for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    [[ $pid == "$$" ]] && continue
    if { tr '\0' '\n' <"$environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$prefix"; then
        echo "left behind: pid $pid $(tr '\0' ' ' </proc/"$pid"/cmdline 2>/dev/null)" >&2
        left=1
    fi
done
[[ $left == 0 ]] && echo "no Wine process of $prefix is running"
exit $left
