#pragma once

// Qt
#include <QString>

namespace glimmora {

// The one-instance-per-user lock: an exclusive flock on "Glimmora.lock" in the user's runtime
// directory. The system releases it when its holder ends, however it ends, so a lock file left
// behind (also an empty one that a kill left before its owner was written) locks nobody out.
// The command-line tool takes the same lock, so it never works on the data while the program
// does. The file names its holder as QLockFile does (process number, name, host).
class SingleInstanceLock {
public:
    explicit SingleInstanceLock(QString path = lockFilePath());
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // True when this process now holds the lock. Otherwise another live process holds it
    // (heldByAnother()), or the lock file cannot be had (errorText() says why).
    bool tryLock();
    bool isLocked() const { return fd_ >= 0; }
    bool heldByAnother() const { return heldByAnother_; }
    const QString& errorText() const { return errorText_; }

    static QString lockFilePath();

private:
    QString path_;
    int fd_ = -1;
    bool heldByAnother_ = false;
    QString errorText_;
};

} // namespace glimmora
