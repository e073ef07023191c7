// What a Linux desktop expects of the platform layer: help that works beside any dialog, icons
// on a desktop without an icon theme, the long file-name extensions, and where an installed
// program finds its helper and help.

#include "platform/DesktopIcons.h"
#include "platform/HelpWindow.h"
#include "platform/MessageService.h"
#include "platform/Paths.h"

#include "Scratch.h"

// Qt
#include <QAction>
#include <QDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>

namespace glimmora {
namespace {

namespace fs = std::filesystem;

TEST(HelpPlacement, BesideTheDialogWhereThereIsRoomAndAlwaysOnTheScreen)
{
    const QRect screen(0, 0, 1280, 800);
    const QSize help(400, 500);
    const struct {
        QRect dialog;
        QPoint expected;
        const char* why;
    } cases[] = {
        {QRect(0, 0, 500, 400), QPoint(508, 0), "room on the right"},
        {QRect(800, 100, 400, 300), QPoint(392, 100), "only the left has room"},
        {QRect(300, 100, 700, 300), QPoint(0, 100), "neither side fits: the larger one, kept on the screen"},
        {QRect(100, 600, 300, 150), QPoint(408, 300), "its bottom kept on the screen"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(helpPositionBeside(c.dialog, help, screen), c.expected) << c.why;
}

class HelpBesideDialogs : public ::testing::Test {
protected:
    void SetUp() override { HelpWindow::setHelpDirectory(QStringLiteral(GLIMMORA_BIN_DIR "/help")); }
    void TearDown() override { HelpWindow::quit(); }

    static QToolButton* navigationButton(const QString& text)
    {
        for (QToolButton* button : HelpWindow::openWindow()->findChildren<QToolButton*>())
            if (button->defaultAction() && button->defaultAction()->text() == text)
                return button;
        return nullptr;
    }

    // Clicks a button of the help window as the window system delivers a click: a window that a
    // modal dialog blocks never gets it.
    static void clickThroughTheWindowSystem(QToolButton* button)
    {
        QWindow* window = HelpWindow::openWindow()->windowHandle();
        QTest::mouseClick(window, Qt::LeftButton, {}, button->mapTo(button->window(), button->rect().center()));
    }

    // Runs `whileUp` with a modal dialog up (opened with exec(), as every dialog of the program),
    // then closes the dialog.
    static void withModalDialog(const std::function<void(QDialog&)>& whileUp)
    {
        QDialog dialog;
        dialog.setGeometry(10, 40, 150, 120); // room beside it on the offscreen 800 x 600 screen
        QTimer::singleShot(0, &dialog, [&] {
            whileUp(dialog);
            dialog.reject();
        });
        dialog.exec();
    }
};

TEST_F(HelpBesideDialogs, HelpOpenedFromADialogWorksBesideIt)
{
    withModalDialog([&](QDialog& dialog) {
        HelpWindow::showTopic(106);
        HelpWindow* help = HelpWindow::openWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
        EXPECT_FALSE(help->frameGeometry().intersects(dialog.frameGeometry())) << "beside the dialog, not under it";
        clickThroughTheWindowSystem(navigationButton(QStringLiteral("&Contents")));
        EXPECT_EQ(HelpWindow::currentTopic(), 0) << "the click reached the help window";
    });
}

// The empty scrapbook's flow: help is opened first, then the Load dialog.
TEST_F(HelpBesideDialogs, HelpOpenBeforeADialogStaysUsableWhileTheDialogIsUp)
{
    HelpWindow::showTopic(106);
    withModalDialog([&](QDialog& dialog) {
        HelpWindow* help = HelpWindow::openWindow();
        EXPECT_FALSE(help->frameGeometry().intersects(dialog.frameGeometry()));
        clickThroughTheWindowSystem(navigationButton(QStringLiteral("&Contents")));
        EXPECT_EQ(HelpWindow::currentTopic(), 0);
    });
    // With the dialog gone, help still works.
    clickThroughTheWindowSystem(navigationButton(QStringLiteral("&Back")));
    EXPECT_EQ(HelpWindow::currentTopic(), 106);
}

TEST_F(HelpBesideDialogs, BackAndForwardWalkThePagesReadAndEscCloses)
{
    HelpWindow::showTopic(106);
    HelpWindow::showTopic(100);
    HelpWindow* help = HelpWindow::openWindow();
    help->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    EXPECT_FALSE(navigationButton(QStringLiteral("&Forward"))->isEnabled());
    QTest::keyClick(help, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(HelpWindow::currentTopic(), 106);
    QTest::keyClick(help, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(HelpWindow::currentTopic(), 100);
    QTest::keyClick(help, Qt::Key_Escape);
    EXPECT_EQ(HelpWindow::currentTopic(), -1);
}

// No desktop: no icon theme at all, as on a bare window manager or in a container.
TEST(DesktopIcons, MessageBoxesTheTreeAndHelpHaveIconsWithoutAnIconTheme)
{
    QIcon::setThemeName(QString());
    installIconFallbacks();
    for (MessageIcon kind :
         {MessageIcon::Information, MessageIcon::Exclamation, MessageIcon::Question, MessageIcon::Error}) {
        const QImage picture = messageIcon(kind).pixmap(32, 32).toImage();
        ASSERT_FALSE(picture.isNull());
        EXPECT_GT(qAlpha(picture.pixel(16, 16)), 0) << "a picture, not a blank square";
    }
    EXPECT_TRUE(messageIcon(MessageIcon::None).isNull());
    for (const char* name : {"folder", "folder-open", "drive-harddisk", "drive-removable-media", "media-optical",
                             "computer", "user-desktop", "go-previous", "go-next", "go-home"})
        EXPECT_FALSE(QIcon::fromTheme(QString::fromLatin1(name)).isNull()) << name;
    const QFileIconProvider provider;
    for (auto type :
         {QAbstractFileIconProvider::Folder, QAbstractFileIconProvider::Drive, QAbstractFileIconProvider::Computer})
        EXPECT_FALSE(provider.icon(type).pixmap(16, 16).isNull()) << int(type);
}

TEST(Extensions, TheLongFormsAreNamedByTheirThreeLetters)
{
    const struct {
        const char* given;
        const char* canonical;
    } cases[] = {{"jpeg", "jpg"}, {".JPEG", "jpg"}, {"JfIf", "jpg"}, {"tiff", "tif"},
                 {".TIF", "tif"}, {"png", "png"},   {"jpe", "jpe"},  {"", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(canonicalExtension(QString::fromLatin1(c.given)), QString::fromLatin1(c.canonical)) << c.given;
}

// An installed program finds its helper and help under its prefix and keeps its data in the
// user's data directory; a build keeps all three beside the program.
TEST(Paths, AnInstalledProgramFindsItsHelperAndHelpUnderItsPrefix)
{
    EXPECT_FALSE(runsInstalled());
    EXPECT_EQ(helpDirectoryOfProgram(), programDirectory() + QStringLiteral("/help"));
    EXPECT_EQ(helperProgram(QStringLiteral("glimmora-decoder")),
              programDirectory() + QStringLiteral("/glimmora-decoder"));

    test::ScratchDir scratch;
    const fs::path prefix = scratch / "usr";
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "share" / "glimmora" / "help");
    const QString root = QString::fromStdString(prefix.string());
    overrideProgramDirectory(root + QStringLiteral("/bin"));
    const QByteArray dataDirectorySaved = qgetenv("GLIMMORA_DATA_DIR");
    qunsetenv("GLIMMORA_DATA_DIR");
    EXPECT_TRUE(runsInstalled());
    EXPECT_EQ(helpDirectoryOfProgram(), root + QStringLiteral("/share/glimmora/help"));
    EXPECT_EQ(helperProgram(QStringLiteral("glimmora-decoder")),
              root + QStringLiteral("/libexec/glimmora/glimmora-decoder"));
    EXPECT_EQ(dataDirectory(), programDataDirectory() + QStringLiteral("/Data"));
    EXPECT_FALSE(fs::exists(prefix / "bin" / "Data")) << "no Data directory among the programs";
    overrideProgramDirectory(QString());
    qputenv("GLIMMORA_DATA_DIR", dataDirectorySaved);
}

} // namespace
} // namespace glimmora
