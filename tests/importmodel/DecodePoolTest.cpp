// The decoder processes of an import: their thumbnails are the in-process loader's, a decoder
// that crashes or hangs costs only its file, and without a helper the import decodes in-process.

#include "CatalogFixture.h"

#include "catalog/Scrapbook.h"
#include "TestPictures.h"

#include "import/AddingStep.h"
#include "import/DecodePool.h"
#include "import/DecoderProcess.h"
#include "import/DecoderProtocol.h"
#include "import/FileSearch.h"
#include "import/LoadPicture.h"
#include "picturecontrol/PictureLimits.h"

// Qt
#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace glimmora {
namespace {

namespace fs = std::filesystem;
using test::qpath;

using test::writePicture;

const QString kDecoder = QStringLiteral(GLIMMORA_BIN_DIR "/glimmora-decoder");
const QString kFailingDecoder = QStringLiteral(GLIMMORA_BIN_DIR "/importmodel_failing_decoder");

DecoderSettings decoders(const QString& program, int workers = 2)
{
    DecoderSettings settings;
    settings.program = program;
    settings.workers = workers;
    return settings;
}

void writeSamples(const fs::path& directory)
{
    fs::create_directories(directory);
    const QImage picture = test::quadrantPicture(97, 61, test::kColourQuadrants);
    for (const char* format : {"png", "jpg", "bmp", "ppm", "tif"})
        ASSERT_TRUE(
            picture.convertToFormat(QImage::Format_RGB32).save(qpath(directory / ("q." + std::string(format)))));
    test::writeBytes(directory / "drawing.wmf", test::wmfBytes(picture));
    QImage twoColours(90, 30, QImage::Format_Mono);
    twoColours.setColorTable({qRgb(0, 0, 255), qRgb(0, 160, 0)});
    twoColours.fill(0);
    test::writeBytes(directory / "two-colours.png", test::encodedPicture(twoColours, "PNG"));
    test::writeBytes(directory / "metafile.emf", test::emfBytes(picture));
    test::writeFile(directory / "broken.gif", "GIF89a but nothing more");
}

TEST(DecodePool, ThumbnailsAreThoseOfTheInProcessLoader)
{
    test::ScratchDir scratch;
    writeSamples(scratch.path());
    TDecodePool pool(decoders(kDecoder));
    ASSERT_TRUE(pool.running());
    TLoadPictureModule loader;
    QStringList files;
    for (const fs::directory_entry& entry : fs::directory_iterator(scratch.path()))
        files.append(qpath(entry.path()));
    for (const QString& file : files)
        pool.submit(file);
    for (const QString& file : files) {
        TImageElement record;
        record.IT_Path = pathBytes(file);
        const TVol_Info volume = ReadVolumeInfo(file);
        record.IT_VolumeSerial = volume.serialNumber;
        record.IT_Removable = volume.removable;
        const ThumbnailResult expected = loader.loadThumbnail(file, record);
        const std::optional<ThumbnailResult> decoded = pool.take(file);
        ASSERT_TRUE(decoded) << file.toStdString();
        EXPECT_EQ(decoded->code, expected.code) << file.toStdString();
        EXPECT_EQ(decoded->errorText, expected.errorText) << file.toStdString();
        EXPECT_EQ(decoded->thumbnail, expected.thumbnail) << file.toStdString();
        EXPECT_EQ(decoded->thumbnail.format(), expected.thumbnail.format()) << file.toStdString();
        if (file.endsWith("two-colours.png")) {
            EXPECT_EQ(decoded->thumbnail.pixel(5, 5), qRgb(0, 0, 255));
        }
    }
    EXPECT_EQ(pool.waiting(), 0);
    EXPECT_FALSE(pool.take(files.first()));
}

TEST(DecodePool, DecodersTakeAStoredCameraThumbnailOnlyWhenTheLoaderWould)
{
    if (!test::missingTool(test::kExifTool).isEmpty())
        GTEST_SKIP() << "exiftool is not installed";
    test::ScratchDir scratch;
    const QString file = qpath(scratch / "camera.jpg");
    ASSERT_EQ(test::writeCameraJpeg(scratch / "camera.jpg", QSize(640, 480), QSize(160, 120)), QString());
    for (bool embedded : {true, false}) {
        DecoderSettings settings = decoders(kDecoder, 1);
        settings.embeddedThumbnails = embedded;
        TDecodePool pool(settings);
        ASSERT_TRUE(pool.running());
        pool.submit(file);
        const std::optional<ThumbnailResult> decoded = pool.take(file);
        ASSERT_TRUE(decoded);
        TImageElement record;
        record.IT_Path = pathBytes(file);
        EXPECT_EQ(decoded->thumbnail, TLoadPictureModule(nullptr, embedded).loadThumbnail(file, record).thumbnail);
        EXPECT_TRUE(test::sameQuadrants(test::quadrantCentres(decoded->thumbnail),
                                        embedded ? test::kProbeQuadrants : test::kColourQuadrants, 48))
            << embedded;
    }
}

// Imports one directory into a data directory of its own.
struct Import {
    Import(const fs::path& directory, const fs::path& data, ThumbnailSource& loader, DecoderSettings settings)
        : scrapbook(qpath(data), TScrapbook::Access::ReadWrite)
    {
        TFileSearch search({qpath(directory), CategoryAssignment::DirectoryNames, QString(), true});
        search.Run();
        AddingOptions options;
        options.decoders = std::move(settings);
        step = std::make_unique<TAddingStep>(scrapbook, loader, search.TakeLoadList(), options);
        step->Run();
    }
    TScrapbook scrapbook;
    std::unique_ptr<TAddingStep> step;
};

TEST(DecodePool, AnImportWritesTheSameRecordsWithOrWithoutDecoderProcesses)
{
    test::ScratchDir scratch;
    writeSamples(scratch / "pictures");
    writeSamples(scratch / "pictures" / "again");
    TLoadPictureModule loader;
    fs::create_directories(scratch / "pooled");
    fs::create_directories(scratch / "alone");
    {
        Import pooled(scratch / "pictures", scratch / "pooled", loader, decoders(kDecoder));
        Import alone(scratch / "pictures", scratch / "alone", loader, decoders(QString(), -1));
        EXPECT_EQ(pooled.step->Counters(), alone.step->Counters());
        EXPECT_EQ(pooled.step->Counters().loaded, 16);
        EXPECT_EQ(pooled.step->ErrorLines(), alone.step->ErrorLines());
    }
    const test::StoreFile pooled = test::readStoreFile(scratch / "pooled" / "Default.idb");
    const test::StoreFile alone = test::readStoreFile(scratch / "alone" / "Default.idb");
    ASSERT_EQ(pooled.items.size(), 16);
    EXPECT_EQ(pooled.itemKeysInFileOrder, alone.itemKeysInFileOrder);
    for (const QByteArray& key : alone.items.keys())
        EXPECT_EQ(pooled.items.value(key).value, alone.items.value(key).value) << key.toStdString();
    EXPECT_EQ(test::readFile(scratch / "pooled" / "Default.cor"), test::readFile(scratch / "alone" / "Default.cor"));
}

class FailingDecoders : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(data_);
        for (const char* name : {"a.png", "b.png", "c.png", "d.png", "e.png", "f.png"})
            writePicture(pictures_ / name);
    }

    test::ScratchDir scratch_;
    fs::path pictures_ = scratch_ / "pictures";
    fs::path data_ = scratch_ / "data";
    test::QImageThumbnails inProcess_;
};

TEST_F(FailingDecoders, ACrashCostsOnlyItsFile)
{
    writePicture(pictures_ / "crash-me.png");
    writePicture(pictures_ / "crash-me-too.png");
    Import run(pictures_, data_, inProcess_, decoders(kFailingDecoder));
    EXPECT_EQ(run.step->Counters().loaded, 6);
    ASSERT_EQ(run.step->ErrorCount(), 2);
    const QStringList& lines = run.step->ErrorLines();
    for (int i : {0, 2}) {
        EXPECT_TRUE(lines.at(i).contains("crash-me")) << lines.at(i).toStdString();
        EXPECT_EQ(lines.at(i + 1), "  The picture decoder stopped on this file (signal 11, Segmentation fault).");
    }
    EXPECT_TRUE(inProcess_.loaded.isEmpty()); // the other files all came from the decoders
}

TEST_F(FailingDecoders, AHangCostsOnlyItsFile)
{
    writePicture(pictures_ / "hang-me.png");
    DecoderSettings settings = decoders(kFailingDecoder);
    settings.hangLimit = std::chrono::milliseconds(2000);
    Import run(pictures_, data_, inProcess_, settings);
    EXPECT_EQ(run.step->Counters().loaded, 6);
    EXPECT_EQ(run.step->ErrorLines(),
              (QStringList{qpath(pictures_ / "hang-me.png"),
                           "  The picture decoder took longer than 2 seconds on this file and was stopped.", " ",
                           "Total load errors = 1"}));
}

TEST_F(FailingDecoders, AnAbsentDiskIsLoadedAgainHereToBeExplained)
{
    writePicture(pictures_ / "absent-disk.png");
    Import run(pictures_, data_, inProcess_, decoders(kFailingDecoder));
    EXPECT_EQ(run.step->Counters().loaded, 7);
    EXPECT_EQ(inProcess_.loaded, QStringList{qpath(pictures_ / "absent-disk.png")});
}

TEST_F(FailingDecoders, WithoutTheHelperEveryPictureIsDecodedHere)
{
    EXPECT_FALSE(TDecodePool(decoders(qpath(scratch_ / "no-such-decoder"))).running());
    const fs::path notADecoder = scratch_ / "false";
    fs::create_symlink("/bin/false", notADecoder);
    EXPECT_FALSE(TDecodePool(decoders(qpath(notADecoder))).running());

    Import run(pictures_, data_, inProcess_, decoders(qpath(notADecoder)));
    EXPECT_EQ(run.step->Counters().loaded, 6);
    EXPECT_EQ(inProcess_.loaded.size(), 6);
}

TEST(DecodePool, PicturesOfEveryWidthArriveWholeFromEveryDecoderFamily)
{
    test::ScratchDir scratch;
    const struct {
        const char* extension;
        QByteArray (*writer)(const QImage&);
    } families[] = {
        {"png", [](const QImage& p) { return test::encodedPicture(p, "PNG"); }},
        {"jpg", [](const QImage& p) { return test::encodedPicture(p, "JPEG"); }},
        {"tga", test::tgaBytes},
        {"ppm", test::ppmBytes},
        {"wmf", test::wmfBytes},
    };
    QStringList files;
    for (const auto& family : families)
        for (int width = 1; width <= 70; ++width) {
            const fs::path file = scratch / (std::to_string(width) + "." + family.extension);
            test::writeBytes(file, family.writer(test::quadrantPicture(width, 3, test::kColourQuadrants)));
            files.append(qpath(file));
        }
    TDecodePool pool(decoders(kDecoder));
    ASSERT_TRUE(pool.running());
    for (const QString& file : files)
        pool.submit(file);
    TLoadPictureModule loader;
    for (const QString& file : files) {
        TImageElement record;
        record.IT_Path = pathBytes(file);
        const ThumbnailResult expected = loader.loadThumbnail(file, record);
        const std::optional<ThumbnailResult> decoded = pool.take(file);
        ASSERT_TRUE(decoded) << file.toStdString();
        EXPECT_EQ(decoded->code, kLoadLoaded) << file.toStdString() << ": " << decoded->errorText.toStdString();
        EXPECT_EQ(decoded->thumbnail, expected.thumbnail) << file.toStdString();
    }
}

TEST(DecodePool, RunsNoMoreDecodersThanTheAvailableMemoryHolds)
{
    constexpr qint64 kGiB = 1024LL * 1024 * 1024;
    const struct {
        int cores;
        qint64 available;
        int decoders;
    } cases[] = {
        {2, 24 * kGiB, 2}, {64, 16 * kGiB, 16 * kGiB / picturelimits::kDecoderProcessBytes}, {8, kGiB, 1}, {4, 0, 1},
        {0, 24 * kGiB, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decoderCountFor(c.cores, c.available), c.decoders) << c.cores << " cores, " << c.available;
}

// The processes whose parent is `parent`.
QList<pid_t> childrenOf(pid_t parent)
{
    QList<pid_t> children;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string pid, name, state;
        pid_t ppid = 0;
        // The name is in parentheses and holds no spaces for our programs.
        if (stat >> pid >> name >> state >> ppid && ppid == parent)
            children.append(pid_t(std::stol(pid)));
    }
    return children;
}

bool ended(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string number, name, state;
    return !(stat >> number >> name >> state) || state == "Z";
}

TEST(DecodePool, DecodersEndWithTheProgramEvenWhenItIsKilled)
{
    test::ScratchDir scratch;
    writePicture(scratch / "hang-me.png");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t program = ::fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        TDecodePool pool(decoders(kFailingDecoder));
        pool.submit(qpath(scratch / "hang-me.png"));
        const char running = pool.running() ? '1' : '0';
        (void)!::write(ready[1], &running, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char running = 0;
    ASSERT_EQ(::read(ready[0], &running, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(running, '1');
    const QList<pid_t> workers = childrenOf(program);
    EXPECT_EQ(workers.size(), 2);

    ::kill(program, SIGKILL);
    ::waitpid(program, nullptr, 0);
    for (const pid_t worker : workers) {
        bool gone = false;
        for (int i = 0; i < 300 && !gone; ++i) {
            gone = ended(worker);
            if (!gone)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        EXPECT_TRUE(gone) << "decoder " << worker << " outlived its program";
    }
}

TEST(DecodePool, ADecoderStuckOnAFileEndsItselfAfterItsTimeLimit)
{
    EXPECT_EQ(decoder_process::timeLimitFor(std::chrono::milliseconds(30000)), std::chrono::seconds(60));
    EXPECT_EQ(decoder_process::timeLimitFor(std::chrono::milliseconds(200)), std::chrono::seconds(1));

    QProcess decoder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(decoder_process::kTimeLimitVariable, "1");
    decoder.setProcessEnvironment(environment);
    decoder.start(kFailingDecoder, {});
    ASSERT_TRUE(decoder.waitForStarted());
    decoder.write(decoder_protocol::frame(decoder_protocol::encodeRequest("/pictures/hang-me.png")));
    // Its standard input stays open: only the time limit can end it.
    EXPECT_TRUE(decoder.waitForFinished(60000));
    EXPECT_EQ(decoder.exitStatus(), QProcess::CrashExit);
}

TEST(DecoderProtocol, PicturesArriveWholeWhateverTheirRowPadding)
{
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_Indexed8, QImage::Format_Mono}) {
        for (const int width : {1, 3, 7, 33}) {
            // Rows of 192 bytes whatever the width, as FFmpeg pads its frames' rows.
            std::vector<uchar> memory(192 * 5, 0xAB);
            QImage padded(memory.data(), width, 5, 192, format);
            if (padded.depth() <= 8)
                padded.setColorTable({qRgb(0, 0, 255), qRgb(0, 160, 0)});
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < width; ++x)
                    padded.setPixel(x, y, padded.depth() == 32 ? qRgb(x * 7, y * 40, 9) : uint((x + y) % 2));
            const std::optional<ThumbnailResult> back =
                decoder_protocol::decodeReply(decoder_protocol::encodeReply({kLoadLoaded, padded, QString()}));
            ASSERT_TRUE(back) << format << " " << width;
            EXPECT_EQ(back->thumbnail, padded) << format << " " << width;
        }
    }
}

TEST(DecoderProtocol, RefusesRepliesThatDoNotFollowTheLayout)
{
    ThumbnailResult result{kLoadLoaded, test::quadrantPicture(30, 20, test::kColourQuadrants), QString()};
    const QByteArray good = decoder_protocol::encodeReply(result);
    const std::optional<ThumbnailResult> back = decoder_protocol::decodeReply(good);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->thumbnail, result.thumbnail);
    EXPECT_EQ(back->thumbnail.colorTable(), result.thumbnail.colorTable());

    QByteArray hugeWidth = good;
    hugeWidth[12 + 4] = char(0x7F); // the width's low bytes
    hugeWidth[12 + 7] = char(0x7F);
    QByteArray noDensity = good;
    noDensity.replace(12 + 16, 4, QByteArray(4, 0)); // dots per metre down
    const QByteArray colouredTrueColour =
        decoder_protocol::encodeReply({kLoadLoaded, result.thumbnail.convertToFormat(QImage::Format_RGB32), QString()});
    QByteArray paletteOnTrueColour = colouredTrueColour;
    paletteOnTrueColour.replace(12 + 20, 4, QByteArray::fromHex("01000000")); // the colour count
    paletteOnTrueColour.insert(12 + 24, QByteArray(4, '\xFF'));
    QImage pastTheTable = result.thumbnail;
    pastTheTable.scanLine(0)[0] = 200; // the table has four colours
    const QByteArray colourPastTheTable = decoder_protocol::encodeReply({kLoadLoaded, pastTheTable, QString()});
    for (const QByteArray& bad : {good.left(good.size() - 1), good + 'x', QByteArray(3, 0), hugeWidth, noDensity,
                                  paletteOnTrueColour, colourPastTheTable, QByteArray::fromHex("01000000ffffffff")})
        EXPECT_FALSE(decoder_protocol::decodeReply(bad)) << bad.toHex().left(40).toStdString();

    QByteArray stream = decoder_protocol::frame("abc") + decoder_protocol::frame("de").left(5);
    EXPECT_EQ(decoder_protocol::takeFrame(stream), QByteArray("abc"));
    EXPECT_FALSE(decoder_protocol::takeFrame(stream));
    QByteArray endless = QByteArray::fromHex("ffffff7f");
    EXPECT_THROW(decoder_protocol::takeFrame(endless), std::runtime_error);
}

} // namespace
} // namespace glimmora
