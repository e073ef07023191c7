#pragma once

// Qt
#include <QByteArray>
#include <QString>

namespace glimmora {

// The file operations of moving and copying a picture file, on paths given as the file
// system's bytes (a stored path is kept exactly, whatever its bytes). Failures give the
// system's text for the error.

// A copy of one file put in place of another in steps that can be taken back, so that a move
// never leaves the file in neither place and a failed step leaves the target as it was:
//  1. Prepare copies the source into a temporary file beside the target (its permissions and
//     times too) and syncs it to the disk; the target is not touched yet.
//  2. Commit renames the copy over the target and syncs the directory. With keepOldTarget, a
//     target that was there is first put aside under a temporary name, so that Undo can bring
//     it back.
//  3. Finish drops the old target; Undo removes the copy and puts the old target back.
// Works across file systems. An object that goes unfinished undoes what it did.
class TFileCopy {
public:
    TFileCopy(QByteArray source, QByteArray target);
    ~TFileCopy();
    TFileCopy(const TFileCopy&) = delete;
    TFileCopy& operator=(const TFileCopy&) = delete;

    bool Prepare();
    bool Commit(bool keepOldTarget);
    void Finish();
    bool Undo();

    // Why the last step failed.
    const QString& errorText() const { return errorText_; }

private:
    bool fail(int error);
    void removeTemporary();

    QByteArray source_;
    QByteArray target_;
    QByteArray temporary_; // the copy before it is committed
    QByteArray oldTarget_; // the target put aside by Commit
    bool committed_ = false;
    QString errorText_;
};

// The system's text for an errno value.
QString systemErrorText(int error);

// Whether a path names anything (a dangling link counts).
bool pathExists(const QByteArray& path);
// Whether two existing paths name the same file.
bool isSameFile(const QByteArray& a, const QByteArray& b);

// Gives the owner write permission (the read-only attribute cleared); false with the error text.
bool clearReadOnly(const QByteArray& path, QString* errorText);
// Deletes a file and syncs its directory; false with the error text.
bool deleteFile(const QByteArray& path, QString* errorText);

// The directory part of a path, up to and including its last "/".
QByteArray directoryPart(const QByteArray& path);
// The last component of a path.
QByteArray fileNameBytes(const QByteArray& path);

} // namespace glimmora
