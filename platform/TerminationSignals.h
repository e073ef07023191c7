#pragma once

// Qt
#include <QObject>

namespace glimmora {

// SIGTERM, SIGHUP and SIGINT end a session: a logout, a shutdown, a closed terminal, Ctrl+C. Once
// installed, they no longer end the process where it stands; they become a request that the
// program and the tool carry out at a safe point, after saving what is theirs.
class TerminationSignals {
public:
    // Installs the handlers (again: nothing more happens).
    static void install();
    // The signal that asked the process to end, or 0.
    static int requested();
    // Ends the process as the signal would have, once everything is saved.
    [[noreturn]] static void endProcess(int signal);
};

// Reports a termination request in the event loop (also a nested one, such as a modal dialog's):
// the signal handler only writes a byte to a pipe that this notifier watches.
class TerminationNotifier : public QObject {
    Q_OBJECT
public:
    // Installs the handlers when needed.
    explicit TerminationNotifier(QObject* parent = nullptr);

signals:
    void terminationRequested(int signal);
};

} // namespace glimmora
