#pragma once

// Qt
#include <QLockFile>
#include <QString>

namespace glimmora {

// The one-instance-per-user lock: "Glimmora.lock" in the user's runtime directory. A lock
// left behind by a crashed process is taken over. The command-line tool takes the same lock,
// so it never works on the data while the program does.
class SingleInstanceLock {
public:
    SingleInstanceLock();

    // True when this process now holds the lock; false when another live process does.
    bool tryLock();
    bool isLocked() const { return lock_.isLocked(); }

    static QString lockFilePath();

private:
    QLockFile lock_;
};

} // namespace glimmora
