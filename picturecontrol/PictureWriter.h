#pragma once

// Qt
#include <QImage>
#include <QString>

#include <stdexcept>

namespace glimmora {

// The formats a picture can be converted into.
enum class PictureFileFormat { Bitmap, Jpeg, WindowsMetafile, EnhancedMetafile, Gif };

// Raised when a picture file cannot be written; the message says why, for the user.
class EPictureWriteError : public std::runtime_error {
public:
    explicit EPictureWriteError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// Writes the picture as a file of the format, whole or not at all: it goes to a temporary file
// in the same directory, which replaces `path` only once it is complete, so that a full disk or
// any other failure leaves neither a partial file nor a damaged earlier one.
void writePictureFile(const QImage& picture, PictureFileFormat format, const QString& path);

} // namespace glimmora
