#pragma once

// Qt
#include <QColor>
#include <QImage>
#include <QString>

namespace glimmora {

// What the picture control asks of a decode.
struct DecodeRequest {
    int thumbnailSize = 0;          // 0: full size; n > 0: fit into n × n, keeping the aspect ratio
    int jpegQuality = 75;           // below 50 the JPEG decoder may trade accuracy for speed
    QColor background = Qt::white;  // transparent parts of a picture are drawn over this
    bool embeddedThumbnail = false; // a JPEG's thumbnail may be the one its camera stored in it
};

// Decodes the still picture at path with the decoder its extension and content call for, and
// returns it opaque (Format_RGB32), scaled to the thumbnail box when one was asked for.
// Throws EGvboxError with a message for the user when the file cannot be decoded.
QImage decodePicture(const QString& path, const DecodeRequest& request);

// The size a picture of the given size takes in an n × n thumbnail: the longer side becomes n
// and the other keeps the proportion (truncated, at least 1); pictures that already fit keep
// their size.
QSize thumbnailSizeFor(QSize pictureSize, int thumbnailSize);

} // namespace glimmora
