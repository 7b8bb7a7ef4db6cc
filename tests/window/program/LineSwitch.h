#pragma once

// The runner's switch for the lines of --plug-pair (scripts/lib/wine-run): the device of a port is
// unplugged (both ends of its line hang up and the line is gone) and plugged in again (a fresh
// line on the same paths, so that the port and its far end open again under their numbers).
// Each call returns once the runner has done it; false if it did not within a few seconds.
bool UnplugLine(int portNumber);
bool PlugLine(int portNumber);
