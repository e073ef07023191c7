#include "import/MovieFrame.h"
#include "tests/support/Scratch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace glimmora {
namespace {

namespace fs = std::filesystem;

// Movies made with the ffmpeg command once for the whole suite. Each one's first frame is red
// and every later frame blue, so a reader that skips or reorders frames is caught.
class MovieFrame : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = std::make_unique<test::ScratchDir>();
        makeMovie("320x240.avi", "320x240", "-c:v mjpeg -q:v 2");
        makeMovie("100x200.avi", "100x200", "-c:v mpeg4 -q:v 2");
        makeMovie("narrow.avi", "34x18", "-c:v mjpeg -q:v 2");       // rows shorter than swscale's blocks
        makeMovie("square.mov", "64x64", "-c:v mpeg4 -q:v 2 -bf 2"); // frames stored out of display order
        makeMovie("wide-pixels.mov", "320x240", "-c:v mpeg4 -q:v 2", "setsar=2,");
        ffmpeg("-f lavfi -i sine=d=1 -c:a pcm_s16le " + quoted("audio-only.avi"));
        ffmpeg("-f lavfi -i sine=d=1 -c:a aac " + quoted("audio-only.mov"));
    }
    static void TearDownTestSuite() { dir_.reset(); }

    static std::string quoted(const std::string& name) { return "'" + (*dir_ / name).string() + "'"; }

    static void ffmpeg(const std::string& arguments)
    {
        const std::string command = "ffmpeg -hide_banner -loglevel error -y " + arguments;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    static void makeMovie(const std::string& name, const std::string& size, const std::string& codec,
                          const std::string& filters = "")
    {
        ffmpeg("-f lavfi -i color=c=blue:s=" + size + ":r=10:d=1 -vf \"" + filters
               + "drawbox=c=red:t=fill:enable='eq(n\\,0)'\" " + codec + " " + quoted(name));
    }

    static QString path(const std::string& name) { return QString::fromStdString((*dir_ / name).string()); }

    static std::string errorOf(const std::string& name, MovieContainer container)
    {
        try {
            readFirstMovieFrame(path(name), container);
        } catch (const EMovieFrameError& error) {
            return error.what();
        }
        return "(no error)";
    }

    static inline std::unique_ptr<test::ScratchDir> dir_;
};

void expectRed(const QImage& frame)
{
    const QColor centre = frame.pixelColor(frame.width() / 2, frame.height() / 2);
    EXPECT_GT(centre.red(), 200) << centre.name().toStdString();
    EXPECT_LT(centre.blue(), 60) << centre.name().toStdString();
}

TEST_F(MovieFrame, FirstFrameAtNaturalSize)
{
    const struct {
        const char* name;
        MovieContainer container;
        QSize size;
    } cases[] = {
        {"320x240.avi", MovieContainer::Avi, {320, 240}},     {"100x200.avi", MovieContainer::Avi, {100, 200}},
        {"narrow.avi", MovieContainer::Avi, {34, 18}},        {"square.mov", MovieContainer::Mov, {64, 64}},
        {"wide-pixels.mov", MovieContainer::Mov, {640, 240}}, // 2:1 pixels shown as a player shows them
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage frame = readFirstMovieFrame(path(c.name), c.container);
        EXPECT_EQ(frame.size(), c.size);
        EXPECT_EQ(frame.format(), QImage::Format_RGB32);
        expectRed(frame);
    }
}

TEST_F(MovieFrame, AviFailuresCarryTheProgramsTexts)
{
    test::writeFile(*dir_ / "text.avi", "This is not a movie.\n");
    // Only the container header survives: the stream is known but yields no frame.
    const std::string movie = test::readFile(*dir_ / "320x240.avi");
    const size_t data = movie.find("movi");
    ASSERT_NE(data, std::string::npos);
    test::writeFile(*dir_ / "no-frames.avi", movie.substr(0, data + 4));
    // Frame data overwritten with noise.
    std::string noisy = movie;
    for (size_t i = data + 16; i < noisy.size(); ++i)
        noisy[i] = static_cast<char>((i * 7919) >> 3);
    test::writeFile(*dir_ / "noise.avi", noisy);
    // A video stream of a codec nobody knows.
    std::string unknown = movie;
    for (size_t at = unknown.find("MJPG"); at != std::string::npos; at = unknown.find("MJPG", at))
        unknown.replace(at, 4, "QQQQ");
    test::writeFile(*dir_ / "unknown-codec.avi", unknown);

    EXPECT_EQ(errorOf("missing.avi", MovieContainer::Avi), "Unable to open AVI file");
    EXPECT_EQ(errorOf("text.avi", MovieContainer::Avi), "Unable to open AVI file");
    EXPECT_EQ(errorOf("audio-only.avi", MovieContainer::Avi), "Audio file--unsupported");
    EXPECT_EQ(errorOf("unknown-codec.avi", MovieContainer::Avi), "Error on frame open");
    EXPECT_EQ(errorOf("no-frames.avi", MovieContainer::Avi), "Error on AVIBegin");
    const std::string noise = errorOf("noise.avi", MovieContainer::Avi);
    EXPECT_TRUE(noise == "Error on AVIBegin" || noise == "Unable to open AVI file" || noise == "(no error)") << noise;
}

TEST_F(MovieFrame, MovFailuresCarryTheDecodersText)
{
    const std::string missing = errorOf("missing.mov", MovieContainer::Mov);
    EXPECT_NE(missing.find("No such file"), std::string::npos) << missing;
    const std::string audio = errorOf("audio-only.mov", MovieContainer::Mov);
    EXPECT_FALSE(audio.empty());
    EXPECT_NE(audio, "(no error)");
    EXPECT_NE(audio, "Audio file--unsupported");
}

} // namespace
} // namespace glimmora
