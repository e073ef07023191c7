#pragma once

// Qt
#include <QImage>
#include <QString>

#include <memory>
#include <stdexcept>

namespace glimmora {

// Raised when no frame can be read from a movie; what() is the text for the load-error
// handler (UTF-8).
class EMovieFrameError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class MovieContainer { Avi, Mov };

// Limits that keep a damaged or hostile movie from hanging or exhausting the program.
struct MovieFrameLimits {
    static constexpr int maxSide = 8192;            // larger frames are refused
    static constexpr int decodeMilliseconds = 5000; // time allowed to find a frame
    static constexpr int maxPackets = 2000;         // packets read for one frame before giving up
};

// The first displayed frame of an avi or mov file, decoded with FFmpeg, as an RGB32 image at
// the movie's natural size: the coded size with the sample aspect ratio applied (the width is
// stretched or narrowed so the picture looks as a player shows it) and the container's rotation
// applied. Throws EMovieFrameError.
//
// avi failures carry the texts the program has always shown:
//   "Unable to open AVI file"  the file cannot be opened or its container read;
//   "Audio file--unsupported"  the file holds no video stream;
//   "Error on frame open"      no decoder can be opened for the video stream;
//   "Error on AVIBegin"        the stream yields no frame (damaged data, time or packet limit).
// mov failures carry FFmpeg's own error text.
QImage readFirstMovieFrame(const QString& path, MovieContainer container);

// A movie read frame by frame, for a player: forward, back, to the first and to the last frame,
// each frame as readFirstMovieFrame gives the first. Going back decodes from the nearest key
// frame before the frame wanted (from the start where seeking fails, or for a movie without
// timestamps). Opening and every move throw EMovieFrameError for damaged data, with the texts
// of readFirstMovieFrame.
class TMovieReader {
public:
    // Opens the movie and reads its first frame, which is then current.
    TMovieReader(const QString& path, MovieContainer container);
    ~TMovieReader();
    TMovieReader(const TMovieReader&) = delete;
    TMovieReader& operator=(const TMovieReader&) = delete;

    const QImage& currentFrame() const;

    // Each move makes another frame current and returns it, or returns a null image and stays
    // where it is when there is no frame that way.
    QImage nextFrame();
    QImage previousFrame();
    QImage firstFrame();
    QImage lastFrame();

    bool atFirstFrame() const;
    // How many frames a second a player shows (25 when the movie does not say).
    double framesPerSecond() const;

private:
    struct Movie;
    std::unique_ptr<Movie> movie_;
};

} // namespace glimmora
