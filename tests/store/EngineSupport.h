#pragma once

// Helpers of the engine tests: store files written byte by byte and read by an independent
// reader of the format (both apart from the engine under test), item contents as strings, and
// the work files left in the temporary directory.

#include "store/FileFormat.h"
#include "store/FileSeam.h"
#include "store/QDB.h"

#include "Scratch.h"

// POSIX
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace glimmora::test {

inline std::string int32Bytes(std::int32_t value)
{
    unsigned char bytes[4];
    store::format::writeInt32(bytes, value);
    return std::string(reinterpret_cast<const char*>(bytes), 4);
}

inline std::int32_t int32At(const std::string& bytes, std::size_t offset)
{
    return store::format::readInt32(reinterpret_cast<const unsigned char*>(bytes.data()) + offset);
}

struct RawEntry {
    std::string key;
    std::int32_t position;
    std::int32_t length;
    std::uint32_t flags;
};

inline std::string rawIndex(const std::vector<RawEntry>& entries, const std::string& trailer = {})
{
    std::string index = int32Bytes(static_cast<std::int32_t>(entries.size()));
    for (const auto& entry : entries)
        index += entry.key + std::string(1, '\0') + int32Bytes(entry.position) + int32Bytes(entry.length)
                 + int32Bytes(static_cast<std::int32_t>(entry.flags));
    return index + trailer;
}

// An unprotected store file with the given sections.
inline std::string rawStore(const std::string& data, const std::string& index)
{
    return std::string("QDB\0", 4) + int32Bytes(static_cast<std::int32_t>(data.size())) + data + std::string("QIX\0", 4)
           + int32Bytes(static_cast<std::int32_t>(index.size())) + index;
}

inline store::TQDB::Bytes bytesOf(const std::string& text) { return store::TQDB::Bytes(text.begin(), text.end()); }

inline std::string textOf(const store::TQDB::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

inline std::string currentItem(store::TQDB& db)
{
    store::TQDB::Bytes content;
    db.getItem(content);
    return textOf(content);
}

// Which file a name leads to, and when it was last written: what reading must leave alone.
struct Identity {
    ino_t inode = 0;
    std::int64_t modified = 0;
    bool operator==(const Identity&) const = default;
};

inline Identity identityOf(const std::filesystem::path& file)
{
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0)
        return {};
    return {info.st_ino, std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

inline std::string hexOf(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

// What qdb_reader.py, a reader written from the description of the format alone, reads in a
// store file: a line per admin entry, then per item, each in key order ("admin KEY VALUE",
// "item KEY VALUE" in hex, "-" for a value it cannot read); "unreadable" when it finds no store.
inline std::string independentListing(const std::filesystem::path& file, const std::string& password = {})
{
    std::string command = "'" GLIMMORA_PYTHON3 "' '" GLIMMORA_STORE_READER "' '" + file.string() + "'";
    if (!password.empty())
        command += " '" + password + "'";
    FILE* reader = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!reader)
        return "no reader";
    std::string listing;
    char buffer[4096];
    while (const auto got = std::fread(buffer, 1, sizeof buffer, reader))
        listing.append(buffer, got);
    const int status = ::pclose(reader);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? listing : "unreadable";
}

// The same listing, made by the engine from an open store.
inline std::string engineListing(store::TQDB& db)
{
    std::string listing;
    for (std::int32_t i = 0; i < db.adminCount(); ++i) {
        store::TQDB::Bytes value;
        db.findAdmin(db.adminKey(i));
        db.readAdmin(value);
        listing += "admin " + hexOf(db.adminKey(i)) + " " + hexOf(textOf(value)) + "\n";
    }
    for (std::int32_t i = 0; i < db.count(); ++i) {
        db.goToItem(i);
        std::string value;
        try {
            value = hexOf(currentItem(db));
        } catch (const store::EQDBError&) {
            value = "-";
        }
        listing += "item " + hexOf(db.itemKey(i)) + " " + value + "\n";
    }
    return listing;
}

// The engine's listing of a store file, opened for reading only.
inline std::string engineListing(const std::filesystem::path& file, const std::string& password = {})
{
    store::TQDB db;
    db.setReadOnly(true);
    db.setPassword(password);
    db.setFileName(file.string());
    auto listing = engineListing(db);
    db.setFileName("");
    return listing;
}

// Names of the store's temporary files now in the temporary directory.
inline std::vector<std::string> workFilesLeft()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(store::seam::temporaryDirectory())) {
        const auto name = entry.path().filename().string();
        if (name.size() > 3 && name[0] == 'Q'
            && (name.rfind("QDB", 0) == 0 || name.rfind("QIX", 0) == 0 || name.rfind("QDT", 0) == 0
                || name.rfind("QDD", 0) == 0))
            names.push_back(name);
    }
    return names;
}

// Removes every temporary file of the store from the temporary directory (after a crash).
inline void removeWorkFiles()
{
    for (const auto& name : workFilesLeft())
        std::filesystem::remove(store::seam::temporaryDirectory() + name);
}

} // namespace glimmora::test
