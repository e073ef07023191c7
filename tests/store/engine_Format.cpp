// The store file as bytes: what a create, a close and a reopen write and accept.

#include "EngineSupport.h"

#include "store/Password.h"

#include <gtest/gtest.h>

// POSIX
#include <sys/stat.h>

#include <filesystem>

namespace glimmora::test {
namespace {

using store::TQDB;
namespace fs = std::filesystem;

TEST(EngineFormat, NewStoreIsTwentyOneBytesAndAClosingWithoutChangeKeepsIt)
{
    ScratchDir dir;
    const auto name = (dir / "new.idb").string();
    const std::string empty("QDB\0\0\0\0\0QIX\0\5\0\0\0\0\0\0\0\0", 21);
    TQDB db;
    db.setFileName(name);
    ASSERT_TRUE(db.active());
    EXPECT_EQ(db.count(), 0);
    EXPECT_EQ(db.adminCount(), 0);
    EXPECT_EQ(readFile(name), empty);
    db.setFileName("");
    EXPECT_FALSE(db.active());
    EXPECT_EQ(readFile(name), empty);
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), "new.idb");
    EXPECT_TRUE(workFilesLeft().empty());
}

TEST(EngineFormat, IndexIsWrittenAdminFirstThenItemsDescending)
{
    ScratchDir dir;
    const auto name = (dir / "order.idb").string();
    {
        TQDB db;
        db.setFileName(name);
        db.addItem(bytesOf("one"), "000001");
        db.addItem(bytesOf("three"), "000003");
        db.addItem(bytesOf(""), "000002");
        db.setAdminInteger("MAX_SEQ_NO", 3);
        db.setFileName("");
    }
    // A store this small is rebuilt at its first save (its dead space, the empty store's index,
    // outweighs its values): the admin entry, then the items in key order.
    const auto bytes = readFile(name);
    ASSERT_EQ(int32At(bytes, 4), 12);
    EXPECT_EQ(bytes.substr(8, 12), int32Bytes(3) + "onethree");
    const auto indexAt = 8 + 12;
    ASSERT_EQ(bytes.substr(indexAt, 4), std::string("QIX\0", 4));
    const auto expected = rawIndex(
        {{"MAX_SEQ_NO", 0, 4, store::format::ifAdmin}, {"000003", 7, 5, 0}, {"000002", 7, 0, 0}, {"000001", 4, 3, 0}});
    EXPECT_EQ(int32At(bytes, indexAt + 4), static_cast<std::int32_t>(expected.size()));
    EXPECT_EQ(bytes.substr(indexAt + 8), expected);

    TQDB db;
    db.setFileName(name);
    ASSERT_EQ(db.count(), 3);
    EXPECT_EQ(db.itemKey(0), "000001");
    EXPECT_EQ(db.itemKey(1), "000002");
    EXPECT_EQ(db.itemKey(2), "000003");
    EXPECT_EQ(db.currentKey(), "000001");
    EXPECT_EQ(db.getAdminInteger("MAX_SEQ_NO"), 3);
    ASSERT_TRUE(db.findKey("000002"));
    EXPECT_EQ(currentItem(db), "");
}

// Values are appended after the end of the store file, whose data section starts at offset 8: in
// a new store the first lands at Position 21 - 8. Until a save, a value may be changed in place.
TEST(EngineFormat, ChangesInPlaceUntilSavedAndAppendOtherwise)
{
    ScratchDir dir;
    const auto name = (dir / "change.idb").string();
    TQDB db;
    db.setFileName(name);
    db.addItem(bytesOf("aaaaaa"), "a");
    db.addItem(bytesOf("bb"), "b");
    struct Case {
        const char* content;
        std::int32_t position;
        std::uintmax_t fileSize;
    };
    const Case cases[] = {
        {"xyz", 13, 29},  // shorter: in place, the old tail stays dead space
        {"abc", 13, 29},  // as long as the current value: in place
        {"1234", 21, 33}, // longer than the current value: appended
        {"", 21, 33},     // empty: in place at the new position
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(db.findKey("a"));
        db.changeItem(bytesOf(c.content));
        EXPECT_EQ(db.itemEntry(0).Position, c.position) << c.content;
        EXPECT_EQ(db.itemEntry(0).Length, static_cast<std::int32_t>(std::string(c.content).size())) << c.content;
        EXPECT_EQ(fs::file_size(name), c.fileSize) << c.content;
        EXPECT_EQ(currentItem(db), c.content);
    }

    // Saved, the values are the store's: a shorter value no longer goes over the old one.
    ASSERT_TRUE(db.findKey("b"));
    db.changeItem(bytesOf("bbbb"));
    db.save();
    const auto saved = db.itemEntry(1);
    const auto before = fs::file_size(name);
    db.changeItem(bytesOf("c"));
    EXPECT_EQ(db.itemEntry(1).Position, static_cast<std::int32_t>(before - 8));
    EXPECT_EQ(fs::file_size(name), before + 1);
    EXPECT_EQ(readFile(name).substr(8 + static_cast<std::size_t>(saved.Position), 4), "bbbb");
    EXPECT_EQ(currentItem(db), "c");
}

TEST(EngineFormat, LongKeysSurviveAndLongerOnesAreCut)
{
    ScratchDir dir;
    const auto name = (dir / "keys.idb").string();
    const std::string key255(255, 'k');
    {
        TQDB db;
        db.setFileName(name);
        db.addItem(bytesOf("v"), key255);
        db.addItem(bytesOf("w"), std::string(300, 'z'));
        db.setFileName("");
    }
    TQDB db;
    db.setFileName(name);
    ASSERT_EQ(db.count(), 2);
    EXPECT_EQ(db.itemKey(0), key255);
    EXPECT_EQ(db.itemKey(1), std::string(255, 'z'));
    ASSERT_TRUE(db.findKey(key255));
    EXPECT_EQ(currentItem(db), "v");
}

TEST(EngineFormat, DamagedFilesAreRefusedWithoutChange)
{
    const std::string goodIndex = rawIndex({{"a", 0, 2, 0}});
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"no signature", std::string("QDX\0", 4) + int32Bytes(0) + std::string("QIX\0", 4) + int32Bytes(0)},
        {"short file", std::string("QD")},
        {"data length beyond the file", std::string("QDB\0", 4) + int32Bytes(1000) + "ab"},
        {"negative data length", std::string("QDB\0", 4) + int32Bytes(-1) + std::string("QIX\0", 4)},
        {"no index marker", std::string("QDB\0", 4) + int32Bytes(2) + "ab" + std::string("QIY\0", 4) + int32Bytes(0)},
        {"index length beyond the file", rawStore("ab", goodIndex).substr(0, 20)},
        {"index ends before its entries", rawStore("ab", rawIndex({{"a", 0, 2, 0}, {"b", 0, 0, 0}}).substr(0, 20))},
        {"count beyond the section", rawStore("ab", int32Bytes(1000000) + std::string(20, '\0'))},
        {"negative count", rawStore("ab", int32Bytes(-5))},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        const auto name = (dir / "bad.idb").string();
        writeFile(name, c.bytes);
        TQDB db;
        try {
            db.setFileName(name);
            ADD_FAILURE() << c.what << ": opened";
        } catch (const store::EQDBError& error) {
            EXPECT_EQ(std::string(error.what()), "The file " + name + " is not a valid QDB file") << c.what;
        }
        EXPECT_FALSE(db.active()) << c.what;
        EXPECT_EQ(db.fileName(), "") << c.what;
        EXPECT_EQ(readFile(name), c.bytes) << c.what;
        EXPECT_TRUE(workFilesLeft().empty()) << c.what;
    }
}

// Only a regular file can be a store: opening a named pipe for reading would wait for a writer
// for ever, and a directory is no store either.
TEST(EngineFormat, NonRegularFilesAreRefusedWithoutWaiting)
{
    ScratchDir dir;
    const auto pipe = (dir / "pipe.idb").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const auto folder = (dir / "folder.idb").string();
    fs::create_directory(folder);
    for (const auto& name : {pipe, folder}) {
        TQDB db;
        try {
            db.setFileName(name);
            ADD_FAILURE() << name << " opened";
        } catch (const store::EQDBFileError& error) {
            EXPECT_EQ(std::string(error.what()), "The file " + name + " is not a valid QDB file");
        }
        EXPECT_FALSE(db.active());
        EXPECT_EQ(db.fileName(), "");
        EXPECT_TRUE(workFilesLeft().empty());
    }
}

TEST(EngineFormat, ValueOutsideTheDataSectionIsRefusedOnRead)
{
    ScratchDir dir;
    const auto name = (dir / "outside.idb").string();
    writeFile(name, rawStore("abc", rawIndex({{"far", 2, 5, 0}, {"huge", 0, 0x7fffffff, 0}})));
    TQDB db;
    db.setFileName(name);
    for (const char* key : {"far", "huge"}) {
        ASSERT_TRUE(db.findKey(key));
        TQDB::Bytes content;
        EXPECT_THROW(db.getItem(content), store::EQDBIndexError) << key;
    }
}

// A damaged entry reaching outside the data is never written over in place: that would write
// before the data or far beyond its end (a work file of gigabytes). The new value is appended.
TEST(EngineFormat, ChangingAValueOutsideTheDataSectionAppendsIt)
{
    ScratchDir dir;
    const auto name = (dir / "outside.idb").string();
    writeFile(name, rawStore("abc", rawIndex({{"MAX_SEQ_NO", 1000000000, 4, store::format::ifAdmin},
                                              {"negative", -5, 3, 0},
                                              {"huge", 0, 0x7fffffff, 0},
                                              {"far", 2, 5, 0},
                                              {"beyond", 1000000000, 10, 0}})));
    const auto fileSize = static_cast<std::int32_t>(fs::file_size(name));
    TQDB db;
    db.setFileName(name);
    std::int32_t end = fileSize - 8; // values go after the end of the file
    for (const char* key : {"beyond", "far", "huge", "negative"}) {
        ASSERT_TRUE(db.findKey(key));
        db.changeItem(bytesOf("xy"));
        end += 2;
        EXPECT_EQ(db.itemEntry(db.itemIndex()).Position, end - 2) << key;
        EXPECT_EQ(currentItem(db), "xy") << key;
    }
    db.setAdminInteger("MAX_SEQ_NO", 9);
    EXPECT_EQ(db.getAdminInteger("MAX_SEQ_NO"), 9);
    EXPECT_EQ(db.adminEntry(0).Position, end);
    EXPECT_EQ(readFile(name).substr(static_cast<std::size_t>(fileSize)), "xyxyxyxy" + int32Bytes(9));
    db.setFileName("");
    EXPECT_EQ(independentListing(name), engineListing(name));
}

// A damaged entry stays damaged when the store is saved: the data section grows over the bytes
// it pointed at, so it is written back as a value no reader can find.
TEST(EngineFormat, ADamagedEntryIsSavedAsOneNoReaderFinds)
{
    ScratchDir dir;
    const auto name = (dir / "damaged.idb").string();
    writeFile(name, rawStore(std::string(5000, 'v'), rawIndex({{"far", 6000, 3, 0}, {"ok", 0, 5000, 0}})));
    TQDB db;
    db.setFileName(name);
    db.addItem(bytesOf(std::string(2000, 'w')), "new");
    db.setFileName("");
    const auto listing = engineListing(name);
    EXPECT_EQ(listing, "item " + hexOf("far") + " -\nitem " + hexOf("new") + " " + hexOf(std::string(2000, 'w'))
                           + "\nitem " + hexOf("ok") + " " + hexOf(std::string(5000, 'v')) + "\n");
    EXPECT_EQ(independentListing(name), listing);
}

TEST(EngineFormat, DuplicateItemKeysInAFileAreRefused)
{
    ScratchDir dir;
    const auto name = (dir / "dup.idb").string();
    writeFile(name, rawStore("ab", rawIndex({{"a", 0, 1, 0}, {"A", 1, 1, 0}})));
    TQDB db;
    try {
        db.setFileName(name);
        ADD_FAILURE() << "opened";
    } catch (const store::EQDBIndexError& error) {
        EXPECT_EQ(std::string(error.what()), "Not enough memory to extend the index to " + name);
    }
    EXPECT_FALSE(db.active());
}

TEST(EngineFormat, ItemsOutOfOrderAreSortedOnRead)
{
    ScratchDir dir;
    const auto name = (dir / "unsorted.idb").string();
    // Ascending on disk, where descending belongs: a writer with another collation.
    writeFile(name, rawStore("xyz", rawIndex({{"a", 0, 1, 0}, {"c", 2, 1, 0}, {"b", 1, 1, 0}})));
    TQDB db;
    db.setFileName(name);
    for (const auto& [key, value] : {std::pair{"a", "x"}, {"b", "y"}, {"c", "z"}}) {
        ASSERT_TRUE(db.findKey(key)) << key;
        EXPECT_EQ(currentItem(db), value);
    }
}

TEST(EngineFormat, CaseSensitiveStoreKeepsKeysDifferingInCase)
{
    ScratchDir dir;
    const auto name = (dir / "case.idb").string();
    writeFile(name,
              rawStore(std::string("\1") + "lu",
                       rawIndex({{"QDBCaseSensitive", 0, 1, store::format::ifAdmin}, {"a", 1, 1, 0}, {"A", 2, 1, 0}})));
    TQDB db;
    db.setFileName(name);
    EXPECT_TRUE(db.caseSensitive());
    ASSERT_EQ(db.count(), 2);
    ASSERT_TRUE(db.findKey("A"));
    EXPECT_EQ(currentItem(db), "u");
    ASSERT_TRUE(db.findKey("a"));
    EXPECT_EQ(currentItem(db), "l");
}

// A plain store whose data length reads as the "QPW" marker is read as what it is; a save that
// would write that length, by appending or by a rebuild, adds a byte of dead space instead.
TEST(EngineFormat, PlainStoreWhoseLengthReadsAsPasswordMarkerStaysReadable)
{
    ScratchDir dir;
    const auto name = (dir / "qpw.idb").string();
    const std::int32_t ambiguous = 0x00575051; // the bytes "QPW\0"
    std::string data(static_cast<std::size_t>(ambiguous), 'd');
    data.replace(100, 5, "hello");
    writeFile(name, rawStore(data, rawIndex({{"k", 100, 5, 0}})));
    const auto readsHello = [&] {
        TQDB db;
        db.setFileName(name);
        return db.findKey("k") && currentItem(db) == "hello";
    };
    EXPECT_TRUE(readsHello());

    // Appended: a value that ends exactly where the data length would read "QPW".
    writeFile(name, rawStore(data.substr(0, 1000), rawIndex({{"k", 100, 5, 0}})));
    {
        TQDB db;
        db.setFileName(name);
        const auto end = static_cast<std::int32_t>(fs::file_size(name)) - 8;
        db.addItem(bytesOf(std::string(static_cast<std::size_t>(ambiguous - end), 'f')), "filler");
        db.save();
    }
    EXPECT_EQ(int32At(readFile(name), 4), ambiguous + 1);
    EXPECT_TRUE(readsHello());

    // Rebuilt: live values of exactly that length.
    writeFile(name, rawStore(data, rawIndex({{"k", 100, 5, 0}, {"rest", 0, ambiguous - 5, 0}})));
    {
        TQDB db;
        db.setFileName(name);
        db.pack();
    }
    EXPECT_EQ(int32At(readFile(name), 4), ambiguous + 1);
    EXPECT_TRUE(readsHello());
}

TEST(EngineFormat, ProtectedCompressedStoreReadsBackAndFollowsTheLayout)
{
    ScratchDir dir;
    const auto name = (dir / "secret.idb").string();
    const std::string big(40000, 'r');
    {
        TQDB db;
        db.setFileName(name);
        db.setCompression(true);
        db.setPassword("secret");
        db.addItem(bytesOf(big), "big");
        db.addItem(bytesOf("abc"), "small");
        db.setAdminInteger("MAX_SEQ_NO", 7);
        db.setFileName("");
        EXPECT_EQ(db.password(), "");
    }
    const auto bytes = readFile(name);
    ASSERT_EQ(bytes.substr(0, 8), std::string("QDB\0QPW\0", 8));
    const auto check = store::passwordCheckValue(store::passwordKey("secret"));
    EXPECT_EQ(bytes.substr(8, 20), std::string(check.begin(), check.end()));
    EXPECT_EQ(bytes.find("small"), std::string::npos) << "the index is scrambled";

    {
        TQDB db;
        int asked = 0;
        db.onDemandPassword = [&](TQDB&, std::string& password) {
            ++asked;
            password = "secret";
        };
        db.setFileName(name);
        EXPECT_EQ(asked, 1);
        ASSERT_TRUE(db.findKey("big"));
        EXPECT_EQ(db.itemEntry(db.itemIndex()).Flags, store::format::ifCompressed);
        EXPECT_LT(db.itemEntry(db.itemIndex()).Length, 100);
        EXPECT_EQ(currentItem(db), big);
        ASSERT_TRUE(db.findKey("small"));
        EXPECT_EQ(db.itemEntry(db.itemIndex()).Length, 2 + 4) << "stored block 0x80 a b c";
        EXPECT_EQ(currentItem(db), "abc");
        EXPECT_EQ(db.getAdminInteger("MAX_SEQ_NO"), 7);
        db.setFileName("");
    }
    EXPECT_EQ(readFile(name).substr(0, 8), std::string("QDB\0QPW\0", 8))
        << "opened with its password, the store stays protected";
}

TEST(EngineFormat, WrongOrMissingPasswordIsRefused)
{
    ScratchDir dir;
    const auto name = (dir / "locked.idb").string();
    {
        TQDB db;
        db.setFileName(name);
        db.setPassword("right");
        db.addItem(bytesOf("x"), "k");
        db.setFileName("");
    }
    const auto before = readFile(name);
    for (const char* password : {"wrong", ""}) {
        TQDB db;
        db.setPassword(password);
        try {
            db.setFileName(name);
            ADD_FAILURE() << "opened with '" << password << "'";
        } catch (const store::EQDBInvalidPW& error) {
            EXPECT_STREQ(error.what(), "The password you have provided is invalid");
        }
        EXPECT_FALSE(db.active());
        EXPECT_EQ(db.fileName(), "");
    }
    EXPECT_EQ(readFile(name), before);
    EXPECT_TRUE(workFilesLeft().empty());
}

TEST(EngineFormat, ReadOnlyFileIsLeftUntouched)
{
    ScratchDir dir;
    const auto name = (dir / "ro.idb").string();
    writeFile(name, rawStore("xy", rawIndex({{"k", 0, 2, 0}}, std::string(1, '\0'))));
    ::chmod(name.c_str(), 0444);
    const auto before = readFile(name);
    TQDB db;
    db.setFileName(name);
    EXPECT_TRUE(db.readOnly());
    EXPECT_EQ(currentItem(db), "xy");
    EXPECT_THROW(db.addItem(bytesOf("z"), "z"), store::EQDBReadOnly);
    EXPECT_THROW(db.changeItem(bytesOf("z")), store::EQDBReadOnly);
    EXPECT_THROW(db.deleteItem(), store::EQDBReadOnly);
    EXPECT_THROW(db.setAdminInteger("MAX_SEQ_NO", 1), store::EQDBReadOnly);
    EXPECT_THROW(db.pack(), store::EQDBReadOnly);
    db.setFileName("");
    EXPECT_EQ(readFile(name), before);
    EXPECT_TRUE(workFilesLeft().empty());
    EXPECT_TRUE(db.readOnly()) << "stays set after the close";
}

// Another program replaced the store file while it was open: the user decides whether it is
// overwritten, else the store goes to "1." plus its name. A file rewritten in place under an
// open store has taken that store's values with it: nothing is written, the rewrite stays.
TEST(EngineFormat, ChangedOnDiskIsWrittenUnderOnePrefixedNameOrNotAtAll)
{
    ScratchDir dir;
    const auto name = (dir / "x.idb").string();
    const auto touched = rawStore("other", rawIndex({}));
    struct Case {
        const char* what;
        bool inPlace;
        bool handlerSaysOk;
        bool firstRedirectExists;
        const char* writtenTo; // nothing: refused
    };
    const Case cases[] = {
        {"no handler", false, false, false, "1.x.idb"},
        {"handler keeps the refusal", false, false, true, "1.1.x.idb"},
        {"handler allows", false, true, false, "x.idb"},
        {"rewritten in place", true, true, false, nullptr},
    };
    for (const auto& c : cases) {
        for (const char* file : {"x.idb", "1.x.idb", "1.1.x.idb"})
            fs::remove(dir / file);
        TQDB db;
        if (c.handlerSaysOk)
            db.beforeOverWrite = [](TQDB&, bool& ok) { ok = true; };
        else if (c.firstRedirectExists)
            db.beforeOverWrite = [](TQDB&, bool&) {};
        db.setFileName(name);
        db.addItem(bytesOf("mine"), "k");
        if (c.inPlace) {
            writeFile(name, touched);
        } else {
            writeFile(dir / "x.new", touched);
            fs::rename(dir / "x.new", name);
        }
        if (c.firstRedirectExists)
            writeFile(dir / "1.x.idb", "keep");
        if (!c.writtenTo) {
            try {
                db.setFileName("");
                ADD_FAILURE() << c.what << ": closed";
            } catch (const store::EQDBFileError& error) {
                EXPECT_EQ(std::string(error.what()), "The file " + name + " seems to be in use by another program");
            }
            EXPECT_TRUE(db.active()) << c.what;
            EXPECT_EQ(readFile(name), touched) << c.what;
            EXPECT_FALSE(fs::exists(dir / "1.x.idb")) << c.what;
            continue;
        }
        db.setFileName("");
        const auto written = (dir / c.writtenTo).string();
        TQDB check;
        check.setFileName(written);
        ASSERT_TRUE(check.findKey("k")) << c.what;
        EXPECT_EQ(currentItem(check), "mine") << c.what;
        check.setFileName("");
        if (!c.handlerSaysOk) {
            EXPECT_EQ(readFile(name), touched) << c.what;
        }
        if (c.firstRedirectExists) {
            EXPECT_EQ(readFile(dir / "1.x.idb"), "keep") << c.what;
        }
    }
}

TEST(EngineFormat, RebuildKeepsPermissionsAndReplacesAVanishedFile)
{
    ScratchDir dir;
    const auto name = (dir / "perm.idb").string();
    {
        TQDB db;
        db.setFileName(name);
        db.setFileName("");
    }
    ::chmod(name.c_str(), 0640);
    TQDB db;
    db.setFileName(name);
    db.addItem(bytesOf("v"), "k");
    db.setFileName("");
    EXPECT_EQ(fs::status(name).permissions(), fs::perms(0640));

    db.setFileName(name);
    db.addItem(bytesOf("w"), "l");
    fs::remove(name); // gone meanwhile: there is nothing to keep, so the store goes back there
    db.setFileName("");
    EXPECT_FALSE(fs::exists(dir / "1.perm.idb"));
    db.setFileName(name);
    EXPECT_EQ(db.count(), 2);
}

} // namespace
} // namespace glimmora::test
