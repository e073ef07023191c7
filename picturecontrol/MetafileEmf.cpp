#include "picturecontrol/MetafileEmf.h"

#include "picturecontrol/MetafileEmfPlus.h"

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

using namespace emf;

constexpr double screenPixelsPerMm = 96 / 25.4;
constexpr uint32_t maxClipRects = 10000;
constexpr uint32_t geometricPen = 0x00010000;
constexpr uint32_t textDxHasY = 0x2000; // ETO_PDY: the advances come in x, y pairs

// A record: its whole bytes (offsets inside records count from the record's start) and a
// cursor on the parameters after the type and size.
struct RecordBytes {
    ByteView whole;
    ByteView p;
};

QRectF readRectL(ByteView& p)
{
    const double left = p.i32();
    const double top = p.i32();
    const double right = p.i32();
    const double bottom = p.i32();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QPointF readPointL(ByteView& p)
{
    const double x = p.i32();
    const double y = p.i32();
    return {x, y};
}

bool readPoints(ByteView& p, size_t count, bool small, QPolygonF& points)
{
    if (!p.has(count * (small ? 4 : 8)))
        return false;
    points.reserve(static_cast<qsizetype>(count));
    for (size_t i = 0; i < count; ++i) {
        if (small) {
            const double x = p.i16();
            const double y = p.i16();
            points.append(QPointF(x, y));
        } else {
            points.append(readPointL(p));
        }
    }
    return true;
}

QTransform readXForm(ByteView& p)
{
    const double m11 = p.f32();
    const double m12 = p.f32();
    const double m21 = p.f32();
    const double m22 = p.f32();
    const double dx = p.f32();
    const double dy = p.f32();
    return QTransform(m11, m12, m21, m22, dx, dy);
}

// The bitmap of a record, given by its offsets and sizes relative to the record.
Dib recordDib(const RecordBytes& r, uint32_t offBmi, uint32_t cbBmi, uint32_t offBits, uint32_t cbBits, uint32_t usage)
{
    if (!r.whole.contains(offBmi, cbBmi) || !r.whole.contains(offBits, cbBits))
        return {};
    return decodeDib(r.whole.sub(offBmi, cbBmi), r.whole.sub(offBits, cbBits), usage);
}

void polyShape(Canvas& canvas, uint32_t type, ByteView p)
{
    const bool small = type >= PolyBezier16;
    p.skip(16); // bounds
    QPolygonF points;
    if (!readPoints(p, p.u32(), small, points))
        return;
    switch (type) {
    case Polygon:
    case Polygon16: canvas.polygon(points); break;
    case Polyline:
    case Polyline16: canvas.polyline(points); break;
    case PolyBezier:
    case PolyBezier16: canvas.polyBezier(points); break;
    case PolyBezierTo:
    case PolyBezierTo16: canvas.polyBezierTo(points); break;
    case PolylineTo:
    case PolylineTo16: canvas.polylineTo(points); break;
    default: break;
    }
}

void polyPolyShape(Canvas& canvas, uint32_t type, ByteView p)
{
    const bool small = type == PolyPolyline16 || type == PolyPolygon16;
    p.skip(16); // bounds
    const uint32_t figures = p.u32();
    const uint64_t total = p.u32();
    if (!p.has(uint64_t{figures} * 4) || !p.has(uint64_t{figures} * 4 + total * (small ? 4 : 8)))
        return;
    std::vector<uint32_t> counts(figures);
    uint64_t sum = 0;
    for (uint32_t& count : counts) {
        count = p.u32();
        sum += count;
    }
    if (sum > total)
        return;
    std::vector<QPolygonF> shapes(figures);
    for (uint32_t i = 0; i < figures; ++i)
        readPoints(p, counts[i], small, shapes[i]);
    if (type == PolyPolygon || type == PolyPolygon16)
        canvas.polyPolygon(shapes);
    else
        canvas.polyPolyline(shapes);
}

void extCreatePen(Canvas& canvas, const RecordBytes& r)
{
    ByteView p = r.p;
    const uint32_t index = p.u32();
    p.skip(16); // bitmap offsets and sizes
    const uint32_t style = p.u32();
    const uint32_t width = p.u32();
    const uint32_t brushStyle = p.u32();
    const QColor color = colorFromRef(p.u32());
    if (!p.ok())
        return;
    Pen pen = penFrom(style, (style & geometricPen) ? width : 0, color);
    if (brushStyle == BrushNull)
        pen.visible = false;
    canvas.createObjectAt(index, pen);
}

Font readLogFontW(ByteView& p)
{
    Font font;
    font.height = p.i32();
    font.width = p.i32();
    font.escapement = p.i32();
    p.i32(); // orientation
    font.weight = p.i32();
    font.italic = p.u8() != 0;
    font.underline = p.u8() != 0;
    font.strikeOut = p.u8() != 0;
    p.skip(5);
    const std::string_view face = p.bytes(std::min<size_t>(p.remaining(), 64));
    const QString name = decodeUtf16(face);
    font.face = name.left(name.indexOf(QChar(0)) < 0 ? name.size() : name.indexOf(QChar(0))).trimmed();
    return font;
}

void extTextOut(Canvas& canvas, const RecordBytes& r, bool wide)
{
    ByteView p = r.p;
    p.skip(16 + 12); // bounds, graphics mode, scales
    const QPointF reference = readPointL(p);
    const uint32_t chars = p.u32();
    const uint32_t offString = p.u32();
    const uint32_t options = p.u32();
    const QRectF box = readRectL(p);
    const uint32_t offDx = p.u32();
    const size_t stringBytes = size_t{chars} * (wide ? 2 : 1);
    if (!p.ok() || !r.whole.contains(offString, stringBytes))
        return;
    const ByteView string = r.whole.sub(offString, stringBytes);
    const std::string_view bytes(string.data(), string.size());
    // Glyph numbers of the recording machine's font mean nothing in ours: the box is still
    // painted, the text left out rather than shown as gibberish.
    const QString text = (options & TextGlyphIndex) ? QString() : wide ? decodeUtf16(bytes) : decodeAnsi(bytes);
    std::vector<double> dx;
    const size_t dxStride = (options & textDxHasY) ? 8 : 4;
    if (offDx != 0 && r.whole.contains(offDx, chars * dxStride)) {
        ByteView d = r.whole.sub(offDx, chars * dxStride);
        for (uint32_t i = 0; i < chars; ++i) {
            dx.push_back(d.i32());
            d.skip(dxStride - 4);
        }
    }
    const bool hasBox = options & (TextOpaque | TextClipped);
    canvas.text(reference, text, dx, options, hasBox ? &box : nullptr);
}

// BITBLT and STRETCHBLT: without a source bitmap they are pattern fills.
void bitBlt(Canvas& canvas, const RecordBytes& r, bool stretch)
{
    ByteView p = r.p;
    p.skip(16);
    const double x = p.i32();
    const double y = p.i32();
    const double width = p.i32();
    const double height = p.i32();
    const uint32_t rop = p.u32();
    const double xSrc = p.i32();
    const double ySrc = p.i32();
    p.skip(24 + 4); // source transform, source background colour
    const uint32_t usage = p.u32();
    const uint32_t offBmi = p.u32();
    const uint32_t cbBmi = p.u32();
    const uint32_t offBits = p.u32();
    const uint32_t cbBits = p.u32();
    const double srcWidth = stretch ? p.i32() : width;
    const double srcHeight = stretch ? p.i32() : height;
    if (!p.ok())
        return;
    const QRectF dest(x, y, width, height);
    if (cbBmi == 0)
        canvas.patBlt(dest, rop);
    else
        canvas.drawDib(dest, recordDib(r, offBmi, cbBmi, offBits, cbBits, usage),
                       QRectF(xSrc, ySrc, srcWidth, srcHeight), rop);
}

void stretchDiBits(Canvas& canvas, const RecordBytes& r)
{
    ByteView p = r.p;
    p.skip(16);
    const double x = p.i32();
    const double y = p.i32();
    const double xSrc = p.i32();
    const double ySrc = p.i32();
    const double srcWidth = p.i32();
    const double srcHeight = p.i32();
    const uint32_t offBmi = p.u32();
    const uint32_t cbBmi = p.u32();
    const uint32_t offBits = p.u32();
    const uint32_t cbBits = p.u32();
    const uint32_t usage = p.u32();
    const uint32_t rop = p.u32();
    const double width = p.i32();
    const double height = p.i32();
    if (p.ok())
        canvas.drawDib(QRectF(x, y, width, height), recordDib(r, offBmi, cbBmi, offBits, cbBits, usage),
                       QRectF(xSrc, ySrc, srcWidth, srcHeight), rop);
}

void setDiBitsToDevice(Canvas& canvas, const RecordBytes& r)
{
    ByteView p = r.p;
    p.skip(16);
    const double x = p.i32();
    const double y = p.i32();
    const double xSrc = p.i32();
    const double ySrc = p.i32();
    const double width = p.i32();
    const double height = p.i32();
    const uint32_t offBmi = p.u32();
    const uint32_t cbBmi = p.u32();
    const uint32_t offBits = p.u32();
    const uint32_t cbBits = p.u32();
    const uint32_t usage = p.u32();
    if (p.ok())
        canvas.drawDib(QRectF(x, y, width, height), recordDib(r, offBmi, cbBmi, offBits, cbBits, usage),
                       QRectF(xSrc, ySrc, width, height), RopSrcCopy);
}

void dibPatternBrush(Canvas& canvas, const RecordBytes& r)
{
    ByteView p = r.p;
    const uint32_t index = p.u32();
    const uint32_t usage = p.u32();
    const uint32_t offBmi = p.u32();
    const uint32_t cbBmi = p.u32();
    const uint32_t offBits = p.u32();
    const uint32_t cbBits = p.u32();
    if (!p.ok())
        return;
    const Dib dib = recordDib(r, offBmi, cbBmi, offBits, cbBits, usage);
    if (dib.image.isNull())
        canvas.createObjectAt(index, std::monostate{});
    else
        canvas.createObjectAt(index, QBrush(dib.image));
}

void selectClipRegion(Canvas& canvas, ByteView p)
{
    const uint32_t dataBytes = p.u32();
    const uint32_t mode = p.u32();
    if (!p.ok())
        return;
    std::vector<QRectF> rects;
    if (dataBytes >= 32) {
        p.skip(8); // header size, type
        const uint32_t count = p.u32();
        p.skip(4 + 16); // data size, bounds
        if (count > maxClipRects || !p.has(size_t{count} * 16))
            return;
        for (uint32_t i = 0; i < count; ++i)
            rects.push_back(readRectL(p));
    }
    canvas.selectClipRects(rects, mode);
}

void playRecord(Canvas& canvas, uint32_t type, const RecordBytes& r)
{
    ByteView p = r.p;
    switch (type) {
    case Polygon:
    case Polyline:
    case PolyBezier:
    case PolyBezierTo:
    case PolylineTo:
    case Polygon16:
    case Polyline16:
    case PolyBezier16:
    case PolyBezierTo16:
    case PolylineTo16: polyShape(canvas, type, p); break;
    case PolyPolygon:
    case PolyPolyline:
    case PolyPolygon16:
    case PolyPolyline16: polyPolyShape(canvas, type, p); break;
    case SetWindowExtEx: canvas.setWindowExt(readPointL(p)); break;
    case SetWindowOrgEx: canvas.setWindowOrg(readPointL(p)); break;
    case SetViewportExtEx: canvas.setViewportExt(readPointL(p)); break;
    case SetViewportOrgEx: canvas.setViewportOrg(readPointL(p)); break;
    case ScaleViewportExtEx:
    case ScaleWindowExtEx: {
        const double xNum = p.i32();
        const double xDenom = p.i32();
        const double yNum = p.i32();
        const double yDenom = p.i32();
        if (!p.ok())
            break;
        if (type == ScaleWindowExtEx)
            canvas.scaleWindowExt(xNum, xDenom, yNum, yDenom);
        else
            canvas.scaleViewportExt(xNum, xDenom, yNum, yDenom);
        break;
    }
    case SetMapMode: canvas.setMapMode(p.u32()); break;
    case SetBkMode: canvas.setBkMode(p.u32()); break;
    case SetPolyFillMode: canvas.setPolyFillMode(p.u32()); break;
    case SetTextAlign: canvas.setTextAlign(p.u32()); break;
    case SetTextColor: canvas.setTextColor(colorFromRef(p.u32())); break;
    case SetBkColor: canvas.setBkColor(colorFromRef(p.u32())); break;
    case MoveToEx: canvas.moveTo(readPointL(p)); break;
    case LineTo: canvas.lineTo(readPointL(p)); break;
    case SaveDC: canvas.saveDC(); break;
    case RestoreDC: canvas.restoreDC(p.i32()); break;
    case SetWorldTransform: {
        const QTransform xform = readXForm(p);
        if (p.ok())
            canvas.setWorldTransform(xform);
        break;
    }
    case ModifyWorldTransform: {
        const QTransform xform = readXForm(p);
        const uint32_t mode = p.u32();
        if (p.ok())
            canvas.modifyWorldTransform(xform, mode);
        break;
    }
    case SelectObject: canvas.selectObject(p.u32()); break;
    case DeleteObject: canvas.deleteObject(p.u32()); break;
    case CreatePen: {
        const uint32_t index = p.u32();
        const uint32_t style = p.u32();
        const double width = p.i32();
        p.i32();
        const QColor color = colorFromRef(p.u32());
        if (p.ok())
            canvas.createObjectAt(index, penFrom(style, std::abs(width), color));
        break;
    }
    case ExtCreatePen: extCreatePen(canvas, r); break;
    case CreateBrushIndirect: {
        const uint32_t index = p.u32();
        const uint32_t style = p.u32();
        const QColor color = colorFromRef(p.u32());
        const uint32_t hatch = p.u32();
        if (p.ok())
            canvas.createObjectAt(index, brushFrom(style, color, hatch));
        break;
    }
    case CreateMonoBrush:
    case CreateDibPatternBrushPt: dibPatternBrush(canvas, r); break;
    case ExtCreateFontIndirectW: {
        const uint32_t index = p.u32();
        const Font font = readLogFontW(p);
        if (p.ok())
            canvas.createObjectAt(index, font);
        break;
    }
    case CreatePalette: canvas.createObjectAt(p.u32(), std::monostate{}); break;
    case Rectangle: canvas.rectangle(readRectL(p)); break;
    case Ellipse: canvas.ellipse(readRectL(p)); break;
    case RoundRect: {
        const QRectF box = readRectL(p);
        const QPointF corner = readPointL(p);
        if (p.ok())
            canvas.roundRect(box, QSizeF(corner.x(), corner.y()));
        break;
    }
    case Arc:
    case Chord:
    case Pie: {
        const QRectF box = readRectL(p);
        const QPointF start = readPointL(p);
        const QPointF end = readPointL(p);
        if (p.ok())
            canvas.arc(box, start, end, type == Arc ? ArcKind::Arc : type == Chord ? ArcKind::Chord : ArcKind::Pie);
        break;
    }
    case SetPixelV: {
        const QPointF at = readPointL(p);
        const QColor color = colorFromRef(p.u32());
        if (p.ok())
            canvas.setPixel(at, color);
        break;
    }
    case ExtTextOutA: extTextOut(canvas, r, false); break;
    case ExtTextOutW: extTextOut(canvas, r, true); break;
    case BitBlt: bitBlt(canvas, r, false); break;
    case StretchBlt: bitBlt(canvas, r, true); break;
    case StretchDiBits: stretchDiBits(canvas, r); break;
    case SetDiBitsToDevice: setDiBitsToDevice(canvas, r); break;
    case IntersectClipRect: canvas.intersectClipRect(readRectL(p)); break;
    case ExcludeClipRect: canvas.excludeClipRect(readRectL(p)); break;
    case ExtSelectClipRgn: selectClipRegion(canvas, p); break;
    case BeginPath: canvas.beginPath(); break;
    case EndPath: canvas.endPath(); break;
    case AbortPath: canvas.abortPath(); break;
    case CloseFigure: canvas.closeFigure(); break;
    case FillPath: canvas.fillPath(); break;
    case StrokePath: canvas.strokePath(); break;
    case StrokeAndFillPath: canvas.strokeAndFillPath(); break;
    case SelectClipPath: canvas.selectClipPath(p.u32()); break;
    default: break; // comments, palettes, colour adjustment: nothing to draw
    }
}

QRectF validRect(const QRectF& r)
{
    const QRectF n = r.normalized();
    return n.width() > 0 && n.height() > 0 ? n : QRectF();
}

} // namespace

bool EmfDocument::probe(ByteView head)
{
    const uint32_t type = head.u32();
    head.seek(signatureOffset);
    return type == Header && head.u32() == signature && head.ok();
}

EmfDocument::EmfDocument(ByteView bytes) : bytes_(bytes)
{
    if (!probe(bytes))
        throw EMetafileError("The file is not an Enhanced Metafile.");
    ByteView h = bytes;
    h.skip(4);
    const uint32_t headerBytes = h.u32();
    const QRectF bounds = readRectL(h);
    const QRectF frameHundredthsMm = readRectL(h);
    h.skip(4 + 4 + 4 + 4); // signature, version, file size, record count
    objectSlots_ = h.u16();
    h.skip(2 + 4 + 4 + 4); // reserved, description, palette entries
    const QPointF devicePixels = readPointL(h);
    const QPointF deviceMm = readPointL(h);
    if (!h.ok() || headerBytes < minHeaderBytes || headerBytes % 4 != 0 || headerBytes > bytes.size())
        throw EMetafileError("The Enhanced Metafile's header is damaged.");
    recordsStart_ = headerBytes;

    const bool deviceKnown = devicePixels.x() > 0 && devicePixels.y() > 0 && deviceMm.x() > 0 && deviceMm.y() > 0;
    pixelsPerMm_ = deviceKnown ? QPointF(devicePixels.x() / deviceMm.x(), devicePixels.y() / deviceMm.y())
                               : QPointF(screenPixelsPerMm, screenPixelsPerMm);
    if (pixelsPerMm_.x() < 0.1 || pixelsPerMm_.x() > 1000 || pixelsPerMm_.y() < 0.1 || pixelsPerMm_.y() > 1000)
        pixelsPerMm_ = QPointF(screenPixelsPerMm, screenPixelsPerMm);

    const QRectF frameMm = validRect(frameHundredthsMm);
    if (!frameMm.isNull()) {
        frame_ = QRectF(frameMm.x() / 100 * pixelsPerMm_.x(), frameMm.y() / 100 * pixelsPerMm_.y(),
                        frameMm.width() / 100 * pixelsPerMm_.x(), frameMm.height() / 100 * pixelsPerMm_.y());
    } else if (const QRectF b = validRect(bounds.adjusted(0, 0, 1, 1)); !b.isNull()) {
        frame_ = b;
    } else {
        throw EMetafileError("The Enhanced Metafile has no picture frame.");
    }

    const EmfPlusSummary plus = summarizeEmfPlus(bytes_.sub(recordsStart_, bytes_.size() - recordsStart_));
    emfPlusOnly_ = plus.present && !plus.dual;
    emfPlusDpi_ = plus.dpi;
    if (emfPlusOnly_ && !plus.drawsShown && plus.drawsOther)
        throw EMetafileError("The Enhanced Metafile draws only with EMF+ records of kinds that cannot be shown.");
}

QSizeF EmfDocument::naturalSize() const
{
    return QSizeF(frame_.width() / pixelsPerMm_.x() * screenPixelsPerMm,
                  frame_.height() / pixelsPerMm_.y() * screenPixelsPerMm);
}

void EmfDocument::play(QPainter& painter, const QRectF& target) const
{
    Canvas canvas(&painter, target, Mapping::ReferenceToTarget, objectSlots_);
    canvas.setReferenceFrame(frame_, pixelsPerMm_);
    std::unique_ptr<EmfPlusPlayer> plus;
    if (emfPlusOnly_) {
        const double sx = target.width() / frame_.width();
        const double sy = target.height() / frame_.height();
        const QTransform referenceToTarget(sx, 0, 0, sy, target.x() - frame_.x() * sx, target.y() - frame_.y() * sy);
        plus = std::make_unique<EmfPlusPlayer>(painter, target, referenceToTarget,
                                               pixelsPerMm_.x() * 25.4 / emfPlusDpi_, emfPlusDpi_);
    }
    size_t pos = recordsStart_;
    for (int64_t count = 0; count < maxRecords && bytes_.contains(pos, recordHeaderBytes); ++count) {
        ByteView h = bytes_.sub(pos, recordHeaderBytes);
        const uint32_t type = h.u32();
        const uint32_t size = h.u32();
        if (size < recordHeaderBytes || size % 4 != 0 || !bytes_.contains(pos, size) || type == Eof)
            return;
        const ByteView whole = bytes_.sub(pos, size);
        const ByteView parameters = whole.sub(recordHeaderBytes, size - recordHeaderBytes);
        if (plus && type == GdiComment)
            plus->play(emfPlusRecordsOf(parameters));
        else
            playRecord(canvas, type, RecordBytes{whole, parameters});
        if (canvas.exhausted())
            return;
        pos += size;
    }
}

} // namespace glimmora::metafile
