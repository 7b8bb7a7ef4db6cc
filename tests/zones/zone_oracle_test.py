#!/usr/bin/python3
"""The zone reader against Python's own zoneinfo, which reads the same files.

zone_oracle_test.py ORACLE FOLDER: for every distinct zone file of FOLDER (its posix/ and right/
copies aside), instants from 1970 to 2040 a few days apart, each change of offset found between
them (to the second, by halving) and the seconds on either side of it: the reader (the program
ORACLE, zone_oracle.cpp) must give the offset and abbreviation zoneinfo gives at every one, and
as the next offset change the one zoneinfo shows. Any difference fails the test, naming the zone
and the instant.
"""
import datetime
import hashlib
import multiprocessing
import os
import subprocess
import sys
import time
import zoneinfo

FIRST = 0  # 1970-01-01 UTC
LAST = int(datetime.datetime(2041, 1, 1, tzinfo=datetime.timezone.utc).timestamp())
HORIZON = 40 * 86400
# Steps of three to six days and a half, which fall at ever other times of day: shorter than the
# week that is the shortest time between two changes of offset in these years, so that no change
# goes unseen.
STEPS = [3 * 86400 + 3607, 5 * 86400 + 40009, 4 * 86400 + 71993, 6 * 86400 + 12347,
         5 * 86400 + 55001, 6 * 86400 + 29989]


def zone_files(folder):
    """The zone names of FOLDER, one for each distinct file's content."""
    seen = {}
    for root, dirs, files in os.walk(folder):
        dirs[:] = sorted(d for d in dirs if os.path.relpath(os.path.join(root, d), folder)
                         not in ("posix", "right"))
        for name in sorted(files):
            path = os.path.join(root, name)
            with open(path, "rb") as file:
                content = file.read()
            if content.startswith(b"TZif"):
                seen.setdefault(hashlib.sha256(content).digest(),
                                os.path.relpath(path, folder))
    return sorted(seen.values())


def expectations(folder, name):
    """[(instant, the answer expected of the reader, whether its next change is known)]."""
    with open(os.path.join(folder, name), "rb") as file:
        zone = zoneinfo.ZoneInfo.from_file(file, key=name)

    # The zone's own conversion from UTC, on instants held as UTC in the zone's datetime.
    epoch = datetime.datetime(1970, 1, 1, tzinfo=zone)
    second = datetime.timedelta(seconds=1)

    def at(instant):
        local = zone.fromutc(epoch + instant * second)
        return local.utcoffset() // second, local.tzname()

    grid, instant, step = [], FIRST, 0
    while instant < LAST:
        grid.append((instant, at(instant)))
        instant += STEPS[step % len(STEPS)]
        step += 1
    answers = dict(grid)
    changes = []
    for (before, seen), (after, later) in zip(grid, grid[1:]):
        if seen[0] == later[0]:
            continue
        low, high = before, after
        while high - low > 1:
            middle = (low + high) // 2
            if at(middle)[0] == seen[0]:
                low = middle
            else:
                high = middle
        changes.append(high)
        answers[high - 1] = at(high - 1)
        answers[high] = at(high)

    rows, following = [], 0
    for instant in sorted(answers):
        while following < len(changes) and changes[following] <= instant:
            following += 1
        upcoming = changes[following] if following < len(changes) else None
        if upcoming is None or upcoming > instant + HORIZON:
            upcoming = "-"
        offset, abbreviation = answers[instant]
        rows.append((instant, f"{offset} {abbreviation} {upcoming}", instant + HORIZON < LAST))
    return name, rows


def when(instant):
    utc = datetime.datetime.fromtimestamp(instant, datetime.timezone.utc)
    return f"{instant} ({utc:%Y-%m-%d %H:%M:%S} UTC)"


def check(oracle, folder, names):
    """How many instants of the zones `names` were asked, and what the reader got wrong."""
    expected = [expectations(folder, name) for name in names]
    questions = "".join(f"{name} {row[0]}\n" for name, rows in expected for row in rows)
    run = subprocess.run([oracle, folder, str(HORIZON)], input=questions, capture_output=True,
                         text=True, check=True)
    answers = iter(run.stdout.splitlines())
    faults, count = [], 0
    for name, rows in expected:
        for instant, wanted, known in rows:
            count += 1
            answer = next(answers, "no answer")
            if answer == wanted or (not known and answer.rsplit(" ", 1)[0] ==
                                    wanted.rsplit(" ", 1)[0]):
                continue
            faults.append(f"{name} at {when(instant)}: the reader says \"{answer}\", zoneinfo "
                          f"\"{wanted}\" (offset, abbreviation, next offset change)")
    return count, faults


def main():
    oracle, folder = sys.argv[1], sys.argv[2]
    started = time.monotonic()
    names = zone_files(folder)
    # A few shares a worker, so that both workers finish at about the same time.
    shares = [names[i::16] for i in range(16)]
    with multiprocessing.Pool(os.cpu_count()) as pool:
        results = pool.starmap(check, [(oracle, folder, share) for share in shares])
    count = sum(each for each, _ in results)
    faults = [fault for _, found in results for fault in found]
    seconds = time.monotonic() - started
    if not names or faults:
        print(f"zone oracle: {len(faults)} of {count} instants in {len(names)} zone files "
              "differ:", file=sys.stderr)
        for fault in faults[:25]:
            print("  " + fault, file=sys.stderr)
        print("zone oracle: FAILED", file=sys.stderr)
        return 1
    print(f"zone oracle: {len(names)} distinct zone files of {folder}, {count} instants from "
          f"1970 to 2040, all agree with zoneinfo ({seconds:.1f} s)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
