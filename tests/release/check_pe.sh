#!/usr/bin/env bash
# check_pe.sh OBJDUMP BINARY SUBSYSTEM_VERSION [ALLOWED_DLL...]
#
# Reads a Windows executable's PE header: fails unless its subsystem version is exactly the one
# given (5.01 for the release, which must start on Windows XP) and, when DLL names are given, it
# imports no DLL outside them.
set -euo pipefail
objdump=$1 binary=$2 want=$3
shift 3

header=$("$objdump" -p "$binary")
major=$(awk '/^MajorSubsystemVersion/ {print $2}' <<<"$header")
minor=$(awk '/^MinorSubsystemVersion/ {print $2}' <<<"$header")
have=$(printf '%d.%02d' "$major" "$minor")
echo "$(basename "$binary"): subsystem version $have"
if [[ $have != "$want" ]]; then
    echo "FAIL: expected subsystem version $want" >&2
    exit 1
fi

if (($#)); then
    allowed=" ${*,,} "
    status=0
    while read -r dll; do
        echo "imports $dll"
        if [[ $allowed != *" ${dll,,} "* ]]; then
            echo "FAIL: $dll is not a DLL that every supported Windows ships" >&2
            status=1
        fi
    done < <(awk '/DLL Name:/ {print $3}' <<<"$header")
    exit $status
fi
