#pragma once

// Helpers of the engine tests: store files written byte by byte (independent of the engine
// under test), item contents as strings, and the work files left in the temporary directory.

#include "store/FileFormat.h"
#include "store/FileSeam.h"
#include "store/QDB.h"

#include "Scratch.h"

#include <cstdint>
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
