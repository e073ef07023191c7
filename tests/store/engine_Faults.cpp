// Failures injected at every file operation of the seam, processes killed at every one, locks
// and stale work files: the store file always reads as the old store or the new one, to the
// engine and to an independent reader, and a failed save can be tried again.

#include "EngineSupport.h"

#include <gtest/gtest.h>

// POSIX
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>

namespace glimmora::test {
namespace {

using store::FileOperation;
using store::ScopedFaultHook;
using store::TQDB;
namespace fs = std::filesystem;

const std::string kPassword = "secret";

// A store file whose values outweigh its dead space by far, so that a small change is saved by
// appending; protected when a password is given. Made once, then copied.
std::string makeOldStore(const ScratchDir& dir, const std::string& password = {})
{
    static std::map<std::string, std::string> made;
    const auto name = (dir / "store.idb").string();
    if (const auto found = made.find(password); found != made.end()) {
        writeFile(name, found->second);
        return name;
    }
    TQDB db;
    db.setFileName(name);
    db.setPassword(password);
    db.addItem(bytesOf(std::string(100, 'a')), "old1");
    db.addItem(bytesOf(std::string(6000, 'b')), "old2");
    db.setAdminInteger("MAX_SEQ_NO", 2);
    db.setFileName("");
    made[password] = readFile(name);
    return name;
}

// What the tests change in a store, and how they save it.
struct ChangeSet {
    const char* what;
    std::string password;
    std::function<void(TQDB&)> change;
    std::function<void(TQDB&)> save;
};

void closeStore(TQDB& db) { db.setFileName(""); }

const ChangeSet kChangeSets[] = {
    {"one value",
     {},
     [](TQDB& db) {
         db.findKey("old1");
         db.changeItem(bytesOf("changed"));
     },
     closeStore},
    {"many values",
     {},
     [](TQDB& db) {
         for (int i = 0; i < 12; ++i)
             db.addItem(bytesOf(std::string(500, char('c' + i))), "new" + std::to_string(10 + i));
         db.findKey("old1");
         db.deleteItem();
         db.setAdminInteger("MAX_SEQ_NO", 42);
     },
     closeStore},
    {"a rebuild",
     {},
     [](TQDB& db) {
         db.findKey("old2");
         db.changeItem(bytesOf("packed"));
     },
     [](TQDB& db) {
         db.pack();
         db.setFileName("");
     }},
    {"a protected store", kPassword,
     [](TQDB& db) {
         db.findKey("old1");
         db.changeItem(bytesOf("hidden"));
     },
     closeStore},
};

struct Listings {
    std::string old;
    std::string changed;
};

// The store's listing before and after a change set, made once, without faults.
Listings listingsOf(const ChangeSet& set)
{
    ScratchDir dir;
    const auto name = makeOldStore(dir, set.password);
    Listings listings;
    listings.old = engineListing(name, set.password);
    TQDB db;
    db.setPassword(set.password);
    db.setFileName(name);
    set.change(db);
    set.save(db);
    listings.changed = engineListing(name, set.password);
    EXPECT_EQ(independentListing(name, set.password), listings.changed) << set.what;
    return listings;
}

std::vector<std::string> leftBeside(const ScratchDir& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        if (entry.path().filename() != "store.idb")
            names.push_back(entry.path().filename().string());
    return names;
}

// Every file operation of a save fails in turn: the save reports it, the store file reads as
// before (or, failing the sync after the commit write, as after), the store stays open with its
// changes, and saving again succeeds.
TEST(EngineFaults, EveryFailedOperationOfASaveLeavesAReadableStoreToSaveAgain)
{
    for (const auto& set : kChangeSets) {
        const auto listings = listingsOf(set);
        bool finished = false;
        for (int n = 1; n < 100 && !finished; ++n) {
            ScratchDir dir;
            const auto name = makeOldStore(dir, set.password);
            TQDB db;
            db.setPassword(set.password);
            db.setFileName(name);
            set.change(db);
            int calls = 0;
            try {
                ScopedFaultHook fault([&](FileOperation, const std::string&) { return ++calls == n ? EIO : 0; });
                set.save(db);
                finished = true;
            } catch (const store::EQDBError&) {
                // Read while the store still holds its file, as only another program could.
                const auto now = independentListing(name, set.password);
                EXPECT_TRUE(now == listings.old || now == listings.changed) << set.what << ", failed at " << n;
                if (db.active()) {
                    db.setPassword(set.password);
                    db.setFileName("");
                    EXPECT_EQ(engineListing(name, set.password), listings.changed) << set.what << ", failed at " << n;
                }
            }
            EXPECT_TRUE(leftBeside(dir).empty()) << set.what << ", failed at " << n << ": " << leftBeside(dir).front();
            EXPECT_TRUE(workFilesLeft().empty()) << set.what << ", failed at " << n;
        }
        EXPECT_TRUE(finished) << set.what << ": never ran to its end";
    }
}

// A new store is written beside its name and renamed into place: whichever operation of its
// creation fails, the name holds a readable empty store or nothing at all.
TEST(EngineFaults, ANewStoreIsWholeOrAbsentWhereverItsCreationFails)
{
    bool finished = false;
    for (int n = 1; n < 50 && !finished; ++n) {
        ScratchDir dir;
        const auto name = (dir / "store.idb").string();
        int calls = 0;
        TQDB db;
        try {
            ScopedFaultHook fault([&](FileOperation, const std::string&) { return ++calls == n ? EIO : 0; });
            db.setFileName(name);
            finished = true;
        } catch (const store::EQDBError&) {
            EXPECT_FALSE(db.active()) << "failed at " << n;
        }
        if (fs::exists(name)) {
            EXPECT_EQ(independentListing(name), "") << "failed at " << n;
        }
        EXPECT_TRUE(leftBeside(dir).empty()) << "failed at " << n;
    }
    EXPECT_TRUE(finished);
}

TEST(EngineFaults, AFullDiskIsReportedAsSuch)
{
    ScratchDir dir;
    const auto name = makeOldStore(dir);
    TQDB db;
    db.setFileName(name);
    db.findKey("old1");
    db.changeItem(bytesOf("changed"));
    {
        ScopedFaultHook diskFull(
            [](FileOperation operation, const std::string&) { return operation == FileOperation::Write ? ENOSPC : 0; });
        try {
            db.setFileName("");
            ADD_FAILURE() << "closed";
        } catch (const store::EQDBFileError& error) {
            EXPECT_STREQ(error.what(), "The drive is full");
        }
    }
    EXPECT_TRUE(db.active());
    db.setFileName("");
    TQDB check;
    check.setFileName(name);
    ASSERT_TRUE(check.findKey("old1"));
    EXPECT_EQ(currentItem(check), "changed");
}

TEST(EngineFaults, FailedWriteLeavesNoKeyBehind)
{
    for (const bool compressed : {false, true}) {
        ScratchDir dir;
        const auto name = (dir / "store.idb").string();
        TQDB db;
        db.setFileName(name);
        db.setCompression(compressed);
        db.addItem(bytesOf("kept"), "a");
        db.save(); // rebuilt (a new store is mostly dead space): the new file goes by the store's name
        const auto length = fs::file_size(name);
        {
            ScopedFaultHook diskFull([&](FileOperation operation, const std::string& path) {
                return operation == FileOperation::Write && path == name ? ENOSPC : 0;
            });
            EXPECT_THROW(db.addItem(bytesOf(std::string(5000, 'x')), "b"), store::EQDBFileError);
            EXPECT_THROW(db.changeItem(bytesOf(std::string(5000, 'y'))), store::EQDBFileError);
            EXPECT_THROW(db.setAdminInteger("MAX_SEQ_NO", 1), store::EQDBIndexError);
        }
        EXPECT_EQ(db.count(), 1);
        EXPECT_FALSE(db.findKey("b"));
        EXPECT_FALSE(db.adminExists("MAX_SEQ_NO"));
        EXPECT_EQ(fs::file_size(name), length);
        ASSERT_TRUE(db.findKey("a"));
        EXPECT_EQ(currentItem(db), "kept");
    }
}

// The child opens the store, makes the change set and closes the store, and is killed at its
// n-th file operation. Returns true when it ran to its end before that.
bool killedAt(const std::string& name, const ChangeSet& set, int n)
{
    const pid_t child = fork();
    if (child == 0) {
        TQDB db;
        db.setPassword(set.password);
        int calls = 0;
        ScopedFaultHook killer([&](FileOperation, const std::string&) {
            if (++calls == n)
                ::kill(::getpid(), SIGKILL);
            return 0;
        });
        db.setFileName(name);
        set.change(db);
        set.save(db);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(EngineFaults, KilledAtAnyFileOperationLeavesTheOldOrTheNewStore)
{
    for (const auto& set : kChangeSets) {
        const auto listings = listingsOf(set);
        bool finished = false;
        int newSeen = 0;
        for (int n = 1; n < 400 && !finished; ++n) {
            ScratchDir dir;
            const auto name = makeOldStore(dir, set.password);
            const auto inode = identityOf(name).inode;
            finished = killedAt(name, set, n);
            const auto now = engineListing(name, set.password);
            EXPECT_TRUE(now == listings.old || now == listings.changed) << set.what << ", killed at " << n;
            EXPECT_EQ(independentListing(name, set.password), now) << set.what << ", killed at " << n;
            newSeen += now == listings.changed;
            if (finished && set.password.empty() && std::string(set.what) != "a rebuild") {
                EXPECT_EQ(identityOf(name).inode, inode) << set.what << ": saved by appending to the same file";
            }
            removeWorkFiles();
        }
        EXPECT_TRUE(finished) << set.what << ": never ran to its end";
        EXPECT_GE(newSeen, 1) << set.what;
    }
}

TEST(EngineFaults, AStoreOpenForWritingIsNotSharedButReadersShare)
{
    ScratchDir dir;
    const auto name = makeOldStore(dir);
    {
        TQDB writer;
        writer.setFileName(name);
        for (const bool readOnly : {false, true}) {
            TQDB other;
            other.setReadOnly(readOnly);
            try {
                other.setFileName(name);
                ADD_FAILURE() << "opened beside a writer";
            } catch (const store::EQDBFileError& error) {
                EXPECT_EQ(std::string(error.what()), "The file " + name + " seems to be in use by another program");
            }
        }
    }
    TQDB first;
    TQDB second;
    for (TQDB* reader : {&first, &second}) {
        reader->setReadOnly(true);
        reader->setFileName(name);
        EXPECT_EQ(reader->count(), 2);
    }
}

TEST(EngineFaults, HeldWorkFilesAreInUseAndSurviveTheStaleCleanUp)
{
    ScratchDir dir;
    TQDB db;
    db.setPassword(kPassword);
    db.setFileName(makeOldStore(dir, kPassword));
    ASSERT_FALSE(db.dataWorkFileName().empty()) << "a protected store keeps its values in a work file";
    const auto temp = store::seam::temporaryDirectory();
    for (const char* stale : {"QDB00AA.TMP", "qix1234.tmp", "qdb.x"})
        writeFile(temp + stale, "stale");
    for (const char* kept : {"QDD0001.TMP", "QDT0002.TMP", "qdbnotes"})
        writeFile(temp + kept, "not a data or index work file");
    try {
        store::SeamFile::open(db.dataWorkFileName(), store::SeamFile::Mode::ReadWrite);
        ADD_FAILURE() << "opened a held work file";
    } catch (const store::EQDBFileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "The file " + db.dataWorkFileName() + " seems to be in use by another program");
    }
    EXPECT_EQ(store::deleteStaleStoreWorkFiles(), 3);
    EXPECT_TRUE(fs::exists(db.dataWorkFileName()));
    for (const char* kept : {"QDD0001.TMP", "QDT0002.TMP", "qdbnotes"})
        EXPECT_TRUE(fs::exists(temp + kept) && fs::remove(temp + kept)) << kept;
    db.setFileName("");
    EXPECT_TRUE(workFilesLeft().empty());
}

// A rebuild's unfinished file lies beside the file the store name leads to; the clean-up of a
// data directory finds it there through the link, and leaves a running rebuild's file alone.
TEST(EngineFaults, StaleBuildFilesAreClearedBesideTheStoreAndBesideItsTarget)
{
    ScratchDir data;
    ScratchDir elsewhere;
    fs::create_symlink(elsewhere / "images.idb", data / "Default.idb");
    writeFile(data / "QDD0001.TMP", "half a store");
    writeFile(elsewhere / "QDD0002.TMP", "half a store");
    writeFile(elsewhere / "notes.TMP", "not ours");
    auto running = store::seam::createUniqueFile(elsewhere.path().string(), "QDD");
    EXPECT_EQ(store::seam::deleteStaleBuildFiles(data.path().string()), 2);
    EXPECT_FALSE(fs::exists(data / "QDD0001.TMP"));
    EXPECT_FALSE(fs::exists(elsewhere / "QDD0002.TMP"));
    EXPECT_TRUE(fs::exists(elsewhere / "notes.TMP"));
    EXPECT_TRUE(fs::exists(running.path()));
}

TEST(EngineFaults, FileFailureMessages)
{
    struct Case {
        int error;
        const char* message;
    };
    const Case cases[] = {
        {ENOENT, "Could not find the file F"},
        {EBUSY, "The drive you are trying to access is not ready"},
        {ENOMEDIUM, "The drive you are trying to access is not ready"},
        {EMFILE, "No more file handles are available"},
        {ENFILE, "No more file handles are available"},
        {EWOULDBLOCK, "The file F seems to be in use by another program"},
        {EACCES, "The file F seems to be in use by another program"},
        {EPERM, "The file F seems to be in use by another program"},
        {ENOSPC, "The drive is full"},
        {EDQUOT, "The drive is full"},
        {EIO, "Unidentified problem -  -1005"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(store::fileFailureMessage(store::failureCodeForErrno(c.error), "F"), c.message) << c.error;
    EXPECT_EQ(store::fileFailureMessage(-1, "F", "own text"), "own text");
}

TEST(EngineFaults, UnopenableStoreReportsTheCause)
{
    ScratchDir dir;
    TQDB db;
    const auto name = (dir / "missing" / "store.idb").string();
    try {
        db.setFileName(name);
        ADD_FAILURE() << "opened";
    } catch (const store::EQDBFileError& error) {
        EXPECT_EQ(std::string(error.what()), "Could not find the file " + name);
    }
    EXPECT_EQ(db.fileName(), "");
}

} // namespace
} // namespace glimmora::test
