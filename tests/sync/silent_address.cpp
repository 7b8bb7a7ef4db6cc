// silent_address: prints the URL of an address on loopback that never answers, and keeps it so
// until it is stopped. It is a listener with no room in its queue, filled by one client that it
// never takes: the system then drops every further attempt to connect, which waits until its
// time limit, as a clock that is switched off or a cable that is cut make it wait.
#include "platform/Socket.h"

#include <chrono>
#include <iostream>
#include <thread>

int main() {
    platform::TcpSocket listener;
    platform::TcpSocket filler;
    const auto loopback = platform::NumericAddress("127.0.0.1", 0);
    if (!loopback || !listener.Listen(*loopback, 0)) {
        std::cerr << "silent_address: cannot listen on loopback\n";
        return 1;
    }
    const std::uint16_t port = listener.LocalAddress()->Port();
    filler.StartConnect(*platform::NumericAddress("127.0.0.1", port));
    std::cout << "tcp://127.0.0.1:" << port << std::endl;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}
