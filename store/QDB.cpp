#include "store/QDB.h"

#include "store/BFStream.h"
#include "store/Compression.h"
#include "store/FileFormat.h"
#include "store/Matchers.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

namespace glimmora::store {

namespace {

std::function<void()>& pendingEventsHandler()
{
    static std::function<void()> handler;
    return handler;
}

bool isMarker(const unsigned char* bytes, const format::Marker& marker)
{
    // A marker is read as text up to its first zero byte.
    return std::memcmp(bytes, marker.data(), marker.size()) == 0;
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

// The index work file's name: the data work file's with its first three characters "QIX".
std::string indexWorkNameFor(const std::string& dataWorkName)
{
    return seam::directoryPart(dataWorkName) + format::kIndexWorkPrefix + seam::namePart(dataWorkName).substr(3);
}

void writeMarker(SeamFile& file, const format::Marker& marker) { file.write(marker.data(), marker.size()); }

void writeInt32(SeamFile& file, std::int32_t value)
{
    unsigned char bytes[format::kInt32Size];
    format::writeInt32(bytes, value);
    file.write(bytes, sizeof bytes);
}

std::optional<std::int32_t> readInt32(SeamFile& file)
{
    unsigned char bytes[format::kInt32Size];
    if (!file.readExact(bytes, sizeof bytes))
        return std::nullopt;
    return format::readInt32(bytes);
}

// A section [length][bytes] followed by a marker must fit in the file from offset on.
bool sectionFits(std::int64_t fileSize, std::int64_t lengthOffset, std::int32_t length, std::size_t trailer)
{
    return length >= 0 && lengthOffset + std::int64_t(format::kInt32Size) + length + std::int64_t(trailer) <= fileSize;
}

// Reads the int32 at offset, or nothing.
std::optional<std::int32_t> int32At(SeamFile& file, std::int64_t offset)
{
    if (offset + std::int64_t(format::kInt32Size) > file.size())
        return std::nullopt;
    file.seek(offset);
    return readInt32(file);
}

bool markerAt(SeamFile& file, std::int64_t offset, const format::Marker& marker)
{
    unsigned char bytes[format::kMarkerSize];
    if (offset + std::int64_t(format::kMarkerSize) > file.size())
        return false;
    file.seek(offset);
    return file.readExact(bytes, sizeof bytes) && isMarker(bytes, marker);
}

// Whether the layout from the data length at lengthOffset holds together: a data section,
// then the "QIX" marker and an index section within the file.
bool layoutHolds(SeamFile& file, std::int64_t lengthOffset)
{
    const auto dataLength = int32At(file, lengthOffset);
    if (!dataLength || !sectionFits(file.size(), lengthOffset, *dataLength, format::kMarkerSize + format::kInt32Size))
        return false;
    const auto indexMarker = lengthOffset + std::int64_t(format::kInt32Size) + *dataLength;
    const auto indexLength = int32At(file, indexMarker + std::int64_t(format::kMarkerSize));
    return markerAt(file, indexMarker, format::kIndexSignature) && indexLength
           && sectionFits(file.size(), indexMarker + std::int64_t(format::kMarkerSize), *indexLength, 0);
}

// The four bytes after the signature read "QPW" in a protected store, and also in a plain store
// whose data section is exactly 0x00575051 bytes long. The layout decides: the store is taken
// as protected unless only the plain reading of it holds together.
bool isProtectedStore(SeamFile& file)
{
    if (!markerAt(file, format::kPasswordBlockOffset, format::kPasswordSignature))
        return false;
    return layoutHolds(file, format::kDataLengthOffsetProtected) || !layoutHolds(file, format::kDataLengthOffsetPlain);
}

// The data length that would read as the "QPW" marker in a plain store.
constexpr std::int32_t kAmbiguousDataLength = 0x00575051;

} // namespace

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
    if (!seam::exists(fileName_))
        createEmptyStoreFile();
    splitStoreFile();
    readIndex();
    active_ = true;
    updateState();
}

void TQDB::createEmptyStoreFile()
{
    auto file = SeamFile::open(fileName_, SeamFile::Mode::CreateNew);
    file.write(format::kEmptyStore.data(), format::kEmptyStore.size());
    file.close();
}

void TQDB::splitStoreFile()
{
    stamp_ = seam::status(fileName_);
    // Reading a named pipe would wait for a writer for ever; only a regular file is a store.
    if (stamp_ && !stamp_->regular)
        raiseNotValid(fileName_);
    if (stamp_ && !stamp_->ownerWritable)
        readOnly_ = true;

    auto store = SeamFile::open(fileName_, SeamFile::Mode::Read);
    unsigned char marker[format::kMarkerSize];
    if (!store.readExact(marker, sizeof marker) || !isMarker(marker, format::kFileSignature))
        raiseNotValid(fileName_);

    const bool protectedStore = isProtectedStore(store);
    std::int64_t lengthOffset = format::kDataLengthOffsetPlain;
    if (protectedStore) {
        Sha1Digest stored{};
        store.seek(format::kPasswordBlockOffset + format::kMarkerSize);
        if (!store.readExact(stored.data(), stored.size()))
            raiseNotValid(fileName_);
        if (password_.empty() && onDemandPassword)
            onDemandPassword(*this, password_);
        if (passwordCheckValue(passwordKey(password_)) != stored)
            throw EQDBInvalidPW();
        lengthOffset = format::kDataLengthOffsetProtected;
    }

    // Checked before anything is copied, so that a damaged length never makes a huge work file.
    const auto dataLength = int32At(store, lengthOffset);
    if (!dataLength || !sectionFits(store.size(), lengthOffset, *dataLength, format::kMarkerSize))
        raiseNotValid(fileName_);
    store.seek(lengthOffset + std::int64_t(format::kInt32Size));

    // A data work file whose index twin exists would later replace that twin; skip such names.
    dataFile_ = seam::createUniqueFile(seam::temporaryDirectory(), format::kDataWorkPrefix,
                                       [](const std::string& path) { return !seam::exists(indexWorkNameFor(path)); });
    dataWorkName_ = dataFile_.path();
    copySection(store, dataFile_, *dataLength, protectedStore);

    unsigned char indexMarker[format::kMarkerSize];
    if (!store.readExact(indexMarker, sizeof indexMarker) || !isMarker(indexMarker, format::kIndexSignature))
        raiseNotValid(fileName_);
    const auto indexLength = readInt32(store);
    if (!indexLength
        || !sectionFits(store.size(), store.position() - std::int64_t(format::kInt32Size), *indexLength, 0))
        raiseNotValid(fileName_);

    indexWorkName_ = indexWorkNameFor(dataWorkName_);
    // A new file, like the data work file: never one that somebody else put there.
    indexFile_ = SeamFile::open(indexWorkName_, SeamFile::Mode::CreateNew);
    copySection(store, indexFile_, *indexLength, protectedStore);
}

// Copies length bytes between a store file and a work file. Protected sections are cut into
// chunks of the clamped section length, each (un)scrambled on its own; plain ones are copied
// by the kernel.
void TQDB::copySection(SeamFile& from, SeamFile& to, std::int64_t length, bool scrambled)
{
    if (!scrambled) {
        if (to.copyFrom(from, length) != length)
            raiseNotValid(fileName_);
        return;
    }
    const auto key = passwordKey(password_);
    const auto chunk = format::copyBufferLength(length);
    Bytes buffer(static_cast<std::size_t>(std::min(chunk, length)));
    for (std::int64_t done = 0; done < length;) {
        const auto size = static_cast<std::size_t>(std::min(chunk, length - done));
        if (!from.readExact(buffer.data(), size))
            raiseNotValid(fileName_);
        scramble(std::span(buffer.data(), size), key);
        to.write(buffer.data(), size);
        done += static_cast<std::int64_t>(size);
    }
}

void TQDB::readIndex()
{
    struct ReadEntry {
        std::string key;
        TIndex entry;
    };

    const auto indexSize = indexFile_.size();
    indexFile_.seek(0);
    TBFStream reader(std::move(indexFile_), TBFStream::kFileLength);

    std::int32_t total = 0;
    // Every entry takes at least a zero byte and three int32 values; a count the section
    // cannot hold is a damaged file, found before any memory is spent on it.
    const auto minimumEntry = std::int64_t(1 + format::kEntryFixedSize);
    if (!reader.readInt32(total) || total < 0 || total > (indexSize - std::int64_t(format::kInt32Size)) / minimumEntry)
        raiseNotValid(fileName_);

    startProgress(total, TProgressOrigin::poOpening);
    std::vector<ReadEntry> itemsRead;
    TIndexList admins;
    try {
        for (std::int32_t i = 1; i <= total; ++i) {
            ReadEntry read;
            std::int32_t flags = 0;
            if (!reader.readKey(read.key) || !reader.readInt32(read.entry.Position)
                || !reader.readInt32(read.entry.Length) || !reader.readInt32(flags))
                raiseNotValid(fileName_); // the section ends before its last entry
            read.entry.Flags = static_cast<std::uint32_t>(flags);
            if (read.entry.Flags & format::ifAdmin)
                admins.add(read.key, read.entry);
            else
                itemsRead.push_back(std::move(read));
            tickProgress(i);
        }
    } catch (const EQDBListError&) {
        throw EQDBIndexError(formatMessage(messages::kNoMemoryForIndex, fileName_));
    } catch (const std::bad_alloc&) {
        throw EQDBIndexError(formatMessage(messages::kNoMemoryForIndex, fileName_));
    }
    reader.close();
    admins_ = std::move(admins);

    // The item order depends on the case rule, which an admin entry sets: settle it first.
    bool caseSensitive = false;
    if (findAdmin(format::kCaseSensitiveKey) && admins_.object(adminIndex_).Length == 1) {
        Bytes flag;
        readStored(admins_.object(adminIndex_), flag);
        caseSensitive = flag[0] == 1;
    }

    // Items come in descending order. A file written under another collation is put in this
    // store's order, so that binary search finds every key; duplicate keys cannot be told
    // apart, so such a file is refused.
    std::reverse(itemsRead.begin(), itemsRead.end());
    const auto order = [caseSensitive](const ReadEntry& a, const ReadEntry& b) {
        return compareKeys(a.key, b.key, caseSensitive);
    };
    const auto less = [&order](const ReadEntry& a, const ReadEntry& b) { return order(a, b) < 0; };
    if (!std::is_sorted(itemsRead.begin(), itemsRead.end(), less))
        std::stable_sort(itemsRead.begin(), itemsRead.end(), less);
    TIndexList items;
    items.setCaseSensitive(caseSensitive);
    items.setSorted(false);
    for (std::size_t i = 0; i < itemsRead.size(); ++i) {
        if (i > 0 && order(itemsRead[i - 1], itemsRead[i]) == 0) {
            admins_.clear();
            throw EQDBIndexError(formatMessage(messages::kNoMemoryForIndex, fileName_));
        }
        items.add(itemsRead[i].key, itemsRead[i].entry);
    }
    items.setSorted(true);

    items_ = std::move(items);
    adminIndex_ = 0;
    itemIndex_ = 0;
    modified_ = false;
    endProgress();
    currentKey_ = items_.count() > 0 ? items_.key(0) : std::string();
    holdIndexWorkFile();
}

void TQDB::holdIndexWorkFile() { indexFile_ = SeamFile::open(indexWorkName_, SeamFile::Mode::ReadWrite); }

// ============================================================================================
// Closing, saving, building the store file

void TQDB::close()
{
    startProgress(count(), TProgressOrigin::poClosing);
    if (!readOnly_ && saveOnClose_)
        writeIndex();
    else
        for (std::int32_t i = 0; i < count(); ++i)
            tickProgress(i);
    if (!readOnly_)
        buildStoreFile();
    endProgress();
    discardOpenState();
}

// Forgets the open store: lists, cache, work files (deleted), marks; the password is cleared.
void TQDB::discardOpenState() noexcept
{
    admins_.clear();
    items_.clear();
    cache_.clear();
    // The names go first; the data work file, possibly large, is then freed in the background.
    seam::removeFileQuietly(dataWorkName_);
    seam::removeFileQuietly(indexWorkName_);
    seam::closeInBackground(std::move(dataFile_));
    indexFile_.close();
    dataWorkName_.clear();
    indexWorkName_.clear();
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

// Writes the in-memory index to a new "QDT" file and moves it over the index work file; the
// lists stay as they are, so a failure loses nothing.
void TQDB::writeIndex()
{
    TTempBFStream writer(indexWorkName_);
    writer.writeInt32(count() + adminCount());
    const auto writeEntry = [&writer](const std::string& key, const TIndex& entry) {
        writer.writeKey(key);
        writer.writeInt32(entry.Position);
        writer.writeInt32(entry.Length);
        writer.writeInt32(static_cast<std::int32_t>(entry.Flags));
    };
    for (auto i = adminCount() - 1; i >= 0; --i)
        writeEntry(admins_.key(i), admins_.object(i));
    for (auto i = count() - 1, tick = 0; i >= 0; --i, ++tick) {
        writeEntry(items_.key(i), items_.object(i));
        tickProgress(tick);
    }
    writer.commit();
    holdIndexWorkFile(); // the file just moved into place
}

void TQDB::redirectIfChangedOnDisk()
{
    if (!stamp_)
        return;
    const auto now = seam::status(fileName_);
    if (!now || now->sameVersionAs(*stamp_))
        return; // unchanged, or gone: nobody else's file is there to keep
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
    stamp_.reset(); // nobody else's file is there to protect, also when this build is retried
}

// Builds the new store file beside the old one and renames it over, so that the old file stays
// whole until the new one is complete and synced; on any failure the new file is removed and
// the old one is left as it was.
void TQDB::buildStoreFile()
{
    redirectIfChangedOnDisk();
    const bool protect = !password_.empty();
    auto build = seam::createUniqueFile(seam::directoryPart(seam::absolutePath(fileName_)), format::kBuildTempPrefix);
    const auto buildName = build.path();
    try {
        writeMarker(build, format::kFileSignature);
        if (protect) {
            writeMarker(build, format::kPasswordSignature);
            const auto check = passwordCheckValue(passwordKey(password_));
            build.write(check.data(), check.size());
        }

        const auto dataLength = dataEnd();
        if (dataLength > std::numeric_limits<std::int32_t>::max())
            throw EQDBFileError(formatMessage(messages::kUnableToExtend, fileName_));
        // A plain store of exactly this length would read as a protected one: one byte of dead
        // space at the end of the data section keeps it unambiguous.
        const bool pad = !protect && dataLength == kAmbiguousDataLength;
        writeInt32(build, static_cast<std::int32_t>(dataLength + (pad ? 1 : 0)));
        dataFile_.seek(0);
        copySection(dataFile_, build, dataLength, protect);
        if (pad)
            build.write("", 1);

        writeMarker(build, format::kIndexSignature);
        const auto indexLength = indexFile_.size();
        writeInt32(build, static_cast<std::int32_t>(indexLength));
        indexFile_.seek(0);
        copySection(indexFile_, build, indexLength, protect);

        if (const auto previous = seam::status(fileName_))
            build.setMode(previous->mode);
        build.sync();
        build.close();
        // Held open across the move, the replaced file is freed in the background afterwards.
        SeamFile replaced;
        try {
            replaced = SeamFile::open(fileName_, SeamFile::Mode::Read);
        } catch (const FileSystemError&) {
        }
        seam::moveFileOver(buildName, fileName_);
        seam::closeInBackground(std::move(replaced));
    } catch (...) {
        build.close();
        seam::removeFileQuietly(buildName);
        throw;
    }
    seam::syncDirectoryOf(fileName_);
    stamp_ = seam::status(fileName_);
}

void TQDB::save()
{
    requireActive();
    if (readOnly_ || !modified_)
        return;
    startProgress(count(), TProgressOrigin::poSaving);
    writeIndex();
    modified_ = false;
    endProgress();
}

// ============================================================================================
// Values in the data work file

std::int64_t TQDB::dataEnd() { return dataFile_.size(); }

// The Position for a value of the given length appended at the end of the data work file.
// Positions are int32: a data section that would pass 2 GiB cannot take the value.
std::int32_t TQDB::appendPosition(std::int64_t length, bool asIndexError)
{
    const auto end = dataEnd();
    if (end + length > std::numeric_limits<std::int32_t>::max()) {
        const auto message = formatMessage(messages::kUnableToExtend, fileName_);
        if (asIndexError)
            throw EQDBIndexError(message);
        throw EQDBFileError(message);
    }
    return static_cast<std::int32_t>(end);
}

void TQDB::writeAt(std::int64_t position, ByteView bytes)
{
    const auto end = dataEnd();
    try {
        dataFile_.seek(position);
        dataFile_.write(bytes.data(), bytes.size());
    } catch (...) {
        // An append that failed half-way leaves no partial value behind (it would be dead
        // space anyway); the index is not touched until the write succeeded.
        if (position >= end) {
            try {
                dataFile_.truncate(end);
            } catch (...) {
            }
        }
        throw;
    }
}

// Whether an entry's value lies within the data work file; one that does not is a damaged index.
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
        dataFile_.seek(entry.Position);
        if (!dataFile_.readExact(stored.data(), stored.size()))
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
    modified_ = true;
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
    TIndex entry = items_.object(itemIndex_);
    // An entry reaching outside the data (a damaged index) is not written over in place: the
    // write would land before the data or far beyond its end.
    if (std::int64_t(stored.size()) > entry.Length || !liesWithinData(entry))
        entry.Position = appendPosition(std::int64_t(stored.size()), false);
    writeAt(entry.Position, stored);
    entry.Length = static_cast<std::int32_t>(stored.size());
    entry.Flags = compression_ ? format::ifCompressed : 0;
    items_.object(itemIndex_) = entry;

    cache_.offer(content, key);
    modified_ = true;
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
    modified_ = true;
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
    modified_ = true;
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
    TIndex entry = admins_.object(adminIndex_);
    if (std::int64_t(content.size()) > entry.Length || !liesWithinData(entry))
        entry.Position = appendPosition(std::int64_t(content.size()), false);
    try {
        writeAt(entry.Position, content);
    } catch (const FileSystemError&) {
        throw EQDBFileError(formatMessage(messages::kUnableToExtend, fileName_));
    }
    entry.Length = static_cast<std::int32_t>(content.size());
    admins_.object(adminIndex_) = entry;
    modified_ = true;
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
    SeamFile packed;
    try {
        packed = seam::createUniqueFile(seam::temporaryDirectory(), format::kDataWorkPrefix);
    } catch (const FileSystemError&) {
        throw EQDBIndexError(messages::kNoTemporaryFile);
    }
    const auto packedName = packed.path();

    // New positions are applied only once the packed file has replaced the data work file, so
    // a failure half-way leaves the store exactly as it was.
    std::vector<std::int32_t> adminPositions;
    std::vector<std::int32_t> itemPositions;
    try {
        startProgress(count(), TProgressOrigin::poPacking);
        std::int64_t end = 0;
        Bytes value;
        const auto append = [&](const TIndex& entry) {
            readStored(entry, value);
            packed.write(value.data(), value.size());
            const auto position = static_cast<std::int32_t>(end);
            end += entry.Length;
            return position;
        };
        for (std::int32_t i = 0; i < adminCount(); ++i)
            adminPositions.push_back(append(admins_.object(i)));
        for (std::int32_t i = 0; i < count(); ++i) {
            itemPositions.push_back(append(items_.object(i)));
            tickProgress(i + 1);
        }
        packed.close();
        dataFile_.close();
        seam::moveFileOver(packedName, dataWorkName_);
    } catch (...) {
        packed.close();
        seam::removeFileQuietly(packedName);
        if (!dataFile_.isOpen())
            dataFile_ = SeamFile::open(dataWorkName_, SeamFile::Mode::ReadWrite);
        throw;
    }
    dataFile_ = SeamFile::open(dataWorkName_, SeamFile::Mode::ReadWrite);
    for (std::int32_t i = 0; i < adminCount(); ++i)
        admins_.object(i).Position = adminPositions[static_cast<std::size_t>(i)];
    for (std::int32_t i = 0; i < count(); ++i)
        items_.object(i).Position = itemPositions[static_cast<std::size_t>(i)];
    // The index work file must follow the new positions at once: a close without saving
    // rebuilds the store from it.
    writeIndex();
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
