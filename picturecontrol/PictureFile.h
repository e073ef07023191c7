#pragma once

// Qt
#include <QByteArray>
#include <QSize>
#include <QString>

#include <cstdio>
#include <memory>

namespace glimmora {

// The whole file, for decoders that work on memory. Throws EGvboxError when it cannot be read
// or is larger than any picture we show.
QByteArray readPictureFile(const QString& path);

struct PictureStreamClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using PictureStream = std::unique_ptr<std::FILE, PictureStreamClose>;

// The file open for a decoder that reads it as it goes, so that only what is needed is read.
// Throws EGvboxError when it cannot be opened.
PictureStream openPictureStream(const QString& path);

// Its first bytes, for telling types apart by content (fewer when the file is shorter).
QByteArray readPictureHead(const QString& path, qint64 count);

// Throws EGvboxError when a picture of this size may not be decoded whole.
void checkPictureSize(QSize size);

// Throws EGvboxError, naming the picture's size, when decoding it would hold more working
// memory than any decode may (picturelimits::kMaxDecodeBytes), however small its result.
void checkDecodeMemory(QSize size, qint64 workingBytes);

// Throws EGvboxError naming the picture's size as too large.
[[noreturn]] void refuseAsTooLarge(QSize size);

} // namespace glimmora
