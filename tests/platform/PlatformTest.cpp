#include "platform/DataDirectoryLock.h"
#include "platform/HelpWindow.h"
#include "platform/Paths.h"
#include "platform/Settings.h"
#include "platform/ShellOpen.h"
#include "platform/SingleInstance.h"

#include "Scratch.h"

// Qt
#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <gtest/gtest.h>

#include <unistd.h>

namespace glimmora {
namespace {

TEST(Settings, FlagsReadAsNonZeroIntegersAndAreWrittenAsOneOrZero)
{
    const struct {
        const char* stored;
        bool expected;
    } cases[] = {{"1", true}, {"0", false}, {"", false}, {"yes", false}, {"7", true}, {"-1", true}, {" 2 ", true}};
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Glimmora"),
                       QStringLiteral("Glimmora"));
    for (const auto& entry : cases) {
        settings.setValue(QStringLiteral("PROCESS/FIRSTTIME"), QString::fromLatin1(entry.stored));
        settings.sync();
        EXPECT_EQ(readFirstTimeFlag(), entry.expected) << '"' << entry.stored << '"';
    }
    settings.remove(QStringLiteral("PROCESS/FIRSTTIME"));
    settings.sync();
    EXPECT_FALSE(readFirstTimeFlag()) << "a missing value is false";

    writeFirstTimeFlag(true);
    settings.sync();
    EXPECT_EQ(settings.value(QStringLiteral("PROCESS/FIRSTTIME")).toString(), QStringLiteral("1"));
    writeFirstTimeFlag(false);
    settings.sync();
    EXPECT_EQ(settings.value(QStringLiteral("PROCESS/FIRSTTIME")).toString(), QStringLiteral("0"));
}

TEST(Paths, TheDataDirectoryIsNamedByTheEnvironmentAndMadeWhenMissing)
{
    test::ScratchDir scratch;
    const QString chosen = QString::fromStdString((scratch / "nested" / "Data").string());
    qputenv("GLIMMORA_DATA_DIR", chosen.toUtf8());
    EXPECT_EQ(dataPath(), chosen + QStringLiteral("/Default"));
    EXPECT_TRUE(QFileInfo(chosen).isDir());
    EXPECT_EQ(foldPath(QStringLiteral("  /Photos/Holiday.JPG ")), QStringLiteral("/Photos/Holiday.JPG"))
        << "paths keep their case";
}

TEST(HelpWindow, TopicsAreHtmlPagesByContextNumberWithTheContentsAsFallBack)
{
    HelpWindow::setHelpDirectory(QStringLiteral(GLIMMORA_BIN_DIR "/help"));
    EXPECT_TRUE(HelpWindow::topicPath(106).endsWith(QStringLiteral("/106.html")));
    EXPECT_TRUE(QFileInfo::exists(HelpWindow::topicPath(106)));
    EXPECT_TRUE(HelpWindow::topicPath(99999).endsWith(QStringLiteral("/index.html")));

    HelpWindow::showTopic(106);
    EXPECT_EQ(HelpWindow::currentTopic(), 106);
    HelpWindow::showContents();
    EXPECT_EQ(HelpWindow::currentTopic(), 0);
    HelpWindow::quit();
    EXPECT_EQ(HelpWindow::currentTopic(), -1);
    EXPECT_EQ(HelpWindow::topicsShown().mid(HelpWindow::topicsShown().size() - 2), QList<int>({106, 0}));
}

TEST(ShellOpen, AMissingFileIsReportedAsNotFound)
{
    EXPECT_EQ(shellOpen(QStringLiteral("/nonexistent/picture.jpg")), kShellFileNotFound);
}

TEST(SingleInstanceLock, OnlyOneHolderAtATimeAndTheLockIsFreedWithIt)
{
    {
        SingleInstanceLock first;
        ASSERT_TRUE(first.tryLock());
        SingleInstanceLock second;
        EXPECT_FALSE(second.tryLock());
    }
    SingleInstanceLock again;
    EXPECT_TRUE(again.tryLock());
    EXPECT_EQ(again.errorText(), QString());
}

TEST(SingleInstanceLock, ALockFileWithoutALiveOwnerLocksNobodyOut)
{
    test::ScratchDir scratch;
    const QString path = QString::fromStdString((scratch / "Glimmora.lock").string());
    // Left by a process killed right after making it, before it wrote its number.
    test::writeFile(scratch / "Glimmora.lock", "");
    SingleInstanceLock afterAKill(path);
    EXPECT_TRUE(afterAKill.tryLock()) << afterAKill.errorText().toStdString();
    EXPECT_EQ(QString::fromStdString(test::readFile(scratch / "Glimmora.lock")).section(QLatin1Char('\n'), 0, 0),
              QString::number(::getpid()));
}

TEST(SingleInstanceLock, ALockFileThatCannotBeMadeIsReportedAsSuch)
{
    test::ScratchDir scratch;
    const QString path = QString::fromStdString((scratch / "missing" / "Glimmora.lock").string());
    SingleInstanceLock lock(path);
    EXPECT_FALSE(lock.tryLock());
    EXPECT_FALSE(lock.heldByAnother());
    EXPECT_EQ(lock.errorText(),
              QStringLiteral("Glimmora cannot make its lock file %1: No such file or directory.").arg(path));
}

TEST(DataDirectoryLock, OneProcessAtATimeWhateverTheSpellingOfTheDirectory)
{
    test::ScratchDir scratch;
    const auto data = scratch / "Data";
    std::filesystem::create_directories(data);
    std::filesystem::create_directory_symlink(data, scratch / "Linked");
    const QString name = QString::fromStdString(data.string());

    DataDirectoryLock first;
    ASSERT_TRUE(first.tryLock(name)) << first.errorText().toStdString();
    DataDirectoryLock second;
    EXPECT_FALSE(second.tryLock(QString::fromStdString((scratch / "Linked").string())));
    EXPECT_EQ(second.errorText(), QStringLiteral("The scrapbook in %1 is in use by another program (process %2, %3).")
                                      .arg(QString::fromStdString((scratch / "Linked").string()))
                                      .arg(::getpid())
                                      .arg(QStringLiteral("platform_tests")));
    first.unlock();
    EXPECT_TRUE(second.tryLock(name));

    DataDirectoryLock missing;
    const QString absent = QString::fromStdString((scratch / "absent").string());
    EXPECT_FALSE(missing.tryLock(absent));
    EXPECT_EQ(missing.errorText(),
              QStringLiteral("The data directory %1 cannot be used: No such file or directory.").arg(absent));
}

} // namespace
} // namespace glimmora
