// The engine's operations on an open store: refusals, navigation, deletion, admin entries,
// saving, packing, progress and file name assignment.

#include "EngineSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <numeric>

namespace glimmora::test {
namespace {

using store::TProgressOrigin;
using store::TQDB;
namespace fs = std::filesystem;

// An open store in a scratch directory with the items given (key = value).
class OpenStore {
public:
    explicit OpenStore(std::initializer_list<const char*> keys = {})
    {
        db.setFileName(name());
        for (const char* key : keys)
            db.addItem(bytesOf(key), key);
        if (db.count() > 0)
            db.goToItem(0);
    }
    std::string name() const { return (dir / "store.idb").string(); }

    ScratchDir dir;
    TQDB db;
};

std::string message(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const store::EQDBError& error) {
        return error.what();
    }
    return "(no error)";
}

TEST(EngineOperations, EmptyStoreRefusesOrWarns)
{
    OpenStore store;
    TQDB& db = store.db;
    TQDB::Bytes content;
    const std::pair<const char*, std::function<void()>> operations[] = {
        {"getItem", [&] { db.getItem(content); }},
        {"changeItem", [&] { db.changeItem(bytesOf("x")); }},
        {"deleteItem", [&] { db.deleteItem(); }},
        {"first", [&] { db.first(); }},
        {"last", [&] { db.last(); }},
    };
    for (const auto& [name, operation] : operations)
        EXPECT_EQ(message(operation), "File " + store.name() + " is empty") << name;

    int warned = 0;
    db.warnNoData = [&](TQDB&) { ++warned; };
    for (const auto& [name, operation] : operations)
        EXPECT_EQ(message(operation), "(no error)") << name;
    EXPECT_EQ(warned, 5);
    EXPECT_EQ(db.count(), 0);
}

TEST(EngineOperations, OutOfRangeAndClosedStore)
{
    OpenStore store({"a", "b", "c"});
    TQDB& db = store.db;
    EXPECT_EQ(message([&] { db.goToItem(-1); }), "The list index is out of bounds");
    EXPECT_EQ(message([&] { db.goToItem(3); }), "The list index is out of bounds");
    int warned = 0;
    db.warnOutOfBounds = [&](TQDB&) { ++warned; };
    db.goToItem(3);
    EXPECT_EQ(warned, 1);
    EXPECT_EQ(db.itemIndex(), 0);

    TQDB closed;
    TQDB::Bytes content;
    EXPECT_EQ(message([&] { closed.getItem(content); }), "Illegal operation - no file assigned");
    EXPECT_EQ(message([&] { closed.addItem(content, "k"); }), "Illegal operation - no file assigned");
    EXPECT_EQ(message([&] { closed.save(); }), "Illegal operation - no file assigned");
    EXPECT_FALSE(closed.findKey("a"));
}

TEST(EngineOperations, ListingLoopVisitsEveryItemOnce)
{
    for (const auto& keys : std::vector<std::vector<const char*>>{{"a"}, {"a", "b"}, {"c", "a", "b", "d"}}) {
        OpenStore store;
        for (const char* key : keys)
            store.db.addItem(bytesOf(key), key);
        store.db.setFileName("");
        store.db.setFileName(store.name());
        std::string seen = currentItem(store.db);
        while (!store.db.eof()) {
            store.db.next();
            seen += currentItem(store.db);
        }
        std::string expected;
        for (const char* key : keys)
            expected += key;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(seen, expected);
    }
}

TEST(EngineOperations, NextOnLastItemStaysAndRaisesNothing)
{
    OpenStore store({"a", "b"});
    TQDB& db = store.db;
    db.next();
    EXPECT_TRUE(db.eof());
    int navigated = 0;
    db.onNavigate = [&](TQDB&) { ++navigated; };
    db.next();
    EXPECT_EQ(db.itemIndex(), 1);
    EXPECT_TRUE(db.eof());
    EXPECT_EQ(navigated, 0);
    db.prior();
    EXPECT_TRUE(db.bof());
    db.prior();
    EXPECT_EQ(db.itemIndex(), 0);
    EXPECT_EQ(navigated, 1);
}

TEST(EngineOperations, DeletionMovesTheCurrentItem)
{
    struct Case {
        std::int32_t deleted;
        std::int32_t index;
        const char* key;
        const char* nowRead;
    };
    for (const auto& c : {Case{0, 0, "", "b"}, Case{1, 0, "a", "a"}, Case{2, 1, "b", "b"}}) {
        OpenStore store({"a", "b", "c"});
        std::vector<std::string> events;
        store.db.beforeDelete = [&](TQDB&) { events.push_back("before"); };
        store.db.onDeleted = [&](TQDB&) { events.push_back("deleted"); };
        store.db.afterDelete = [&](TQDB&) { events.push_back("after"); };
        store.db.goToItem(c.deleted);
        store.db.deleteItem();
        EXPECT_EQ(store.db.count(), 2);
        EXPECT_EQ(store.db.itemIndex(), c.index) << c.deleted;
        EXPECT_EQ(store.db.currentKey(), c.key) << c.deleted;
        EXPECT_EQ(currentItem(store.db), c.nowRead) << c.deleted;
        EXPECT_EQ(events, (std::vector<std::string>{"before", "deleted", "after"}));
    }
}

TEST(EngineOperations, DuplicateAddWritesNothing)
{
    OpenStore store({"a", "b"});
    store.db.goToItem(1);
    const auto length = fs::file_size(store.name());
    EXPECT_EQ(message([&] { store.db.addItem(bytesOf("again"), "A"); }), "Duplicate keys are not allowed");
    EXPECT_EQ(fs::file_size(store.name()), length);
    EXPECT_EQ(store.db.itemIndex(), 1);
    try {
        store.db.addItem(bytesOf("again"), "a");
    } catch (const store::EQDBIndexError&) {
        // the catalogue's rule: change the existing record instead
        ASSERT_TRUE(store.db.findKey("a"));
        store.db.changeItem(bytesOf("again"));
    }
    EXPECT_EQ(currentItem(store.db), "again");
}

TEST(EngineOperations, AdminEntries)
{
    OpenStore store;
    TQDB& db = store.db;
    EXPECT_EQ(message([&] { db.getAdminInteger("MAX_SEQ_NO"); }), "The key 'MAX_SEQ_NO' does not exist");
    db.setAdminInteger("MAX_SEQ_NO", 41);
    const auto length = fs::file_size(store.name());
    db.setAdminInteger("MAX_SEQ_NO", 42);
    EXPECT_EQ(fs::file_size(store.name()), length) << "not saved yet: overwritten in place";
    EXPECT_EQ(db.getAdminInteger("MAX_SEQ_NO"), 42);
    db.save();
    const auto saved = fs::file_size(store.name());
    db.setAdminInteger("MAX_SEQ_NO", 43);
    EXPECT_EQ(fs::file_size(store.name()), saved + 4) << "saved: the new value goes after the old";
    EXPECT_EQ(db.getAdminInteger("MAX_SEQ_NO"), 43);

    const std::uint8_t two[] = {1, 2};
    db.addAdmin(two, "TWO");
    EXPECT_EQ(db.getAdminInteger("TWO"), 0);
    EXPECT_FALSE(db.getAdminBoolean("TWO"));
    const std::uint8_t yes[] = {1};
    db.addAdmin(yes, "FLAG");
    EXPECT_TRUE(db.getAdminBoolean("FLAG"));
    EXPECT_EQ(message([&] { db.addAdmin(yes, "FLAG"); }), "Duplicate keys are not allowed");
    EXPECT_EQ(db.count(), 0) << "admin entries are not items";

    db.setFileName("");
    db.setFileName(store.name());
    EXPECT_EQ(db.getAdminInteger("MAX_SEQ_NO"), 43);
    ASSERT_TRUE(db.findAdmin("TWO"));
    EXPECT_EQ(db.adminSize(), 2);
}

TEST(EngineOperations, SaveWritesOnlyWhenModified)
{
    OpenStore store;
    TQDB& db = store.db;
    const auto before = readFile(store.name());
    db.save();
    EXPECT_EQ(readFile(store.name()), before);
    EXPECT_FALSE(db.modified());
    db.addItem(bytesOf("v"), "k");
    EXPECT_TRUE(db.modified());
    EXPECT_EQ(independentListing(store.name()), "") << "the file reads as before until the save";
    db.save();
    EXPECT_FALSE(db.modified());
    EXPECT_EQ(independentListing(store.name()), "item " + hexOf("k") + " " + hexOf("v") + "\n");
}

TEST(EngineOperations, PackLeavesOnlyLiveValuesInKeyOrder)
{
    OpenStore store({"c", "a", "b", "d"});
    TQDB& db = store.db;
    db.setAdminInteger("MAX_SEQ_NO", 9);
    ASSERT_TRUE(db.findKey("b"));
    db.changeItem(bytesOf("bigger b")); // appended: old bytes dead
    ASSERT_TRUE(db.findKey("d"));
    db.deleteItem();
    ASSERT_TRUE(db.findKey("b"));
    db.pack();
    EXPECT_EQ(db.currentKey(), "b");
    const auto bytes = readFile(store.name());
    EXPECT_EQ(int32At(bytes, 4), 14);
    EXPECT_EQ(bytes.substr(8, 14), int32Bytes(9) + "abigger bc");
    for (const auto& [key, value] : {std::pair{"a", "a"}, {"b", "bigger b"}, {"c", "c"}}) {
        ASSERT_TRUE(db.findKey(key));
        EXPECT_EQ(currentItem(db), value);
    }
    // A close that does not write the index still gets the packed positions.
    db.setSaveOnClose(false);
    db.setFileName("");
    db.setFileName(store.name());
    ASSERT_TRUE(db.findKey("b"));
    EXPECT_EQ(currentItem(db), "bigger b");
}

TEST(EngineOperations, ProgressPercentages)
{
    OpenStore store;
    TQDB& db = store.db;
    for (int i = 0; i < 5; ++i)
        db.addItem(bytesOf("v"), std::to_string(i));
    db.setFileName("");
    std::vector<std::pair<int, TProgressOrigin>> reports;
    int pending = 0;
    TQDB::setPendingEventsHandler([&] { ++pending; });
    db.progressUpdate = [&](TQDB&, int percent, TProgressOrigin kind) { reports.emplace_back(percent, kind); };
    db.setFileName(store.name());
    TQDB::setPendingEventsHandler({});
    EXPECT_EQ(pending, 5) << "the host's events run at every tick";
    const auto opening = TProgressOrigin::poOpening;
    EXPECT_EQ(reports, (std::vector<std::pair<int, TProgressOrigin>>{
                           {10, opening}, {20, opening}, {30, opening}, {40, opening}, {50, opening}, {0, opening}}));
    for (int i = 5; i < 1000; ++i)
        db.addItem(bytesOf("v"), std::to_string(i));
    reports.clear();
    db.setFileName("");
    std::vector<std::pair<int, TProgressOrigin>> closing;
    for (int percent = 0; percent <= 90; percent += 10)
        closing.emplace_back(percent, TProgressOrigin::poClosing);
    closing.emplace_back(0, TProgressOrigin::poClosing);
    EXPECT_EQ(reports, closing);
}

TEST(EngineOperations, AssigningTheFileName)
{
    ScratchDir dir;
    fs::current_path(dir.path());
    TQDB db;
    int assigned = 0;
    db.onFileAssigned = [&](TQDB&) { ++assigned; };
    db.setFileName("images");
    EXPECT_EQ(db.fileName(), (dir / "images.QDB").string());
    EXPECT_TRUE(fs::exists(dir / "images.QDB"));
    db.addItem(bytesOf("v"), "k");
    for (const std::string& same :
         {std::string("images"), std::string("images.QDB"), std::string("./images.QDB"), (dir / "images.QDB").string()})
        db.setFileName(same);
    EXPECT_EQ(assigned, 1) << "the same store: no close, no open, no event";
    EXPECT_TRUE(db.modified());
    db.setFileName("");
    db.setFileName("");
    EXPECT_EQ(assigned, 2);
    EXPECT_TRUE(workFilesLeft().empty());
}

TEST(EngineOperations, MarksRaiseTheirEventsAroundThemselves)
{
    struct Mark {
        const char* name;
        TQDB::TNotifyEvent TQDB::*before;
        TQDB::TNotifyEvent TQDB::*after;
        void (TQDB::*operation)();
    };
    const Mark marks[] = {
        {"insert", &TQDB::beforeInsert, &TQDB::afterInsert, &TQDB::insert},
        {"post", &TQDB::beforePost, &TQDB::afterPost, &TQDB::post},
        {"edit", &TQDB::beforeEdit, &TQDB::afterEdit, &TQDB::edit},
        {"cancel", &TQDB::beforeCancel, &TQDB::afterCancel, &TQDB::cancel},
    };
    OpenStore store({"a"});
    for (const auto& mark : marks) {
        std::vector<std::string> events;
        store.db.*mark.before = [&](TQDB&) { events.push_back("before"); };
        store.db.*mark.after = [&](TQDB&) { events.push_back("after"); };
        (store.db.*mark.operation)();
        EXPECT_EQ(events, (std::vector<std::string>{"before", "after"})) << mark.name;
        store.db.*mark.before = nullptr;
        store.db.*mark.after = nullptr;
    }
    EXPECT_EQ(currentItem(store.db), "a") << "marks change no data";
}

TEST(EngineOperations, CacheServesRepeatedReads)
{
    OpenStore store({"a"});
    TQDB& db = store.db;
    db.setCacheFrequency(0);
    db.setCacheSize(65536); // empties the cache filled by the add
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(currentItem(db), "a");
    EXPECT_EQ(db.cacheFrequency(), 67);
    db.changeItem(bytesOf("new"));
    EXPECT_EQ(currentItem(db), "new");
}

TEST(EngineOperations, FilteredNavigation)
{
    OpenStore store({"apple", "banana", "apricot", "cherry"});
    TQDB& db = store.db;
    db.setFilter("ap>");
    db.first();
    EXPECT_EQ(db.currentKey(), "apple");
    db.next();
    EXPECT_EQ(db.currentKey(), "apricot");
    db.next();
    EXPECT_EQ(db.currentKey(), "apricot");
    EXPECT_TRUE(db.eof());
    db.last();
    EXPECT_EQ(db.currentKey(), "apricot");
    db.setFilter("zz>");
    EXPECT_THROW(db.first(), store::EQDBOutOfBounds);
}

} // namespace
} // namespace glimmora::test
