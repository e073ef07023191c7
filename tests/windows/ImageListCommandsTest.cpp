// The category window's conversion and wallpaper commands over real pictures: which conversions
// are offered, the name proposed, the new file read back by ImageMagick and added to every
// window of the category, the image's own file and failed writes, and the wallpaper set centred
// and then tiled through GSettings (keyfile back end), from the category window and from the
// detail window.

#include "import/PictureConversion.h"
#include "platform/Paths.h"
#include "platform/Wallpaper.h"
#include "windows/ImageDetail.h"
#include "windows/ImageListModel.h"
#include "windows/MoviePlayerBar.h"

#include "CommandWindows.h"

// Qt
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QProcess>
#include <QUrl>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include <sys/resource.h>

namespace glimmora {
namespace {

namespace fs = std::filesystem;

// GSettings chooses its back end once, when first used: the keyfile under XDG_CONFIG_HOME.
const bool keyfileSettings = setenv("GSETTINGS_BACKEND", "keyfile", 1) == 0;

QString toolOutput(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(30'000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

class Commands : public test::CommandWindows {
protected:
    QString output(const char* name) const { return QString::fromStdString((outputDir / name).string()); }
    QStringList outputFiles() const
    {
        return QDir(QString::fromStdString(outputDir.path().string())).entryList(QDir::Files);
    }
    // The conversion items of both menus as they stand once the menu has opened.
    static QList<bool> offered(TImageListForm& window)
    {
        window.Convert1Click();
        QList<bool> enabled;
        for (const QAction* item : {window.toBitmap1, window.toWMF1, window.toJPEG1, window.toGIF1, window.toBitmap2,
                                    window.toWMF2, window.toJPEG2, window.toGIF2})
            enabled.append(item->isEnabled());
        return enabled;
    }

    test::ScratchDir outputDir;
    TImageListForm* window = openWindow(category(QStringLiteral("trees")));
};

TEST_F(Commands, EachImageIsOfferedEveryConversionButIntoItsOwnType)
{
    const QList<bool> all{true, true, true, true, true, true, true, true};
    select(*window, QStringLiteral("leaf.gif"));
    EXPECT_EQ(offered(*window), (QList<bool>{true, true, true, false, true, true, true, false}));
    EXPECT_TRUE(window->Convert1->menuAction()->isEnabled());
    select(*window, QStringLiteral("tree.bmp"));
    EXPECT_EQ(offered(*window), (QList<bool>{false, true, true, true, false, true, true, true}));
    select(*window, QStringLiteral("tall.png"));
    EXPECT_EQ(offered(*window), all);

    window->ImageListBox->selectAll();
    EXPECT_FALSE(window->Convert1->menuAction()->isEnabled()) << "one image at a time";
}

TEST_F(Commands, TheNewFileIsReadByImageMagickAndAddedAtTheEndOfEveryWindowOfTheCategory)
{
    TImageListForm* second = openWindow(category(QStringLiteral("trees")));
    const std::string membershipsBefore = savedMemberships();
    select(*window, QStringLiteral("tree.bmp"));
    dialogs.answer(output("forest"));
    window->toJPEG1->trigger();

    ASSERT_EQ(dialogs.requests().size(), 1);
    EXPECT_EQ(dialogs.requests().first(),
              (SaveFileRequest{QStringLiteral("Provide a file name for the new file"),
                               QString::fromStdString(pictures.dir().string()), QStringLiteral("tree.jpg"),
                               QStringLiteral("JPEG Image (.jpg)"), QStringLiteral("jpg")}));
    EXPECT_TRUE(messages.shown().isEmpty()) << messages.texts().join(' ').toStdString();
    EXPECT_EQ(toolOutput(QStringLiteral("identify"),
                         {QStringLiteral("-format"), QStringLiteral("%m %wx%h"), output("forest.jpg")}),
              QStringLiteral("JPEG 80x50"));
    const QImage written(output("forest.jpg"));
    EXPECT_TRUE(qRed(written.pixel(10, 6)) > 240 && qGreen(written.pixel(10, 6)) < 20) << "red top left";
    for (TImageListForm* shown : {window, second}) {
        EXPECT_EQ(itemTexts(*shown).last(), QStringLiteral("forest.jpg"));
        EXPECT_EQ(shown->StatusBar1->text(), QStringLiteral("7 images"));
    }
    EXPECT_EQ(savedMemberships().size(), membershipsBefore.size() + 8) << "the new image's membership was saved";
}

TEST_F(Commands, AMetafileNamedWmfIsAWindowsMetafileAndOtherwiseEnhanced)
{
    select(*window, QStringLiteral("tree.bmp"));
    dialogs.answer(output("tree.WMF"));
    dialogs.answer(output("tree.emf"));
    window->toWMF1->trigger();
    window->toWMF2->trigger();
    // The placeable header's 96 units to the inch.
    EXPECT_EQ(toolOutput(QStringLiteral("identify"),
                         {QStringLiteral("-density"), QStringLiteral("96"), QStringLiteral("-format"),
                          QStringLiteral("%m %wx%h"), output("tree.WMF")}),
              QStringLiteral("WMF 80x50"));
    EXPECT_EQ(test::readFile(outputDir / "tree.emf").substr(40, 4), " EMF") << "the enhanced metafile's signature";
    EXPECT_EQ(itemTexts(*window).mid(6), (QStringList{"tree.WMF", "tree.emf"}));
}

TEST_F(Commands, ConvertingInUnassignedKeepsTheNewImageThere)
{
    TImageListForm* unassigned = openWindow(category(kUnassignedName));
    select(*unassigned, QStringLiteral("loose.png"));
    dialogs.answer(output("loose.gif"));
    unassigned->toGIF2->trigger();
    EXPECT_EQ(itemTexts(*unassigned), (QStringList{"loose.png", "loose.gif"}));
    const std::int32_t seqNo = unassigned->ImageListModel->record(1)->IT_SeqNo;
    QList<std::int32_t> categoriesOfTheNewImage;
    for (const Membership& pair : memberships.pairs())
        if (pair.seqNo == seqNo)
            categoriesOfTheNewImage.append(pair.categoryId);
    EXPECT_EQ(categoriesOfTheNewImage, QList<std::int32_t>{categories.UnassignedId()});
}

TEST_F(Commands, TheImagesOwnFileIsRefusedAndTheNameAskedAgain)
{
    select(*window, QStringLiteral("tree.bmp"));
    const std::string before = test::readFile(pictures.dir() / "tree.bmp");
    const std::string membershipsBefore = savedMemberships();
    dialogs.answer(pictures.path("tree.bmp"));
    dialogs.answerCancel();
    window->toWMF1->trigger();
    EXPECT_EQ(dialogs.requests().size(), 2);
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(messages.texts().first().contains(QStringLiteral("the image's own file")));
    EXPECT_EQ(test::readFile(pictures.dir() / "tree.bmp"), before);
    EXPECT_EQ(itemTexts(*window).size(), 6);
    EXPECT_EQ(savedMemberships(), membershipsBefore) << "cancelled: nothing changed";
}

TEST_F(Commands, AFailedWriteLeavesNoFileAndSaysWhy)
{
    select(*window, QStringLiteral("wide.png"));
    // A directory nobody may write in, and a file size limit standing in for a full disk.
    dialogs.answer(QStringLiteral("/proc/wide.bmp"));
    window->toBitmap1->trigger();

    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 64 * 1024;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    dialogs.answer(output("wide.bmp"));
    window->toBitmap1->trigger();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    ASSERT_EQ(messages.shown().size(), 2);
    for (const auto& [shown, target] : {std::pair{messages.shown().at(0), QStringLiteral("/proc/wide.bmp")},
                                        std::pair{messages.shown().at(1), output("wide.bmp")}}) {
        EXPECT_TRUE(
            shown.message.text.startsWith(QStringLiteral("The picture could not be written to %1: ").arg(target)))
            << shown.message.text.toStdString();
        EXPECT_EQ(shown.message.icon, MessageIcon::Error);
    }
    EXPECT_TRUE(outputFiles().isEmpty()) << outputFiles().join(' ').toStdString();
    EXPECT_EQ(itemTexts(*window).size(), 6);
}

class Wallpaper : public Commands {
protected:
    Wallpaper()
    {
        QFile::remove(wallpaperBitmapPath());
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
    }
    ~Wallpaper() override { qunsetenv("XDG_CURRENT_DESKTOP"); }

    static QString gsettingsGet(const char* key)
    {
        return toolOutput(QStringLiteral("gsettings"),
                          {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.background"), QLatin1String(key)});
    }
    static QStringList filesBesideTheBitmap()
    {
        return QDir(QFileInfo(wallpaperBitmapPath()).absolutePath()).entryList(QDir::Files);
    }
};

TEST_F(Wallpaper, CentredFromTheWindowThenTiledFromTheDetailWindowLeaveOneBitmapAndTheTiledOption)
{
    select(*window, QStringLiteral("tree.bmp"));
    window->Edit1Click();
    ASSERT_TRUE(window->SetWallpaper1->menuAction()->isEnabled());
    window->SetWallpaper1->actions().at(0)->trigger(); // "&Centered"
    EXPECT_TRUE(messages.shown().isEmpty()) << messages.texts().join(' ').toStdString();
    EXPECT_EQ(gsettingsGet("picture-options"), QStringLiteral("'centered'"));

    TImageDetailForm detail(loader);
    ASSERT_EQ(detail.ShowImage(record(QStringLiteral("small & bright.bmp")), *window), kLoadLoaded);
    detail.Tiled1->trigger();
    EXPECT_EQ(gsettingsGet("picture-options"), QStringLiteral("'wallpaper'"));
    EXPECT_EQ(gsettingsGet("picture-uri"),
              QStringLiteral("'%1'").arg(QUrl::fromLocalFile(wallpaperBitmapPath()).toString()));
    EXPECT_EQ(filesBesideTheBitmap(), QStringList{"GlimmoraWall.bmp"});
    const QImage bitmap(wallpaperBitmapPath());
    EXPECT_EQ(bitmap.size(), QSize(100, 80)) << "the detail window's image, not the window's selection";
    EXPECT_EQ(bitmap.pixel(50, 40), qRgb(255, 0, 0));
}

TEST_F(Wallpaper, AMoviesWallpaperIsItsFirstFrameAndStopsThePlayer)
{
    TImageDetailForm detail(loader);
    ASSERT_EQ(detail.ShowImage(record(QStringLiteral("counting.avi")), *window), kLoadLoaded);
    detail.MediaPlayer1->play();
    detail.Centered1->trigger();
    EXPECT_FALSE(detail.MediaPlayer1->isPlaying());
    const QImage bitmap(wallpaperBitmapPath());
    EXPECT_EQ(bitmap.size(), QSize(64, 48));
    EXPECT_LT(test::greyOf(bitmap), 30) << "the first, darkest frame";
}

TEST_F(Wallpaper, ADesktopThatCannotBeToldIsReportedAndNothingIsWritten)
{
    qputenv("XDG_CURRENT_DESKTOP", "Sway");
    select(*window, QStringLiteral("tree.bmp"));
    window->Tiled1Click();
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(
        messages.texts().first().startsWith(QStringLiteral("Glimmora cannot set the wallpaper of this desktop")));
    EXPECT_FALSE(QFileInfo::exists(wallpaperBitmapPath()));
}

} // namespace
} // namespace glimmora
