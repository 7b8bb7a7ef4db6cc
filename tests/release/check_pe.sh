#!/usr/bin/env bash
# check_pe.sh [--xp-dlls] [--xp-functions] OBJDUMP BINARY|ZIP SUBSYSTEM_VERSION [ALLOWED_DLL...]
#
# Reads a Windows executable's PE header: fails unless its subsystem version is exactly the one
# given (5.01 for the release, which must start on Windows XP) and, when DLLs are allowed, it
# imports no DLL outside them (so the compiler's run-time DLLs are linked in: the file runs on
# its own).
#   --xp-dlls       allows the DLLs that Windows XP ships (besides any given)
#   --xp-functions  fails if it imports a function of Windows Vista or later that the run-time
#                   libraries may pull in unnoticed: the program would not even start on XP
#
# Given a zip, as a user downloads it, it checks every .exe inside the same way, and each must
# also be stripped: no symbol table and no debugging sections.
set -euo pipefail

# The DLLs that Windows XP ships and that a program of ours may import.
xp_dlls=(kernel32.dll user32.dll gdi32.dll comctl32.dll msvcrt.dll advapi32.dll shell32.dll
    ole32.dll oleaut32.dll comdlg32.dll version.dll winmm.dll ws2_32.dll)
# Functions of Vista and later: of kernel32, and of ws2_32 (XP's Winsock 2 has getaddrinfo,
# getnameinfo and select, but not WSAPoll, the text conversions of addresses or the newer
# look-ups and connects).
not_on_xp_kernel='GetTickCount64|GetSystemTimePreciseAsFileTime|InitOnce.*|.*ConditionVariable.*|.*SRWLock.*|Fls(Alloc|Free|GetValue|SetValue)|CreateEventEx[AW]|CreateSemaphoreEx[AW]|CreateMutexEx[AW]|WaitOnAddress|WakeByAddress.*|GetCurrentProcessorNumber|GetFinalPathNameByHandle[AW]|QueryFullProcessImageName[AW]|(CompareString|LCMapString|GetLocaleInfo)Ex|GetFileInformationByHandleEx'
not_on_xp_sockets='WSAPoll|inet_pton|inet_ntop|InetPton[AW]|InetNtop[AW]|GetAddrInfoEx.*|SetAddrInfoEx[AW]|FreeAddrInfoEx.*|WSAConnectByName[AW]|WSAConnectByList|WSASendMsg|WSAGetIPUserMtu|WSASetIPUserMtu'
not_on_xp="^($not_on_xp_kernel|$not_on_xp_sockets)\$"

deny=''
allowed=()
while [[ ${1:-} == --xp-* ]]; do
    case $1 in
    --xp-dlls) allowed+=("${xp_dlls[@]}") ;;
    --xp-functions) deny=$not_on_xp ;;
    *) echo "check_pe.sh: unknown option $1" >&2 && exit 2 ;;
    esac
    shift
done
objdump=$1 binary=$2 want=$3
shift 3
allowed+=("$@")

# check_executable FILE STRIPPED(yes|no)
check_executable() {
    local file=$1 stripped=$2 name header functions denied major minor have status=0
    name=$(basename "$file")
    header=$("$objdump" -p "$file")
    if [[ -n $deny ]]; then
        # Import table lines: hint/name-table address, hint, function name.
        functions=$(awk '/DLL Name:/ {inside = 1; next} inside && NF >= 3 && $1 ~ /^[0-9a-f]+$/ {print $3}' <<<"$header")
        echo "$name: $(wc -l <<<"$functions") imported functions"
        if denied=$(grep -E "$deny" <<<"$functions"); then
            echo "FAIL: $name imports functions that Windows XP lacks:" $denied >&2
            status=1
        fi
    fi
    major=$(awk '/^MajorSubsystemVersion/ {print $2}' <<<"$header")
    minor=$(awk '/^MinorSubsystemVersion/ {print $2}' <<<"$header")
    have=$(printf '%d.%02d' "$major" "$minor")
    echo "$name: subsystem version $have"
    if [[ $have != "$want" ]]; then
        echo "FAIL: $name: expected subsystem version $want" >&2
        status=1
    fi

    if ((${#allowed[@]})); then
        local list=" ${allowed[*],,} " dll
        while read -r dll; do
            echo "$name imports $dll"
            if [[ $list != *" ${dll,,} "* ]]; then
                echo "FAIL: $name: $dll is not a DLL that every supported Windows ships" >&2
                status=1
            fi
        done < <(awk '/DLL Name:/ {print $3}' <<<"$header")
    fi

    if [[ $stripped == yes ]]; then
        if ! "$objdump" -t "$file" | grep -qx 'no symbols'; then
            echo "FAIL: $name has a symbol table (not stripped)" >&2
            status=1
        fi
        if "$objdump" -h "$file" | grep -q ' \.debug_'; then
            echo "FAIL: $name has debugging sections (not stripped)" >&2
            status=1
        fi
        ((status)) || echo "$name: stripped"
    fi
    return $status
}

if [[ $binary != *.zip ]]; then
    check_executable "$binary" no
    exit
fi

unpacked=$(mktemp -d /tmp/kalvor-check-pe.XXXXXX)
trap 'rm -rf "$unpacked"' EXIT
unzip -q "$binary" -d "$unpacked"
status=0 count=0
while IFS= read -r -d '' file; do
    check_executable "$file" yes || status=1
    count=$((count + 1))
done < <(find "$unpacked" -iname '*.exe' -print0 | sort -z)
if ((count == 0)); then
    echo "FAIL: $(basename "$binary") holds no executable" >&2
    exit 1
fi
exit $status
