#include "app/Main.h"
#include "app/ProgramEntry.h"
#include "platform/HelpWindow.h"
#include "platform/MessageService.h"
#include "platform/Settings.h"
#include "platform/SingleInstance.h"

#include "LoadDialogCloser.h"
#include "Scratch.h"

// Qt
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace glimmora {
namespace {

namespace fs = std::filesystem;
using test::waitFor;

const QString kEmptyScrapbook = QStringLiteral(
    "You can't do anything with Glimmora until your scrapbook has some images in it. Let's do that now.");

// Each test starts as on a machine where Glimmora never ran: no settings, no data directory.
class StartUp : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::remove_all(test::sandboxRoot() / "config");
        dataDir_ = QString::fromStdString((scratch_ / "Data").string());
        qputenv("GLIMMORA_DATA_DIR", dataDir_.toUtf8());
    }

    int messagesWithText(const QString& text) const { return int(messages_.texts().count(text)); }

    test::ScratchDir scratch_;
    QString dataDir_;
    ScopedScriptedMessages messages_;
    test::LoadDialogCloser loadDialogs_;
};

TEST_F(StartUp, FirstStartCreatesTheDataDirectoryRecordsTheRunAndAsksForImages)
{
    const qsizetype topicsBefore = HelpWindow::topicsShown().size();
    {
        TMainForm form;
        form.FormCreate();
        EXPECT_FALSE(form.FirstRun);
    }
    EXPECT_TRUE(QFileInfo(dataDir_).isDir());
    EXPECT_TRUE(readFirstTimeFlag());
    EXPECT_EQ(messagesWithText(kEmptyScrapbook), 1);
    ASSERT_FALSE(messages_.shown().isEmpty());
    EXPECT_EQ(messages_.shown().first().message.caption, QStringLiteral("Glimmora"));
    EXPECT_EQ(messages_.beeps().first(), MessageBeep::Exclamation);
    EXPECT_TRUE(HelpWindow::topicsShown().mid(topicsBefore).contains(106));
    EXPECT_EQ(HelpWindow::currentTopic(), -1) << "the help window closes when the import ends";
    EXPECT_EQ(loadDialogs_.positions, QList<QPoint>({QPoint(0, 0)})) << "the Load dialog opens at the top left";
    EXPECT_EQ(loadDialogs_.choosers, 1) << "start-up ends by asking for a category to look at";
}

TEST_F(StartUp, SecondStartWithAnEmptyScrapbookAsksForImagesAgain)
{
    for (int start = 0; start < 2; ++start) {
        TMainForm form;
        form.FormCreate();
    }
    EXPECT_EQ(messagesWithText(kEmptyScrapbook), 2);
    EXPECT_EQ(loadDialogs_.positions.size(), 2);
    EXPECT_TRUE(readFirstTimeFlag());
}

TEST_F(StartUp, ADamagedStoreOrAnUnusableDataDirectoryIsNamedAndTheProgramEndsChangingNothing)
{
    QDir().mkpath(dataDir_);
    const fs::path store = fs::path(dataDir_.toStdString()) / "Default.idb";
    test::writeFile(store, std::string_view("QDB\0\x10\0\0\0cut short", 13));
    const struct {
        QString dataDirectory;
        QString message;
    } cases[] = {
        {dataDir_, QStringLiteral("The image store %1 is damaged: The file %1 is not a valid QDB file. Nothing was "
                                  "changed. \"glimmora-cli salvage\" makes a new store of every record that can still "
                                  "be read. Glimmora ends.")
                       .arg(QString::fromStdString(store.string()))},
        {QString::fromStdString(store.string()),
         QStringLiteral("The data directory %1 cannot be used: Not a directory. Glimmora ends.")
             .arg(QString::fromStdString(store.string()))},
    };
    for (const auto& c : cases) {
        qputenv("GLIMMORA_DATA_DIR", c.dataDirectory.toUtf8());
        const qsizetype shownBefore = messages_.shown().size();
        EXPECT_EQ(programEntry(), 1);
        ASSERT_EQ(messages_.shown().size(), shownBefore + 1);
        const Message& shown = messages_.shown().last().message;
        EXPECT_EQ(shown.text, c.message);
        EXPECT_EQ(shown.icon, MessageIcon::Error);
    }
    EXPECT_EQ(test::readFile(store), std::string("QDB\0\x10\0\0\0cut short", 13));
    EXPECT_EQ(QDir(dataDir_).entryList(QDir::Files), QStringList{"Default.idb"});
    EXPECT_FALSE(fs::exists(test::sandboxRoot() / "config" / "Glimmora")) << "settings were written";
}

TEST_F(StartUp, WhatOpeningTheScrapbookSetRightIsToldAndSavedAtClose)
{
    QDir().mkpath(dataDir_);
    const fs::path data = dataDir_.toStdString();
    // A membership of an image that is not in the (empty) store.
    test::writeFile(data / "Default.cor", std::string("\0\0\0\0\x07\0\0\0", 8));
    {
        TMainForm form;
        form.FormCreate();
        form.close();
    }
    ASSERT_FALSE(messages_.shown().isEmpty());
    EXPECT_EQ(messages_.shown().first().message.text,
              QStringLiteral("The scrapbook's files were out of step, and Glimmora has set them right:\n"
                             "1 membership of an image that is not in the scrapbook dropped.\n"
                             "The repairs are saved with the next change, or when Glimmora closes."));
    EXPECT_EQ(test::readFile(data / "Default.cor"), "");
}

// A process holding a file with flock, the way a running store holds its work files.
struct LockedFile {
    explicit LockedFile(const fs::path& path) : fd(::open(path.c_str(), O_CREAT | O_RDWR, 0600))
    {
        ::flock(fd, LOCK_EX);
    }
    ~LockedFile() { ::close(fd); }
    int fd;
};


TEST_F(StartUp, FirstInstanceClearsStaleWorkFilesAndASecondInstanceIsRefused)
{
    const fs::path temp = scratch_ / "tmp";
    fs::create_directories(temp);
    const QStringList stale = {"qdb1A2B.TMP", "QIX0001.tmp", "QdB0C3D.TMP"};
    const QStringList kept = {"QDT0001.TMP", "QDD0002.TMP", "notes.txt"};
    for (const QString& name : stale + kept)
        test::writeFile(temp / name.toStdString(), "work");
    LockedFile running(temp / "QDB9999.TMP");
    // An unfinished store file beside the store, left by a close that was killed, and one that
    // a running close still holds.
    const fs::path firstData = scratch_ / "FirstData";
    fs::create_directories(firstData);
    test::writeFile(firstData / "QDD0A1B.TMP", "half a store");
    LockedFile building(firstData / "QDD0C2D.TMP");

    QProcess first;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), QString::fromStdString(temp.string()));
    environment.insert(QStringLiteral("GLIMMORA_DATA_DIR"), QString::fromStdString(firstData.string()));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString((scratch_ / "FirstConfig").string()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    first.setProcessEnvironment(environment);
    first.start(QStringLiteral(GLIMMORA_BIN_DIR "/glimmora"), {});
    ASSERT_TRUE(first.waitForStarted());

    ASSERT_TRUE(waitFor([&] {
        qint64 pid = 0;
        QString host, application;
        QLockFile probe(SingleInstanceLock::lockFilePath());
        return probe.getLockInfo(&pid, &host, &application) && pid == first.processId();
    })) << "the first instance never took the lock";
    ASSERT_TRUE(waitFor([&] {
        return std::none_of(stale.begin(), stale.end(),
                            [&](const QString& name) { return fs::exists(temp / name.toStdString()); });
    })) << "stale work files were not deleted";
    for (const QString& name : kept)
        EXPECT_TRUE(fs::exists(temp / name.toStdString())) << name.toStdString();
    EXPECT_TRUE(fs::exists(temp / "QDB9999.TMP")) << "a work file locked by a running store was deleted";
    EXPECT_TRUE(waitFor([&] { return !fs::exists(firstData / "QDD0A1B.TMP"); }));
    EXPECT_TRUE(fs::exists(firstData / "QDD0C2D.TMP")) << "a store file being built was deleted";

    EXPECT_EQ(programEntry(), 0);
    ASSERT_EQ(messages_.shown().size(), 1);
    const Message& refusal = messages_.shown().first().message;
    EXPECT_EQ(refusal.text, QStringLiteral("Glimmora is already running.!"));
    EXPECT_EQ(refusal.caption, QStringLiteral("Already Running"));
    EXPECT_EQ(refusal.icon, MessageIcon::Exclamation);
    EXPECT_FALSE(QFileInfo::exists(dataDir_)) << "the second instance touched the data directory";
    EXPECT_FALSE(fs::exists(test::sandboxRoot() / "config" / "Glimmora")) << "the second instance wrote settings";

    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

} // namespace
} // namespace glimmora
