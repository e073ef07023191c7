#pragma once

#include <string>

#include <sys/types.h>

namespace glimmora::test {

// A session bus of this test binary's own: ctest runs test binaries in parallel, and on one
// shared bus they would fight over the names "Glimmora.MainWindow" and
// "Slidara.SlideShowOLE".
//
// Construction starts `dbus-daemon --session --nofork` and points DBUS_SESSION_BUS_ADDRESS at
// it, so it must come before anything opens the session bus. The simplest way is one object at
// namespace scope in any source of the test binary (it is then made before main and the
// QApplication):
//
//     const glimmora::test::PrivateSessionBus privateSessionBus;
//
// Destruction stops the daemon; the daemon also dies with the test process if that crashes,
// and programs still connected to it (such as the stand-in companion) lose their bus and end.
// Link the library glimmora_dbus_test_support.
class PrivateSessionBus {
public:
    PrivateSessionBus(); // throws std::runtime_error when no daemon can be started
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    const std::string& address() const { return address_; }

private:
    pid_t daemon_ = -1;
    std::string address_;
};

} // namespace glimmora::test
