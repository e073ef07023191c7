#include "import/LoadPicture.h"

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"
#include "catalog/Volume.h"
#include "picturecontrol/GvboxCtrl.h"
#include "platform/MessageService.h"

#include "Scratch.h"
#include "TestPictures.h"

// Qt
#include <QImage>

#include <gtest/gtest.h>

namespace glimmora {
namespace {

class PictureLoading : public testing::Test {
protected:
    QString picture(const char* name, QSize size)
    {
        const QString path = test::qPath(scratch_ / name);
        test::quadrantPicture(size.width(), size.height(), test::kColourQuadrants).save(path);
        return path;
    }

    QString textFile(const char* name)
    {
        const QString path = test::qPath(scratch_ / name);
        test::writeBytes(scratch_ / name, "Just words.\n");
        return path;
    }

    // A record made for the path as FindOrAddImage makes it, on the volume the path is on.
    static TImageElement recordFor(const QString& path)
    {
        TImageElement record;
        record.IT_Path = pathBytes(path);
        const TVol_Info volume = ReadVolumeInfo(path);
        record.IT_VolumeSerial = volume.serialNumber;
        record.IT_Removable = volume.removable;
        return record;
    }

    // A record whose file lies on a removable disk that is not in its drive (so the file is
    // not there either).
    static TImageElement recordOnAbsentDisk(const QString& path)
    {
        TImageElement record = recordFor(path);
        record.IT_Removable = true;
        record.IT_VolumeSerial = VolumeSerialOf(path) ^ 0x00010001u;
        return record;
    }

    test::ScratchDir scratch_;
    TLoadPictureModule loader_;
    QImage loaded_;
    QString errorText_;
};

TEST_F(PictureLoading, StillsLoadAtFullSizeAndAsThumbnailsThatFitInSixtyPixels)
{
    const QString path = picture("wide.png", QSize(200, 100));
    EXPECT_EQ(loader_.LoadFullSize(path, loaded_, nullptr, false, errorText_), kLoadLoaded);
    EXPECT_EQ(loaded_.size(), QSize(200, 100));
    EXPECT_TRUE(errorText_.isEmpty());
    EXPECT_EQ(loader_.Gvbox().Thumbnail(), 0);
    EXPECT_EQ(loader_.Gvbox().Appearance(), 0);

    EXPECT_EQ(loader_.LoadThumbnail(path, loaded_, nullptr, true, errorText_), kLoadLoaded);
    EXPECT_EQ(loaded_.size(), QSize(60, 30));
    EXPECT_TRUE(test::sameQuadrants(test::quadrantCentres(loaded_), test::kColourQuadrants, 24));
    EXPECT_EQ(loader_.Gvbox().Thumbnail(), 60);
    EXPECT_EQ(loader_.Gvbox().Appearance(), 1);
    EXPECT_TRUE(loader_.Gvbox().FileName().isEmpty()); // the control let go of the file
}

TEST_F(PictureLoading, CameraThumbnailsAreTheStoredOnesUnlessTurnedOffAndFullSizeIsAlwaysThePicture)
{
    if (!test::missingTool(test::kExifTool).isEmpty())
        GTEST_SKIP() << "exiftool is not installed";
    const auto file = scratch_ / "camera.jpg";
    ASSERT_EQ(test::writeCameraJpeg(file, QSize(640, 480), QSize(160, 120)), QString());
    const QString path = test::qPath(file);
    TLoadPictureModule decoding(nullptr, false);
    for (TLoadPictureModule* loader : {&loader_, &decoding}) {
        EXPECT_EQ(loader->LoadThumbnail(path, loaded_, nullptr, true, errorText_), kLoadLoaded);
        EXPECT_EQ(loaded_.size(), QSize(60, 45));
        const test::Quadrants expected = loader == &loader_ ? test::kProbeQuadrants : test::kColourQuadrants;
        EXPECT_TRUE(test::sameQuadrants(test::quadrantCentres(loaded_), expected, 48))
            << test::describe(test::quadrantCentres(loaded_)).toStdString();

        EXPECT_EQ(loader->LoadFullSize(path, loaded_, nullptr, false, errorText_), kLoadLoaded);
        EXPECT_EQ(loaded_.size(), QSize(640, 480));
        EXPECT_TRUE(test::sameQuadrants(test::quadrantCentres(loaded_), test::kColourQuadrants, 48));
    }
}

TEST_F(PictureLoading, UndecodableFileFailsWithTheDecodersMessage)
{
    const QString path = textFile("letter.bmp");
    QString decoderMessage;
    try {
        TGvboxCtrl control;
        control.setFileName(path);
    } catch (const EGvboxError& error) {
        decoderMessage = error.message();
    }
    ASSERT_FALSE(decoderMessage.isEmpty());

    const TImageElement record = recordFor(path);
    EXPECT_EQ(loader_.LoadThumbnail(path, loaded_, &record, true, errorText_), kLoadFailed);
    EXPECT_EQ(errorText_.toStdString(), decoderMessage.toStdString());
    EXPECT_EQ(loader_.LoadFullSize(path, loaded_, nullptr, false, errorText_), kLoadFailed);
    EXPECT_EQ(errorText_.toStdString(), decoderMessage.toStdString());
}

TEST_F(PictureLoading, TheLongExtensionsLoadAsTheirThreeLetterTypes)
{
    for (const char* name : {"photo.jpeg", "scan.TIFF"}) {
        const QString path = picture(name, QSize(80, 40));
        EXPECT_EQ(loader_.LoadThumbnail(path, loaded_, nullptr, true, errorText_), kLoadLoaded) << name;
        EXPECT_EQ(loaded_.size(), QSize(60, 30)) << name;
    }
}

TEST_F(PictureLoading, UnknownExtensionIsNotLoadedAndSaysNothing)
{
    const QString path = picture("picture.webp", QSize(10, 10)); // "webp" is not in the type table
    loaded_ = QImage(5, 5, QImage::Format_RGB32);
    EXPECT_EQ(loader_.LoadFullSize(path, loaded_, nullptr, false, errorText_), kLoadGivenUp);
    EXPECT_TRUE(errorText_.isEmpty());
    EXPECT_EQ(loaded_.size(), QSize(5, 5));
    EXPECT_EQ(loader_.LoadThumbnail(test::qPath(scratch_ / "no-extension"), loaded_, nullptr, true, errorText_),
              kLoadGivenUp);
}

TEST_F(PictureLoading, MissingFileOnAFixedDiskIsNoLongerOnDisk)
{
    const QString path = test::qPath(scratch_ / "gone.png");
    TImageElement record = recordFor(path);
    record.IT_Removable = false;
    ScopedScriptedMessages messages;
    EXPECT_EQ(loader_.LoadFullSize(path, loaded_, &record, false, errorText_), kLoadFailed);
    EXPECT_EQ(errorText_.toStdString(), "File " + path.toStdString() + " is no longer on disk.");
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(PictureLoading, AbsentRemovableDiskPromptsUnlessSilent)
{
    const QString path = test::qPath(scratch_ / "on-the-absent-disk.png");
    const TImageElement record = recordOnAbsentDisk(path);
    const QString diskText = QStringLiteral("File ") + path + QStringLiteral(" is on ");

    ScopedScriptedMessages messages;
    messages.answer(MessageButton::Retry);
    messages.answer(MessageButton::Cancel);
    EXPECT_EQ(loader_.LoadFullSize(path, loaded_, &record, false, errorText_), kLoadRetry);
    EXPECT_EQ(loader_.LoadFullSize(path, loaded_, &record, false, errorText_), kLoadGivenUp);
    ASSERT_EQ(messages.shown().size(), 2);
    EXPECT_TRUE(messages.texts().at(0).startsWith(diskText));
    EXPECT_TRUE(messages.texts().at(0).endsWith(QStringLiteral("\r\rInsert this disk and click Retry.")));
    EXPECT_EQ(messages.shown().at(0).message.buttons, MessageButton::Retry | MessageButton::Cancel);

    messages.clear();
    EXPECT_EQ(loader_.LoadThumbnail(path, loaded_, &record, true, errorText_), kLoadGivenUp);
    EXPECT_TRUE(errorText_.startsWith(diskText));
    EXPECT_FALSE(errorText_.contains(QStringLiteral("Insert this disk")));
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(PictureLoading, FullSizeCallersLoadAgainWhileTheUserChoosesRetry)
{
    const QString path = test::qPath(scratch_ / "on-the-absent-disk.png");
    const TImageElement record = recordOnAbsentDisk(path);
    ScopedScriptedMessages messages;
    messages.answer(MessageButton::Retry);
    messages.answer(MessageButton::Retry);
    messages.answer(MessageButton::Cancel);
    EXPECT_EQ(loader_.LoadFullSizeRetrying(path, loaded_, &record, errorText_), kLoadGivenUp);
    EXPECT_EQ(messages.shown().size(), 3);
}

TEST_F(PictureLoading, NewRecordsGetTheThumbnailModeBitmap)
{
    const QString path = picture("tall.png", QSize(90, 180));
    TCorrespondences memberships(test::qPath(scratch_ / "Default.cor"));
    TCategories categories(test::qPath(scratch_ / "Default.cat"), memberships);
    TImageElementForm images(test::qPath(scratch_ / "Default.idb"), categories);

    const FindOrAddResult added = images.FindOrAddImage(path, loader_);
    ASSERT_TRUE(added.record) << added.errorText.toStdString();
    EXPECT_TRUE(added.added);
    EXPECT_EQ(added.record->IT_Bitmap.size(), QSize(30, 60));

    const FindOrAddResult failed = images.FindOrAddImage(textFile("letter.png"), loader_);
    EXPECT_FALSE(failed.record);
    EXPECT_FALSE(failed.errorText.isEmpty());
    images.EndImagePass();
}

// Movies made by ffmpeg: a red picture of the given size for one second.
class MovieLoading : public PictureLoading {
protected:
    QString movie(const char* name, QSize size)
    {
        if (!test::missingTool(QStringLiteral("ffmpeg")).isEmpty())
            return QString();
        const QString path = test::qPath(scratch_ / name);
        const QString failure = test::runCommand(
            QStringLiteral("ffmpeg -v error -f lavfi -i color=c=red:s=%1x%2:d=1:r=5 -c:v mjpeg -q:v 2 -y %3")
                .arg(size.width())
                .arg(size.height())
                .arg(path));
        EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
        return path;
    }

    // Whether the thumbnail is red inside the rectangle (a pixel in from its edges) and white
    // outside it (a pixel out).
    static bool placedAt(const QImage& thumbnail, const QRect& frame)
    {
        auto red = [&](int x, int y) {
            return qRed(thumbnail.pixel(x, y)) > 200 && qGreen(thumbnail.pixel(x, y)) < 60;
        };
        auto white = [&](int x, int y) { return thumbnail.pixel(x, y) == qRgb(255, 255, 255); };
        const QRect inside = frame.adjusted(1, 1, -1, -1);
        const QRect outside = frame.adjusted(-1, -1, 1, 1);
        const bool redInside = red(inside.left(), inside.top()) && red(inside.right(), inside.bottom());
        const bool whiteOutside = (outside.left() < 0 || white(outside.left(), frame.center().y()))
                                  && (outside.top() < 0 || white(frame.center().x(), outside.top()))
                                  && (outside.right() > 59 || white(outside.right(), frame.center().y()))
                                  && (outside.bottom() > 59 || white(frame.center().x(), outside.bottom()));
        return redInside && whiteOutside;
    }
};

TEST_F(MovieLoading, ThumbnailsPlaceTheFirstFrameInAWhiteSquare)
{
    struct Case {
        const char* name;
        QSize size;
        QRect frame;
    };
    const Case cases[] = {
        {"wide.avi", {320, 240}, {0, 7, 60, 45}},
        {"tall.mov", {100, 200}, {15, 0, 30, 60}},
        {"square.avi", {200, 200}, {0, 0, 60, 60}},
    };
    for (const Case& c : cases) {
        const QString path = movie(c.name, c.size);
        if (path.isEmpty())
            GTEST_SKIP() << "ffmpeg is not installed";
        ASSERT_EQ(loader_.LoadThumbnail(path, loaded_, nullptr, true, errorText_), kLoadLoaded)
            << c.name << ": " << errorText_.toStdString();
        EXPECT_EQ(loaded_.size(), QSize(60, 60)) << c.name;
        EXPECT_TRUE(placedAt(loaded_, c.frame)) << c.name;

        ASSERT_EQ(loader_.LoadFullSize(path, loaded_, nullptr, false, errorText_), kLoadLoaded) << c.name;
        EXPECT_EQ(loaded_.size(), c.size) << c.name;
    }
}

TEST_F(MovieLoading, AviWithoutVideoIsAnAudioFile)
{
    if (!test::missingTool(QStringLiteral("ffmpeg")).isEmpty())
        GTEST_SKIP() << "ffmpeg is not installed";
    const QString path = test::qPath(scratch_ / "sound.avi");
    const QString failure =
        test::runCommand(QStringLiteral("ffmpeg -v error -f lavfi -i sine=d=0.5 -c:a pcm_s16le -y %1").arg(path));
    ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
    EXPECT_EQ(loader_.LoadThumbnail(path, loaded_, nullptr, true, errorText_), kLoadFailed);
    EXPECT_EQ(errorText_.toStdString(), "Audio file--unsupported");
}

} // namespace
} // namespace glimmora
