#pragma once

#include "picturecontrol/MetafileDocument.h"

namespace glimmora::metafile {

class Canvas;

// A Windows Metafile, with or without the placeable header. The picture's frame is the
// placeable header's bounding box, else the first window the records set, else the extent of
// what the records draw; while playing, the current window fills the target.
class WmfDocument : public Document {
public:
    static bool probe(ByteView head);

    // Throws EMetafileError.
    explicit WmfDocument(ByteView bytes);

    QSizeF naturalSize() const override;
    void play(QPainter& painter, const QRectF& target) const override;

private:
    void playRecords(Canvas& canvas) const;
    QRectF measureExtent() const;
    bool findFirstWindow(QRectF& window) const;

    ByteView bytes_;
    size_t recordsStart_ = 0;
    size_t objectSlots_ = 0;
    QRectF frame_; // logical units
    double unitsPerInch_ = 96;
};

} // namespace glimmora::metafile
