#!/usr/bin/env bash
# check_pe.sh [--deny-functions REGEX] OBJDUMP BINARY SUBSYSTEM_VERSION [ALLOWED_DLL...]
#
# Reads a Windows executable's PE header: fails unless its subsystem version is exactly the one
# given (5.01 for the release, which must start on Windows XP) and, when DLL names are given, it
# imports no DLL outside them. With --deny-functions, it also fails if it imports a function whose
# name matches the extended regular expression (functions an older Windows lacks: the program
# would not even start there).
set -euo pipefail
deny=
if [[ ${1:-} == --deny-functions ]]; then
    deny=$2
    shift 2
fi
objdump=$1 binary=$2 want=$3
shift 3

header=$("$objdump" -p "$binary")
if [[ -n $deny ]]; then
    # Import table lines: hint/name-table address, hint, function name.
    functions=$(awk '/DLL Name:/ {inside = 1; next} inside && NF >= 3 && $1 ~ /^[0-9a-f]+$/ {print $3}' <<<"$header")
    echo "$(basename "$binary"): $(wc -l <<<"$functions") imported functions"
    if denied=$(grep -E "$deny" <<<"$functions"); then
        echo "FAIL: imports functions that Windows XP lacks:" $denied >&2
        exit 1
    fi
fi
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
