#include "store/QDB.h"

#include "store/Compression.h"
#include "store/FileFormat.h"
#include "store/IndexSection.h"
#include "store/Matchers.h"
#include "store/StoreFile.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <new>
#include <numeric>

namespace glimmora::store {

namespace {

// The Position given to an index entry read from a file whose value does not lie within the
// data section: reading it fails, changing it appends the new value, and it is written back as
// a value no reader can find, rather than one that may come to cover other bytes.
constexpr std::int32_t kOutsideData = -1;

constexpr std::int64_t kMaxSectionLength = std::numeric_limits<std::int32_t>::max();

std::function<void()>& pendingEventsHandler()
{
    static std::function<void()> handler;
    return handler;
}

[[noreturn]] void raiseNotValid(const std::string& fileName)
{
    throw EQDBFileError(formatMessage(messages::kNotValidFile, fileName));
}

[[noreturn]] void raiseIndexNotValid(const std::string& fileName)
{
    throw EQDBIndexError(formatMessage(messages::kNotValidFile, fileName));
}

bool hasExtension(const std::string& path) { return seam::namePart(path).find('.') != std::string::npos; }

// Copies length bytes between the positions of two files; a protected section is unscrambled in
// the chunks it was scrambled in. False when the source ends first.
bool copySection(SeamFile& from, SeamFile& to, std::int64_t length, const std::optional<Sha1Digest>& key)
{
    if (!key)
        return to.copyFrom(from, length) == length;
    const auto chunk = format::copyBufferLength(length);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min(chunk, length)));
    for (std::int64_t done = 0; done < length;) {
        const auto size = static_cast<std::size_t>(std::min(chunk, length - done));
        if (!from.readExact(buffer.data(), size))
            return false;
        scramble(std::span(buffer.data(), size), *key);
        to.write(buffer.data(), size);
        done += static_cast<std::int64_t>(size);
    }
    return true;
}

TIndex withinData(TIndex entry, std::int32_t dataLength)
{
    if (entry.Position < 0 || entry.Length < 0 || std::int64_t(entry.Position) + entry.Length > dataLength)
        entry.Position = kOutsideData;
    return entry;
}

// A failure on the file a name leads to is told with the name the caller gave.
[[noreturn]] void raiseForName(const FileSystemError& error, const std::string& name)
{
    if (error.path() == name)
        throw error;
    throw FileSystemError(error.error(), name);
}

bool refusesWriting(int error) { return error == EACCES || error == EPERM || error == EROFS; }

} // namespace

// Where a rebuild puts each value: the new Position of every admin entry and item, list order.
struct TQDB::Relocation {
    std::vector<std::int32_t> admins;
    std::vector<std::int32_t> items;
    std::int64_t dataLength = 0;
};

// ============================================================================================
// Construction and process-wide settings

TQDB::TQDB() = default;

TQDB::~TQDB()
{
    if (!active_)
        return;
    try {
        close();
    } catch (...) {
        discardOpenState();
    }
}

void TQDB::setTemporaryDirectory(const std::string& directory) { seam::setTemporaryDirectory(directory); }

std::string TQDB::temporaryDirectory() { return seam::temporaryDirectory(); }

void TQDB::setPendingEventsHandler(std::function<void()> handler) { pendingEventsHandler() = std::move(handler); }

std::string TQDB::aboutAuthor() { return "Glimmora keyed record store"; }

std::string TQDB::aboutVersion() { return "2.11"; }

int deleteStaleStoreWorkFiles() { return seam::deleteStaleWorkFiles(seam::temporaryDirectory()); }

// ============================================================================================
// Properties

void TQDB::setAggressiveUpdate(bool value)
{
    aggressiveUpdate_ = value;
    updateState();
}

void TQDB::setCacheFrequency(int) { cache_.resetStatistics(); }

void TQDB::setCacheSize(std::int32_t bytes) { cache_.setLimit(bytes); }

void TQDB::setFilter(const std::string& filter) { filter_ = std::string(storeKey(filter)); }

void TQDB::setReadOnly(bool value)
{
    readOnly_ = value;
    updateState();
}

std::string TQDB::normalisedName(const std::string& name) const
{
    if (name.empty())
        return name;
    std::string result = expandedFileNames_ ? seam::absolutePath(name) : name;
    if (!hasExtension(result))
        result += format::kDefaultExtension;
    return result;
}

void TQDB::setFileName(const std::string& name)
{
    // The extension is settled before comparing, so that assigning "x" to a store opened as
    // "x" (now "x.QDB") does not close and reopen it.
    const std::string wanted = normalisedName(name);
    const auto fullPath = [](const std::string& path) { return path.empty() ? path : seam::absolutePath(path); };
    if (fullPath(fileName_) == fullPath(wanted))
        return;
    if (active_)
        close(); // on failure the store stays open under its name, with its changes
    fileName_ = wanted;
    if (!fileName_.empty()) {
        try {
            open();
        } catch (...) {
            discardOpenState();
            fileName_.clear();
            throw;
        }
    }
    raise(onFileAssigned);
}

// ============================================================================================
// Opening

void TQDB::open()
{
    targetName_ = seam::resolveLinks(fileName_);
    if (!seam::exists(targetName_))
        createEmptyStoreFile();
    openStoreFile();
    const auto layout = readStoreLayout(storeFile_);
    if (!layout)
        raiseNotValid(fileName_);
    std::optional<Sha1Digest> key;
    if (layout->protectedStore)
        key = checkPassword(layout->checkValue);
    // The index is read and checked before anything is copied, so that a damaged file never
    // makes a work file.
    Bytes index;
    if (!readSection(storeFile_, layout->indexOffset, layout->indexLength, key, index))
        raiseNotValid(fileName_);
    valueBase_ = layout->dataOffset;
    committedSize_ = storeFile_.size();
    firstUncommitted_ = committedSize_ - valueBase_;
    if (key)
        moveValuesToWorkFile(layout->dataLength, key);
    loadIndex(index, layout->dataLength);
    active_ = true;
    updateState();
}

// The empty store is written beside its name and renamed into place, so that a crash never
// leaves a file under the name that is not a store.
void TQDB::createEmptyStoreFile()
{
    try {
        auto file =
            seam::createUniqueFile(seam::directoryPart(seam::absolutePath(targetName_)), format::kBuildTempPrefix);
        const auto temporary = file.path();
        try {
            file.write(format::kEmptyStore.data(), format::kEmptyStore.size());
            file.sync();
            file.renameTo(targetName_);
        } catch (...) {
            file.close();
            seam::removeFileQuietly(temporary);
            throw;
        }
    } catch (const FileSystemError& error) {
        raiseForName(error, fileName_);
    }
    seam::syncDirectoryOf(targetName_);
}

// Opens the store file for writing unless it is only to be read, or cannot be written where it
// lies (its values then move to a work file at the first change; see prepareForWriting).
void TQDB::openStoreFile()
{
    try {
        const auto found = seam::status(targetName_);
        // Reading a named pipe would wait for a writer for ever; only a regular file is a store.
        if (found && !found->regular)
            raiseNotValid(fileName_);
        if (found && !found->ownerWritable)
            readOnly_ = true;
        storeWritable_ = !readOnly_;
        if (storeWritable_) {
            try {
                storeFile_ = SeamFile::open(targetName_, SeamFile::Mode::ReadWrite);
            } catch (const FileSystemError& error) {
                if (!refusesWriting(error.error()))
                    throw;
                storeWritable_ = false;
            }
        }
        if (!storeWritable_)
            storeFile_ = SeamFile::open(targetName_, SeamFile::Mode::Read);
        stamp_ = storeFile_.status();
    } catch (const FileSystemError& error) {
        raiseForName(error, fileName_);
    }
}

Sha1Digest TQDB::checkPassword(const Sha1Digest& checkValue)
{
    if (password_.empty() && onDemandPassword)
        onDemandPassword(*this, password_);
    const auto key = passwordKey(password_);
    if (passwordCheckValue(key) != checkValue)
        throw EQDBInvalidPW();
    return key;
}

// Copies the values from the store file into a new data work file in the temporary directory,
// unscrambled, keeping their positions.
void TQDB::moveValuesToWorkFile(std::int64_t length, const std::optional<Sha1Digest>& key)
{
    auto work = seam::createUniqueFile(seam::temporaryDirectory(), format::kDataWorkPrefix);
    try {
        storeFile_.seek(valueBase_);
        if (!copySection(storeFile_, work, length, key))
            raiseNotValid(fileName_);
    } catch (...) {
        const auto name = work.path();
        work.close();
        seam::removeFileQuietly(name);
        throw;
    }
    dataWorkName_ = work.path();
    dataWorkFile_ = std::move(work);
    valueBase_ = 0;
    firstUncommitted_ = 0; // the work file is this store's own: any value may be overwritten
}

void TQDB::dropWorkFile() noexcept
{
    // The name goes first; the file, possibly large, is then freed in the background.
    seam::removeFileQuietly(dataWorkName_);
    seam::closeInBackground(std::move(dataWorkFile_));
    dataWorkName_.clear();
}

void TQDB::loadIndex(std::span<const std::uint8_t> section, std::int32_t dataLength)
{
    IndexSectionReader reader(section);
    const auto total = reader.count();
    if (!total)
        raiseNotValid(fileName_);

    // Items are appended as they come, in descending order, and the list is turned round once.
    startProgress(*total, TProgressOrigin::poOpening);
    TIndexList admins;
    TIndexList items;
    items.setSorted(false);
    try {
        items.reserve(*total);
        for (std::int32_t i = 1; i <= *total; ++i) {
            std::string_view key;
            TIndex entry;
            if (!reader.next(key, entry))
                raiseNotValid(fileName_); // the section ends before its last entry
            entry = withinData(entry, dataLength);
            (entry.Flags & format::ifAdmin ? admins : items).add(key, entry);
            tickProgress(i);
        }
    } catch (const EQDBListError&) {
        throw EQDBIndexError(formatMessage(messages::kNoMemoryForIndex, fileName_));
    } catch (const std::bad_alloc&) {
        throw EQDBIndexError(formatMessage(messages::kNoMemoryForIndex, fileName_));
    }
    items.reverseOnce();
    admins_ = std::move(admins);

    // The item order depends on the case rule, which an admin entry sets.
    if (findAdmin(format::kCaseSensitiveKey) && admins_.object(adminIndex_).Length == 1) {
        Bytes flag;
        readStored(admins_.object(adminIndex_), flag);
        items.setCaseSensitive(flag[0] == 1);
    }
    items_ = inKeyOrder(std::move(items));
    adminIndex_ = 0;
    itemIndex_ = 0;
    modified_ = false;
    uncommitted_ = false;
    endProgress();
    currentKey_ = items_.count() > 0 ? items_.key(0) : std::string();
}

// The items read, in this store's key order. A file written under another collation is sorted,
// so that binary search finds every key; duplicate keys cannot be told apart, so such a file is
// refused.
TIndexList TQDB::inKeyOrder(TIndexList items) const
{
    const auto order = [&items](std::string_view a, std::string_view b) {
        return compareKeys(a, b, items.caseSensitive());
    };
    const auto refuse = [this] { throw EQDBIndexError(formatMessage(messages::kNoMemoryForIndex, fileName_)); };
    bool sorted = true;
    for (std::int32_t i = 1; i < items.count() && sorted; ++i) {
        const int comparison = order(items.key(i - 1), items.key(i));
        if (comparison == 0)
            refuse();
        sorted = comparison < 0;
    }
    if (sorted)
        return items;

    std::vector<std::int32_t> positions(static_cast<std::size_t>(items.count()));
    std::iota(positions.begin(), positions.end(), 0);
    std::stable_sort(positions.begin(), positions.end(),
                     [&](std::int32_t a, std::int32_t b) { return order(items.key(a), items.key(b)) < 0; });
    TIndexList result;
    result.setCaseSensitive(items.caseSensitive());
    result.setSorted(false);
    result.reserve(items.count());
    for (std::size_t i = 0; i < positions.size(); ++i) {
        if (i > 0 && order(items.key(positions[i - 1]), items.key(positions[i])) == 0)
            refuse();
        result.add(items.key(positions[i]), items.object(positions[i]));
    }
    result.setSorted(true);
    return result;
}

// ============================================================================================
// Closing and saving

void TQDB::close()
{
    startProgress(count(), TProgressOrigin::poClosing);
    if (!readOnly_ && saveOnClose_ && uncommitted_)
        commit(false);
    else
        for (std::int32_t i = 0; i < count(); ++i)
            tickProgress(i);
    endProgress();
    discardOpenState();
}

// Forgets the open store: lists, cache, files (the work file deleted), marks; the password is
// cleared. Values appended since the last commit are cut off again.
void TQDB::discardOpenState() noexcept
{
    dropUncommittedBytes();
    admins_.clear();
    items_.clear();
    cache_.clear();
    storeFile_.close();
    dropWorkFile();
    targetName_.clear();
    storeWritable_ = false;
    valueBase_ = 0;
    committedSize_ = 0;
    firstUncommitted_ = 0;
    uncommitted_ = false;
    stamp_.reset();
    itemIndex_ = 0;
    adminIndex_ = 0;
    currentKey_.clear();
    modified_ = false;
    active_ = false;
    inserting_ = false;
    editing_ = false;
    password_.clear();
    updateState();
}

void TQDB::save()
{
    requireActive();
    if (readOnly_ || !modified_)
        return;
    startProgress(count(), TProgressOrigin::poSaving);
    if (uncommitted_)
        commit(false);
    modified_ = false;
    endProgress();
}

// Makes the store file hold the store as it is in memory: by appending the index and
// committing it when the file allows, else by a rebuild.
void TQDB::commit(bool packing)
{
    const bool appendable = storeFileIsAsLeft() && !dataWorkFile_.isOpen() && password_.empty();
    // The new data section reaches to the end of the file; its length is an int32.
    if (packing || !appendable || dataEnd() >= kMaxSectionLength) {
        rebuildStoreFile(packing ? 1 : 0);
        return;
    }
    if (deadSpaceExceedsLiveData()) {
        try {
            rebuildStoreFile(0);
            return;
        } catch (const FileSystemError&) {
            // Reclaiming can wait for a later save; appending needs far less room.
        }
    }
    appendIndexAndCommit();
}

// Whether the store file is still the file this store holds, as this store left it. When
// another program replaced or changed it, the user decides (beforeOverWrite) whether it is
// overwritten, else the store goes to a new name beside it; either way a new file is written.
bool TQDB::storeFileIsAsLeft()
{
    const auto now = seam::status(targetName_);
    if (!now)
        return false; // gone: nothing there to keep, the store goes back under its name
    const auto held = storeFile_.status();
    const bool sameFile = now->device == held.device && now->inode == held.inode;
    if (sameFile && (!stamp_ || held.sameVersionAs(*stamp_)))
        return true;
    if (sameFile && !dataWorkFile_.isOpen()) {
        // Rewritten in place under this store, whose values lie in that very file: they can no
        // longer be trusted, so nothing is written anywhere.
        throw EQDBFileError(formatMessage(messages::kFileInUse, fileName_));
    }
    redirectUnlessOverwriteAllowed();
    return false;
}

void TQDB::redirectUnlessOverwriteAllowed()
{
    bool ok = false;
    if (beforeOverWrite)
        beforeOverWrite(*this, ok);
    if (ok)
        return;
    std::string name = fileName_;
    do
        name = seam::directoryPart(name) + "1." + seam::namePart(name);
    while (seam::exists(name));
    fileName_ = name;
    targetName_ = name;
}

bool TQDB::deadSpaceExceedsLiveData()
{
    std::int64_t live = 0;
    for (const auto* list : {&admins_, &items_})
        for (const auto& entry : *list)
            if (entry.object.Position != kOutsideData)
                live += entry.object.Length;
    return dataEnd() - live > live;
}

// The index goes after everything in the file and is synced; only then the data length is
// overwritten to take it in, and synced. Until that write the file reads as before, and after
// it as the new store; a failure before it cuts the index off again.
void TQDB::appendIndexAndCommit()
{
    const auto end = storeFile_.size();
    auto dataLength = end - valueBase_;
    const bool pad = dataLength == kAmbiguousDataLength;
    const auto index = indexSection(nullptr, true);
    try {
        storeFile_.seek(end);
        if (pad) {
            const std::uint8_t deadByte = 0;
            storeFile_.write(&deadByte, 1);
            ++dataLength;
        }
        appendIndexSection(storeFile_, index);
        storeFile_.sync();
    } catch (...) {
        try {
            storeFile_.truncate(end);
        } catch (...) {
            // the bytes stay behind the index section, where every reader ignores them
        }
        refreshStamp();
        throw;
    }
    // From the commit write on, a reader may see the new store: nothing before it may be
    // overwritten in place any more, nor cut off when the store closes.
    committedSize_ = end + (pad ? 1 : 0) + std::int64_t(format::kMarkerSize + format::kInt32Size + index.size());
    firstUncommitted_ = committedSize_ - valueBase_;
    try {
        writeDataLength(storeFile_, static_cast<std::int32_t>(dataLength));
        storeFile_.sync();
    } catch (...) {
        refreshStamp();
        throw;
    }
    refreshStamp();
    uncommitted_ = false;
}

// Writes the store anew in a file beside the store file's target: live values end to end,
// admin entries first, each list in key order; the file is synced and renamed over the target.
// A failure before the rename leaves everything as it was.
void TQDB::rebuildStoreFile(std::int64_t firstTick)
{
    std::optional<Sha1Digest> key;
    if (!password_.empty())
        key = passwordKey(password_);

    Relocation relocation;
    const auto place = [&relocation](const TIndexList& list, std::vector<std::int32_t>& positions) {
        positions.reserve(static_cast<std::size_t>(list.count()));
        for (const auto& entry : list) {
            const bool live = entry.object.Position != kOutsideData;
            positions.push_back(live ? static_cast<std::int32_t>(relocation.dataLength) : kOutsideData);
            if (live)
                relocation.dataLength += entry.object.Length;
        }
    };
    place(admins_, relocation.admins);
    place(items_, relocation.items);
    // One byte more than the values may be needed (StoreFileWriter).
    if (relocation.dataLength + 1 > kMaxSectionLength)
        throw EQDBFileError(formatMessage(messages::kUnableToExtend, fileName_));

    auto build = seam::createUniqueFile(seam::directoryPart(seam::absolutePath(targetName_)), format::kBuildTempPrefix);
    const auto buildName = build.path();
    SeamFile workCopy;
    FileStatus built;
    try {
        if (key)
            workCopy = seam::createUniqueFile(seam::temporaryDirectory(), format::kDataWorkPrefix);
        StoreFileWriter writer(build, key, static_cast<std::int32_t>(relocation.dataLength), &workCopy);
        copyLiveValues(writer, firstTick);
        writer.finish(indexSection(&relocation, false));
        if (const auto previous = seam::status(targetName_))
            build.setMode(previous->mode);
        build.sync();
        built = build.status();
        build.renameTo(targetName_);
    } catch (...) {
        build.close();
        seam::removeFileQuietly(buildName);
        if (workCopy.isOpen()) {
            const auto workName = workCopy.path();
            workCopy.close();
            seam::removeFileQuietly(workName);
        }
        throw;
    }
    seam::syncDirectoryOf(targetName_);

    // The new file is held from here on; the old one, no longer named, is freed in the
    // background.
    seam::closeInBackground(std::move(storeFile_));
    storeFile_ = std::move(build);
    storeWritable_ = true;
    dropWorkFile();
    for (std::int32_t i = 0; i < adminCount(); ++i)
        admins_.object(i).Position = relocation.admins[static_cast<std::size_t>(i)];
    for (std::int32_t i = 0; i < count(); ++i)
        items_.object(i).Position = relocation.items[static_cast<std::size_t>(i)];
    committedSize_ = built.size;
    if (key) {
        dataWorkFile_ = std::move(workCopy);
        dataWorkName_ = dataWorkFile_.path();
        valueBase_ = 0;
        firstUncommitted_ = 0;
    } else {
        valueBase_ = std::int64_t(format::kDataLengthOffsetPlain + format::kInt32Size);
        firstUncommitted_ = committedSize_ - valueBase_;
    }
    stamp_ = built;
    uncommitted_ = false;
}

// Copies the live values in the rebuild's order; values that lie end to end in the old file
// go over in one run.
void TQDB::copyLiveValues(StoreFileWriter& writer, std::int64_t firstTick)
{
    const auto end = dataEnd();
    std::int64_t runStart = 0;
    std::int64_t runEnd = 0;
    const auto flush = [&] {
        if (runEnd > runStart && !writer.appendData(valueFile(), valueBase_ + runStart, runEnd - runStart))
            raiseIndexNotValid(fileName_);
    };
    const auto take = [&](const TIndex& entry) {
        if (entry.Position == kOutsideData || entry.Length == 0)
            return;
        if (entry.Position < 0 || entry.Length < 0 || std::int64_t(entry.Position) + entry.Length > end)
            raiseIndexNotValid(fileName_);
        if (entry.Position != runEnd) {
            flush();
            runStart = entry.Position;
            runEnd = entry.Position;
        }
        runEnd += entry.Length;
    };
    for (const auto& entry : admins_)
        take(entry.object);
    std::int64_t tick = firstTick;
    for (const auto& entry : items_) {
        take(entry.object);
        tickProgress(tick++);
    }
    flush();
}

// The index section: admin entries, then items, each from the highest key down; Positions from
// the relocation when one is given.
TQDB::Bytes TQDB::indexSection(const Relocation* relocation, bool tick)
{
    Bytes section;
    section.reserve(std::size_t(count() + adminCount()) * 24 + format::kInt32Size);
    appendIndexCount(section, count() + adminCount());
    const auto entry = [relocation](const TIndexList& list, const std::vector<std::int32_t>* moved, std::int32_t i) {
        TIndex result = list.object(i);
        if (relocation)
            result.Position = (*moved)[static_cast<std::size_t>(i)];
        return result;
    };
    for (auto i = adminCount() - 1; i >= 0; --i)
        appendIndexEntry(section, admins_.key(i), entry(admins_, relocation ? &relocation->admins : nullptr, i));
    for (auto i = count() - 1, done = 0; i >= 0; --i, ++done) {
        appendIndexEntry(section, items_.key(i), entry(items_, relocation ? &relocation->items : nullptr, i));
        if (tick)
            tickProgress(done);
    }
    return section;
}

// Cuts off the values appended since the last commit, so that a store closed without saving
// leaves its file exactly as it found it; never when someone else changed the file meanwhile.
void TQDB::dropUncommittedBytes() noexcept
{
    if (!active_ || !storeWritable_ || dataWorkFile_.isOpen() || !stamp_)
        return;
    try {
        const auto held = storeFile_.status();
        if (held.size > committedSize_ && held.sameVersionAs(*stamp_))
            storeFile_.truncate(committedSize_);
    } catch (...) {
        // the bytes stay behind the index section, where every reader ignores them
    }
}

// The store file as this store's own writes left it; unknown when that cannot be told.
void TQDB::refreshStamp() noexcept
{
    try {
        stamp_ = storeFile_.status();
    } catch (...) {
        stamp_.reset();
    }
}

void TQDB::noteChange()
{
    modified_ = true;
    uncommitted_ = true;
}

// ============================================================================================
// Values

SeamFile& TQDB::valueFile() { return dataWorkFile_.isOpen() ? dataWorkFile_ : storeFile_; }

std::int64_t TQDB::dataEnd() { return valueFile().size() - valueBase_; }

// A store file that cannot be written where it lies (read only on disk, opened for reading)
// hands its values to a work file before the first change; the next commit rebuilds it.
void TQDB::prepareForWriting()
{
    if (!storeWritable_ && !dataWorkFile_.isOpen())
        moveValuesToWorkFile(storeFile_.size() - valueBase_, std::nullopt);
}

// The Position for a value of the given length appended after all others. Positions are
// int32: a data section that would pass 2 GiB cannot take the value.
std::int32_t TQDB::appendPosition(std::int64_t length, bool asIndexError)
{
    const auto end = dataEnd();
    if (end + length > kMaxSectionLength) {
        const auto message = formatMessage(messages::kUnableToExtend, fileName_);
        if (asIndexError)
            throw EQDBIndexError(message);
        throw EQDBFileError(message);
    }
    return static_cast<std::int32_t>(end);
}

// A value may be written over in place when the new one is not longer and no commit refers to
// the old bytes: those must read as they are until the next commit.
bool TQDB::mayOverwrite(const TIndex& entry, std::int64_t length)
{
    return length <= entry.Length && entry.Position >= firstUncommitted_ && liesWithinData(entry);
}

void TQDB::writeAt(std::int64_t position, ByteView bytes)
{
    auto& file = valueFile();
    const auto end = file.size();
    try {
        file.seek(valueBase_ + position);
        file.write(bytes.data(), bytes.size());
    } catch (...) {
        // An append that failed half-way leaves no partial value behind; the index is not
        // touched until the write succeeded.
        if (valueBase_ + position >= end) {
            try {
                file.truncate(end);
            } catch (...) {
            }
        }
        if (&file == &storeFile_)
            refreshStamp();
        throw;
    }
    if (&file == &storeFile_)
        refreshStamp();
}

// Whether an entry's value lies within the values; one that does not is a damaged index.
bool TQDB::liesWithinData(const TIndex& entry)
{
    return entry.Position >= 0 && entry.Length >= 0 && std::int64_t(entry.Position) + entry.Length <= dataEnd();
}

// The stored bytes of an entry.
void TQDB::readStored(const TIndex& entry, Bytes& stored)
{
    if (!liesWithinData(entry))
        raiseIndexNotValid(fileName_);
    try {
        stored.resize(static_cast<std::size_t>(entry.Length));
        auto& file = valueFile();
        file.seek(valueBase_ + entry.Position);
        if (!file.readExact(stored.data(), stored.size()))
            raiseIndexNotValid(fileName_);
    } catch (const EQDBIndexError&) {
        throw;
    } catch (...) {
        raiseIndexNotValid(fileName_);
    }
}

TQDB::Bytes TQDB::storedForm(ByteView content) const
{
    if (!compression_)
        return Bytes(content.begin(), content.end());
    try {
        Bytes stored;
        compressItem(content, stored);
        return stored;
    } catch (const std::bad_alloc&) {
        throw EQDBNoCompress();
    }
}

// ============================================================================================
// Checks and refusals

void TQDB::requireActive() const
{
    if (!active_)
        throw EQDBNoFile();
}

bool TQDB::refuse(const TNotifyEvent& warning, const std::function<void()>& raiseError)
{
    if (warning)
        warning(*this);
    else
        raiseError();
    return true;
}

bool TQDB::refuseIfReadOnly()
{
    return readOnly_ && refuse(warnReadOnly, [this] { throw EQDBReadOnly(fileName_); });
}

bool TQDB::refuseIfEmpty()
{
    return count() == 0 && refuse(warnNoData, [this] { throw EQDBNoData(fileName_); });
}

bool TQDB::refuseOutOfRange()
{
    return refuse(warnOutOfBounds, [] { throw EQDBOutOfBounds(); });
}

void TQDB::raise(const TNotifyEvent& event)
{
    if (event)
        event(*this);
}

// ============================================================================================
// Marks

void TQDB::cancel()
{
    raise(beforeCancel);
    inserting_ = editing_ = false;
    updateState();
    raise(afterCancel);
}

void TQDB::insert()
{
    raise(beforeInsert);
    inserting_ = true;
    updateState();
    raise(afterInsert);
}

void TQDB::edit()
{
    raise(beforeEdit);
    editing_ = true;
    updateState();
    raise(afterEdit);
}

void TQDB::post()
{
    raise(beforePost);
    inserting_ = editing_ = false;
    updateState();
    raise(afterPost);
}

// ============================================================================================
// Items

void TQDB::addItem(ByteView content, std::string_view key)
{
    requireActive();
    if (refuseIfReadOnly())
        return;
    key = storeKey(key);
    std::int32_t position = 0;
    if (items_.find(key, position))
        throw EQDBIndexError(messages::kDuplicateKeys);

    // The value is written before its key enters the index, so that no failure (compression,
    // a full disk) can leave a key pointing at bytes that were never written.
    const Bytes stored = storedForm(content);
    prepareForWriting();
    TIndex entry;
    entry.Position = appendPosition(std::int64_t(stored.size()), false);
    entry.Length = static_cast<std::int32_t>(stored.size());
    entry.Flags = compression_ ? format::ifCompressed : 0;
    writeAt(entry.Position, stored);
    try {
        itemIndex_ = items_.add(key, entry);
    } catch (const EQDBListError&) {
        throw EQDBIndexError(messages::kDuplicateKeys);
    }
    currentKey_ = std::string(key);
    cache_.offer(content, key);
    noteChange();
    updateState();
    raise(onAdded);
    raise(onNavigate);
}

void TQDB::getItem(Bytes& content)
{
    requireActive();
    if (refuseIfEmpty())
        return;
    const auto& key = items_.key(itemIndex_);
    std::int32_t cached = 0;
    if (cache_.find(key, cached)) {
        content = cache_.hit(cached);
        return;
    }
    const TIndex entry = items_.object(itemIndex_);
    Bytes stored;
    readStored(entry, stored);
    if (entry.Flags & format::ifCompressed) {
        Bytes expanded;
        bool ok = false;
        try {
            ok = expandItem(stored, expanded);
        } catch (...) {
        }
        if (!ok)
            raiseIndexNotValid(fileName_);
        content = std::move(expanded);
    } else {
        content = std::move(stored);
    }
    cache_.offer(content, key);
}

void TQDB::changeItem(ByteView content)
{
    requireActive();
    if (refuseIfEmpty() || refuseIfReadOnly())
        return;
    const std::string key = items_.key(itemIndex_);
    cache_.remove(key);

    const Bytes stored = storedForm(content);
    prepareForWriting();
    TIndex entry = items_.object(itemIndex_);
    if (!mayOverwrite(entry, std::int64_t(stored.size())))
        entry.Position = appendPosition(std::int64_t(stored.size()), false);
    writeAt(entry.Position, stored);
    entry.Length = static_cast<std::int32_t>(stored.size());
    entry.Flags = compression_ ? format::ifCompressed : 0;
    items_.object(itemIndex_) = entry;

    cache_.offer(content, key);
    noteChange();
    raise(onChanged);
}

void TQDB::deleteItem()
{
    raise(beforeDelete);
    requireActive();
    if (refuseIfReadOnly() || refuseIfEmpty())
        return;
    inserting_ = editing_ = false;
    cache_.remove(items_.key(itemIndex_));
    items_.remove(itemIndex_);
    noteChange();
    if (itemIndex_ == 0) {
        currentKey_.clear();
    } else {
        goToItem(itemIndex_ - 1);
    }
    raise(onDeleted);
    updateState();
    raise(afterDelete);
}

bool TQDB::findKey(std::string_view key)
{
    std::int32_t position = 0;
    if (!items_.find(key, position))
        return false;
    goToItem(position);
    raise(onFound);
    return true;
}

void TQDB::goToItem(std::int32_t index)
{
    if (refuseIfEmpty())
        return;
    if (index < 0 || index > count() - 1) {
        refuseOutOfRange();
        return;
    }
    itemIndex_ = index;
    currentKey_ = items_.key(index);
    raise(onNavigate);
}

// ============================================================================================
// Navigation

bool TQDB::matches(std::int32_t position) const
{
    return keyMatches(items_.key(position), filter_, useGrepMatch_, items_.caseSensitive());
}

void TQDB::first()
{
    bof_ = true;
    eof_ = false;
    if (filter_.empty()) {
        goToItem(0);
    } else {
        std::int32_t position = 0;
        while (position < count() && !matches(position))
            ++position;
        goToItem(position);
    }
    updateState();
}

void TQDB::last()
{
    bof_ = false;
    eof_ = true;
    if (filter_.empty()) {
        goToItem(count() - 1);
    } else {
        std::int32_t position = count() - 1;
        while (position >= 0 && !matches(position))
            --position;
        goToItem(position);
    }
    updateState();
}

void TQDB::next()
{
    bof_ = false;
    eof_ = false;
    std::int32_t position = itemIndex_;
    if (!filter_.empty())
        while (position + 1 < count() && !matches(position + 1))
            ++position;
    if (position + 1 < count())
        goToItem(position + 1);
    else
        eof_ = true;
    updateState();
}

void TQDB::prior()
{
    bof_ = false;
    eof_ = false;
    std::int32_t position = itemIndex_;
    if (!filter_.empty())
        while (position - 1 >= 0 && !matches(position - 1))
            --position;
    if (position - 1 < 0)
        bof_ = true;
    else
        goToItem(position - 1);
    updateState();
}

void TQDB::updateState()
{
    if (filter_.empty()) {
        bof_ = count() > 0 && itemIndex_ == 0;
        eof_ = count() > 0 && itemIndex_ == count() - 1;
        return;
    }
    if (!aggressiveUpdate_)
        return;
    bool before = false;
    for (std::int32_t i = 0; i < itemIndex_ && i < count() && !before; ++i)
        before = matches(i);
    bool after = false;
    for (std::int32_t i = itemIndex_ + 1; i < count() && !after; ++i)
        after = matches(i);
    if (!before)
        bof_ = true;
    if (!after)
        eof_ = true;
}

// ============================================================================================
// Admin entries

bool TQDB::findAdmin(std::string_view key)
{
    std::int32_t position = 0;
    if (!admins_.find(key, position))
        return false;
    adminIndex_ = position;
    return true;
}

std::int32_t TQDB::adminSize()
{
    if (admins_.count() == 0) {
        refuse(warnNoData, [this] { throw EQDBNoData(fileName_); });
        return 0;
    }
    return admins_.object(adminIndex_).Length;
}

void TQDB::readAdmin(Bytes& content)
{
    requireActive();
    if (admins_.count() == 0) {
        refuse(warnNoData, [this] { throw EQDBNoData(fileName_); });
        return;
    }
    readStored(admins_.object(adminIndex_), content);
}

void TQDB::addAdmin(ByteView content, std::string_view key)
{
    requireActive();
    if (refuseIfReadOnly())
        return;
    key = storeKey(key);
    std::int32_t position = 0;
    if (admins_.find(key, position))
        throw EQDBIndexError(messages::kDuplicateKeys);
    prepareForWriting();
    TIndex entry;
    entry.Position = appendPosition(std::int64_t(content.size()), true);
    entry.Length = static_cast<std::int32_t>(content.size());
    entry.Flags = format::ifAdmin;
    try {
        writeAt(entry.Position, content);
    } catch (const FileSystemError&) {
        throw EQDBIndexError(formatMessage(messages::kUnableToExtend, fileName_));
    }
    try {
        adminIndex_ = admins_.add(key, entry);
    } catch (const EQDBListError&) {
        throw EQDBIndexError(messages::kDuplicateKeys);
    }
    noteChange();
}

void TQDB::changeAdmin(ByteView content)
{
    requireActive();
    if (admins_.count() == 0) {
        refuse(warnNoData, [this] { throw EQDBNoData(fileName_); });
        return;
    }
    if (refuseIfReadOnly())
        return;
    prepareForWriting();
    TIndex entry = admins_.object(adminIndex_);
    if (!mayOverwrite(entry, std::int64_t(content.size())))
        entry.Position = appendPosition(std::int64_t(content.size()), false);
    try {
        writeAt(entry.Position, content);
    } catch (const FileSystemError&) {
        throw EQDBFileError(formatMessage(messages::kUnableToExtend, fileName_));
    }
    entry.Length = static_cast<std::int32_t>(content.size());
    admins_.object(adminIndex_) = entry;
    noteChange();
}

bool TQDB::getAdminBoolean(std::string_view key)
{
    if (!findAdmin(key))
        throw EQDBBadKey(std::string(key));
    if (admins_.object(adminIndex_).Length != 1)
        return false;
    Bytes value;
    readAdmin(value);
    return value.size() == 1 && value[0] == 1;
}

std::int32_t TQDB::getAdminInteger(std::string_view key)
{
    if (!findAdmin(key))
        throw EQDBBadKey(std::string(key));
    if (admins_.object(adminIndex_).Length != 4)
        return 0;
    Bytes value;
    readAdmin(value);
    return value.size() == 4 ? format::readInt32(value.data()) : 0;
}

void TQDB::setAdminInteger(std::string_view key, std::int32_t value)
{
    unsigned char bytes[format::kInt32Size];
    format::writeInt32(bytes, value);
    if (findAdmin(key))
        changeAdmin(bytes);
    else
        addAdmin(bytes, key);
}

// ============================================================================================
// Packing

void TQDB::pack()
{
    requireActive();
    if (refuseIfReadOnly())
        return;
    const auto remembered = itemIndex_;
    startProgress(count(), TProgressOrigin::poPacking);
    commit(true);
    if (remembered > 0)
        goToItem(remembered);
    endProgress();
}

// ============================================================================================
// Progress

void TQDB::startProgress(std::int64_t total, TProgressOrigin origin)
{
    progressStep_ = total / 10 + 1;
    progressOrigin_ = origin;
}

void TQDB::tickProgress(std::int64_t i)
{
    if (i % progressStep_ != 0)
        return;
    if (const auto& handler = pendingEventsHandler())
        handler();
    if (progressUpdate)
        progressUpdate(*this, static_cast<int>(i * 10 / progressStep_), progressOrigin_);
}

void TQDB::endProgress()
{
    if (progressUpdate)
        progressUpdate(*this, 0, progressOrigin_);
}

} // namespace glimmora::store
