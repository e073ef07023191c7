// Feeds arbitrary bytes to the movie reader as an avi or a mov file (the first byte's lowest bit
// chooses); the rest is the file. Whatever the bytes, the reader gives a frame of the natural
// size it promises or an error with a text.
#include "import/MovieFrame.h"

// Qt
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>

namespace {

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
        const QImage frame = glimmora::readFirstMovieFrame(path, container);
        if (frame.isNull() || frame.format() != QImage::Format_RGB32)
            std::abort();
        if (frame.width() > glimmora::MovieFrameLimits::maxSide || frame.height() > glimmora::MovieFrameLimits::maxSide)
            std::abort();
    } catch (const glimmora::EMovieFrameError& error) {
        if (!*error.what())
            std::abort(); // every failure has a text for the error list
    }
    QFile::remove(path);
    return 0;
}
