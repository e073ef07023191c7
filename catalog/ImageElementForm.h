#pragma once

#include "catalog/ImageElement.h"
#include "catalog/ImageItemFormat.h"

// Qt
#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace glimmora {

namespace store {
class TQDB;
}

class TCategories;
class ThumbnailSource;

// The path index: every record's path (its stored bytes, the image's identity) and its
// sequence number.
using PathIndexMap = QHash<QByteArray, std::int32_t>;

// A stored record that cannot be read: its value does not follow the layout or lies outside the
// store's data. The message names the record and the store file.
class EImageRecordError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What FindOrAddImage found or made.
struct FindOrAddResult {
    std::unique_ptr<TImageElement> record; // none when the picture could not be loaded
    bool added = false;
    QString errorText;
};

// Every image number up to the largest int32 has been handed out.
class EImageNumbersUsedUp : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The image data module: the image store ImageTable (one item per record, keyed "%6.6d" by
// sequence number, with the admin entry "MAX_SEQ_NO"), the path index and the operations the
// rest of the program uses. The store is opened by the operations that need it: read-only by
// those that only read (so that closing it writes nothing, and a read works where nothing can
// be written), writable by those that change it, reopened so when it was open read-only. Reads
// end with EndReadPass, which closes only a store opened for reading; changes are committed by
// EndImagePass (the scrapbook's save), ReorganizeImageStore and the destructor.
class TImageElementForm {
public:
    enum class Access { ReadWrite, ReadOnly };

    // Registers with the categories, which must outlive the module. A ReadOnly module refuses
    // every change (std::logic_error).
    TImageElementForm(const QString& storeFileName, TCategories& categories, Access access = Access::ReadWrite);
    // Saves and closes the store when it is open.
    ~TImageElementForm();
    TImageElementForm(const TImageElementForm&) = delete;
    TImageElementForm& operator=(const TImageElementForm&) = delete;

    // Finds the record of a (trimmed, folded) path, or makes one with its volume identity and a
    // thumbnail from `loader`, stores it under the next sequence number and raises "MAX_SEQ_NO".
    // The store is left open for the caller's batch. Store failures other than a missing
    // "MAX_SEQ_NO" propagate (store::EQDBError); a thumbnail too large to store gives an error
    // text. A new number is never one that a stored record has or a membership names; when
    // none is left below the largest int32, EImageNumbersUsedUp.
    FindOrAddResult FindOrAddImage(const QString& path, ThumbnailSource& loader);

    // A new record read from the store, or none when the key is missing. A record that cannot be
    // read raises EImageRecordError.
    std::unique_ptr<TImageElement> ReadImage(std::int32_t seqNo);
    // Stores the record under its key (replacing an item there) and refreshes the categories'
    // copies. Raises EImageItemError for a thumbnail whose BMP image exceeds 65,535 bytes.
    void WriteImage(const TImageElement& record);
    // Whether the store holds a record under this sequence number (leaves the store open).
    bool HasImage(std::int32_t seqNo);
    // Removes the record from the store, the path index and every category.
    void DeleteImage(const TImageElement& record);

    // A pass over all records in store order; each call gives a new record, none at the end. A
    // record that cannot be read ends the pass with EImageRecordError (the store raises its own
    // error when it cannot be opened).
    std::unique_ptr<TImageElement> FirstImage();
    std::unique_ptr<TImageElement> NextImage();
    // Ends a batch of changes: saves and closes the store (also one opened for reading).
    void EndImagePass();
    // Ends a pass or a read: closes the store when it was opened for reading, which writes
    // nothing; a store open for changes stays open until they are saved.
    void EndReadPass();
    // Closes the store without writing the changes made since it was opened.
    void DiscardChanges();

    // No record is stored (a missing store file counts as empty and is not made).
    bool ImageStoreEmpty();
    // The numbers of the stored records, from the store's index alone.
    QList<std::int32_t> StoredImageNumbers();
    void ReorganizeImageStore();

    // Gives a record a new path (the file was moved): its checksum and that of its path-index
    // entry follow; the caller writes the record.
    void SetImagePath(TImageElement& record, const QString& newPath);
    // The same for a path given as the file system's bytes, kept exactly.
    void SetImagePath(TImageElement& record, const QByteArray& newPath);

    // Every record whose memo, lower-cased, contains `text` lower-cased and trimmed, in store
    // order; an empty text finds nothing.
    std::vector<std::unique_ptr<TImageElement>> SearchMemos(const QString& text);

    // Where every record is (number, volume, path), read without memos and thumbnails, in store
    // order. `progress`, when given, is told (records read, records stored) after each record.
    // A record that cannot be read raises EImageRecordError.
    std::vector<ImageIdentity> ImageIdentities(const std::function<void(int, int)>& progress = {});

    // The path index, built on first use by a pass over the store; with it, finding a path
    // never reads a record.
    const PathIndexMap& PathIndex();
    // The sequence number of the record of a path (trimmed and folded as FindOrAddImage does).
    std::optional<std::int32_t> KnownImageNumber(const QString& path);
    void FreePathIndex() { pathIndex_.reset(); }

    // Opens the store for reading (unless it is open; a missing store file is left missing and
    // reads as empty) or for changes (reopening a store open for reading); raises the store's
    // error for a damaged or unreadable file.
    enum class Use { Read, Change };
    void openStore(Use use = Use::Read);

    store::TQDB& ImageTable() { return *imageTable_; }
    const QString& storeFileName() const { return storeFileName_; }

private:
    std::unique_ptr<TImageElement> currentImage();
    template <typename Result>
    Result decodeCurrent(Result (*decode)(QByteArrayView));
    [[noreturn]] void raiseUnreadable(const char* reason) const;
    std::int32_t nextSequenceNumber();

    void closeStore();

    QString storeFileName_;
    TCategories& categories_;
    Access access_;
    bool openForChanges_ = false;
    std::unique_ptr<store::TQDB> imageTable_;
    std::optional<PathIndexMap> pathIndex_;
    std::vector<std::uint8_t> passBuffer_; // reused by every read
};

} // namespace glimmora
