// glimmora-cli convert and wallpaper on real pictures: the new file read back by ImageMagick
// and added to the image's categories, the refusals, a write that fails, and the wallpaper set
// centred and then tiled through GSettings (keyfile back end) without writing the scrapbook.

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"
#include "picturecontrol/PictureWriter.h"
#include "platform/Wallpaper.h"

#include "Scratch.h"
#include "ScrapbookWriter.h"

// Qt
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>

namespace glimmora {
namespace {

namespace fs = std::filesystem;

QString toolOutput(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(30'000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QImage quadrants()
{
    QImage picture(80, 50, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.fillRect(0, 0, 40, 25, Qt::red);
    painter.fillRect(40, 0, 40, 25, Qt::green);
    painter.fillRect(0, 25, 40, 25, Qt::blue);
    painter.fillRect(40, 25, 40, 25, Qt::yellow);
    return picture;
}

class PictureCli : public ::testing::Test {
protected:
    PictureCli()
    {
        quadrants().save(picture("tree.bmp"), "BMP");
        writePictureFile(quadrants(), PictureFileFormat::Gif, picture("leaf.gif"));
        quadrants().save(picture("loose.png"), "PNG");
        test::writeScrapbook(base, {
                                       {picture("tree.bmp"), {"trees", "garden"}},
                                       {picture("leaf.gif"), {"trees"}},
                                       {picture("loose.png"), {"(unassigned)"}},
                                   });
    }

    QString picture(const char* name) const { return QString::fromStdString((pictures / name).string()); }

    test::ToolRun run(const std::string& arguments, const std::string& prefix = {}) const
    {
        return test::runTool("--data '" + data.path().string() + "' " + arguments, prefix);
    }

    // The names of the categories of the image whose record has this path, as saved.
    QStringList savedCategoriesOf(const QString& path) const
    {
        TCorrespondences memberships(base + ".cor");
        TCategories categories(base + ".cat", memberships);
        TImageElementForm images(base + ".idb", categories, TImageElementForm::Access::ReadOnly);
        const std::optional<std::int32_t> seqNo = images.KnownImageNumber(path);
        QStringList names;
        for (const std::int32_t id : memberships.CategoriesOfImage(seqNo.value_or(0)))
            names.append(categories.FindCategory(id)->CategoryName);
        return names;
    }

    QStringList pictureFiles() const
    {
        return QDir(QString::fromStdString(pictures.string())).entryList(QDir::Files, QDir::Name);
    }

    test::ScratchDir data;
    test::ScratchDir pictureDir;
    fs::path pictures = pictureDir.path();
    QString base = QString::fromStdString((data / "Default").string());
};

TEST_F(PictureCli, ConvertWritesBesideTheImageAndAddsTheFileToTheImagesCategories)
{
    const test::ToolRun converted = run("convert 1 jpeg");
    ASSERT_EQ(converted.status, 0) << converted.errors;
    EXPECT_EQ(converted.output, "4\t" + picture("tree.jpg").toStdString() + "\n");
    EXPECT_EQ(toolOutput(QStringLiteral("identify"),
                         {QStringLiteral("-format"), QStringLiteral("%m %wx%h"), picture("tree.jpg")}),
              QStringLiteral("JPEG 80x50"));
    EXPECT_EQ(toolOutput(QStringLiteral("convert"), {picture("tree.jpg"), QStringLiteral("-format"),
                                                     QStringLiteral("%[pixel:p{60,40}]"), QStringLiteral("info:")})
                  .left(9),
              QStringLiteral("srgb(255,"))
        << "yellow bottom right";
    EXPECT_EQ(savedCategoriesOf(picture("tree.jpg")), (QStringList{"trees", "garden"}));

    const test::ToolRun unassigned = run("convert 3 gif");
    ASSERT_EQ(unassigned.status, 0) << unassigned.errors;
    EXPECT_EQ(savedCategoriesOf(picture("loose.gif")), QStringList{"(unassigned)"});
    EXPECT_EQ(toolOutput(QStringLiteral("identify"),
                         {QStringLiteral("-format"), QStringLiteral("%m %wx%h"), picture("loose.gif")}),
              QStringLiteral("GIF 80x50"));
}

TEST_F(PictureCli, MetafilesByFormatAndName)
{
    ASSERT_EQ(run("convert 1 wmf").status, 0);
    EXPECT_EQ(toolOutput(QStringLiteral("identify"),
                         {QStringLiteral("-density"), QStringLiteral("96"), QStringLiteral("-format"),
                          QStringLiteral("%m %wx%h"), picture("tree.wmf")}),
              QStringLiteral("WMF 80x50"));
    const std::string out = (pictures / "drawing").string();
    ASSERT_EQ(run("convert 1 emf --out '" + out + "'").status, 0);
    EXPECT_EQ(test::readFile(pictures / "drawing.emf").substr(40, 4), " EMF");

    const test::ToolRun mismatch = run("convert 1 wmf --out '" + out + ".emf'");
    EXPECT_EQ(mismatch.status, 1);
    EXPECT_NE(mismatch.errors.find("a Windows Metafile is named *.wmf"), std::string::npos) << mismatch.errors;
}

TEST_F(PictureCli, TheRefusalsOfTheWindowAndNoFileReplaced)
{
    const struct {
        std::string arguments;
        int status;
        const char* says;
    } refused[] = {
        {"convert 2 gif", 1, "is a gif file already"},
        {"convert 1 wmf --out '" + picture("tree.bmp").toStdString() + "'", 1, "is the image's own file"},
        {"convert 1 gif --out '" + picture("leaf.gif").toStdString() + "'", 1, "already exists"},
        {"convert 9 bmp", 1, "no image with sequence number 9"},
        {"convert 1 png", 2, "usage:"},
        {"convert one bmp", 2, "usage:"},
        {"convert 1 bmp --out", 2, "usage:"},
        {"wallpaper", 2, "usage:"},
    };
    const std::string leaf = test::readFile(pictures / "leaf.gif");
    for (const auto& r : refused) {
        const test::ToolRun refusal = run(r.arguments);
        EXPECT_EQ(refusal.status, r.status) << r.arguments;
        EXPECT_NE(refusal.errors.find(r.says), std::string::npos) << r.arguments << ": " << refusal.errors;
    }
    EXPECT_EQ(test::readFile(pictures / "leaf.gif"), leaf);
    EXPECT_EQ(pictureFiles(), (QStringList{"leaf.gif", "loose.png", "tree.bmp"}));
}

TEST_F(PictureCli, AWriteThatFailsLeavesNoFileAndNoRecord)
{
    const test::ToolRun failed = run("convert 1 gif --out /proc/tree.gif");
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.errors.find("The picture could not be written to /proc/tree.gif: "), std::string::npos)
        << failed.errors;
    // A file size limit standing in for a full disk (its signal ignored, so that writes fail).
    const test::ToolRun full = run("convert 3 bmp --out '" + (pictures / "big.bmp").string() + "'", "trap '' XFSZ; ulimit -f 1;");
    EXPECT_EQ(full.status, 1) << full.errors;
    EXPECT_NE(full.errors.find("The picture could not be written to"), std::string::npos) << full.errors;
    EXPECT_EQ(pictureFiles(), (QStringList{"leaf.gif", "loose.png", "tree.bmp"}));
    EXPECT_TRUE(savedCategoriesOf(picture("big.bmp")).isEmpty());
}

TEST_F(PictureCli, WallpaperCentredThenTiledLeavesOneBitmapAndTheScrapbookUntouched)
{
    const std::string gnome = "GSETTINGS_BACKEND=keyfile XDG_CURRENT_DESKTOP=GNOME";
    qputenv("GSETTINGS_BACKEND", "keyfile");
    QFile::remove(wallpaperBitmapPath());
    const auto storeTime = fs::last_write_time(data / "Default.idb");
    const std::string store = test::readFile(data / "Default.idb");

    const test::ToolRun centred = run("wallpaper 1", gnome);
    ASSERT_EQ(centred.status, 0) << centred.errors;
    EXPECT_EQ(centred.output, wallpaperBitmapPath().toStdString() + "\n");
    const auto option = [] {
        return toolOutput(
            QStringLiteral("gsettings"),
            {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.background"), QStringLiteral("picture-options")});
    };
    EXPECT_EQ(option(), QStringLiteral("'centered'"));
    ASSERT_EQ(run("wallpaper 3 --tile", gnome).status, 0);
    EXPECT_EQ(option(), QStringLiteral("'wallpaper'"));
    EXPECT_EQ(QDir(QFileInfo(wallpaperBitmapPath()).absolutePath()).entryList(QDir::Files),
              QStringList{"GlimmoraWall.bmp"});
    EXPECT_EQ(QImage(wallpaperBitmapPath()).pixel(60, 40), qRgb(255, 255, 0));

    const test::ToolRun unknown = run("wallpaper 1", "XDG_CURRENT_DESKTOP=Sway");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.errors.find("Glimmora cannot set the wallpaper of this desktop (Sway)."), std::string::npos);
    EXPECT_EQ(fs::last_write_time(data / "Default.idb"), storeTime) << "a query never writes";
    EXPECT_EQ(test::readFile(data / "Default.idb"), store);
}

} // namespace
} // namespace glimmora
