#pragma once

#include "catalog/ImageElement.h"

// Qt
#include <QImage>
#include <QString>

namespace glimmora {

// Result codes of a picture load, shared by the loader and the volume checks.
enum LoadResultCode : int {
    kLoadLoaded = 1,  // the picture (or thumbnail) is there
    kLoadGivenUp = 2, // not loaded: given up quietly or cancelled by the user
    kLoadRetry = 4,   // the user asked to try again (the disk was inserted)
    kLoadFailed = 7,  // failed; the error text says why
};

struct ThumbnailResult {
    int code = kLoadFailed;
    QImage thumbnail; // at most 60 x 60 pixels when code is kLoadLoaded
    QString errorText;
};

// Makes the thumbnail of a picture file for a new image record. The picture loader implements
// it; the record tells it where the file was expected (volume serial, removable flag), so that a
// failure can be explained by HandleLoadError. Loads for new records are silent.
class ThumbnailSource {
public:
    virtual ~ThumbnailSource() = default;
    virtual ThumbnailResult loadThumbnail(const QString& path, const TImageElement& record) = 0;
};

} // namespace glimmora
