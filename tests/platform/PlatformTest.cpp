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
}

} // namespace
} // namespace glimmora
