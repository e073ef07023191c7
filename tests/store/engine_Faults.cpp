// Failures injected through the file seam, crashes in the middle of a close, locks and stale
// work files: the store file is always either the old one or the new one.

#include "EngineSupport.h"

#include <gtest/gtest.h>

// POSIX
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace glimmora::test {
namespace {

using store::FileOperation;
using store::ScopedFaultHook;
using store::TQDB;
namespace fs = std::filesystem;

bool isBuildFile(const std::string& path) { return fs::path(path).filename().string().rfind("QDD", 0) == 0; }

// A store file with the items "old1" and "old2".
std::string makeOldStore(const ScratchDir& dir)
{
    const auto name = (dir / "store.idb").string();
    TQDB db;
    db.setFileName(name);
    db.addItem(bytesOf("first"), "old1");
    db.addItem(bytesOf("second"), "old2");
    db.setFileName("");
    return name;
}

std::vector<std::string> keysIn(const std::string& name)
{
    TQDB db;
    db.setFileName(name);
    std::vector<std::string> keys;
    for (std::int32_t i = 0; i < db.count(); ++i) {
        db.goToItem(i);
        keys.push_back(db.currentKey() + "=" + currentItem(db));
    }
    db.setFileName("");
    return keys;
}

TEST(EngineFaults, FailedBuildKeepsOldFileAndStoreOpen)
{
    struct Case {
        const char* what;
        FileOperation operation;
        int error;
        const char* message;
    };
    const Case cases[] = {
        {"disk full while copying", FileOperation::Copy, ENOSPC, "The drive is full"},
        {"disk full while writing", FileOperation::Write, ENOSPC, "The drive is full"},
        {"sync fails", FileOperation::Sync, EIO, nullptr},
        {"rename fails", FileOperation::Rename, EACCES, nullptr},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        const auto name = makeOldStore(dir);
        const auto before = readFile(name);
        TQDB db;
        db.setFileName(name);
        db.addItem(bytesOf(std::string(100000, 'n')), "new");
        {
            ScopedFaultHook fault([&](FileOperation operation, const std::string& path) {
                const bool target = operation == FileOperation::Rename ? path == name : isBuildFile(path);
                return operation == c.operation && target ? c.error : 0;
            });
            try {
                db.setFileName("");
                ADD_FAILURE() << c.what << ": closed";
            } catch (const store::EQDBFileError& error) {
                if (c.message) {
                    EXPECT_STREQ(error.what(), c.message) << c.what;
                }
            }
        }
        EXPECT_EQ(readFile(name), before) << c.what;
        EXPECT_TRUE(db.active()) << c.what << ": the changes are kept for another try";
        for (const auto& entry : fs::directory_iterator(dir.path()))
            EXPECT_FALSE(isBuildFile(entry.path().string())) << c.what << ": " << entry.path();
        db.setFileName("");
        EXPECT_EQ(keysIn(name),
                  (std::vector<std::string>{"new=" + std::string(100000, 'n'), "old1=first", "old2=second"}))
            << c.what;
        EXPECT_TRUE(workFilesLeft().empty()) << c.what;
    }
}

TEST(EngineFaults, FailedWriteLeavesNoKeyBehind)
{
    for (const bool compressed : {false, true}) {
        ScratchDir dir;
        TQDB db;
        db.setFileName((dir / "store.idb").string());
        db.setCompression(compressed);
        db.addItem(bytesOf("kept"), "a");
        const auto length = fs::file_size(db.dataWorkFileName());
        {
            ScopedFaultHook diskFull([&](FileOperation operation, const std::string& path) {
                return operation == FileOperation::Write && path == db.dataWorkFileName() ? ENOSPC : 0;
            });
            EXPECT_THROW(db.addItem(bytesOf(std::string(5000, 'x')), "b"), store::EQDBFileError);
            EXPECT_THROW(db.changeItem(bytesOf(std::string(5000, 'y'))), store::EQDBFileError);
            EXPECT_THROW(db.setAdminInteger("MAX_SEQ_NO", 1), store::EQDBIndexError);
        }
        EXPECT_EQ(db.count(), 1);
        EXPECT_FALSE(db.findKey("b"));
        EXPECT_FALSE(db.adminExists("MAX_SEQ_NO"));
        EXPECT_EQ(fs::file_size(db.dataWorkFileName()), length);
        ASSERT_TRUE(db.findKey("a"));
        EXPECT_EQ(currentItem(db), "kept");
    }
}

TEST(EngineFaults, MoveAcrossFileSystemsCopiesBesideTheTarget)
{
    ScratchDir dir;
    const auto name = makeOldStore(dir);
    TQDB db;
    db.setFileName(name);
    db.addItem(bytesOf("v"), "new");
    int refused = 0;
    {
        ScopedFaultHook crossDevice([&](FileOperation operation, const std::string& path) {
            // The first rename onto each target fails as between two file systems.
            if (operation != FileOperation::Rename || refused >= 2)
                return 0;
            static std::string last;
            if (path == last)
                return 0;
            last = path;
            ++refused;
            return EXDEV;
        });
        db.setFileName("");
    }
    EXPECT_EQ(refused, 2) << "the index work file and the store file";
    EXPECT_EQ(keysIn(name), (std::vector<std::string>{"new=v", "old1=first", "old2=second"}));
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), "store.idb");
    EXPECT_TRUE(workFilesLeft().empty());
}

// The child opens the store, changes it and is killed at the n-th file operation of its close.
// Returns true when the close ran to its end before that.
bool closeKilledAt(const std::string& name, int n)
{
    const pid_t child = fork();
    if (child == 0) {
        TQDB db;
        db.setFileName(name);
        db.addItem(bytesOf(std::string(20000, 'n')), "new");
        if (db.findKey("old1"))
            db.deleteItem();
        int calls = 0;
        ScopedFaultHook killer([&](FileOperation, const std::string&) {
            if (++calls == n)
                ::kill(::getpid(), SIGKILL);
            return 0;
        });
        db.setFileName("");
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(EngineFaults, KilledWhileClosingLeavesOldOrNewStore)
{
    const std::vector<std::string> oldKeys{"old1=first", "old2=second"};
    const std::vector<std::string> newKeys{"new=" + std::string(20000, 'n'), "old2=second"};
    bool finished = false;
    int newSeen = 0;
    for (int n = 1; n < 200 && !finished; ++n) {
        ScratchDir dir;
        const auto name = makeOldStore(dir);
        finished = closeKilledAt(name, n);
        const auto keys = keysIn(name);
        EXPECT_TRUE(keys == oldKeys || keys == newKeys) << "killed at operation " << n;
        newSeen += keys == newKeys;
        removeWorkFiles();
    }
    EXPECT_TRUE(finished) << "the close never ran to its end";
    EXPECT_GE(newSeen, 1);
}

TEST(EngineFaults, HeldWorkFilesAreInUseAndSurviveTheStaleCleanUp)
{
    ScratchDir dir;
    TQDB db;
    db.setFileName((dir / "store.idb").string());
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
    EXPECT_TRUE(fs::exists(db.indexWorkFileName()));
    for (const char* kept : {"QDD0001.TMP", "QDT0002.TMP", "qdbnotes"})
        EXPECT_TRUE(fs::exists(temp + kept) && fs::remove(temp + kept)) << kept;
    db.setFileName("");
    EXPECT_TRUE(workFilesLeft().empty());
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
