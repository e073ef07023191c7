// Any bytes opened as a store file: every item and admin entry is read. Half of the inputs
// (by the first byte) are also closed, which rebuilds the file, and reopened: what was read
// must read the same again.

#include "store/QDB.h"

// POSIX
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using glimmora::store::TQDB;

struct Contents {
    std::vector<std::pair<std::string, TQDB::Bytes>> admin;
    std::vector<std::pair<std::string, TQDB::Bytes>> items;
    bool operator==(const Contents&) const = default;
};

// Reads what can be read; values that fail to read are recorded as failing.
Contents readAll(TQDB& db)
{
    Contents contents;
    for (std::int32_t i = 0; i < db.adminCount(); ++i) {
        TQDB::Bytes value;
        try {
            db.findAdmin(db.adminKey(i));
            db.readAdmin(value);
        } catch (const glimmora::store::EQDBError&) {
            value = {0xde, 0xad};
        }
        contents.admin.emplace_back(db.adminKey(i), value);
    }
    for (std::int32_t i = 0; i < db.count(); ++i) {
        TQDB::Bytes value;
        try {
            db.goToItem(i);
            db.getItem(value);
        } catch (const glimmora::store::EQDBError&) {
            value = {0xde, 0xad};
        }
        contents.items.emplace_back(db.itemKey(i), value);
    }
    // Navigation over whatever was read must end.
    if (db.count() > 0) {
        db.first();
        for (std::int32_t steps = 0; !db.eof(); ++steps) {
            if (steps > db.count())
                std::abort();
            db.next();
        }
    }
    return contents;
}

std::string storePath()
{
    static const std::string path = [] {
        const char* base = std::getenv("TMPDIR");
        return std::string(base && *base ? base : "/tmp") + "/fuzz-store-" + std::to_string(::getpid()) + ".idb";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool rebuild = data[0] & 1;
    const auto path = storePath();
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, file);
        std::fclose(file);
    }
    TQDB db;
    db.setPassword("fuzz");
    db.setReadOnly(!rebuild);
    try {
        db.setFileName(path);
        const auto first = readAll(db);
        if (rebuild) {
            db.setFileName("");
            db.setPassword("fuzz");
            db.setFileName(path);
            if (readAll(db) != first)
                std::abort();
        }
        db.setFileName("");
    } catch (const glimmora::store::EQDBError&) {
    }
    std::remove(path.c_str());
    return 0;
}
