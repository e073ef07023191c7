// How changes reach the store file: appended after its end and committed by the data length,
// rebuilt when the dead space outweighs the live data, never written at all by a store that
// only reads; and how the store file may be reached through a symbolic link.

#include "EngineSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>

namespace glimmora::test {
namespace {

using store::FileOperation;
using store::ScopedFaultHook;
using store::TQDB;
namespace fs = std::filesystem;

std::set<std::string> namesIn(const fs::path& directory)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
        names.insert(entry.path().filename().string());
    return names;
}

std::string value(int number, std::size_t length) { return std::string(length, char('a' + number % 26)); }

std::string key(int number) { return "k" + std::to_string(1000 + number); }

// A store of `count` values of `length` bytes, saved once.
void writeStore(const std::string& name, int count, std::size_t length)
{
    TQDB db;
    db.setFileName(name);
    for (int i = 0; i < count; ++i)
        db.addItem(bytesOf(value(i, length)), key(i));
    db.setAdminInteger("MAX_SEQ_NO", count);
    db.setFileName("");
}

// Reading a store never writes: not the store file (same inode, same modification time, same
// bytes), not beside it, not in the temporary directory. Every writing operation is refused
// while it reads, as a full disk, a read-only directory and a full temporary directory would.
TEST(EngineSaving, ReadingWritesNothingAnywhere)
{
    struct Case {
        const char* what;
        bool readOnlyFile;
        bool readOnlyDirectory;
        bool readOnlyTemporaryDirectory;
    };
    const Case cases[] = {
        {"a writable store", false, false, false},
        {"a read-only store file", true, false, false},
        {"a read-only directory", false, true, false},
        {"an unwritable temporary directory", false, false, true},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        ScratchDir temp;
        const auto name = (dir / "store.idb").string();
        writeStore(name, 20, 500);
        const auto listing = independentListing(name);
        const auto bytes = readFile(name);
        if (c.readOnlyFile)
            fs::permissions(name, fs::perms::owner_read | fs::perms::group_read);
        if (c.readOnlyDirectory)
            fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
        if (c.readOnlyTemporaryDirectory) {
            fs::permissions(temp.path(), fs::perms::owner_read | fs::perms::owner_exec);
            TQDB::setTemporaryDirectory(temp.path().string());
        }
        const auto before = identityOf(name);
        const auto besideBefore = namesIn(dir.path());
        const auto tempBefore = namesIn(store::seam::temporaryDirectory());
        {
            ScopedFaultHook nothingWritten([&](FileOperation operation, const std::string& path) {
                switch (operation) {
                case FileOperation::Open: return path == name ? 0 : EACCES;
                case FileOperation::Write:
                case FileOperation::Copy:
                case FileOperation::Sync:
                case FileOperation::Truncate:
                case FileOperation::Rename:
                case FileOperation::Remove: return ENOSPC;
                default: return 0;
                }
            });
            TQDB db;
            db.setFileName(name);
            EXPECT_EQ(engineListing(db), listing) << c.what;
            EXPECT_EQ(db.readOnly(), c.readOnlyFile) << c.what;
            db.save();
            db.setFileName("");
        }
        EXPECT_EQ(identityOf(name), before) << c.what;
        EXPECT_EQ(readFile(name), bytes) << c.what;
        EXPECT_EQ(namesIn(dir.path()), besideBefore) << c.what;
        EXPECT_EQ(namesIn(store::seam::temporaryDirectory()), tempBefore) << c.what;
        TQDB::setTemporaryDirectory("");
        fs::permissions(dir.path(), fs::perms::owner_all);
    }
}

// A save writes after the end of the file and then only the data length: everything the file
// held before stays byte for byte, and the file stays the same file.
TEST(EngineSaving, ASaveAppendsTheChangeAndItsIndexThenCommitsTheLength)
{
    ScratchDir dir;
    const auto name = (dir / "store.idb").string();
    writeStore(name, 100, 1000);
    const auto before = readFile(name);
    const auto inode = identityOf(name).inode;

    TQDB db;
    db.setFileName(name);
    ASSERT_TRUE(db.findKey(key(7)));
    db.changeItem(bytesOf("a new memo"));
    EXPECT_EQ(readFile(name), before + "a new memo") << "appended, not yet committed";
    db.save();
    const auto after = readFile(name);
    EXPECT_EQ(identityOf(name).inode, inode);
    EXPECT_EQ(after.substr(0, 4), before.substr(0, 4));
    EXPECT_EQ(after.substr(8, before.size() - 8), before.substr(8));
    const auto dataLength = int32At(after, 4);
    EXPECT_EQ(dataLength, static_cast<std::int32_t>(before.size() - 8 + 10));
    EXPECT_EQ(after.substr(8 + static_cast<std::size_t>(dataLength), 4), std::string("QIX\0", 4));
    EXPECT_EQ(after.size(), 8 + static_cast<std::size_t>(dataLength) + 8
                                + static_cast<std::size_t>(int32At(after, 8 + std::size_t(dataLength) + 4)));
    EXPECT_EQ(independentListing(name), engineListing(db));
}

// The reader of the format finds in a store written by many appending saves, with dead space of
// every kind and stray bytes after its index, exactly what it finds after a full rebuild.
TEST(EngineSaving, AStoreWrittenByAppendsReadsLikeItsRebuild)
{
    ScratchDir dir;
    const auto name = (dir / "store.idb").string();
    writeStore(name, 60, 2000);
    const auto inode = identityOf(name).inode;
    TQDB db;
    for (int session = 0; session < 4; ++session) {
        db.setFileName(name);
        for (int i = session; i < 60; i += 7)
            if (db.findKey(key(i)))                                                 // not deleted in an earlier session
                db.changeItem(bytesOf(value(i + session + 1, i % 2 ? 300 : 2500))); // shorter and longer
        ASSERT_TRUE(db.findKey(key(session * 3 + 1)));
        db.deleteItem();
        db.addItem(bytesOf(value(session, 700)), key(100 + session));
        db.addItem(bytesOf(""), key(200 + session));
        db.setAdminInteger("MAX_SEQ_NO", 100 + session);
        db.save();
        if (session == 1)
            db.setAdminInteger("SESSION", session); // saved by the close
        db.setFileName("");
        if (session == 2) {
            // A process killed between appending and committing leaves such bytes behind.
            std::ofstream(name, std::ios::binary | std::ios::app) << std::string(333, 'x');
        }
    }
    EXPECT_EQ(identityOf(name).inode, inode) << "every save appended";

    const auto appended = independentListing(name);
    EXPECT_NE(appended, "unreadable");
    EXPECT_EQ(engineListing(name), appended);
    const auto appendedSize = fs::file_size(name);

    db.setFileName(name);
    db.pack();
    db.setFileName("");
    EXPECT_NE(identityOf(name).inode, inode) << "rebuilt";
    EXPECT_LT(fs::file_size(name), appendedSize);
    EXPECT_EQ(independentListing(name), appended);
}

// Each save of a large changed value leaves the old one as dead space; once the dead space would
// outweigh the live data the save rebuilds the file instead, so it never grows much beyond
// twice its live data.
TEST(EngineSaving, DeadSpaceIsReclaimedOnceItOutweighsTheLiveData)
{
    ScratchDir dir;
    const auto name = (dir / "store.idb").string();
    writeStore(name, 40, 1000);
    const std::int64_t live = 40 * 1000 + 4;
    const std::int64_t indexAndHeaders = 4096;
    int rebuilds = 0;
    int appends = 0;
    TQDB db;
    for (int save = 0; save < 30; ++save) {
        const auto inode = identityOf(name).inode;
        db.setFileName(name);
        ASSERT_TRUE(db.findKey(key(save % 3)));
        db.changeItem(bytesOf(value(save, 1000))); // a saved value is never written over
        db.setFileName("");
        (identityOf(name).inode == inode ? appends : rebuilds)++;
        EXPECT_LE(std::int64_t(fs::file_size(name)), 2 * live + indexAndHeaders) << "save " << save;
    }
    EXPECT_GE(rebuilds, 1);
    EXPECT_GE(appends, 20);
    EXPECT_EQ(independentListing(name), engineListing(name));
}

// A store name that is a symbolic link leads to its target: the target is created, read,
// appended to and replaced by a rebuild beside it, and the link stays a link.
TEST(EngineSaving, ASymbolicLinkIsFollowedAndStaysALink)
{
    ScratchDir data;
    ScratchDir elsewhere;
    const auto link = data / "Default.idb";
    const auto target = elsewhere / "images.idb";
    fs::create_symlink(target, link);

    TQDB db;
    db.setFileName(link.string()); // the target does not exist yet
    EXPECT_EQ(db.fileName(), link.string());
    for (int i = 0; i < 20; ++i)
        db.addItem(bytesOf(value(i, 1000)), key(i));
    db.setFileName("");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(engineListing(link), independentListing(target));

    const auto inode = identityOf(target).inode;
    db.setFileName(link.string());
    ASSERT_TRUE(db.findKey(key(3)));
    db.changeItem(bytesOf("through the link"));
    db.save();
    EXPECT_EQ(identityOf(target).inode, inode) << "appended to the target";
    db.pack();
    db.setFileName("");
    EXPECT_NE(identityOf(target).inode, inode) << "the target is replaced by the rebuild";
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), target);
    EXPECT_EQ(namesIn(data.path()), std::set<std::string>{"Default.idb"});
    EXPECT_EQ(namesIn(elsewhere.path()), std::set<std::string>{"images.idb"});
    TQDB check;
    check.setFileName(target.string());
    ASSERT_TRUE(check.findKey(key(3)));
    EXPECT_EQ(currentItem(check), "through the link");
}

// A store file with the read-only attribute is read where it lies; a caller that lifts ReadOnly
// may still change it: the values go to a work file first and the save rebuilds the file,
// keeping its permissions.
TEST(EngineSaving, AReadOnlyStoreMadeWritableIsRebuiltOnSave)
{
    ScratchDir dir;
    const auto name = (dir / "store.idb").string();
    writeStore(name, 10, 1000);
    fs::permissions(name, fs::perms::owner_read | fs::perms::group_read);
    TQDB db;
    db.setFileName(name);
    EXPECT_TRUE(db.readOnly());
    EXPECT_EQ(db.dataWorkFileName(), "") << "read where it lies";
    db.setReadOnly(false);
    ASSERT_TRUE(db.findKey(key(2)));
    db.changeItem(bytesOf("allowed"));
    EXPECT_NE(db.dataWorkFileName(), "");
    db.setFileName("");
    EXPECT_EQ(fs::status(name).permissions(), fs::perms::owner_read | fs::perms::group_read);
    TQDB check;
    check.setFileName(name);
    ASSERT_TRUE(check.findKey(key(2)));
    EXPECT_EQ(currentItem(check), "allowed");
    EXPECT_EQ(independentListing(name), engineListing(check));
    check.setFileName("");
    EXPECT_TRUE(workFilesLeft().empty());
}

} // namespace
} // namespace glimmora::test
