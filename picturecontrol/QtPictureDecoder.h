#pragma once

// Qt
#include <QByteArray>
#include <QImage>
#include <QString>

namespace glimmora {

// Decodes with Qt's image reader for the named format only (no guessing from content), after
// checking the size its header gives. With a positive thumbnailSize, readers that can scale
// while reading return the thumbnail itself.
QImage decodeWithQt(const QString& path, const QByteArray& format, int thumbnailSize, int jpegQuality);

} // namespace glimmora
