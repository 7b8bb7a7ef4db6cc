#!/usr/bin/python3
"""zone_oracle_test.py ORACLE FOLDER: the zone reader (zone_oracle.cpp) against Python's zoneinfo.

Every distinct zone file of FOLDER (posix/ and right/ aside), from 1970 to 2040, at instants a few
days apart and a second either side of each change of offset found between them: offset,
abbreviation and next offset change must agree. Any difference fails, naming zone and instant.
"""
import datetime
import hashlib
import itertools
import multiprocessing
import os
import subprocess
import sys
import time
import zoneinfo

LAST = int(datetime.datetime(2041, 1, 1, tzinfo=datetime.timezone.utc).timestamp())
HORIZON = 40 * 86400
ONE_SECOND = datetime.timedelta(seconds=1)
# Three to six and a half days, at ever other times of day: less than the week that is the
# shortest time between two changes of offset in these years, so that none goes unseen.
STEPS = [3 * 86400 + 3607, 5 * 86400 + 40009, 4 * 86400 + 71993, 6 * 86400 + 12347,
         5 * 86400 + 55001, 6 * 86400 + 29989]


def zone_names(folder):
    distinct = {}
    for root, dirs, files in os.walk(folder):
        dirs[:] = sorted(d for d in dirs if root != folder or d not in ("posix", "right"))
        for path in (os.path.join(root, name) for name in sorted(files)):
            with open(path, "rb") as file:
                content = file.read()
            if content.startswith(b"TZif"):
                distinct.setdefault(hashlib.sha256(content).digest(), os.path.relpath(path, folder))
    return sorted(distinct.values())


def expectations(folder, name):
    """[(instant, the reader's expected answer, whether its next change is known)]."""
    with open(os.path.join(folder, name), "rb") as file:
        zone = zoneinfo.ZoneInfo.from_file(file, key=name)
    epoch, second, fromutc = datetime.datetime(1970, 1, 1, tzinfo=zone), ONE_SECOND, zone.fromutc

    def at(instant):
        local = fromutc(epoch + datetime.timedelta(seconds=instant))
        return instant, local.utcoffset() // second, local.tzname()

    grid, instant, steps = [], 0, itertools.cycle(STEPS)
    while instant < LAST:
        grid.append(at(instant))
        instant += next(steps)
    points, changes = grid[:], []
    for (low, offset, _), (high, later, _) in zip(grid, grid[1:]):
        if offset != later:
            while high - low > 1:
                middle = (low + high) // 2
                low, high = (middle, high) if at(middle)[1] == offset else (low, middle)
            changes.append(high)
            points += [at(high - 1), at(high)]
    points.sort()
    rows, upcoming = [], iter(changes + [2 * LAST])
    following = next(upcoming)
    for instant, offset, abbreviation in points:
        while following <= instant:
            following = next(upcoming)
        rows.append((instant, f"{offset} {abbreviation} "
                     f"{following if following <= instant + HORIZON else '-'}",
                     instant + HORIZON < LAST))
    return rows


def check(oracle, folder, names):
    """How many instants of the zones `names` were asked, and what the reader got wrong."""
    faults, count = [], 0
    with subprocess.Popen([oracle, folder, str(HORIZON)], stdin=subprocess.PIPE,
                          stdout=subprocess.PIPE, text=True) as reader:
        for name in names:
            rows = expectations(folder, name)
            # In pieces that fit a pipe both ways: the reader answers each before it waits.
            for piece in (rows[i:i + 1000] for i in range(0, len(rows), 1000)):
                reader.stdin.write("".join(f"{name} {row[0]}\n" for row in piece))
                reader.stdin.flush()
                for instant, wanted, known in piece:
                    count += 1
                    answer = reader.stdout.readline().rstrip("\n")
                    if answer != wanted and (known or answer.rsplit(" ", 1)[0] !=
                                             wanted.rsplit(" ", 1)[0]):
                        utc = datetime.datetime.fromtimestamp(instant, datetime.timezone.utc)
                        faults.append(f"{name} at {instant} ({utc:%Y-%m-%d %H:%M:%S} UTC): the "
                                      f"reader says \"{answer}\", zoneinfo \"{wanted}\" (offset, "
                                      "abbreviation, next offset change)")
        reader.stdin.close()
    return count, faults


def main():
    oracle, folder = sys.argv[1], sys.argv[2]
    started = time.monotonic()
    names = zone_names(folder)
    # Many small shares, so that the workers finish together.
    with multiprocessing.Pool(os.cpu_count()) as pool:
        results = pool.starmap(check, [(oracle, folder, names[i::16]) for i in range(16)])
    count = sum(each for each, _ in results)
    faults = [fault for _, found in results for fault in found]
    if not names or faults:
        sys.exit("\n  ".join([f"zone oracle: FAILED: {len(faults)} of {count} instants differ in "
                              f"{len(names)} zone files:", *faults[:25]]))
    print(f"zone oracle: {len(names)} distinct zone files of {folder}, {count} instants from "
          f"1970 to 2040, all agree with zoneinfo ({time.monotonic() - started:.1f} s)")


if __name__ == "__main__":
    main()
