#include "picturecontrol/MetafileWmf.h"

#include "picturecontrol/MetafileCanvas.h"
#include "picturecontrol/MetafileDib.h"
#include "picturecontrol/MetafileFormat.h"
#include "picturecontrol/MetafilePlayer.h"

// Qt
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace glimmora::metafile {

namespace {

using namespace wmf;

constexpr uint16_t defaultUnitsPerInch = 1440;

bool standardHeaderAt(ByteView bytes, size_t offset)
{
    bytes.seek(offset);
    const uint16_t type = bytes.u16();
    const uint16_t headerWords = bytes.u16();
    const uint16_t version = bytes.u16();
    return bytes.ok() && (type == typeMemory || type == typeDisk) && headerWords == standardHeaderWords
           && (version == version100 || version == version300);
}

bool placeable(ByteView bytes) { return bytes.u32() == placeableKey && bytes.ok(); }

// Calls visit(function, parameters) for every record up to the end record, a malformed one or
// the record limit; visit returns false to stop.
template <typename Visit>
void forEachRecord(ByteView bytes, size_t start, Visit visit)
{
    size_t pos = start;
    for (int64_t count = 0; count < maxRecords && bytes.contains(pos, recordHeaderBytes); ++count) {
        bytes.seek(pos);
        const uint64_t recordBytes = uint64_t{bytes.u32()} * 2;
        const uint16_t function = bytes.u16();
        if (recordBytes < recordHeaderBytes || !bytes.contains(pos, recordBytes) || function == Eof)
            return;
        if (!visit(function, bytes.sub(pos + recordHeaderBytes, recordBytes - recordHeaderBytes)))
            return;
        pos += recordBytes;
    }
}

QPointF point(ByteView& p)
{
    const double y = p.i16();
    const double x = p.i16();
    return {x, y};
}

// A rectangle stored bottom, right, top, left.
QRectF reversedRect(ByteView& p)
{
    const double bottom = p.i16();
    const double right = p.i16();
    const double top = p.i16();
    const double left = p.i16();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// Points stored x, y.
bool readPoints(ByteView& p, size_t count, QPolygonF& points)
{
    if (!p.has(count * 4))
        return false;
    points.reserve(static_cast<qsizetype>(count));
    for (size_t i = 0; i < count; ++i) {
        const double x = p.i16();
        const double y = p.i16();
        points.append(QPointF(x, y));
    }
    return true;
}

Font readFont(ByteView& p)
{
    Font font;
    font.height = p.i16();
    font.width = p.i16();
    font.escapement = p.i16();
    p.i16(); // orientation
    font.weight = p.i16();
    font.italic = p.u8() != 0;
    font.underline = p.u8() != 0;
    font.strikeOut = p.u8() != 0;
    p.skip(5); // charset, precisions, quality, pitch and family
    const std::string_view face = p.bytes(std::min<size_t>(p.remaining(), 32));
    font.face = decodeAnsi(face.substr(0, std::min(face.find('\0'), face.size()))).trimmed();
    return font;
}

void textOut(Canvas& canvas, ByteView p)
{
    const int16_t count = p.i16();
    if (count <= 0 || !p.has(static_cast<size_t>(count)))
        return;
    const QString text = decodeAnsi(p.bytes(static_cast<size_t>(count)));
    p.skip(count % 2);
    const QPointF at = point(p);
    if (p.ok())
        canvas.text(at, text, {}, 0, nullptr);
}

void extTextOut(Canvas& canvas, ByteView p)
{
    const QPointF at = point(p);
    const int16_t count = p.i16();
    const uint16_t options = p.u16();
    QRectF box;
    const bool hasBox = options & (TextOpaque | TextClipped);
    if (hasBox) {
        const double left = p.i16();
        const double top = p.i16();
        const double right = p.i16();
        const double bottom = p.i16();
        box = QRectF(QPointF(left, top), QPointF(right, bottom));
    }
    if (!p.ok() || count < 0 || !p.has(static_cast<size_t>(count)))
        return;
    const QString text = decodeAnsi(p.bytes(static_cast<size_t>(count)));
    p.skip(count % 2);
    std::vector<double> dx;
    if (p.has(static_cast<size_t>(count) * 2)) {
        for (int i = 0; i < count; ++i)
            dx.push_back(p.i16());
    }
    canvas.text(at, text, dx, options, hasBox ? &box : nullptr);
}

void polyPolygon(Canvas& canvas, ByteView p)
{
    const uint16_t polygons = p.u16();
    if (!p.has(size_t{polygons} * 2))
        return;
    std::vector<size_t> counts;
    for (uint16_t i = 0; i < polygons; ++i)
        counts.push_back(p.u16());
    std::vector<QPolygonF> shapes(counts.size());
    for (size_t i = 0; i < counts.size(); ++i) {
        if (!readPoints(p, counts[i], shapes[i]))
            return;
    }
    canvas.polyPolygon(shapes);
}

// The bitmap records without a bitmap are pattern fills; those with one carry a packed DIB
// after the parameters.
bool hasBitmap(uint16_t function, const ByteView& p) { return p.size() / 2 != static_cast<size_t>(function >> 8); }

// The bit-block records: a stretching one names its source size, a plain one copies a source
// the size of its destination.
void dibBlt(Canvas& canvas, uint16_t function, ByteView p, bool stretching)
{
    const bool bitmap = hasBitmap(function, p);
    const uint32_t rop = p.u32();
    const double srcHeight = stretching ? p.i16() : 0;
    const double srcWidth = stretching ? p.i16() : 0;
    const double ySrc = p.i16();
    const double xSrc = p.i16();
    if (!bitmap)
        p.skip(2);
    const double height = p.i16();
    const double width = p.i16();
    const QPointF dest = point(p);
    if (!p.ok())
        return;
    const QRectF destRect(dest.x(), dest.y(), width, height);
    if (!bitmap) {
        canvas.patBlt(destRect, rop);
        return;
    }
    const Dib dib = decodePackedDib(p.sub(p.position(), p.remaining()), DibRgbColors);
    const QRectF source(xSrc, ySrc, stretching ? srcWidth : width, stretching ? srcHeight : height);
    canvas.drawDib(destRect, dib, source, rop);
}

void stretchDib(Canvas& canvas, ByteView p)
{
    const uint32_t rop = p.u32();
    const uint16_t usage = p.u16();
    const double srcHeight = p.i16();
    const double srcWidth = p.i16();
    const double ySrc = p.i16();
    const double xSrc = p.i16();
    const double height = p.i16();
    const double width = p.i16();
    const QPointF dest = point(p);
    if (!p.ok())
        return;
    const Dib dib = decodePackedDib(p.sub(p.position(), p.remaining()), usage);
    canvas.drawDib(QRectF(dest.x(), dest.y(), width, height), dib, QRectF(xSrc, ySrc, srcWidth, srcHeight), rop);
}

void setDibToDev(Canvas& canvas, ByteView p)
{
    const uint16_t usage = p.u16();
    p.skip(4); // scan count, start scan
    const double yDib = p.i16();
    const double xDib = p.i16();
    const double height = p.i16();
    const double width = p.i16();
    const QPointF dest = point(p);
    if (!p.ok())
        return;
    const Dib dib = decodePackedDib(p.sub(p.position(), p.remaining()), usage);
    canvas.drawDib(QRectF(dest.x(), dest.y(), width, height), dib, QRectF(xDib, yDib, width, height), RopSrcCopy);
}

void patBlt(Canvas& canvas, ByteView p)
{
    const uint32_t rop = p.u32();
    const double height = p.i16();
    const double width = p.i16();
    const QPointF at = point(p);
    if (p.ok())
        canvas.patBlt(QRectF(at.x(), at.y(), width, height), rop);
}

void createPatternBrush(Canvas& canvas, ByteView p)
{
    const uint16_t style = p.u16();
    const uint16_t usage = p.u16();
    const Dib dib = decodePackedDib(p.sub(p.position(), p.remaining()), usage);
    // A BS_PATTERN brush here holds a device-dependent bitmap the player does not read.
    if (style == BrushPattern || dib.image.isNull())
        canvas.createObject(std::monostate{});
    else
        canvas.createObject(QBrush(dib.image));
}

void arc(Canvas& canvas, ByteView p, ArcKind kind)
{
    const QPointF end = point(p);
    const QPointF start = point(p);
    const QRectF box = reversedRect(p);
    if (p.ok())
        canvas.arc(box, start, end, kind);
}

void playRecord(Canvas& canvas, uint16_t function, ByteView p)
{
    switch (function) {
    case SetWindowOrg: canvas.setWindowOrg(point(p)); break;
    case SetWindowExt: canvas.setWindowExt(point(p)); break;
    case SetViewportOrg: canvas.setViewportOrg(point(p)); break;
    case SetViewportExt: canvas.setViewportExt(point(p)); break;
    case OffsetWindowOrg: canvas.offsetWindowOrg(point(p)); break;
    case OffsetViewportOrg: canvas.offsetViewportOrg(point(p)); break;
    case ScaleWindowExt:
    case ScaleViewportExt: {
        const double yDenom = p.i16();
        const double yNum = p.i16();
        const double xDenom = p.i16();
        const double xNum = p.i16();
        if (!p.ok())
            break;
        if (function == ScaleWindowExt)
            canvas.scaleWindowExt(xNum, xDenom, yNum, yDenom);
        else
            canvas.scaleViewportExt(xNum, xDenom, yNum, yDenom);
        break;
    }
    case SetMapMode: canvas.setMapMode(p.u16()); break;
    case SetBkMode: canvas.setBkMode(p.u16()); break;
    case SetPolyFillMode: canvas.setPolyFillMode(p.u16()); break;
    case SetTextAlign: canvas.setTextAlign(p.u16()); break;
    case SetTextColor: canvas.setTextColor(colorFromRef(p.u32())); break;
    case SetBkColor: canvas.setBkColor(colorFromRef(p.u32())); break;
    case SaveDC: canvas.saveDC(); break;
    case RestoreDC: canvas.restoreDC(p.i16()); break;
    case SelectObject: canvas.selectObject(p.u16()); break;
    case DeleteObject: canvas.deleteObject(p.u16()); break;
    case CreatePenIndirect: {
        const uint16_t style = p.u16();
        const double width = p.i16();
        p.i16();
        const QColor color = colorFromRef(p.u32());
        canvas.createObject(penFrom(style, std::abs(width), color));
        break;
    }
    case CreateBrushIndirect: {
        const uint16_t style = p.u16();
        const QColor color = colorFromRef(p.u32());
        const uint16_t hatch = p.u16();
        canvas.createObject(brushFrom(style, color, hatch));
        break;
    }
    case CreateFontIndirect: canvas.createObject(readFont(p)); break;
    case DibCreatePatternBrush: createPatternBrush(canvas, p); break;
    case CreatePatternBrush:
    case CreatePalette:
    case CreateRegion: canvas.createObject(std::monostate{}); break;
    case MoveTo: canvas.moveTo(point(p)); break;
    case LineTo: canvas.lineTo(point(p)); break;
    case Polyline:
    case Polygon: {
        QPolygonF points;
        if (!readPoints(p, p.u16(), points))
            break;
        if (function == Polygon)
            canvas.polygon(points);
        else
            canvas.polyline(points);
        break;
    }
    case PolyPolygon: polyPolygon(canvas, p); break;
    case Rectangle: canvas.rectangle(reversedRect(p)); break;
    case Ellipse: canvas.ellipse(reversedRect(p)); break;
    case RoundRect: {
        const double height = p.i16();
        const double width = p.i16();
        const QRectF box = reversedRect(p);
        canvas.roundRect(box, QSizeF(width, height));
        break;
    }
    case Arc: arc(canvas, p, ArcKind::Arc); break;
    case Pie: arc(canvas, p, ArcKind::Pie); break;
    case Chord: arc(canvas, p, ArcKind::Chord); break;
    case SetPixel: {
        const QColor color = colorFromRef(p.u32());
        canvas.setPixel(point(p), color);
        break;
    }
    case TextOut: textOut(canvas, p); break;
    case ExtTextOut: extTextOut(canvas, p); break;
    case PatBlt: patBlt(canvas, p); break;
    case BitBlt:
    case StretchBlt:
        // Only their pattern-fill form is played; the device-dependent bitmap form is skipped.
        if (!hasBitmap(function, p))
            dibBlt(canvas, function == BitBlt ? DibBitBlt : DibStretchBlt, p, function == StretchBlt);
        break;
    case DibBitBlt: dibBlt(canvas, function, p, false); break;
    case DibStretchBlt: dibBlt(canvas, function, p, true); break;
    case StretchDib: stretchDib(canvas, p); break;
    case SetDibToDev: setDibToDev(canvas, p); break;
    case IntersectClipRect: canvas.intersectClipRect(reversedRect(p)); break;
    case ExcludeClipRect: canvas.excludeClipRect(reversedRect(p)); break;
    default: break; // palettes, regions, escapes: nothing to draw
    }
}

} // namespace

bool WmfDocument::probe(ByteView head)
{
    return placeable(head) ? standardHeaderAt(head, placeableHeaderBytes) : standardHeaderAt(head, 0);
}

WmfDocument::WmfDocument(ByteView bytes) : bytes_(bytes)
{
    if (!probe(bytes))
        throw EMetafileError("The file is not a Windows Metafile.");
    size_t headerStart = 0;
    if (placeable(bytes)) {
        ByteView p = bytes;
        p.skip(6);
        const double left = p.i16();
        const double top = p.i16();
        const double right = p.i16();
        const double bottom = p.i16();
        const uint16_t inch = p.u16();
        frame_ = QRectF(QPointF(left, top), QPointF(right, bottom));
        unitsPerInch_ = inch == 0 ? defaultUnitsPerInch : inch;
        headerStart = placeableHeaderBytes;
    }
    ByteView header = bytes.sub(headerStart, standardHeaderBytes);
    header.skip(10);
    objectSlots_ = header.u16();
    recordsStart_ = headerStart + standardHeaderBytes;

    if (frame_.width() == 0 || frame_.height() == 0) {
        unitsPerInch_ = 96;
        if (!findFirstWindow(frame_))
            frame_ = measureExtent();
    }
    if (!std::isfinite(frame_.width()) || !std::isfinite(frame_.height()) || frame_.width() == 0
        || frame_.height() == 0)
        throw EMetafileError("The Windows Metafile draws nothing.");
}

QSizeF WmfDocument::naturalSize() const
{
    return QSizeF(std::abs(frame_.width()), std::abs(frame_.height())) * (96.0 / unitsPerInch_);
}

bool WmfDocument::findFirstWindow(QRectF& window) const
{
    bool hasOrg = false;
    bool hasExt = false;
    QPointF org;
    QPointF ext;
    forEachRecord(bytes_, recordsStart_, [&](uint16_t function, ByteView p) {
        if (function == SetWindowOrg && !hasOrg) {
            org = point(p);
            hasOrg = p.ok();
        } else if (function == SetWindowExt && !hasExt) {
            ext = point(p);
            hasExt = p.ok() && ext.x() != 0 && ext.y() != 0;
        }
        return !(hasOrg && hasExt);
    });
    if (hasExt)
        window = QRectF(org, QSizeF(ext.x(), ext.y()));
    return hasExt;
}

QRectF WmfDocument::measureExtent() const
{
    Canvas canvas(nullptr, QRectF(), Mapping::Identity, objectSlots_);
    playRecords(canvas);
    return canvas.measuredBounds();
}

void WmfDocument::play(QPainter& painter, const QRectF& target) const
{
    Canvas canvas(&painter, target, Mapping::WindowToTarget, objectSlots_);
    canvas.setWindowOrg(frame_.topLeft());
    canvas.setWindowExt(QPointF(frame_.width(), frame_.height()));
    playRecords(canvas);
}

void WmfDocument::playRecords(Canvas& canvas) const
{
    forEachRecord(bytes_, recordsStart_, [&](uint16_t function, ByteView p) {
        playRecord(canvas, function, p);
        return !canvas.exhausted();
    });
}

} // namespace glimmora::metafile
