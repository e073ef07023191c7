#pragma once

#include "picturecontrol/MetafileDocument.h"

// Qt
#include <QPointF>

namespace glimmora::metafile {

class Canvas;

// An Enhanced Metafile. Records draw on the reference device the file was made for; the
// header's frame (in hundredths of a millimetre) is the part of that device that fills the
// target. A file that GDI+ wrote with EMF+ records in its comments is drawn from its GDI
// records when they are a complete picture too (a "dual" file), else from its EMF+ records.
class EmfDocument : public Document {
public:
    static bool probe(ByteView head);

    // Throws EMetafileError.
    explicit EmfDocument(ByteView bytes);

    QSizeF naturalSize() const override;
    void play(QPainter& painter, const QRectF& target) const override;

private:
    ByteView bytes_;
    size_t recordsStart_ = 0;
    size_t objectSlots_ = 0;
    QRectF frame_;             // reference-device pixels
    QPointF pixelsPerMm_;      // of the reference device
    bool emfPlusOnly_ = false; // drawn from its EMF+ records (and any GDI records among them)
    int emfPlusDpi_ = 96;
};

} // namespace glimmora::metafile
