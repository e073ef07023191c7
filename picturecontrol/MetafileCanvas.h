#pragma once

#include "picturecontrol/MetafileDib.h"

// Qt
#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QRegion>
#include <QString>
#include <QTransform>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

namespace glimmora::metafile {

// A logical pen; the width is in logical units (0: one device pixel).
struct Pen {
    bool visible = true;
    QColor color = Qt::black;
    double width = 0;
    Qt::PenStyle style = Qt::SolidLine;
    Qt::PenCapStyle cap = Qt::RoundCap;
    Qt::PenJoinStyle join = Qt::RoundJoin;
};

// A logical font; height < 0 is the character height, > 0 the cell height, 0 the default.
struct Font {
    int height = 0;
    int width = 0;
    int escapement = 0; // tenths of a degree, counter-clockwise
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    QString face;
};

// A slot of the object table. monostate stands for objects the player keeps only so that the
// table's numbering stays right (palettes, regions, bitmaps it cannot use).
using GdiObject = std::variant<std::monostate, Pen, QBrush, Font>;

// GDI values to Qt ones, for both record formats.
QColor colorFromRef(uint32_t colorRef);
Pen penFrom(uint32_t style, double width, const QColor& color);
QBrush brushFrom(uint32_t style, const QColor& color, uint32_t hatch);
// Single-byte text of the records (Windows-1252).
QString decodeAnsi(std::string_view bytes);
// UTF-16LE text of the records; an odd last byte is dropped.
QString decodeUtf16(std::string_view bytes);

enum class ArcKind { Arc, Chord, Pie };

// How logical coordinates reach the target rectangle.
enum class Mapping {
    Identity,          // logical units are target pixels (measuring a picture's extent)
    WindowToTarget,    // WMF: the current window fills the target
    ReferenceToTarget, // EMF: mapping mode to reference-device pixels, then frame to target
};

// Work one playback may do before it stops drawing (a hostile file must not hang the program).
struct Budget {
    int64_t paints = 500'000;
    int64_t points = 20'000'000;
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
};

// The device context a metafile's records act on: mapping, object table, selected objects,
// colours and modes, the saved-state stack, clipping and path brackets, and the drawing calls in
// logical coordinates. Without a painter it only measures the extent of what would be drawn.
class Canvas {
public:
    Canvas(QPainter* painter, const QRectF& target, Mapping mapping, size_t objectSlots);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // EMF: the picture frame in reference-device pixels and the device's pixels per millimetre.
    void setReferenceFrame(const QRectF& frame, QPointF pixelsPerMm);

    bool exhausted() const;
    QRectF measuredBounds() const { return measured_; }

    // Mapping.
    void setMapMode(uint32_t mode);
    void setWindowOrg(QPointF org);
    void setWindowExt(QPointF ext);
    void setViewportOrg(QPointF org);
    void setViewportExt(QPointF ext);
    void offsetWindowOrg(QPointF delta);
    void offsetViewportOrg(QPointF delta);
    void scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
    void scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
    void setWorldTransform(const QTransform& world);
    void modifyWorldTransform(const QTransform& xform, uint32_t mode);

    // Modes and colours.
    void setTextColor(const QColor& color);
    void setBkColor(const QColor& color);
    void setBkMode(uint32_t mode);
    void setPolyFillMode(uint32_t mode);
    void setTextAlign(uint32_t align);

    // Saved states: relative < 0 counts back from the newest, > 0 names an absolute level.
    void saveDC();
    void restoreDC(int32_t which);

    // Object table.
    void createObject(GdiObject object);                   // WMF: the lowest free slot
    void createObjectAt(uint32_t index, GdiObject object); // EMF: a numbered slot
    void selectObject(uint32_t index);                     // EMF stock objects carry the high bit
    void deleteObject(uint32_t index);

    // Drawing, in logical coordinates.
    void moveTo(QPointF point);
    void lineTo(QPointF point);
    void polyline(const QPolygonF& points);
    void polylineTo(const QPolygonF& points);
    void polygon(const QPolygonF& points);
    void polyPolyline(const std::vector<QPolygonF>& lines);
    void polyPolygon(const std::vector<QPolygonF>& polygons);
    void polyBezier(const QPolygonF& points);
    void polyBezierTo(const QPolygonF& points);
    void rectangle(const QRectF& box);
    void roundRect(const QRectF& box, QSizeF corner);
    void ellipse(const QRectF& box);
    void arc(const QRectF& box, QPointF start, QPointF end, ArcKind kind);
    void setPixel(QPointF point, const QColor& color);
    // dest and source are signed (x, y, width, height); the source counts rows in the bitmap's
    // own order (from the bottom for a bottom-up bitmap).
    void drawDib(const QRectF& dest, const Dib& dib, const QRectF& source, uint32_t rop);
    void patBlt(const QRectF& dest, uint32_t rop);
    // dx: optional advances in logical units, one per character.
    void text(QPointF reference, const QString& text, const std::vector<double>& dx, uint32_t options,
              const QRectF* box);

    // Clipping.
    void intersectClipRect(const QRectF& box);
    void excludeClipRect(const QRectF& box);
    void resetClip();
    // Rectangles in reference-device pixels, combined by a RegionMode.
    void selectClipRects(const std::vector<QRectF>& rects, uint32_t mode);

    // Path brackets.
    void beginPath();
    void endPath();
    void abortPath();
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void selectClipPath(uint32_t mode);

private:
    struct State;

    QTransform toTarget() const;
    QTransform pageToReference() const;
    bool usable(const QTransform& t) const;
    void paint(const QPainterPath& logical, bool fill, bool stroke);
    void paintDevice(const QPainterPath& device, const QPen& pen, const QBrush& brush,
                     QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver);
    bool continueFigure(QTransform& t);
    void addToPath(const QPainterPath& logical);
    bool spend(int64_t points);
    void applyClip();
    QRegion regionOf(const QPainterPath& device) const;
    void combineClip(const QRegion& device, uint32_t mode);
    void selectStockObject(uint32_t stock);
    QPen devicePen(const QTransform& t) const;
    QPainterPath openFigure(const QPolygonF& points, QPointF from) const;

    QPainter* painter_;
    QRectF target_;
    Mapping mapping_;
    QRectF frame_;
    QPointF pixelsPerMm_{96 / 25.4, 96 / 25.4};
    std::vector<std::optional<GdiObject>> objects_; // nullopt: a free slot
    std::vector<State> saved_;
    int lostSaves_ = 0;
    std::unique_ptr<State> state_;
    QTransform base_; // the painter's own transform: target coordinates to its device
    bool inPath_ = false;
    QPainterPath path_; // target coordinates
    Budget budget_;
    int64_t paints_ = 0;
    int64_t points_ = 0;
    mutable int64_t checks_ = 0;
    mutable bool outOfTime_ = false;
    uint64_t clipVersions_ = 0;
    uint64_t appliedClip_ = 0;
    QRectF measured_;
};

} // namespace glimmora::metafile
