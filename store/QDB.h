#pragma once

// TQDB, the keyed record store: one store file at a time, holding items (byte strings under
// unique text keys, in ascending key order) and admin entries (small named values in a key
// space of their own), with a current item, navigation, an item cache, optional compression,
// password protection and a key filter.
//
// Naming: properties are a getter named after the property in lower camel case and a setter
// with "set" in front (FileName: fileName() / setFileName()); operations are the property or
// operation name in lower camel case (FindKey: findKey(), EOF: eof(), GetAdminInteger:
// getAdminInteger()). Events are public std::function members named the same way
// (OnNavigate: onNavigate, BeforeOverWrite: beforeOverWrite). Item contents are byte vectors.
//
// Life cycle: assigning a non-empty file name opens the store (creating an empty store file
// when none exists): its index is read into memory and the store file is held while the store
// is open (shared with other readers when it is only read). Values are read from the store
// file itself; changed values are appended after its end, so that until a save the file reads
// exactly as before. Saving (and closing with changes) appends the new index after them, makes
// it durable, and only then overwrites the data length at its fixed offset: the one write that
// switches a reader from the old store to the new one. When the dead space would exceed the
// live data, and on pack, the store file is rebuilt instead, in a new file beside it that is
// synced and renamed over it. A protected store keeps its values unscrambled in a data work
// file in the temporary directory and is always rebuilt. Opening and closing without a change
// writes nothing. A save that fails (a full disk) leaves the store file reading as before and
// the store open with all its changes, so that saving or closing can be tried again. A store
// name may be a symbolic link: the file it leads to is read, written and replaced.
//
// Errors are the exceptions of QDBErrors.h. The three refusals (read-only, empty, out of range)
// call warnReadOnly / warnNoData / warnOutOfBounds instead of raising when those are set; the
// operation then changes nothing.

#include "store/Cache.h"
#include "store/FileSeam.h"
#include "store/KeyLists.h"
#include "store/Password.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace glimmora::store {

class StoreFileWriter;

enum class TProgressOrigin { poOpening = 0, poClosing = 1, poSaving = 2, poPacking = 3 };

class TQDB {
public:
    using Bytes = std::vector<std::uint8_t>;
    using ByteView = std::span<const std::uint8_t>;
    using TNotifyEvent = std::function<void(TQDB& sender)>;
    using TConfirmEvent = std::function<void(TQDB& sender, bool& ok)>;
    using TProgressEvent = std::function<void(TQDB& sender, int percent, TProgressOrigin kind)>;
    using TPasswordEvent = std::function<void(TQDB& sender, std::string& password)>;

    TQDB();
    // Closes an open store; a failure to close is swallowed here (the work files then stay in
    // the temporary directory). Assign an empty file name first to learn of it.
    ~TQDB();
    TQDB(const TQDB&) = delete;
    TQDB& operator=(const TQDB&) = delete;

    // --- Process-wide settings ------------------------------------------------------------
    // The temporary directory for work files; empty (the default) or not an existing
    // directory means $TMPDIR or /tmp.
    static void setTemporaryDirectory(const std::string& directory);
    static std::string temporaryDirectory();
    // Called at every progress tick before progressUpdate, so that the host can process its
    // pending user-interface events during long operations.
    static void setPendingEventsHandler(std::function<void()> handler);

    // --- Properties -----------------------------------------------------------------------
    static std::string aboutAuthor();
    static std::string aboutVersion(); // "2.11"

    bool aggressiveUpdate() const { return aggressiveUpdate_; }
    void setAggressiveUpdate(bool value);
    int cacheFrequency() const { return cache_.hitPercentage(); }
    void setCacheFrequency(int value); // any value resets the cache statistics
    std::int32_t cacheSize() const { return cache_.limit(); }
    void setCacheSize(std::int32_t bytes); // empties the cache
    bool compression() const { return compression_; }
    void setCompression(bool value) { compression_ = value; }
    const std::string& fileName() const { return fileName_; }
    // Opens and closes; see the life cycle above. A name without an extension gets ".QDB".
    void setFileName(const std::string& name);
    const std::string& filter() const { return filter_; }
    void setFilter(const std::string& filter);
    bool readOnly() const { return readOnly_; }
    void setReadOnly(bool value);
    bool saveOnClose() const { return saveOnClose_; }
    void setSaveOnClose(bool value) { saveOnClose_ = value; }
    bool expandedFileNames() const { return expandedFileNames_; }
    void setExpandedFileNames(bool value) { expandedFileNames_ = value; }
    bool useGrepMatch() const { return useGrepMatch_; }
    void setUseGrepMatch(bool value) { useGrepMatch_ = value; }

    // --- Events ---------------------------------------------------------------------------
    TNotifyEvent afterCancel, afterDelete, afterEdit, afterInsert, afterPost;
    TNotifyEvent beforeCancel, beforeDelete, beforeEdit, beforeInsert, beforePost;
    TConfirmEvent beforeOverWrite; // at close, when the store file changed since it was opened
    TProgressEvent progressUpdate;
    TNotifyEvent warnNoData, warnOutOfBounds, warnReadOnly;
    TNotifyEvent onAdded, onChanged, onDeleted;
    TPasswordEvent onDemandPassword; // opening a protected store with no password set
    TNotifyEvent onFileAssigned, onFound, onNavigate;

    // --- Public state ---------------------------------------------------------------------
    bool bof() const { return bof_; }
    bool eof() const { return eof_; }
    std::int32_t count() const { return items_.count(); }
    std::int32_t itemIndex() const { return itemIndex_; }
    const std::string& currentKey() const { return currentKey_; }
    const std::string& password() const { return password_; }
    void setPassword(const std::string& password) { password_ = password; }
    bool active() const { return active_; }
    bool modified() const { return modified_; }

    // --- Marks of a navigator control (no effect on the data) ------------------------------
    void cancel();
    void insert();
    void edit();
    void post();

    // --- Items ----------------------------------------------------------------------------
    // Stores the bytes under a new key (cut to 255 characters and at a zero byte); the new item
    // becomes current. An existing key raises EQDBIndexError "Duplicate keys are not allowed"
    // and writes nothing.
    void addItem(ByteView content, std::string_view key);
    // Replaces content with the current item's bytes.
    void getItem(Bytes& content);
    // Replaces the current item's bytes.
    void changeItem(ByteView content);
    // Raises beforeDelete, deletes the current item, raises afterDelete.
    void deleteItem();
    bool findKey(std::string_view key);
    void goToItem(std::int32_t index);
    void first();
    void last();
    void next();
    void prior();

    // --- Admin entries --------------------------------------------------------------------
    bool findAdmin(std::string_view key);
    bool adminExists(std::string_view key) { return findAdmin(key); }
    std::int32_t adminSize();
    void readAdmin(Bytes& content);
    void addAdmin(ByteView content, std::string_view key);
    void changeAdmin(ByteView content);
    bool getAdminBoolean(std::string_view key);
    std::int32_t getAdminInteger(std::string_view key);
    void setAdminInteger(std::string_view key, std::int32_t value);

    // --- Maintenance ----------------------------------------------------------------------
    // When modified, makes the store file hold every change (see the life cycle above).
    void save();
    // Rebuilds the store file without dead space: admin entries, then items, each in key order.
    void pack();

    // --- Read access to the index (for tools that list a store) ----------------------------
    std::int32_t adminCount() const { return admins_.count(); }
    const std::string& adminKey(std::int32_t position) const { return admins_.key(position); }
    const TIndex& adminEntry(std::int32_t position) const { return admins_.object(position); }
    const std::string& itemKey(std::int32_t position) const { return items_.key(position); }
    const TIndex& itemEntry(std::int32_t position) const { return items_.object(position); }
    bool caseSensitive() const { return items_.caseSensitive(); }
    // Name of the data work file while the store keeps one (empty otherwise).
    const std::string& dataWorkFileName() const { return dataWorkName_; }
    // The name that assigning `name` would open: expanded when so set, ".QDB" added when it
    // has no extension.
    std::string normalisedName(const std::string& name) const;

private:
    struct Relocation;

    // Opening and closing.
    void open();
    void close();
    void discardOpenState() noexcept;
    void createEmptyStoreFile();
    void openStoreFile();
    Sha1Digest checkPassword(const Sha1Digest& checkValue);
    void loadIndex(std::span<const std::uint8_t> section, std::int32_t dataLength);
    TIndexList inKeyOrder(TIndexList items) const;
    void moveValuesToWorkFile(std::int64_t length, const std::optional<Sha1Digest>& key);
    void dropWorkFile() noexcept;

    // Writing the store file.
    void commit(bool packing);
    bool storeFileIsAsLeft();
    void redirectUnlessOverwriteAllowed();
    bool deadSpaceExceedsLiveData();
    void appendIndexAndCommit();
    void rebuildStoreFile(std::int64_t firstTick);
    void copyLiveValues(StoreFileWriter& writer, std::int64_t firstTick);
    Bytes indexSection(const Relocation* relocation, bool tick);
    void dropUncommittedBytes() noexcept;
    void refreshStamp() noexcept;
    void noteChange();

    // Values.
    SeamFile& valueFile();
    std::int64_t dataEnd();
    void prepareForWriting();
    std::int32_t appendPosition(std::int64_t length, bool asIndexError);
    bool mayOverwrite(const TIndex& entry, std::int64_t length);
    void writeAt(std::int64_t position, ByteView bytes);
    bool liesWithinData(const TIndex& entry);
    void readStored(const TIndex& entry, Bytes& stored);
    Bytes storedForm(ByteView content) const;

    // Checks and refusals.
    void requireActive() const;
    bool refuseIfReadOnly();
    bool refuseIfEmpty();
    bool refuseOutOfRange();
    bool refuse(const TNotifyEvent& warning, const std::function<void()>& raise);

    // Navigation and state.
    bool matches(std::int32_t position) const;
    void updateState();
    void raise(const TNotifyEvent& event);

    // Progress.
    void startProgress(std::int64_t total, TProgressOrigin origin);
    void tickProgress(std::int64_t i);
    void endProgress();

    std::string fileName_;
    bool active_ = false;
    bool readOnly_ = false;
    bool modified_ = false;
    bool compression_ = false;
    bool saveOnClose_ = true;
    bool expandedFileNames_ = true;
    bool useGrepMatch_ = false;
    bool aggressiveUpdate_ = false;
    std::string filter_;
    std::string password_;

    TIndexList admins_;
    TCacheList cache_;
    std::int32_t adminIndex_ = 0;
    bool inserting_ = false;
    bool editing_ = false;
    std::optional<FileStatus> stamp_; // the store file as this store last left it (unknown: nothing)
    TIndexList items_;
    std::int32_t itemIndex_ = 0;
    std::string currentKey_;
    bool bof_ = false;
    bool eof_ = false;

    TProgressOrigin progressOrigin_ = TProgressOrigin::poOpening;
    std::int64_t progressStep_ = 1;

    std::string targetName_;     // the file fileName_ leads to (symbolic links followed)
    SeamFile storeFile_;         // held while open
    bool storeWritable_ = false; // storeFile_ is open for writing
    std::string dataWorkName_;   // the values, when they cannot stay in the store file
    SeamFile dataWorkFile_;
    std::int64_t valueBase_ = 0;        // offset of Position 0 in the file holding the values
    std::int64_t committedSize_ = 0;    // the store file's length as the open or the last commit left it
    std::int64_t firstUncommitted_ = 0; // Positions from here on hold bytes no commit refers to
    bool uncommitted_ = false;          // changes the store file does not hold yet
};

// Deletes stale work files of the store left in the temporary directory by a crash (those
// another running store holds are kept). The program calls it at start, after taking its
// single-instance lock. Returns the number deleted.
int deleteStaleStoreWorkFiles();

} // namespace glimmora::store
