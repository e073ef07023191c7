#include "slideshow/GlimmoraBusObject.h"
#include "slideshow/SlideshowBus.h"
#include "slideshow/SlideshowInstall.h"
#include "slideshow/SlideshowLink.h"
#include "slideshow/SlideshowServer.h"

#include "platform/MessageService.h"
#include "platform/Paths.h"

#include "PrivateSessionBus.h"
#include "Scratch.h"
#include "StandInControl.h"

// Qt
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

using test::companionRunning;
using test::postThroughStandIn;
using test::standInCalls;
using test::waitUntil;

const test::PrivateSessionBus privateSessionBus;

QString pidCall() { return QStringLiteral("IdentifyController %1").arg(QCoreApplication::applicationPid()); }

// The link as the main window would hold it, with its own bus object wired to it, a stand-in
// companion installed, and every signal recorded.
class SlideshowLinkTest : public ::testing::Test {
protected:
    SlideshowLinkTest() { test::writeFile(scratch / "demo.bld", "show"); }

    void SetUp() override { install({}); }
    void TearDown() override { test::stopStandIn(); }

    void install(test::StandInSetup setup)
    {
        setup.log = log;
        test::installStandIn(setup);
        makeLink();
    }

    void makeLink()
    {
        link = std::make_unique<TSlideshowLink>(demoShow);
        QObject::connect(&busObject, &TGlimmoraBusObject::messagePosted, link.get(), &TSlideshowLink::MessagePosted);
        QObject::connect(link.get(), &TSlideshowLink::minimizeRequested, [this] { windowEvents << "minimize"; });
        QObject::connect(link.get(), &TSlideshowLink::restoreRequested, [this] { windowEvents << "restore"; });
        QObject::connect(link.get(), &TSlideshowLink::designSlideshowEnabledChanged,
                         [this](bool enabled) { windowEvents << (enabled ? "design on" : "design off"); });
    }

    QStringList calls() const { return standInCalls(log); }

    test::ScratchDir scratch;
    const QString log = QString::fromStdString((scratch / "calls.log").string());
    const QString demoShow = QString::fromStdString((scratch / "demo.bld").string());
    ScopedScriptedMessages messages;
    TGlimmoraBusObject busObject;
    std::unique_ptr<TSlideshowLink> link;
    QStringList windowEvents;
};

TEST(SlideshowInstall, InstalledOnlyWhenTheLocationNamesAnExistingFile)
{
    test::ScratchDir scratch;
    test::writeFile(scratch / "slidara", "");
    const struct {
        QString location;
        bool installed;
    } cases[] = {
        {QString(), false},
        {QString::fromStdString((scratch / "missing").string()), false},
        {QString::fromStdString(scratch.path().string()), false},
        {QString::fromStdString((scratch / "slidara").string()), true},
    };
    for (const auto& c : cases) {
        test::setSlideshowLocation(c.location);
        EXPECT_EQ(SlideshowLocation(), c.location);
        EXPECT_EQ(SlideshowInstalled(), c.installed) << c.location.toStdString();
        EXPECT_EQ(TSlideshowLink().designSlideshowEnabled(), c.installed);
    }
}

TEST(SlideshowInstall, DemoShowLiesBesideTheProgram)
{
    EXPECT_EQ(DemoShowPath().path, programDirectory() + QStringLiteral("/demo/demo.bld"));
}

TEST_F(SlideshowLinkTest, ConnectingStartsTheInstalledProgramAndIdentifiesGlimmoraByItsProcessId)
{
    ASSERT_TRUE(busObject.isRegistered());
    ASSERT_FALSE(companionRunning());
    bool connectedSignal = false;
    QObject::connect(link.get(), &TSlideshowLink::connectedChanged, [&](bool c) { connectedSignal = c; });

    EXPECT_TRUE(link->ConnectSlideshow());

    EXPECT_TRUE(link->connected());
    EXPECT_TRUE(connectedSignal);
    EXPECT_TRUE(companionRunning());
    EXPECT_EQ(calls(), QStringList({"Started", pidCall()}));
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(SlideshowLinkTest, ARunningCompanionIsUsedRatherThanStartedAgain)
{
    ASSERT_TRUE(link->ConnectSlideshow());
    test::setSlideshowLocation(QStringLiteral("/nonexistent/slidara"));

    EXPECT_TRUE(link->ConnectSlideshow());
    EXPECT_EQ(calls(), QStringList({"Started", pidCall(), pidCall()}));
}

TEST_F(SlideshowLinkTest, AFailedConnectionIsShownWithItsOwnTextAndTheCallerGoesOn)
{
    const struct {
        const char* location; // nullptr: the stand-in, told to fail IdentifyController
        const char* text;
    } cases[] = {
        {"", "Slidara is not installed on this computer."},
        {"/nonexistent/slidara", "Slidara could not be started from \"/nonexistent/slidara\""},
        {nullptr, "IdentifyController failed in the stand-in"},
    };
    for (const auto& c : cases) {
        messages.clear();
        install({.failing = {"IdentifyController"}});
        if (c.location)
            test::setSlideshowLocation(QString::fromUtf8(c.location));

        link->DesignSlideshow();

        ASSERT_EQ(messages.shown().size(), 1) << c.text;
        const Message& shown = messages.shown().first().message;
        EXPECT_TRUE(shown.text.startsWith(QString::fromUtf8(c.text))) << shown.text.toStdString();
        EXPECT_EQ(shown.caption, QStringLiteral("Glimmora"));
        EXPECT_EQ(shown.icon, MessageIcon::Error);
        EXPECT_FALSE(link->connected());
        EXPECT_FALSE(calls().contains("ShowDesignForm"));
        test::stopStandIn();
    }
    EXPECT_TRUE(windowEvents.isEmpty()) << windowEvents.join(", ").toStdString();
}

TEST_F(SlideshowLinkTest, AProgramThatNeverTakesItsNameIsReportedAfterTheWait)
{
    try {
        TSlideshowServer server(QStringLiteral("/bin/true"), std::chrono::milliseconds(300));
        FAIL() << "no companion appeared, yet the server was made";
    } catch (const ESlideshowError& error) {
        EXPECT_EQ(error.text(),
                  QStringLiteral("Slidara was started from \"/bin/true\" but did not answer within 0.3 seconds."));
    }
}

TEST_F(SlideshowLinkTest, DesigningDisablesTheButtonUntilTheCompanionLetsGo)
{
    link->DesignSlideshow();
    EXPECT_EQ(calls(), QStringList({"Started", pidCall(), "ShowDesignForm"}));
    EXPECT_FALSE(link->designSlideshowEnabled());
    EXPECT_TRUE(link->connected());

    postThroughStandIn(kServerReleasedMessage);
    ASSERT_TRUE(waitUntil([&] { return link->designSlideshowEnabled(); }));
    EXPECT_FALSE(link->connected());
    EXPECT_EQ(windowEvents, QStringList({"design off", "design on"}));
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(SlideshowLinkTest, AFailedDesignFormIsShownAndLeavesTheButtonEnabled)
{
    install({.failing = {"ShowDesignForm"}});
    link->DesignSlideshow();
    EXPECT_EQ(messages.texts(), QStringList({"ShowDesignForm failed in the stand-in"}));
    EXPECT_TRUE(link->designSlideshowEnabled());
    EXPECT_TRUE(windowEvents.isEmpty());
}

TEST_F(SlideshowLinkTest, TheIntroductionMinimisesUntilItEndsAndTheHintFollowsOnlyAFirstRunDemo)
{
    for (const bool fromFirstRun : {true, false}) {
        windowEvents.clear();
        messages.clear();
        install({.posts = {"RunShow=1025"}});
        link->setDemoFromFirstRun(fromFirstRun);

        link->RunTheDemo();
        EXPECT_EQ(calls().mid(calls().lastIndexOf("Started")),
                  QStringList({"Started", pidCall(), "RunShow " + demoShow}));
        ASSERT_TRUE(waitUntil([&] { return !link->connected(); }));

        EXPECT_EQ(windowEvents, QStringList({"minimize", "restore"}));
        EXPECT_FALSE(link->DemoFromFirstRun());
        EXPECT_TRUE(link->designSlideshowEnabled());
        if (fromFirstRun) {
            ASSERT_EQ(messages.shown().size(), 1);
            const Message& hint = messages.shown().first().message;
            EXPECT_EQ(hint.text, QStringLiteral("You can view the introduction any time by selecting "
                                                "\"Introducing Glimmora\" from the Help menu."));
            EXPECT_EQ(hint.caption, QStringLiteral("Glimmora"));
            EXPECT_EQ(hint.icon, MessageIcon::Information);
        } else {
            EXPECT_TRUE(messages.shown().isEmpty());
        }
        test::stopStandIn();
    }
}

TEST_F(SlideshowLinkTest, AnIntroductionThatCannotRunLeavesTheWindowAlone)
{
    link->setDemoFromFirstRun(true);
    std::filesystem::remove(scratch / "demo.bld");
    link->RunTheDemo();
    EXPECT_FALSE(companionRunning()) << "no show, no companion";
    EXPECT_TRUE(link->DemoFromFirstRun()) << "nothing was tried";

    test::writeFile(scratch / "demo.bld", "show");
    install({.failing = {"RunShow"}});
    link->setDemoFromFirstRun(true);
    link->RunTheDemo();
    EXPECT_TRUE(calls().contains("RunShow " + demoShow));
    EXPECT_TRUE(messages.shown().isEmpty()) << "a failed show is not reported";
    EXPECT_TRUE(windowEvents.isEmpty()) << windowEvents.join(", ").toStdString();
    EXPECT_FALSE(link->DemoFromFirstRun());
}

TEST_F(SlideshowLinkTest, SlidesAreAddedInTheGivenOrderOnTheExistingConnectionOnly)
{
    const QStringList paths = {QStringLiteral("/pictures/item 5.jpg"), QStringLiteral("/pictures/item2.png")};
    link->AddSlides(paths);
    EXPECT_FALSE(companionRunning()) << "adding slides never starts the companion";

    ASSERT_TRUE(link->ConnectSlideshow());
    link->AddSlides(paths);
    EXPECT_EQ(calls().mid(2), QStringList({"AddSlide /pictures/item 5.jpg", "AddSlide /pictures/item2.png"}));
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(SlideshowLinkTest, AFailingSlideIsShownOnceAndEndsTheBatch)
{
    install({.failing = {"AddSlide"}});
    ASSERT_TRUE(link->ConnectSlideshow());
    link->AddSlides({QStringLiteral("/a.jpg"), QStringLiteral("/b.jpg")});
    EXPECT_EQ(calls().mid(2), QStringList({"AddSlide /a.jpg"}));
    EXPECT_EQ(messages.texts(), QStringList({"AddSlide failed in the stand-in"}));
}

TEST_F(SlideshowLinkTest, ClosingCallsCloseServerAndSwallowsItsFailure)
{
    for (const bool failing : {false, true}) {
        messages.clear();
        install({.failing = failing ? QStringList{"CloseServer"} : QStringList{}});
        link->CloseServer();
        EXPECT_FALSE(companionRunning()) << "nothing to close, nothing started";

        ASSERT_TRUE(link->ConnectSlideshow());
        link->CloseServer();
        EXPECT_EQ(calls().last(), QStringLiteral("CloseServer"));
        EXPECT_FALSE(link->connected());
        EXPECT_TRUE(messages.shown().isEmpty());
        EXPECT_TRUE(waitUntil([] { return !companionRunning(); })) << "the stand-in ends on CloseServer";
    }
}

TEST_F(SlideshowLinkTest, OnlyTheCompanionsTwoMessagesAreActedOn)
{
    link->DesignSlideshow();
    ASSERT_FALSE(link->designSlideshowEnabled());
    postThroughStandIn(1027);
    postThroughStandIn(kShowEndedMessage);
    ASSERT_TRUE(waitUntil([&] { return link->designSlideshowEnabled(); }));
    EXPECT_EQ(windowEvents, QStringList({"design off", "restore", "design on"}));
}

TEST_F(SlideshowLinkTest, MessagesFromAnyoneButTheConnectedCompanionChangeNothing)
{
    link->DesignSlideshow();
    ASSERT_FALSE(link->designSlideshowEnabled());
    QDBusConnection stranger = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stranger"));
    ASSERT_TRUE(stranger.isConnected());
    int delivered = 0;
    QObject::connect(&busObject, &TGlimmoraBusObject::messagePosted, [&delivered] { ++delivered; });
    for (const unsigned message : {kServerReleasedMessage, kShowEndedMessage}) {
        QDBusMessage post =
            QDBusMessage::createMethodCall(kControllerService, kControllerPath, kControllerInterface, "PostMessage");
        post << message;
        QDBusPendingCallWatcher answered(stranger.asyncCall(post));
        ASSERT_TRUE(waitUntil([&] { return answered.isFinished(); }));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("stranger"));

    EXPECT_EQ(delivered, 2) << "the calls reached the object";
    EXPECT_TRUE(link->connected());
    EXPECT_FALSE(link->designSlideshowEnabled());
    EXPECT_EQ(windowEvents, QStringList({"design off"}));
}

TEST_F(SlideshowLinkTest, AFloodOfShowEndsWhileTheHintIsUpOpensOneHint)
{
    install({.posts = {"RunShow=1025"}});
    link->setDemoFromFirstRun(true);
    int delivered = 0;
    QObject::connect(&busObject, &TGlimmoraBusObject::messagePosted, [&delivered] { ++delivered; });
    messages.answer([&](const Message&) {
        // The message that opened this hint is counted only after the link has handled it.
        for (int i = 0; i < 50; ++i)
            postThroughStandIn(kShowEndedMessage);
        EXPECT_TRUE(waitUntil([&] { return delivered == 50; })) << delivered;
        return MessageButton::Ok;
    });

    link->RunTheDemo();
    ASSERT_TRUE(waitUntil([&] { return !messages.shown().isEmpty(); }));

    EXPECT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(windowEvents, QStringList({"minimize", "restore"}));
    EXPECT_FALSE(link->DemoFromFirstRun());
}

TEST_F(SlideshowLinkTest, ASecondOwnerOfGlimmorasNameGoesOnWithoutIt)
{
    TGlimmoraBusObject second;
    EXPECT_FALSE(second.isRegistered());
    EXPECT_TRUE(busObject.isRegistered());
}

} // namespace
} // namespace glimmora
