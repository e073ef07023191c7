#pragma once

#include "store/FileSeam.h"

// Qt
#include <QByteArray>
#include <QString>

#include <optional>
#include <stdexcept>

namespace glimmora {

// A data file that cannot be read or written; the message names the file and the reason.
class EDataFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One of the small data files of a scrapbook (".cat", ".cor", ".rmv"), read whole and written
// whole. Its accesses go through the store's file seam, so that tests can fail any of them.
//
// A write never leaves the file half-written: the bytes go to a temporary file beside it
// (named after it, + 4 hexadecimal digits + ".TMP"), which is synced and renamed over it. A
// symbolic link stays a link: the file it leads to is replaced, the temporary made beside that
// file. The file takes the permissions of the scrapbook's store (the ".idb" file of the same
// base name), so that the four files of a scrapbook always share theirs.
class TDataFile {
public:
    explicit TDataFile(QString path) : path_(std::move(path)) {}

    // The whole content; empty when the file does not exist. A file that exists but cannot be
    // read raises EDataFileError: reading it as empty would let the next save wipe it.
    QByteArray read();
    // Replaces the content. Writes nothing when the file still holds exactly these bytes as last
    // read or written here. Raises EDataFileError (the old file untouched) on failure.
    void write(const QByteArray& bytes);

    const QString& path() const { return path_; }

private:
    struct Content {
        QByteArray bytes;
        std::optional<store::FileStatus> status; // none: the file did not exist
    };
    bool holds(const QByteArray& bytes) const;

    QString path_;
    std::optional<Content> known_; // as last read or written here
};

// The file a path leads to: the path itself, or the end of its chain of symbolic links (which
// need not exist yet).
std::string linkTarget(const QString& path);

// Deletes the temporaries that writes of a data file killed half-way left beside it (or beside
// the file its link leads to), unless a running write holds them. Returns the number deleted.
int deleteStaleDataFileTemporaries(const QString& path);

} // namespace glimmora
