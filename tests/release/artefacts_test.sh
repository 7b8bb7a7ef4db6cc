#!/usr/bin/env bash
# artefacts_test.sh [DIST]
#
# The release in DIST (default dist/, as scripts/release writes it) used as downloaded:
#   - SHA256SUMS holds every artefact and `sha256sum -c` passes;
#   - each zip holds exactly what a user needs; its executables are stripped, static, for the
#     DLLs Windows XP ships (tests/release/check_pe.sh); kalvor.exe is under 1 MB; the guides
#     and the licence are texts Notepad on Windows XP shows right;
#   - a zip unpacked into a folder whose path has a blank and Chinese characters: its kalvor.exe,
#     started from another folder, reads the InitSet.ini beside it and a click sets kalvor-sim
#     on a pseudo-terminal line (seven valid frames, 28 bytes); its kalvor-sync.exe sets
#     kalvor-sim too;
#   - the Debian package, unpacked with dpkg-deb -x (not installed): its programs tell the
#     project's version and one sets the other over a pseudo-terminal pair; man -l renders both
#     pages without a warning; systemd-analyze verify accepts the units and scores each service
#     at most 2.0; lintian finds no error, and no hardening tag even with -I;
#   - the tarball holds the same tree, and its programs run.
# Prints PASS, FAIL or SKIP (with the reason) per check and a count; exits 1 if a check failed.
# Runs inside scripts/lib/sandbox: no real serial device exists there. Screenshots and logs go to
# build/artefacts/.
set -uo pipefail
root=$(realpath "$(dirname "$(realpath "$0")")/../..")
if [[ "${KALVOR_SANDBOX:-}" != 1 ]]; then
    exec "$root/scripts/lib/sandbox" "$0" "$@"
fi
dist=$(realpath "${1:-$root/dist}")
version=$(sed -n 's/^project(Kalvor VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
zip_x86=kalvor-$version-windows-x86.zip
zip_x64=kalvor-$version-windows-x64.zip
deb=kalvor-sync_${version}_amd64.deb
tarball=kalvor-$version-linux-x86_64.tar.gz

# shellcheck source=../../scripts/lib/wine-env
source "$root/scripts/lib/wine-env"

work=$(mktemp -d /tmp/kalvor-artefacts.XXXXXX)
logs=$root/build/artefacts
rm -rf "$logs"
mkdir -p "$logs"
cleanup() {
    if [[ -n ${WINEPREFIX:-} ]]; then
        kalvor_wine_unmap_ports
    fi
    kalvor_stop_lines_and_display
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

passed=0 failed=0 skipped=0 checks=0
# check NAME FUNCTION [ARGS...]: runs one check in a subshell of its own; it fails with a message
# on stderr (problem), or exits 77 after printing why it cannot run here. Its output goes to
# build/artefacts/check-N.log and is shown when it did not pass.
check() {
    local name=$1 status log
    shift
    checks=$((checks + 1))
    log=$logs/check-$checks.log
    ("$@") >"$log" 2>&1
    status=$?
    if ((status == 0)); then
        echo "PASS $name"
        passed=$((passed + 1))
    elif ((status == 77)); then
        echo "SKIP $name: $(tr '\n' ' ' <"$log")"
        skipped=$((skipped + 1))
    else
        echo "FAIL $name"
        sed 's/^/    /' "$log"
        failed=$((failed + 1))
    fi
    return "$status"
}
# problem MESSAGE: ends the check as failed.
problem() {
    echo "$*" >&2
    exit 1
}
# Ends the processes a check started in the background when the check ends, however it ends.
stop_at_end() {
    # shellcheck disable=SC2064 # the pids are those of now
    trap "kill $* 2>/dev/null" EXIT
}

# Windows programs print in their code page, 936: compared here in UTF-8.
from_gbk() { iconv -f GBK -t UTF-8; }
# The value of KEY in an InitSet.ini, in UTF-8.
setting() { from_gbk <"$1" | tr -d '\r' | sed -n "s/^$2=//p"; }

# until_in FILE PATTERN SECONDS: waits until a line of FILE matches the extended regex.
until_in() {
    local deadline=$((SECONDS + $3))
    until grep -qE -- "$2" "$1" 2>/dev/null; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# frames_of_one_sequence LOG: kalvor-sim's --json report of one sequence set by the computer:
# seven frames, all accepted, 28 bytes, no noise, the sequence complete.
frames_of_one_sequence() {
    local log=$1 frames bytes
    frames=$(grep -c '"type":"frame".*"status":"ok"' "$log")
    bytes=$(grep '"type":"\(frame\|noise\)"' "$log" | sed -E 's/.*"bytes":"([0-9A-F ]*)".*/\1/' |
        tr -s ' ' '\n' | grep -c .)
    [[ $frames == 7 ]] || problem "the device accepted $frames frames, not 7: $(cat "$log")"
    [[ $bytes == 28 ]] || problem "the device received $bytes bytes, not 28: $(cat "$log")"
    ! grep -q '"status":"rejected"' "$log" || problem "the device rejected bytes: $(cat "$log")"
    grep -q '"type":"sequence".*"complete":true' "$log" ||
        problem "the device saw no complete sequence: $(cat "$log")"
}

# --- The download folder and its checksums. ----------------------------------------------------
artefacts_listed() {
    local want have
    want=$(printf '%s\n' SHA256SUMS "$deb" "$tarball" "$zip_x64" "$zip_x86" | sort)
    have=$(cd "$dist" && find . -mindepth 1 -printf "%P\n" | sort)
    [[ $have == "$want" ]] || problem "dist/ holds:"$'\n'"$have"$'\n'"expected:"$'\n'"$want"
    [[ $(awk '{print $2}' "$dist/SHA256SUMS" | sort) == "$(grep -v SHA256SUMS <<<"$want")" ]] ||
        problem "SHA256SUMS does not list every artefact: $(cat "$dist/SHA256SUMS")"
    (cd "$dist" && sha256sum -c --strict SHA256SUMS)
}

# --- The Windows zips. ---------------------------------------------------------------------------
# is_notepad_text FILE: UTF-8 with a byte-order mark, CRLF at every line end.
is_notepad_text() {
    local file=$1
    [[ $(head -c 3 "$file" | od -An -tx1 | tr -d ' ') == efbbbf ]] ||
        problem "$(basename "$file") does not start with a UTF-8 byte-order mark"
    iconv -f UTF-8 -t UTF-8 "$file" >/dev/null || problem "$(basename "$file") is not UTF-8"
    [[ $(grep -c $'\r$' "$file") == "$(wc -l <"$file")" ]] ||
        problem "$(basename "$file") has line ends without CR"
    [[ $(tail -c 2 "$file" | od -An -tx1 | tr -d ' ') == 0d0a ]] ||
        problem "$(basename "$file") does not end with CRLF"
}

zip_contents() {
    local zip=$1 folder=${1%.zip} listing want zones
    listing=$(unzip -Z1 "$dist/$zip" | grep -v '/$' | grep -v "^$folder/zoneinfo/" | sort)
    want=$(printf "$folder/%s\n" kalvor.exe kalvor-sync.exe kalvor-sim.exe InitSet.ini \
        InitSet.en.ini Guide.zh-CN.txt Guide.en.txt LICENSE.txt | sort)
    [[ $listing == "$want" ]] || problem "$zip holds:"$'\n'"$listing"$'\n'"expected:"$'\n'"$want"
    # The zone files beside the programs: every one that scripts/lib/zone-data wrote.
    zones=$(unzip -Z1 "$dist/$zip" | grep -v '/$' | sed -n "s|^$folder/zoneinfo/||p" | sort)
    [[ $zones == "$(cd "$root/build/cache/zoneinfo" && find . -type f | sed 's|^\./||' | sort)" ]] ||
        problem "$zip's zoneinfo/ is not the zone data of build/cache/zoneinfo"
    echo "$zip: zone data $(head -1 "$root/build/cache/zoneinfo/tzdata.zi" | sed 's/# version //'):" \
        "$(wc -l <<<"$zones") files, $(unzip -Zt "$dist/$zip" "$folder/zoneinfo/*" | sed 's/,.*//') of the zip"

    local unpacked=$work/contents-$folder
    unzip -q "$dist/$zip" -d "$unpacked" || return 1
    unpacked=$unpacked/$folder
    cmp "$unpacked/InitSet.ini" "$root/res/InitSet.ini" || problem "InitSet.ini is not the Chinese settings file"
    cmp "$unpacked/InitSet.en.ini" "$root/res/InitSet.en.ini" || problem "InitSet.en.ini is not the English settings file"
    local size
    size=$(stat -c %s "$unpacked/kalvor.exe")
    ((size < 1000000)) || problem "kalvor.exe is $size bytes, not under 1 MB"
    echo "kalvor.exe: $size bytes"
    local text
    for text in Guide.zh-CN.txt Guide.en.txt LICENSE.txt; do
        is_notepad_text "$unpacked/$text" || return 1
    done
    grep -q 'MIT License' "$unpacked/LICENSE.txt" || problem "LICENSE.txt is not the MIT licence"
    grep -q '配置文件 InitSet.ini' "$unpacked/Guide.zh-CN.txt" || problem "Guide.zh-CN.txt is not the Chinese guide"
    grep -q 'The settings file InitSet.ini' "$unpacked/Guide.en.txt" || problem "Guide.en.txt is not the English guide"
}

# The x86 zip is the release for Windows XP and later: subsystem 5.01 and no function XP lacks.
# The x64 zip is for 64-bit Windows Vista and later (its programs import GetTickCount64); its
# subsystem is the linker's 5.02.
zip_x86_executables() {
    "$root/tests/release/check_pe.sh" --xp-dlls --xp-functions i686-w64-mingw32-objdump \
        "$dist/$zip_x86" 5.01
}
zip_x64_executables() {
    "$root/tests/release/check_pe.sh" --xp-dlls x86_64-w64-mingw32-objdump "$dist/$zip_x64" 5.02
}

# --- The Linux programs, unpacked. -------------------------------------------------------------
debian=$work/debian
deb_contents() {
    dpkg-deb -x "$dist/$deb" "$debian" || return 1
    local listing want
    listing=$(cd "$debian" && find . -type f | sort)
    want=$(printf '%s\n' ./usr/bin/kalvor-sim ./usr/bin/kalvor-sync \
        ./usr/lib/systemd/system/kalvor-sync@.service ./usr/lib/systemd/system/kalvor-sync@.timer \
        ./usr/lib/systemd/system/kalvor-sync-follow@.service \
        ./usr/lib/systemd/system/kalvor-sync-list@.service ./usr/lib/sysusers.d/kalvor-sync.conf \
        ./usr/share/doc/kalvor-sync/changelog.gz ./usr/share/doc/kalvor-sync/copyright \
        ./usr/share/kalvor-sync/time-reference.conf ./usr/share/kalvor-sync/kalvor-sync.rules.yml \
        ./usr/share/man/man1/kalvor-sim.1.gz ./usr/share/man/man1/kalvor-sync.1.gz | sort)
    [[ $listing == "$want" ]] || problem "$deb holds:"$'\n'"$listing"$'\n'"expected:"$'\n'"$want"
    [[ $(dpkg-deb -f "$dist/$deb" Package Version) == "Package: kalvor-sync"$'\n'"Version: $version" ]] ||
        problem "$deb is not kalvor-sync $version: $(dpkg-deb -f "$dist/$deb" Package Version)"
    grep -q 'Permission is hereby granted' "$debian/usr/share/doc/kalvor-sync/copyright" ||
        problem "the copyright file does not carry the licence"
    zcat "$debian/usr/share/doc/kalvor-sync/changelog.gz" | head -1 | grep -qF "kalvor-sync ($version)" ||
        problem "the changelog's first entry is not $version"
}

# programs_tell_version DIR: DIR/kalvor-sync and DIR/kalvor-sim print the project's version
# first.
programs_tell_version() {
    local program
    for program in kalvor-sync kalvor-sim; do
        [[ $("$1/$program" --version | head -1) == "$program $version" ]] ||
            problem "$program --version says \"$("$1/$program" --version 2>&1)\", not \"$program $version\""
    done
}

# sync_sets_sim BIN: BIN/kalvor-sync sets BIN/kalvor-sim over a pseudo-terminal pair.
sync_sets_sim() {
    local bin=$1 lines=$work/lines-native sim status
    mkdir -p "$lines"
    kalvor_start_pty_pair computer device "" "$lines"
    "$bin/kalvor-sim" --port "$lines/device" --json --sequences 1 >"$logs/native-sim.log" 2>&1 &
    sim=$!
    stop_at_end "$sim" "${kalvor_socats[@]}"
    sleep 1
    "$bin/kalvor-sync" --port "$lines/computer" >"$logs/native-sync.log" 2>&1
    status=$?
    ((status == 0)) || problem "kalvor-sync exited $status: $(cat "$logs/native-sync.log")"
    until_in "$logs/native-sim.log" '"type":"sequence"' 10
    frames_of_one_sequence "$logs/native-sim.log"
}

manual_pages_render() {
    local page warnings
    for page in kalvor-sync kalvor-sim; do
        warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man -l --warnings=all \
            "$debian/usr/share/man/man1/$page.1.gz" 2>&1 >"$logs/$page.1.txt")
        [[ -z $warnings ]] || problem "man -l $page.1.gz warns: $warnings"
        grep -q "^NAME" "$logs/$page.1.txt" || problem "man -l $page.1.gz rendered no NAME section"
    done
}

# The units of a device on /dev/ttyUSB0, verified in a root made of the unpacked package: the
# program they start is there, and their manual page (MANPATH) too.
units_verify() {
    command -v systemd-analyze >/dev/null || { echo "systemd-analyze is not installed"; return 77; }
    MANPATH=$debian/usr/share/man systemd-analyze verify --root="$debian" --recursive-errors=no \
        kalvor-sync@ttyUSB0.service kalvor-sync@ttyUSB0.timer kalvor-sync-follow@ttyUSB0.service \
        kalvor-sync-list@hall.service
}

# The units as packaged score what the source's do (tests/release/units_test.sh checks more).
units_score() {
    local unit
    for unit in kalvor-sync@.service kalvor-sync-follow@.service kalvor-sync-list@.service; do
        systemd-analyze security --offline=true --threshold=20 \
            "$debian/usr/lib/systemd/system/$unit" | tail -n 1
        ((PIPESTATUS[0] == 0)) || problem "$unit scores more than 2.0"
    done
}

lintian_finds_no_error() {
    lintian --fail-on error "$dist/$deb"
}

# The programs are built as Debian hardens its own (dpkg-buildflags): no hardening-* tag, at any
# level.
lintian_finds_no_hardening_tag() {
    local tags
    tags=$(lintian -I --tag-display-limit 0 "$dist/$deb" | grep ' hardening-')
    [[ -z $tags ]] || problem "lintian: $tags"
}

tarball_holds_the_same() {
    local top=$work/tarball unpacked listing want
    mkdir -p "$top"
    tar -xzf "$dist/$tarball" -C "$top" || return 1
    unpacked=$top/${tarball%.tar.gz}
    [[ -d $unpacked ]] || problem "$tarball has no folder ${tarball%.tar.gz}/"
    listing=$(cd "$unpacked" && find . -type f | sort)
    want=$(cd "$debian/usr" && find . -type f | sort)
    [[ $listing == "$want" ]] || problem "$tarball holds:"$'\n'"$listing"$'\n'"the package:"$'\n'"$want"
    programs_tell_version "$unpacked/bin"
}

# --- The Windows programs, unpacked, under Wine. -------------------------------------------------
# Which zip runs here, in one place: the x86 zip (the release) under the 32-bit Wine where this
# machine runs 32-bit code, else the x64 zip's programs under wine64 (the x86 programs are then
# only read, by zip_x86_executables).
if why=$(kalvor_win32_unavailable); then
    windows_zip=$zip_x64 windows_tree=$root/build/win64 windows_arch=win64
    windows_choice="the x64 zip under wine64 (the x86 zip cannot run here: $why)"
else
    windows_zip=$zip_x86 windows_tree=$root/build/win32 windows_arch=win32
    windows_choice="the x86 zip, the release, under the 32-bit Wine"
fi

# A folder whose path has a blank and Chinese characters; the second byte of 誠 in code page 936
# is a backslash.
download="$work/下载 Kalvor 誠"
program_folder=$download/${windows_zip%.zip}
driver() { "$KALVOR_WINE" "$windows_tree/bin/kalvor-driver.exe" --timeout-ms 30000 "$@" | tr -d '\r'; }

# Unpacks the zip and makes the Wine prefix ready.
windows_unpack() {
    [[ -x $windows_tree/bin/kalvor-driver.exe ]] ||
        problem "no test driver in $windows_tree/bin: build the preset first"
    mkdir -p "$download"
    unzip -q "$dist/$windows_zip" -d "$download" || problem "cannot unzip $windows_zip"
    kalvor_wine_prefix_ready || problem "the Wine prefix $WINEPREFIX could not be made"
}

# kalvor-sim, from the package, as the device on the far end of COM1.
start_sim() {
    "$debian/usr/bin/kalvor-sim" --port "$device_line" --json --sequences 1 >"$1" 2>&1 &
    sim=$!
    sleep 1
}

# kalvor.exe started from / (not its folder) reads the InitSet.ini beside it: the opening tip,
# the button's caption and today's weekday name are the shipped Chinese texts (those of
# res/InitSet.ini); a click sets the device.
window_sets_device() {
    local ini=$root/res/InitSet.ini tip caption weekday before after kalvor
    [[ -n $(setting "$ini" comopensucceed) && -n $(setting "$ini" comset) ]] ||
        problem "res/InitSet.ini has no opening tip or caption to look for"
    start_sim "$logs/window-sim.log"
    before=$(date +%w)
    (cd / && exec "$KALVOR_WINE" "$program_folder/kalvor.exe") &
    kalvor=$!
    stop_at_end "$sim" "$kalvor"
    tip=$(driver dismiss | from_gbk | cut -f3-)
    [[ $tip == "$(setting "$ini" comopensucceed)" ]] ||
        problem "the opening tip says \"$tip\", not the shipped \"$(setting "$ini" comopensucceed)\""
    driver wait >/dev/null || problem "no main window"
    caption=$(driver text 1005 | from_gbk)
    weekday=$(driver text 1001 | from_gbk)
    after=$(date +%w)
    [[ $caption == "$(setting "$ini" comset)" ]] ||
        problem "the button says \"$caption\", not the shipped \"$(setting "$ini" comset)\""
    local keys=(Sunday Monday Tuesday Wednesday Thursday Friday Saturday)
    [[ $weekday == "$(setting "$ini" "${keys[before]}")" || $weekday == "$(setting "$ini" "${keys[after]}")" ]] ||
        problem "the weekday label says \"$weekday\", not the shipped \"$(setting "$ini" "${keys[before]}")\""
    driver click || problem "the button could not be clicked"
    until_in "$logs/window-sim.log" '"type":"sequence"' 15
    driver screenshot "Z:$logs/window.png" >/dev/null
    driver close
    wait "$kalvor" 2>/dev/null
    frames_of_one_sequence "$logs/window-sim.log"
}

# kalvor-sync.exe reads the zone files beside it, however its folder is named, and tells their
# version; Kiritimati's clocks show the next day before UTC's. The folder comes out in the
# console's code page (GBK here), which no UTF-8 pattern matches: grep reads bytes.
windows_zones_beside() {
    local data
    data=$(head -1 "$root/build/cache/zoneinfo/tzdata.zi" | sed 's/# version //')
    (cd / && exec "$KALVOR_WINE" "$program_folder/kalvor-sync.exe" --version) 2>&1 | tr -d '\r' |
        LC_ALL=C grep -q "^zone data $data in .*zoneinfo$" || problem "kalvor-sync.exe --version names no zone data $data"
    (cd / && TZ=UTC exec "$KALVOR_WINE" "$program_folder/kalvor-sync.exe" --dry-run --zone Pacific/Kiritimati \
        --at "2026-12-31 10:30:00" --verbose) 2>&1 | tr -d '\r' |
        grep -q 'the device takes 2027-01-01 00:30:00 Friday$' || problem "Kiritimati's time is not shown from the zip"
}

windows_sync_sets_device() {
    local status
    start_sim "$logs/windows-sync-sim.log"
    stop_at_end "$sim"
    (cd / && exec "$KALVOR_WINE" "$program_folder/kalvor-sync.exe" --port COM1) \
        >"$logs/windows-sync.log" 2>&1
    status=$?
    ((status == 0)) || problem "kalvor-sync.exe exited $status: $(tr -d '\r' <"$logs/windows-sync.log")"
    until_in "$logs/windows-sync-sim.log" '"type":"sequence"' 10
    frames_of_one_sequence "$logs/windows-sync-sim.log"
}

echo "=== the release $version in $dist"
check "dist holds the five files and sha256sum -c SHA256SUMS passes" artefacts_listed
check "$zip_x86 holds the programs, both settings files, the guides, the licence and the zone data" zip_contents "$zip_x86"
check "$zip_x64 holds the programs, both settings files, the guides, the licence and the zone data" zip_contents "$zip_x64"
check "$zip_x86: every executable stripped, static, for Windows XP (subsystem 5.01)" zip_x86_executables
check "$zip_x64: every executable stripped, static, importing only DLLs that Windows ships" zip_x64_executables
check "$deb holds the programs, pages, units, copyright and changelog" deb_contents
check "$deb: kalvor-sync and kalvor-sim --version print $version" programs_tell_version "$debian/usr/bin"
check "$deb: kalvor-sync sets the packaged kalvor-sim over a pseudo-terminal pair" sync_sets_sim "$debian/usr/bin"
check "$deb: man -l renders both pages without a warning" manual_pages_render
check "$deb: systemd-analyze verify accepts the units of /dev/ttyUSB0" units_verify
check "$deb: each service unit scores at most 2.0 in systemd-analyze security" units_score
check "$deb: lintian finds no error" lintian_finds_no_error
check "$deb: lintian -I finds no hardening tag" lintian_finds_no_hardening_tag
check "$tarball holds the package's tree, and its programs run" tarball_holds_the_same
echo "=== Windows programs as downloaded: $windows_choice"
kalvor_wine_env "$windows_tree/wineprefix" "$windows_arch"
if check "$windows_zip unpacked under \"${download#"$work"/}\"" windows_unpack; then
    mkdir -p "$work/lines-wine"
    kalvor_start_pty_pair COM1 DEVICE "" "$work/lines-wine"
    device_line=$work/lines-wine/DEVICE
    kalvor_wine_map_ports "${kalvor_pair_ports[0]}"
    kalvor_start_display
    check "kalvor.exe reads the InitSet.ini beside it, and a click sets kalvor-sim" window_sets_device
    check "kalvor-sync.exe sets kalvor-sim" windows_sync_sets_device
    check "kalvor-sync.exe reads the zone files beside it" windows_zones_beside
fi

echo "artefacts: $passed passed, $failed failed, $skipped skipped"
((failed == 0))
