// The program's end and its lock on the data: a close, also one asked for by SIGTERM or SIGHUP
// in the middle of a dialog, saves the removable disks, the memberships and the categories; and
// the tool, whatever its environment, never works on data the program holds.

#include "app/Main.h"
#include "platform/MessageService.h"

#include "CatalogFixture.h"
#include "LoadDialogCloser.h"

// Qt
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <QtEndian>

#include <gtest/gtest.h>

// POSIX
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <csignal>

namespace glimmora {
namespace {

namespace fs = std::filesystem;
using test::categoryRecord;
using test::le32;
using test::waitFor;



QByteArray storedRecord(std::int32_t seqNo, const QByteArray& path)
{
    const auto le = [](std::uint32_t value) { return QByteArray::fromStdString(le32(value)); };
    return le(std::uint32_t(seqNo)) + char(25) + le(7) + le(std::uint32_t(PathChecksum(path))) + char(0) + char(6)
           + char(path.size()) + path + QByteArray("\x06\x00\x00\x00\x00\x00", 6);
}


// Whether some process holds the lock of a data directory.
bool dataDirectoryLocked(const fs::path& directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    if (fd >= 0)
        ::close(fd);
    return locked;
}

// A scrapbook whose files differ from what the program writes back: a membership of a category
// that does not exist (set right when it opens), and records of no meaning at the ends of the
// category and removable-disk files.
struct ScrapbookFiles {
    ScrapbookFiles()
    {
        fs::create_directories(data);
        test::writeFile(data / "Default.idb", test::storeFileBytes({{"MAX_SEQ_NO", QByteArray::fromStdString(le32(1))}},
                                                                   {{"000001", storedRecord(1, "/p/oak.png")}}));
        test::writeFile(data / "Default.cat", categoryRecord(0, "(unassigned)") + categoryRecord(4, "trees") + "junk!");
        test::writeFile(data / "Default.cor", le32(9) + le32(1));
        test::writeFile(data / "Default.rmv", le32(0x1A2B3C4D) + '\x05' + "STICK" + std::string(6, '\0') + 'd' + '\x04'
                                                  + "fawn" + std::string(21, '\0') + '\0' + "a partial");
    }

    void expectSaved() const
    {
        EXPECT_EQ(test::readFile(data / "Default.cor"), le32(0) + le32(1)) << "the memberships as set right";
        EXPECT_EQ(test::readFile(data / "Default.cat"), categoryRecord(0, "(unassigned)") + categoryRecord(4, "trees"));
        EXPECT_EQ(test::readFile(data / "Default.rmv").size(), 44u) << "the disk list as the program holds it";
    }

    // An environment of its own: runtime, temporary, settings and data directories.
    QProcessEnvironment environment(const char* name) const
    {
        const fs::path own = scratch / name;
        for (const char* sub : {"run", "tmp", "config"})
            fs::create_directories(own / sub);
        fs::permissions(own / "run", fs::perms::owner_all, fs::perm_options::replace);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), test::qpath(own / "run"));
        environment.insert(QStringLiteral("TMPDIR"), test::qpath(own / "tmp"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), test::qpath(own / "config"));
        environment.insert(QStringLiteral("GLIMMORA_DATA_DIR"), test::qpath(data));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return environment;
    }

    // The program, started in the environment `name`, once it holds the data directory.
    void startProgram(QProcess& program, const char* name) const
    {
        program.setProcessEnvironment(environment(name));
        program.start(QStringLiteral(GLIMMORA_BIN_DIR "/glimmora"), {});
        ASSERT_TRUE(program.waitForStarted());
        ASSERT_TRUE(waitFor([&] { return dataDirectoryLocked(data); })) << "the program never took the data";
    }

    test::ScratchDir scratch;
    fs::path data = scratch / "Data";
};

TEST(Shutdown, ANormalCloseSavesTheDisksTheMembershipsAndTheCategories)
{
    const ScrapbookFiles files;
    qputenv("GLIMMORA_DATA_DIR", test::qpath(files.data).toUtf8());
    ScopedScriptedMessages messages;
    test::LoadDialogCloser loadDialogs;
    {
        TMainForm form;
        form.FormCreate();
        form.close();
    }
    files.expectSaved();
}

// The program waits in the message that tells what opening the scrapbook set right when the
// session ends.
TEST(Shutdown, AnEndOfTheSessionInADialogSavesAllAsTheCloseDoes)
{
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const ScrapbookFiles files;
        QProcess program;
        files.startProgram(program, "program");
        ASSERT_EQ(::kill(pid_t(program.processId()), signal), 0);
        ASSERT_TRUE(program.waitForFinished(30000)) << "the program did not end";
        files.expectSaved();
        EXPECT_FALSE(dataDirectoryLocked(files.data));
    }
}

TEST(Shutdown, TheToolIsRefusedWhileTheProgramHoldsTheDataWhateverItsEnvironment)
{
    const ScrapbookFiles files;
    QProcess program;
    files.startProgram(program, "program");
    QProcess tool;
    tool.setProcessEnvironment(files.environment("job")); // another runtime and temporary directory
    tool.start(QStringLiteral(GLIMMORA_BIN_DIR "/glimmora-cli"),
               {QStringLiteral("--data"), test::qpath(files.data), QStringLiteral("import"),
                test::qpath(files.scratch.path())});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(tool.readAllStandardError()).trimmed(),
              QStringLiteral("glimmora-cli: The scrapbook in %1 is in use by another program (process %2, glimmora).")
                  .arg(test::qpath(files.data))
                  .arg(program.processId()));

    program.kill();
    program.waitForFinished();
    tool.start(QStringLiteral(GLIMMORA_BIN_DIR "/glimmora-cli"),
               {QStringLiteral("--data"), test::qpath(files.data), QStringLiteral("list")});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
}

} // namespace
} // namespace glimmora
