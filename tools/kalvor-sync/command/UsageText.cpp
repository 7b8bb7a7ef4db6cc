#include "UsageText.h"

#include "tools/kalvor-sync/devices/SyncDevice.h"

namespace kalvor_sync {

static_assert(kConnectLimitSeconds == 3, "the usage text states the connect time limit");

const char* SyncUsageText() {
    return R"(usage: kalvor-sync --port N|DEVICE|URL [--port N|DEVICE|URL]... [--ports-from FILE]
                   [--no-align] [--offset MS] [--every DURATION] [--require-synced]
                   [--zone AREA/CITY] [--ntp-server HOST[:PORT]]... [--max-error MS]
                   [--ntp-min-poll SECONDS]
                   [--verbose | --quiet] [--status-file PATH] [--metrics-file PATH]
       kalvor-sync --dry-run [--at "YYYY-MM-DD HH:MM:SS"] [--zone AREA/CITY] [--no-align]
                   [--offset MS] [--verbose]
       kalvor-sync --install-service --port N|DEVICE... --every DURATION [options]  (Windows)
       kalvor-sync --uninstall-service                                              (Windows)
       kalvor-sync --help | --version

Sets a clock device's date and time to the computer's local time over a serial line (9600 baud,
8 data bits, no parity, 1 stop bit), directly or through the network: seven frames of four
bytes, year, month, day, weekday, hour, minute and second, 200 ms apart, all of them from one
instant.

By default the sequence is aligned: it waits until the seconds frame's last byte will reach the
device at the top of a second (allowing 4.17 ms for its 4 bytes on the line) and carries that
second, so the device's clock starts its second with the computer's. Several devices (--port
given more than once, or a device list) all get the same sequence at the same instant, each frame
started on all of them before any is waited for (beyond 64 devices by a thread per processor); a
device that fails or does not answer is told and does not hold up the others. A serial line must
take each frame within 150 ms (a hung adapter, a Bluetooth port whose peer left, flow control
never released): one that does not fails and is dropped from the sequence.

A device on the network is reached over TCP, by a URL:
  tcp://HOST:PORT      raw TCP: the bytes go as they are (an Ethernet clock, or a device
                       server's port set to 9600 8N1 on the server)
  rfc2217://HOST:PORT  Telnet with the COM-PORT-OPTION (RFC 2217): the device server's line is
                       set to 9600 8N1, no flow control, from here, and every answer checked
HOST is a name, an IPv4 address or an IPv6 address in brackets ([::1]). A device must be
connected, and its RFC 2217 line set up, within 3 s (the look-up of its name included); all
devices are connected at the same time, so ten that never answer cost 3 s, not 30.

Before each sequence it asks the system whether the computer's clock is kept to a time source
(Linux: the kernel's clock discipline; Windows: the Windows Time service). If it is not, or that
cannot be told, it warns once on standard error: the device takes whatever time the computer
has, right or wrong. --require-synced refuses to send instead.

A device may show another zone's time (a wall of world clocks): with --zone AREA/CITY, or zone=
in a device list, it gets that IANA zone's civil time (its weekday too) for the one instant all
devices are set at, and under --every it is set again so that its seconds frame lands on each of
its zone's changes of offset (daylight saving), the others left alone. The zone files are the
system's on Linux ($TZDIR, or /usr/share/zoneinfo); on Windows the folder zoneinfo beside the
program (--version tells which data).

With a time reference (--ntp-server, a few servers), the devices get true time whatever the
computer's clock says: kalvor-sync asks the servers (SNTP) at its start and then every 64 s to
1024 s, keeps a model of the computer's monotonic clock against their time (its offset and its
rate, with the majority's word where servers disagree), and plans every sequence on it, so that
a step of the computer's clock moves nothing and a drifting one makes nothing drift. The
reference is "synced" while the servers answer; "holdover" when they all fall silent: it goes on
from its model, its error bound growing (15 microseconds a second and more); "unsynced" before
its first answers, or once that bound passes 500 ms: the devices then get the computer's time,
told once.
A single run waits for each server's first answer (milliseconds on a LAN, up to 10 s for one
that does not answer).

Run by systemd as a Type=notify service, it tells systemd that it is ready once its first
sequence is over, a status line after each sequence, and keeps the watchdog (WatchdogSec=) fed.
On Windows it can run as a service of its own (--install-service), telling the Event Log of every
device set and every failure.

Options:
  --port N|DEVICE|URL  serial port N (COM<N> on Windows, /dev/ttyS<N-1> on Linux), "COM<N>", a
                    device path such as /dev/ttyUSB0, or a network device's URL (above); give it
                    again for each further device
  --ports-from FILE a device list, added to the --port options: one device per line as --port
                    takes it, optionally followed by offset=MS for that device alone (a network
                    module or a long line may delay it more than the others) and zone=AREA/CITY;
                    a line "ntp-server HOST[:PORT]" names a time reference's server; blank lines
                    and '#' comments are skipped
  --zone AREA/CITY  the devices show this IANA zone's time ("Asia/Tokyo"): those of --port, and
                    those of a device list without a zone= of their own; with --dry-run, the
                    frames a device in that zone gets at --at's instant (the computer's time)
  --no-align        send at once; the device then runs up to a second behind
  --offset MS       the device takes the time MS milliseconds after the seconds frame's last byte
                    reaches it (negative: before); the frames go that much earlier (later).
                    Up to 3 decimals, within +-60000
  --every DURATION  repeat, every DURATION: a whole number with s, m, h or d (90s, 10m, 24h),
                    at least 1s, until Ctrl-C. Between runs the devices are set again, within
                    about 2 s, when the computer's clock steps by more than half a second (a
                    correction, a resume from sleep) or the local time's offset from UTC changes
                    (daylight saving begins or ends); each such run says why. A device that
                    cannot be reached or fails is told once on stderr and tried again every half
                    second (all such devices in one try, a fresh connection each, while the
                    clocks are still watched), and set as soon as it is back
  --require-synced  send nothing unless the system says the computer's clock is synchronised
                    (with --ntp-server: unless the reference tells the time within --max-error):
                    exit with status 4 instead, or with --every wait until it is (told once)
  --ntp-server HOST[:PORT]
                    an NTP server of the time reference (port 123 by default; a name, an IPv4
                    address or an IPv6 address in brackets); give it again for each further
                    server. A device list may name servers too, a line "ntp-server HOST[:PORT]"
  --max-error MS    with --require-synced: the most the reference in holdover may be wrong by
                    for the devices to get its time (default 100)
  --ntp-min-poll SECONDS
                    the shortest interval between requests to a server that answers steadily:
                    64 (the default), or 16 or 32 for servers on a LAN of one's own
  --status-file PATH
                    write how every device is to PATH, as one JSON document, at start, after
                    every sequence and at the end: the last attempt and success (local time with
                    its UTC offset, and UTC seconds), the outcome, the last error, why the last
                    sequence ran, the counts of successes and failures, and the computer's clock.
                    The file is replaced whole, never half-written. Without --every the history
                    and counts in the file it finds are carried on
  --metrics-file PATH
                    the same as metrics in the Prometheus text format, for a node exporter's
                    textfile collector (which reads files named *.prom)
  --dry-run         print the seven frames, in hex, one per line, without a port: for the
                    sequence it would send now, or with --at for that local date and time
  --at TIME         with --dry-run: the local time the device is set to, "YYYY-MM-DD HH:MM:SS"
  --verbose         log each frame with its local time (ms) and its bytes, and the state of the
                    computer's clock with its estimated error where the system knows it
  --quiet           print nothing but warnings and errors
  --install-service (Windows, as administrator) install the service "kalvor-sync" ("Kalvor clock
                    sync"), which runs kalvor-sync with the other options given (--every is
                    needed) as LocalService, starts with Windows, is restarted after a failure,
                    and writes its status to Kalvor\kalvor-sync\status.json in the common
                    application data folder unless --status-file names another place
  --uninstall-service
                    (Windows, as administrator) stop the service "kalvor-sync" and remove it
  --help            this text
  --version         the version

Output: a line per device set ("set COM3 to ..."), and one per extra run with its reason, on
standard output; warnings and errors, with the device and the system's reason, on standard
error. A status or metrics file that cannot be written is told once and does not stop the
syncing.

Exit status (with several ports, the highest of theirs):
  0    the sequence was sent (with --every: stopped with Ctrl-C between sequences); the service
       was installed or removed
  1    a port could not be opened or set up; a network device could not be found, did not
       answer within 3 s, refused the connection, or its RFC 2217 server refused the line
  2    usage: an option is missing or wrong (a URL that is not one, a bad device list line)
  3    a port opened, but a frame could not be written (a connection dropped mid-sequence, a
       serial line did not take a frame within 150 ms)
  4    --require-synced, and the computer's clock is not synchronised (or that cannot be told);
       with --ntp-server: the reference tells no time, or may be wrong by more than --max-error
  5    --install-service: the service is installed already
  6    --uninstall-service: no such service is installed
  7    --install-service, --uninstall-service: not allowed (run it as administrator)
  8    --install-service, --uninstall-service: the service manager failed otherwise
  130  stopped (Ctrl-C, SIGINT or SIGTERM; the service manager) before the sequence was complete
)";
}

} // namespace kalvor_sync
