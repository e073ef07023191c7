#include "import/MovieFrame.h"
#include "tests/support/Scratch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

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
        // Twenty frames whose grey level tells their number (ten levels a frame).
        const std::string counting =
            "-f lavfi -i color=c=black:s=64x48:r=10:d=2 -vf \"geq=lum='16+N*10':cb=128:cr=128\" ";
        ffmpeg(counting + "-c:v mjpeg -q:v 2 " + quoted("counting.avi"));
        ffmpeg(counting + "-c:v mpeg4 -q:v 2 -g 6 -bf 2 " + quoted("counting.mov")); // key frames apart, reordered
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

int greyOf(const QImage& frame) { return qGray(frame.pixel(frame.width() / 2, frame.height() / 2)); }

// The greys of a counting movie's frames, read straight through, each darker than the next.
QList<int> greysInOrder(const QString& path, MovieContainer container)
{
    TMovieReader movie(path, container);
    QList<int> greys{greyOf(movie.currentFrame())};
    for (QImage frame = movie.nextFrame(); !frame.isNull(); frame = movie.nextFrame())
        greys.append(greyOf(frame));
    return greys;
}

// The number of the frame whose grey is nearest; -1 for no frame.
int frameNumber(const QList<int>& greys, const QImage& frame)
{
    if (frame.isNull())
        return -1;
    int nearest = 0;
    for (int i = 1; i < greys.size(); ++i)
        if (std::abs(greys[i] - greyOf(frame)) < std::abs(greys[nearest] - greyOf(frame)))
            nearest = i;
    return nearest;
}

TEST_F(MovieFrame, APlayerStepsForwardAndBackAndToEitherEnd)
{
    for (const auto& [name, container] :
         {std::pair{"counting.avi", MovieContainer::Avi}, std::pair{"counting.mov", MovieContainer::Mov}}) {
        SCOPED_TRACE(name);
        const QList<int> greys = greysInOrder(path(name), container);
        ASSERT_EQ(greys.size(), 20);
        for (int i = 1; i < greys.size(); ++i)
            ASSERT_GT(greys[i], greys[i - 1] + 4) << "frame " << i;
        const auto frameNumber = [&greys](const QImage& frame) { return glimmora::frameNumber(greys, frame); };

        TMovieReader movie(path(name), container);
        EXPECT_EQ(frameNumber(movie.currentFrame()), 0);
        EXPECT_TRUE(movie.atFirstFrame());
        EXPECT_TRUE(movie.previousFrame().isNull()) << "nothing before the first frame";
        for (int expected = 1; expected <= 8; ++expected)
            EXPECT_EQ(frameNumber(movie.nextFrame()), expected);
        for (int expected = 7; expected >= 0; --expected)
            EXPECT_EQ(frameNumber(movie.previousFrame()), expected);
        EXPECT_TRUE(movie.atFirstFrame());
        EXPECT_EQ(frameNumber(movie.nextFrame()), 1) << "forward again after going back";

        EXPECT_EQ(frameNumber(movie.lastFrame()), 19);
        EXPECT_TRUE(movie.nextFrame().isNull()) << "nothing after the last frame";
        EXPECT_EQ(frameNumber(movie.currentFrame()), 19);
        EXPECT_EQ(frameNumber(movie.previousFrame()), 18);
        EXPECT_EQ(frameNumber(movie.nextFrame()), 19);
        EXPECT_EQ(frameNumber(movie.firstFrame()), 0);
        EXPECT_EQ(frameNumber(movie.nextFrame()), 1);
        EXPECT_DOUBLE_EQ(movie.framesPerSecond(), 10);
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

// Counts the times a file is opened while the object lives.
class OpenWatch {
public:
    explicit OpenWatch(const fs::path& file)
        : fd_(inotify_init1(IN_NONBLOCK)),
          watch_(inotify_add_watch(fd_, file.c_str(), IN_OPEN))
    {}
    ~OpenWatch() { ::close(fd_); }
    bool valid() const { return fd_ >= 0 && watch_ >= 0; }
    int opens() const
    {
        alignas(inotify_event) char events[4096];
        int count = 0;
        for (ssize_t got; (got = ::read(fd_, events, sizeof events)) > 0;)
            for (char* at = events; at < events + got;
                 at += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(at)->len)
                ++count;
        return count;
    }

private:
    int fd_;
    int watch_;
};

// Standard error redirected to a file while the object lives.
class CapturedStandardError {
public:
    explicit CapturedStandardError(const fs::path& file) : saved_(::dup(STDERR_FILENO)), file_(file)
    {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~CapturedStandardError() { restore(); }
    std::string text()
    {
        restore();
        return test::readFile(file_);
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }
    int saved_;
    fs::path file_;
};

TEST_F(MovieFrame, PlaylistsAndConcatListsNamedLikeMoviesAreRefusedWithoutOpeningWhatTheyName)
{
    const fs::path secret = *dir_ / "secret.mov";
    fs::copy_file(*dir_ / "square.mov", secret, fs::copy_options::overwrite_existing);
    const std::string url = "file://" + secret.string();
    const std::string playlist =
        "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\n" + url + "\n#EXT-X-ENDLIST\n";
    const std::string concat = "ffconcat version 1.0\nfile '" + secret.string() + "'\n";
    for (const std::string name : {"playlist.avi", "playlist.mov", "concat.avi", "concat.mov"})
        test::writeFile(*dir_ / name, name.starts_with("playlist") ? playlist : concat);
    // Not what their names say, though each a good movie of the other container.
    fs::copy_file(*dir_ / "square.mov", *dir_ / "quicktime.avi", fs::copy_options::overwrite_existing);
    fs::copy_file(*dir_ / "320x240.avi", *dir_ / "riff.mov", fs::copy_options::overwrite_existing);

    const OpenWatch watch(secret);
    ASSERT_TRUE(watch.valid());
    for (const char* name : {"playlist.avi", "concat.avi", "quicktime.avi"})
        EXPECT_EQ(errorOf(name, MovieContainer::Avi), "Unable to open AVI file") << name;
    for (const char* name : {"playlist.mov", "concat.mov", "riff.mov"}) {
        const std::string error = errorOf(name, MovieContainer::Mov);
        EXPECT_NE(error, "(no error)") << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    EXPECT_EQ(watch.opens(), 0) << "the file a playlist names was opened";
}

TEST_F(MovieFrame, NothingIsWrittenToTheTerminal)
{
    const std::string movie = test::readFile(*dir_ / "320x240.avi");
    std::string damaged = movie;
    for (size_t i = movie.find("movi") + 16; i < damaged.size(); i += 3)
        damaged[i] = static_cast<char>(i * 31);
    test::writeFile(*dir_ / "damaged.avi", damaged);
    test::writeFile(*dir_ / "damaged.mov", movie.substr(0, movie.size() / 2));
    test::writeFile(*dir_ / "list.avi", "#EXTM3U\n#EXTINF:1.0,\nfile:///nonexistent.mov\n");

    CapturedStandardError captured(*dir_ / "stderr.txt");
    errorOf("damaged.avi", MovieContainer::Avi);
    errorOf("damaged.mov", MovieContainer::Mov);
    errorOf("list.avi", MovieContainer::Avi);
    EXPECT_EQ(captured.text(), "");
}

} // namespace
} // namespace glimmora
