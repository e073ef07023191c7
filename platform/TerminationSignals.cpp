#include "platform/TerminationSignals.h"

// Qt
#include <QSocketNotifier>

// POSIX
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

namespace glimmora {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

std::atomic<int> requestedSignal{0};
int wakeUp[2] = {-1, -1}; // read end, write end

// Only async-signal-safe calls here.
void onSignal(int signal)
{
    requestedSignal.store(signal);
    const char byte = 1;
    static_cast<void>(!::write(wakeUp[1], &byte, 1));
}

} // namespace

void TerminationSignals::install()
{
    if (wakeUp[0] >= 0)
        return;
    if (::pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // without the pipe the signals keep their usual effect
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

int TerminationSignals::requested() { return requestedSignal.load(); }

void TerminationSignals::endProcess(int signal)
{
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    ::_exit(128 + signal); // the signal was blocked
}

TerminationNotifier::TerminationNotifier(QObject* parent) : QObject(parent)
{
    TerminationSignals::install();
    if (wakeUp[0] < 0)
        return;
    auto* notifier = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(wakeUp[0], bytes, sizeof bytes) > 0) {
        }
        emit terminationRequested(TerminationSignals::requested());
    });
}

} // namespace glimmora
