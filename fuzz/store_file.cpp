// Any bytes opened as a store file: every item and admin entry is read. Half of the inputs (by
// the first byte) are also changed and read again, then saved (by appending, or by a rebuild
// when the dead space outweighs the live data), reopened, packed and reopened: each time the
// store must read exactly as it did after the change.

#include "store/QDB.h"

// POSIX
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using glimmora::store::TQDB;

struct Contents {
    std::map<std::string, TQDB::Bytes> admin;
    std::map<std::string, TQDB::Bytes> items;
    bool operator==(const Contents&) const = default;
};

const TQDB::Bytes kUnreadable{0xde, 0xad};

// Reads what can be read; values that fail to read are recorded as unreadable.
Contents readAll(TQDB& db)
{
    Contents contents;
    for (std::int32_t i = 0; i < db.adminCount(); ++i) {
        TQDB::Bytes value;
        try {
            db.findAdmin(db.adminKey(i));
            db.readAdmin(value);
        } catch (const glimmora::store::EQDBError&) {
            value = kUnreadable;
        }
        contents.admin.emplace(db.adminKey(i), value);
    }
    for (std::int32_t i = 0; i < db.count(); ++i) {
        TQDB::Bytes value;
        try {
            db.goToItem(i);
            db.getItem(value);
        } catch (const glimmora::store::EQDBError&) {
            value = kUnreadable;
        }
        contents.items.emplace(db.itemKey(i), value);
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

// Writes one item and one admin entry, as a caller would.
void change(TQDB& db)
{
    const TQDB::Bytes value(300, 0x5a);
    if (db.findKey("fuzz-added"))
        db.changeItem(value);
    else
        db.addItem(value, "fuzz-added");
    db.setAdminInteger("FUZZ", 7);
}

Contents reopened(TQDB& db, const std::string& path)
{
    db.setFileName("");
    db.setPassword("fuzz");
    db.setFileName(path);
    return readAll(db);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool write = data[0] & 1;
    const auto path = storePath();
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, file);
        std::fclose(file);
    }
    TQDB db;
    db.setPassword("fuzz");
    db.setReadOnly(!write);
    try {
        db.setFileName(path);
        readAll(db);
        if (write) {
            change(db);
            const auto expected = readAll(db);
            db.save();
            if (reopened(db, path) != expected)
                std::abort();
            db.pack();
            if (reopened(db, path) != expected)
                std::abort();
        }
        db.setFileName("");
    } catch (const glimmora::store::EQDBError&) {
    }
    std::remove(path.c_str());
    return 0;
}
