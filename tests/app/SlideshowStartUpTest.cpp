#include "app/Main.h"
#include "platform/MessageService.h"
#include "platform/Paths.h"
#include "slideshow/SlideshowLink.h"

#include "PrivateSessionBus.h"
#include "LoadDialogCloser.h"
#include "Scratch.h"
#include "StandInControl.h"

// Qt
#include <QCoreApplication>
#include <QDBusPendingCall>
#include <QDir>
#include <QToolButton>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

namespace fs = std::filesystem;

const test::PrivateSessionBus privateSessionBus;

const QString kWelcome = QStringLiteral(
    "Welcome to Glimmora. Since this is your first time here, we've prepared a slide show demonstration for you. "
    "Would you like to see it now?");
const QString kHint =
    QStringLiteral("You can view the introduction any time by selecting \"Introducing Glimmora\" from the Help menu.");
const QString kNotInstalled = QStringLiteral(
    "We regret we can't show you the introduction to Glimmora because Slidara is not installed on your computer. "
    "When you do install it, you can view the introduction any time by selecting \"Introducing Glimmora\" from "
    "the Help menu.");

// A first start with the introduction show beside the program.
class FirstStartWithIntroduction : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::remove_all(test::sandboxRoot() / "config");
        fs::create_directories(scratch_ / "demo");
        test::writeFile(scratch_ / "demo" / "demo.bld", "show");
        demoShow_ = QString::fromStdString((scratch_ / "demo" / "demo.bld").string());
        overrideProgramDirectory(QString::fromStdString(scratch_.path().string()));
        log_ = QString::fromStdString((scratch_ / "calls.log").string());
    }

    void TearDown() override
    {
        test::stopStandIn();
        overrideProgramDirectory(QString());
    }

    QStringList calls() const { return test::standInCalls(log_); }
    int shown(const QString& text) const { return int(messages_.texts().count(text)); }

    test::ScratchDir scratch_;
    QString demoShow_;
    QString log_;
    ScopedScriptedMessages messages_;
    test::LoadDialogCloser loadDialogs_;
};

TEST_F(FirstStartWithIntroduction, YesRunsTheShowMinimisesAndTheShowsEndRestoresWithTheHint)
{
    test::installStandIn({.log = log_});
    messages_.answer(MessageButton::Yes);
    TMainForm form;
    form.FormCreate();

    ASSERT_FALSE(messages_.shown().isEmpty());
    const Message& welcome = messages_.shown().first().message;
    EXPECT_EQ(welcome.text, kWelcome);
    EXPECT_EQ(welcome.caption, QStringLiteral("Glimmora"));
    EXPECT_EQ(welcome.icon, MessageIcon::Question);
    EXPECT_EQ(welcome.buttons, MessageButton::Yes | MessageButton::No);
    EXPECT_TRUE(calls().contains(QStringLiteral("IdentifyController %1").arg(QCoreApplication::applicationPid())));
    EXPECT_TRUE(calls().contains("RunShow " + demoShow_));
    EXPECT_TRUE(form.isMinimized());
    EXPECT_EQ(shown(kHint), 0);

    test::postThroughStandIn(1025); // the companion's message: nobody else's is listened to
    ASSERT_TRUE(test::waitUntil([&] { return !form.isMinimized(); }));
    EXPECT_EQ(shown(kHint), 1);
    EXPECT_TRUE(form.sbDesignSlideshow->isEnabled());
}

TEST_F(FirstStartWithIntroduction, CloseServerIsCalledAtCloseAndItsFailureIsSwallowed)
{
    test::installStandIn({.log = log_, .failing = {QStringLiteral("CloseServer")}});
    messages_.answer(MessageButton::Yes);
    TMainForm form;
    form.FormCreate();
    ASSERT_TRUE(form.SlideshowLink->connected());
    const qsizetype before = messages_.shown().size();

    form.close();
    EXPECT_TRUE(calls().contains(QStringLiteral("CloseServer")));
    EXPECT_EQ(messages_.shown().size(), before) << "the failed CloseServer was reported";
}

TEST_F(FirstStartWithIntroduction, NoShowsTheHintAndASecondStartAsksNothing)
{
    test::installStandIn({.log = log_});
    messages_.answer(MessageButton::No);
    {
        TMainForm form;
        form.FormCreate();
        EXPECT_FALSE(form.isMinimized());
    }
    EXPECT_EQ(shown(kWelcome), 1);
    EXPECT_EQ(shown(kHint), 1);
    EXPECT_FALSE(test::companionRunning());

    TMainForm again;
    again.FormCreate();
    EXPECT_EQ(shown(kWelcome), 1);
}

TEST_F(FirstStartWithIntroduction, WithoutTheCompanionTheUserIsToldWhereToFindTheIntroduction)
{
    test::setSlideshowLocation(QString());
    TMainForm form;
    form.FormCreate();
    EXPECT_EQ(shown(kNotInstalled), 1);
    EXPECT_EQ(shown(kWelcome), 0);
    EXPECT_FALSE(form.sbDesignSlideshow->isEnabled());
    form.Help1Click();
    EXPECT_FALSE(form.RuntheDemo1->isVisible());
}

} // namespace
} // namespace glimmora
