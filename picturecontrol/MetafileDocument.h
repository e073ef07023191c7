#pragma once

#include "picturecontrol/MetafileBytes.h"

// Qt
#include <QRectF>
#include <QSizeF>

class QPainter;

namespace glimmora::metafile {

// Largest number of records one playback reads.
constexpr int64_t maxRecords = 4'000'000;

// One parsed metafile of either format. The bytes stay with the caller and must outlive it.
class Document {
public:
    virtual ~Document() = default;
    // The picture's size in pixels at 96 per inch.
    virtual QSizeF naturalSize() const = 0;
    // Plays every record, the picture filling target.
    virtual void play(QPainter& painter, const QRectF& target) const = 0;
};

} // namespace glimmora::metafile
