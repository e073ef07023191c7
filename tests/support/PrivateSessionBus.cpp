#include "PrivateSessionBus.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace glimmora::test {

namespace {

constexpr int kAddressWaitMs = 10000;

[[noreturn]] void fail(const std::string& what)
{
    throw std::runtime_error("private session bus: " + what + ": " + std::strerror(errno));
}

// Runs in the forked child: only async-signal-safe calls until exec.
[[noreturn]] void execDaemon(pid_t parent, int addressFd, const char* printAddressOption)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(127);
    fcntl(addressFd, F_SETFD, 0); // the daemon writes its address here
    execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile", printAddressOption,
           static_cast<char*>(nullptr));
    _exit(127);
}

// The daemon prints its address followed by a newline once it listens.
std::string readAddress(int fd)
{
    std::string address;
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        const int polled = poll(&ready, 1, kAddressWaitMs);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            return {};
        char buffer[256];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return {};
        address.append(buffer, static_cast<size_t>(got));
        if (const auto end = address.find('\n'); end != std::string::npos)
            return address.substr(0, end);
    }
}

} // namespace

PrivateSessionBus::PrivateSessionBus()
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        fail("pipe");
    const std::string printAddressOption = "--print-address=" + std::to_string(pipeFds[1]);
    const pid_t parent = getpid();
    daemon_ = fork();
    if (daemon_ < 0)
        fail("fork");
    if (daemon_ == 0)
        execDaemon(parent, pipeFds[1], printAddressOption.c_str());
    close(pipeFds[1]);
    address_ = readAddress(pipeFds[0]);
    close(pipeFds[0]);
    if (address_.empty()) {
        kill(daemon_, SIGKILL);
        waitpid(daemon_, nullptr, 0);
        throw std::runtime_error("private session bus: dbus-daemon did not start (is the dbus package installed?)");
    }
    setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
    unsetenv("DBUS_STARTER_ADDRESS");
    unsetenv("DBUS_STARTER_BUS_TYPE");
}

PrivateSessionBus::~PrivateSessionBus()
{
    kill(daemon_, SIGTERM);
    while (waitpid(daemon_, nullptr, 0) < 0 && errno == EINTR) {
    }
}

} // namespace glimmora::test
