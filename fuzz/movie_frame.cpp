// Feeds arbitrary bytes to the movie reader as an avi or a mov file (the first byte's lowest bit
// chooses); the rest is the file. The reader is walked as the detail window's player walks it:
// forward, back, to the last frame and to the first. Whatever the bytes, each step gives a frame
// of the natural size it promises, no frame, or an error with a text.
#include "import/MovieFrame.h"

// Qt
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>

namespace {

void checkFrame(const QImage& frame)
{
    if (frame.isNull())
        return;
    if (frame.format() != QImage::Format_RGB32)
        std::abort();
    if (frame.width() > glimmora::MovieFrameLimits::maxSide || frame.height() > glimmora::MovieFrameLimits::maxSide)
        std::abort();
}

void walk(glimmora::TMovieReader& movie)
{
    if (movie.currentFrame().isNull())
        std::abort(); // an opened movie always shows its first frame
    for (int step = 0; step < 4; ++step)
        checkFrame(movie.nextFrame());
    for (int step = 0; step < 2; ++step)
        checkFrame(movie.previousFrame());
    checkFrame(movie.lastFrame());
    checkFrame(movie.previousFrame());
    checkFrame(movie.firstFrame());
}

QString inputPath(glimmora::MovieContainer container)
{
    static const QString directory = [] {
        const QString path =
            QDir::tempPath() + QStringLiteral("/fuzz-movie-frame-%1").arg(QCoreApplication::applicationPid());
        QDir().mkpath(path);
        return path;
    }();
    return directory
           + (container == glimmora::MovieContainer::Avi ? QStringLiteral("/input.avi") : QStringLiteral("/input.mov"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const auto container = data[0] & 1 ? glimmora::MovieContainer::Mov : glimmora::MovieContainer::Avi;
    const QString path = inputPath(container);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char*>(data + 1), qint64(size - 1));
    file.close();
    try {
        glimmora::TMovieReader movie(path, container);
        walk(movie);
    } catch (const glimmora::EMovieFrameError& error) {
        if (!*error.what())
            std::abort(); // every failure has a text for the error list
    }
    QFile::remove(path);
    return 0;
}
