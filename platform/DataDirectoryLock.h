#pragma once

// Qt
#include <QString>

namespace glimmora {

// The lock of a scrapbook's data directory, held by the program and the tool while they work on
// its files: an exclusive flock on the directory itself. It belongs to the directory whatever
// the environment of the processes (their runtime or temporary directories), needs no file of
// its own (so it is had in a read-only directory too) and is released by the system when its
// holder ends, however it ends: no lock outlives its owner.
class DataDirectoryLock {
public:
    DataDirectoryLock() = default;
    ~DataDirectoryLock() { unlock(); }
    DataDirectoryLock(const DataDirectoryLock&) = delete;
    DataDirectoryLock& operator=(const DataDirectoryLock&) = delete;

    // True when this process now holds the lock of `directory`; otherwise errorText() says why:
    // the directory cannot be used, or another process (named when it can be found) holds it.
    bool tryLock(const QString& directory);
    void unlock();
    bool isLocked() const { return fd_ >= 0; }
    const QString& errorText() const { return errorText_; }

private:
    int fd_ = -1;
    QString errorText_;
};

} // namespace glimmora
