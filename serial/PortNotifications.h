#pragma once

// What a serial port tells its owner window, posted from its monitor thread. The long parameter
// of every notification is the port number; the word parameter is 0 but for WM_PORT_RXCHAR.
// 0x0403 and 0x0406 are not used.
inline constexpr unsigned WM_PORT_BREAK = 0x0401;  // a break was received
inline constexpr unsigned WM_PORT_CTS = 0x0402;    // CTS changed
inline constexpr unsigned WM_PORT_ERROR = 0x0404;  // a line error occurred
inline constexpr unsigned WM_PORT_RING = 0x0405;   // the ring indicator is on
inline constexpr unsigned WM_PORT_RXCHAR = 0x0407; // one byte was read; the word parameter holds it
inline constexpr unsigned WM_PORT_RXFLAG = 0x0408; // a port event came in; draining follows
