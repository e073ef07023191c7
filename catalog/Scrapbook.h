#pragma once

#include "platform/DataDirectoryLock.h"

// Qt
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>

namespace glimmora {

class TCategories;
class TCorrespondences;
class TImageElementForm;
class TRemoveableMediaList;

// The scrapbook cannot be opened: its data directory is unusable or in use, or one of its files
// is damaged or unreadable. The message says which and why.
class EScrapbookError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A save that could not be completed. The message says what was saved and what was not; the
// changes stay in memory, so that the next save writes them all.
class EScrapbookSaveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What opening a scrapbook found out of step between its files, and set right in memory.
struct ScrapbookRepairs {
    int membershipsOfMissingImages = 0;
    int membershipsOfMissingCategories = 0;
    int imagesPutInUnassigned = 0;

    bool any() const { return membershipsOfMissingImages + membershipsOfMissingCategories + imagesPutInUnassigned > 0; }
    // One sentence per kind of repair.
    QStringList sentences() const;
};

// One scrapbook: the four files of a data directory ("Default.idb", ".cor", ".cat", ".rmv") as
// the program and the tool work on them.
//
// Opening it
//  1. takes the lock of the data directory, so that no other process works on the same files;
//  2. reads the categories, memberships and removable disks, and opens the image store to list
//     its records (a damaged or unreadable file ends the opening with EScrapbookError, having
//     changed nothing);
//  3. reconciles them in memory: a membership of a missing image or category is dropped, an
//     image in no category goes to "(unassigned)" (repairs() says what was done; the files are
//     written only by the next save);
//  4. clears the temporaries that killed writes of the data files left behind.
//
// Saving writes the store, then the memberships, then the categories: after a failure at any
// point, the files on disk are a consistent scrapbook (at worst images of the store in no
// category, or memberships of categories not yet saved, both of which the next opening repairs).
// Nothing is written after a step that failed.
class TScrapbook {
public:
    enum class Access {
        ReadWrite,
        ReadOnly, // queries: nothing is ever written, and nothing is made that is missing
    };

    TScrapbook(const QString& dataDirectory, Access access);
    // Closes the image store without writing what was not saved.
    ~TScrapbook();
    TScrapbook(const TScrapbook&) = delete;
    TScrapbook& operator=(const TScrapbook&) = delete;

    TCorrespondences& memberships() { return *memberships_; }
    TCategories& categories() { return *categories_; }
    TImageElementForm& images() { return *images_; }
    TRemoveableMediaList& disks() { return *disks_; }

    const ScrapbookRepairs& repairs() const { return repairs_; }
    const QString& dataDirectory() const { return dataDirectory_; }

    // Writes the store, the memberships and the categories, in that order (each only when it
    // changed); raises EScrapbookSaveError at the first step that fails.
    void save();

    // The files of a scrapbook that a save writes, in the order it writes them.
    enum class Part { ImageStore, Memberships, Categories };
    // Told 0 when a part's saving begins, 100 when it is complete, and how far the rebuilding of
    // the image store has come in between.
    using SaveProgress = std::function<void(Part part, int percent)>;
    // Saves as save() does, but rebuilds the image store without dead space first (in a new
    // file, synced and renamed over the old one), so that after a failure or a kill at any
    // moment the store holds either its old or its new content.
    void reorganize(const SaveProgress& progress);
    // The same, for a caller that only reports: what could not be saved, empty when all was.
    QString trySave();

    // The base of the four file names: the data directory + "/Default".
    static QString dataPath(const QString& dataDirectory);

private:
    void openStore();
    void reconcile();
    void clearStaleTemporaries();
    void saveParts(bool packStore, const SaveProgress& progress);
    void packImageStore(const std::function<void(int)>& percentDone);

    QString dataDirectory_;
    Access access_;
    DataDirectoryLock lock_;
    std::unique_ptr<TCorrespondences> memberships_;
    std::unique_ptr<TCategories> categories_;
    std::unique_ptr<TRemoveableMediaList> disks_;
    std::unique_ptr<TImageElementForm> images_;
    ScrapbookRepairs repairs_;
};

} // namespace glimmora
