#pragma once

#include "picturecontrol/MetafileBytes.h"

// Qt
#include <QRectF>
#include <QTransform>

#include <memory>

class QPainter;

namespace glimmora::metafile {

// EMF+ records, which GDI+ writes into the comment records of an enhanced metafile. A "dual"
// file carries GDI records that draw the same picture; a file of EMF+ records only is drawn
// from them alone.

// The EMF+ records a comment record's parameters hold (after the "EMF+" mark), or an empty view
// for any other comment.
ByteView emfPlusRecordsOf(ByteView commentParameters);

// What the EMF+ records of a file are, from its first comment record on.
struct EmfPlusSummary {
    bool present = false;    // the file starts with an EMF+ header
    bool dual = false;       // its GDI records are a complete picture as well
    int dpi = 96;            // of the device the EMF+ records were written for
    bool drawsShown = false; // it has drawing records of the kinds drawn here
    bool drawsOther = false; // it has drawing records of other kinds
};

// Reads every EMF+ record of an enhanced metafile's comment records; `records` is the file
// from its first record after the header.
EmfPlusSummary summarizeEmfPlus(ByteView records);

// Draws EMF+ records on a painter: fills, lines, rectangles, ellipses, polygons, paths and
// Bézier curves in solid colours and pens, texts, bitmaps, with their transforms, clips and
// saved states. Other records are passed over.
class EmfPlusPlayer {
public:
    // referenceToTarget maps the reference device's pixels onto the painter's target rectangle;
    // referencePerPixel is how many of those an EMF+ device pixel (at the summary's dpi) covers.
    EmfPlusPlayer(QPainter& painter, const QRectF& target, const QTransform& referenceToTarget,
                  double referencePerPixel, int dpi);
    ~EmfPlusPlayer();
    EmfPlusPlayer(const EmfPlusPlayer&) = delete;
    EmfPlusPlayer& operator=(const EmfPlusPlayer&) = delete;

    // Plays the EMF+ records of one comment record (as emfPlusRecordsOf gives them).
    void play(ByteView records);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace glimmora::metafile
