// glimmora-cli import on a tree of real pictures of every type, its records read back with a
// reader written from the store and item layouts alone; and the tool's answers to bad requests.

#include "CatalogFixture.h"
#include "TestPictures.h"

// Qt
#include <QBuffer>
#include <QtEndian>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

namespace fs = std::filesystem;
using test::qpath;

using CliRun = test::ToolRun;

CliRun runCli(const fs::path& data, const std::string& arguments)
{
    return test::runTool("--data '" + data.string() + "' " + arguments);
}

constexpr QSize kSize(74, 46);

// One picture of a type: made by a packaged tool from a Netpbm file ({in}, or {pbm} for the
// bilevel types), or by one of the tests' own writers where no tool writes the type.
struct TypeFile {
    const char* extension;
    const char* command = nullptr;
    QByteArray (*writer)(const QImage&) = nullptr;
    QSize size = kSize;
};

const TypeFile kTypes[] = {
    {"bmp", "convert {in} BMP3:{out}"},
    {"wmf", nullptr, test::wmfBytes},
    {"ico", "convert {in} ICO:{out}"},
    {"jpg", "cjpeg {in} > {out}"},
    {"jif", "convert {in} JPEG:{out}"},
    {"gif", "ppmtogif {in} > {out}"},
    {"dib", nullptr, test::headerlessDibBytes},
    {"rle", "convert {in} -type Palette -compress RLE BMP3:{out}"},
    {"tga", "pamtotga {in} > {out}"},
    {"pcx", "ppmtopcx -24bit {in} > {out}"},
    {"wpg", nullptr, test::wpgBytes},
    {"art", "convert {pbm} ART:{out}"},
    {"cur", "convert {in} CUR:{out}"},
    {"cut", nullptr, test::cutBytes},
    {"emf", nullptr, test::emfBytes},
    {"gem", "pbmtogem {pbm} > {out}"},
    {"hrz", nullptr, test::hrzBytes, QSize(256, 240)},
    {"iff", "ppmtoilbm {in} > {out}"},
    {"img", "pbmtogem {pbm} > {out}"},
    {"lbm", "ppmtoilbm -24force {in} > {out}"},
    {"mac", "pbmtomacp {pbm} > {out}", nullptr, QSize(576, 720)},
    {"msp", nullptr, test::mspBytes},
    {"pbm", "convert {pbm} PBM:{out}"},
    {"pgm", "ppmtopgm {in} > {out}"},
    {"pic", nullptr, test::pictorBytes},
    {"png", "pnmtopng {in} > {out}"},
    {"pnm", "pnmtoplainpnm {in} > {out}"},
    {"ppm", "cp {in} {out}"},
    {"ras", "pnmtorast {in} > {out}"},
    {"tif", "convert {in} -compress LZW TIFF:{out}"},
    {"avi", "ffmpeg -v error -f lavfi -i color=c=red:s=80x60:d=1:r=5 -c:v mjpeg -y {out}"},
    {"mov", "ffmpeg -v error -f lavfi -i color=c=blue:s=64x96:d=1:r=5 -c:v mjpeg -y {out}"},
};
static_assert(std::size(kTypes) == kPictureTypeCount);

// Makes one file of each type in `directory`; the extensions that could not be made (a tool is
// missing) are returned.
QStringList writeEveryType(const fs::path& directory, const fs::path& work)
{
    fs::create_directories(directory);
    QStringList missing;
    for (const TypeFile& type : kTypes) {
        const QImage colour = test::quadrantPicture(type.size.width(), type.size.height(), test::kColourQuadrants);
        const QImage bilevel = test::quadrantPicture(type.size.width(), type.size.height(), test::kBilevelQuadrants);
        const fs::path out = directory / (std::string("picture.") + type.extension);
        if (type.writer) {
            const bool bilevelType = std::string(type.extension) == "cut" || std::string(type.extension) == "msp";
            test::writeBytes(out, type.writer(bilevelType ? bilevel : colour));
            continue;
        }
        QString command = QString::fromLatin1(type.command);
        if (!test::missingTool(command).isEmpty()) {
            missing.append(type.extension);
            continue;
        }
        const fs::path in = work / (std::string(type.extension) + ".ppm");
        const fs::path pbm = work / (std::string(type.extension) + ".pbm");
        test::writeBytes(in, test::ppmBytes(colour));
        test::writeBytes(pbm, test::pbmBytes(bilevel));
        const auto quoted = [](const fs::path& path) { return "'" + qpath(path) + "'"; };
        command.replace("{in}", quoted(in)).replace("{pbm}", quoted(pbm)).replace("{out}", quoted(out));
        const QString failure = test::runCommand(command);
        EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    }
    return missing;
}

// An image record's item, read from the layout: the fixed fields, two tagged strings, the
// thumbnail's length and BMP image, two reserved bytes.
struct ItemFields {
    std::int32_t seqNo = 0;
    int type = -1;
    QByteArray path;
    QImage thumbnail;
};

std::optional<ItemFields> readItem(const QByteArray& value)
{
    ItemFields fields;
    if (value.size() < 14)
        return std::nullopt;
    fields.seqNo = qFromLittleEndian<std::int32_t>(value.constData());
    fields.type = quint8(value[4]);
    qsizetype at = 14;
    auto tagged = [&](QByteArray& text) {
        if (at + 2 > value.size() || value[at] != 6)
            return false; // the records here are short texts
        const int length = quint8(value[at + 1]);
        text = value.mid(at + 2, length);
        at += 2 + length;
        return text.size() == length;
    };
    QByteArray memo;
    if (!tagged(fields.path) || !tagged(memo) || at + 2 > value.size())
        return std::nullopt;
    const int length = qFromLittleEndian<quint16>(value.constData() + at);
    at += 2;
    if (at + length + 2 != value.size() || value.mid(at, 2) != "BM")
        return std::nullopt;
    fields.thumbnail = QImage::fromData(value.mid(at, length), "BMP");
    return fields;
}

TEST(ImportCommand, ImportsEveryPictureTypeIntoCategoriesNamedAfterItsDirectories)
{
    test::ScratchDir scratch;
    const fs::path pictures = scratch / "every type";
    const QStringList missing = writeEveryType(pictures, scratch.path());
    const int made = kPictureTypeCount - int(missing.size());
    const fs::path data = scratch / "data";

    const CliRun first = runCli(data, "import '" + pictures.string() + "' --dir-names");
    EXPECT_EQ(first.status, 0) << first.output << first.errors;
    const std::string expectedCounters =
        std::to_string(made) + " New images were added to the scrapbook.\n"
        + "0 Images were bypassed because they already appear in the scrapbook in one or more other "
          "categories.\n"
          "0 Images were moved from the (unassigned) category to new categories.\n"
          "0 Images already appeared in the selected destination categories prior to the load.\n\n \n"
          "Total load errors = 0\n";
    EXPECT_EQ(first.output, expectedCounters);

    const test::StoreFile store = test::readStoreFile(data / "Default.idb");
    EXPECT_EQ(store.admin.value("MAX_SEQ_NO").value.size(), 4);
    ASSERT_EQ(store.items.size(), made);
    QStringList typesSeen;
    for (const test::StoreEntry& entry : store.items) {
        const std::optional<ItemFields> item = readItem(entry.value);
        ASSERT_TRUE(item);
        const QString path = QString::fromUtf8(item->path);
        ASSERT_TRUE(item->type >= 0 && item->type < kPictureTypeCount);
        EXPECT_EQ(path, qpath(pictures / (std::string("picture.") + kPictureTypes[item->type])));
        EXPECT_FALSE(item->thumbnail.isNull()) << path.toStdString();
        EXPECT_LE(item->thumbnail.width(), 60) << path.toStdString();
        EXPECT_LE(item->thumbnail.height(), 60) << path.toStdString();
        if (isMovieType(item->type)) {
            EXPECT_EQ(item->thumbnail.size(), QSize(60, 60)) << path.toStdString();
        }
        typesSeen.append(kPictureTypes[item->type]);
    }
    const qsizetype seen = typesSeen.size();
    EXPECT_EQ(typesSeen.removeDuplicates(), 0) << seen;

    // Every image is in the one category named after the directory.
    const QByteArray categories = QByteArray::fromStdString(test::readFile(data / "Default.cat"));
    ASSERT_EQ(categories.size(), 2 * 32);
    EXPECT_EQ(categories.mid(32 + 4, 1 + 10), QByteArray("\x0a"
                                                         "every type"));
    EXPECT_EQ(test::readFile(data / "Default.cor").size(), std::size_t(8 * made));

    const CliRun again = runCli(data, "import '" + pictures.string() + "' --dir-names");
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.output.find(std::to_string(made) + " Images already appeared"), std::string::npos) << again.output;
    if (!missing.isEmpty())
        GTEST_SKIP() << "not made, a tool is missing: " << missing.join(", ").toStdString();
}

TEST(ImportCommand, TakesStoredCameraThumbnailsUnlessTheOptionOrTheSettingsTurnThemOff)
{
    if (!test::missingTool(test::kExifTool).isEmpty())
        GTEST_SKIP() << "exiftool is not installed";
    test::ScratchDir scratch;
    fs::create_directories(scratch / "camera");
    ASSERT_EQ(test::writeCameraJpeg(scratch / "camera" / "photo.jpg", QSize(640, 480), QSize(160, 120)), QString());
    const fs::path settings = fs::path(std::getenv("XDG_CONFIG_HOME")) / "Glimmora" / "Glimmora.ini";
    const struct {
        const char* name;
        const char* option;
        const char* setting; // the settings file's EMBEDDEDTHUMBNAILS, if any
        bool taken;
    } runs[] = {
        {"by default", "", nullptr, true},
        {"set on", "", "1", true},
        {"turned off by the option", " --no-embedded-thumbnails", nullptr, false},
        {"turned off in the settings", "", "0", false},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.name);
        fs::remove(settings);
        if (run.setting) {
            fs::create_directories(settings.parent_path());
            test::writeFile(settings, std::string("[IMPORT]\nEMBEDDEDTHUMBNAILS=") + run.setting + "\n");
        }
        const fs::path data = scratch / run.name;
        const CliRun imported = runCli(data, "import '" + (scratch / "camera").string() + "'" + run.option);
        EXPECT_EQ(imported.status, 0) << imported.output << imported.errors;
        const test::StoreFile store = test::readStoreFile(data / "Default.idb");
        ASSERT_EQ(store.items.size(), 1);
        const std::optional<ItemFields> item = readItem(store.items.first().value);
        ASSERT_TRUE(item);
        EXPECT_EQ(item->thumbnail.size(), QSize(60, 45));
        EXPECT_TRUE(test::sameQuadrants(test::quadrantCentres(item->thumbnail),
                                        run.taken ? test::kProbeQuadrants : test::kColourQuadrants, 48))
            << test::describe(test::quadrantCentres(item->thumbnail)).toStdString();
    }
    fs::remove(settings);
}

TEST(ImportCommand, ReportsDamagedPicturesAndEmptyOrMissingDirectories)
{
    test::ScratchDir scratch;
    const fs::path data = scratch / "data";
    fs::create_directories(scratch / "damaged");
    test::writeFile(scratch / "damaged" / "text.png", "not a picture");
    test::writePicture(scratch / "damaged" / "fine.png");
    const CliRun damaged = runCli(data, "import '" + (scratch / "damaged").string() + "' --category Mixed");
    EXPECT_EQ(damaged.status, 1);
    const std::string path = (scratch / "damaged" / "text.png").string();
    EXPECT_NE(damaged.output.find("1 New images were added"), std::string::npos) << damaged.output;
    EXPECT_NE(damaged.output.find("\n" + path + "\n  "), std::string::npos) << damaged.output;
    EXPECT_NE(damaged.output.find("\n \nTotal load errors = 1\n"), std::string::npos) << damaged.output;

    fs::create_directories(scratch / "empty");
    const CliRun empty = runCli(data, "import '" + (scratch / "empty").string() + "'");
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.errors.find("No image files were found in the selected directories."), std::string::npos);

    EXPECT_EQ(runCli(data, "import '" + (scratch / "absent").string() + "'").status, 1);
    for (const char* usage :
         {"import", "import a b", "import a --category x --dir-names", "import a --category", "import a --recursive"})
        EXPECT_EQ(runCli(data, usage).status, 2) << usage;
}

} // namespace
} // namespace glimmora
