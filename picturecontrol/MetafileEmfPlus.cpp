#include "picturecontrol/MetafileEmfPlus.h"

// Qt
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>
#include <map>
#include <variant>
#include <vector>

namespace glimmora::metafile {

namespace {

// The EMF+ record types, flags and object kinds used here (the layout of the EMF+ format).
enum Record : uint16_t {
    Header = 0x4001,
    EndOfFile = 0x4002,
    Object = 0x4008,
    Clear = 0x4009,
    FillRects = 0x400A,
    DrawRects = 0x400B,
    FillPolygon = 0x400C,
    DrawLines = 0x400D,
    FillEllipse = 0x400E,
    DrawEllipse = 0x400F,
    FillPie = 0x4010,
    DrawPie = 0x4011,
    DrawArc = 0x4012,
    FillRegion = 0x4013,
    FillPath = 0x4014,
    DrawPath = 0x4015,
    FillClosedCurve = 0x4016,
    DrawClosedCurve = 0x4017,
    DrawCurve = 0x4018,
    DrawBeziers = 0x4019,
    DrawImage = 0x401A,
    DrawImagePoints = 0x401B,
    DrawString = 0x401C,
    Save = 0x4025,
    Restore = 0x4026,
    BeginContainer = 0x4027,
    BeginContainerNoParams = 0x4028,
    EndContainer = 0x4029,
    SetWorldTransform = 0x402A,
    ResetWorldTransform = 0x402B,
    MultiplyWorldTransform = 0x402C,
    TranslateWorldTransform = 0x402D,
    ScaleWorldTransform = 0x402E,
    RotateWorldTransform = 0x402F,
    SetPageTransform = 0x4030,
    ResetClip = 0x4031,
    SetClipRect = 0x4032,
    SetClipPath = 0x4033,
    DrawDriverString = 0x4036,
};

constexpr uint16_t kSolidColourFlag = 0x8000; // the brush field is a colour, not an object
constexpr uint16_t kShortPointsFlag = 0x4000; // points and rectangles as 16-bit integers
constexpr uint16_t kAppendFlag = 0x2000;      // a transform applies after the world transform
constexpr uint16_t kClosedFlag = 0x2000;      // DrawLines: the last point joins the first
constexpr uint16_t kRelativeFlag = 0x0800;    // points relative to the previous one (not drawn)
constexpr uint32_t kEmfPlusMark = 0x2B464D45; // "EMF+"
constexpr int kRecordHeaderBytes = 12;
constexpr uint32_t kMaxPoints = 1'000'000;
constexpr int kMaxStates = 1'000;

enum ObjectKind { BrushObject = 1, PenObject = 2, PathObject = 3, ImageObject = 5, FontObject = 6 };

bool isShownDrawing(uint16_t type)
{
    switch (type) {
    case Clear:
    case FillRects:
    case DrawRects:
    case FillPolygon:
    case DrawLines:
    case FillEllipse:
    case DrawEllipse:
    case FillPie:
    case DrawPie:
    case DrawArc:
    case FillPath:
    case DrawPath:
    case DrawBeziers:
    case DrawImage:
    case DrawImagePoints:
    case DrawString: return true;
    default: return false;
    }
}

bool isOtherDrawing(uint16_t type)
{
    return type == FillRegion || type == FillClosedCurve || type == DrawClosedCurve || type == DrawCurve
           || type == DrawDriverString;
}

QColor argb(uint32_t value) { return QColor::fromRgba(value); }

// Pixels of the EMF+ device a unit holds (world and display units count as pixels).
double unitPixels(uint32_t unit, int dpi)
{
    switch (unit) {
    case 3: return dpi / 72.0;  // point
    case 4: return dpi;         // inch
    case 5: return dpi / 300.0; // document
    case 6: return dpi / 25.4;  // millimetre
    default: return 1.0;        // world, display, pixel
    }
}

struct Font {
    QFont font;
    double emSize = 0;
    uint32_t unit = 2;
};

using PlusObject = std::variant<std::monostate, QBrush, QPen, QPainterPath, QImage, Font>;

template <typename Visit>
void forEachRecord(ByteView records, Visit&& visit)
{
    while (records.remaining() >= kRecordHeaderBytes) {
        const size_t start = records.position();
        const uint16_t type = records.u16();
        const uint16_t flags = records.u16();
        const uint32_t size = records.u32();
        const uint32_t dataSize = records.u32();
        if (size < kRecordHeaderBytes || dataSize > size - kRecordHeaderBytes || !records.contains(start, size))
            return;
        visit(type, flags, records.sub(start + kRecordHeaderBytes, dataSize));
        records.seek(start + size);
    }
}

QRectF readRect(ByteView& p, bool shortPoints)
{
    if (shortPoints) {
        const double x = p.i16(), y = p.i16(), w = p.i16(), h = p.i16();
        return QRectF(x, y, w, h);
    }
    const double x = p.f32(), y = p.f32(), w = p.f32(), h = p.f32();
    return QRectF(x, y, w, h);
}

QTransform readTransform(ByteView& p)
{
    const double m11 = p.f32(), m12 = p.f32(), m21 = p.f32(), m22 = p.f32(), dx = p.f32(), dy = p.f32();
    return QTransform(m11, m12, m21, m22, dx, dy);
}

std::vector<QPointF> readPoints(ByteView& p, uint32_t count, bool shortPoints)
{
    std::vector<QPointF> points;
    if (count > kMaxPoints || !p.has(size_t(count) * (shortPoints ? 4 : 8)))
        return points;
    points.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (shortPoints) {
            const double x = p.i16(), y = p.i16();
            points.emplace_back(x, y);
        } else {
            const double x = p.f32(), y = p.f32();
            points.emplace_back(x, y);
        }
    }
    return points;
}

QString readUtf16(ByteView& p, uint32_t length)
{
    if (length > kMaxPoints || !p.has(size_t(length) * 2))
        return {};
    QString text(qsizetype(length), Qt::Uninitialized);
    for (uint32_t i = 0; i < length; ++i)
        text[qsizetype(i)] = QChar(p.u16());
    return text;
}

QBrush readBrush(ByteView& p)
{
    p.skip(4); // version
    const uint32_t type = p.u32();
    if (type == 0)
        return QBrush(argb(p.u32()));
    if (type == 1) { // hatch: the foreground colour stands for it
        p.skip(4);
        return QBrush(argb(p.u32()));
    }
    return QBrush(Qt::gray); // gradients and textures: a neutral fill rather than none
}

// The optional parts of a pen's data, in the order they follow its width.
size_t optionalPenBytes(ByteView p, uint32_t flags)
{
    const size_t start = p.position();
    const std::array<std::pair<uint32_t, size_t>, 8> fixed{
        {{0x001, 24}, {0x002, 4}, {0x004, 4}, {0x008, 4}, {0x010, 4}, {0x020, 4}, {0x040, 4}, {0x080, 4}}};
    for (const auto& [flag, bytes] : fixed)
        if (flags & flag)
            p.skip(bytes);
    for (const uint32_t counted : {0x100u, 0x200u, 0x400u}) {
        if (!(flags & counted))
            continue;
        if (counted == 0x200u) {
            p.skip(4); // alignment
            continue;
        }
        const uint32_t count = p.u32();
        p.skip(size_t(std::min<uint32_t>(count, kMaxPoints)) * 4);
    }
    for (const uint32_t cap : {0x800u, 0x1000u})
        if (flags & cap)
            p.skip(std::min<uint32_t>(p.u32(), uint32_t(p.remaining())));
    return p.ok() ? p.position() - start : p.size();
}

QPen readPen(ByteView& p)
{
    p.skip(4 + 4); // version, type
    const uint32_t flags = p.u32();
    p.skip(4); // unit: the width is taken in world units
    const double width = p.f32();
    p.skip(optionalPenBytes(p, flags));
    QPen pen(readBrush(p), std::isfinite(width) && width > 0 ? width : 0.0);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

QPainterPath readPath(ByteView& p)
{
    p.skip(4); // version
    const uint32_t count = p.u32();
    const uint32_t flags = p.u32();
    QPainterPath path;
    if (flags & (kRelativeFlag | 0x1000))
        return path;
    const std::vector<QPointF> points = readPoints(p, count, flags & kShortPointsFlag);
    if (points.size() != count || !p.has(count))
        return path;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t type = p.u8();
        switch (type & 0x07) {
        case 0: path.moveTo(points[i]); break;
        case 3:
            if (i + 2 < count) {
                path.cubicTo(points[i], points[i + 1], points[i + 2]);
                i += 2;
                p.skip(2);
            }
            break;
        default: path.lineTo(points[i]); break;
        }
        if (type & 0x80)
            path.closeSubpath();
    }
    return path;
}

QImage readImage(ByteView& p)
{
    p.skip(4); // version
    if (p.u32() != 1)
        return {}; // a metafile inside: not drawn
    const int32_t width = p.i32(), height = p.i32(), stride = p.i32();
    const uint32_t format = p.u32();
    const uint32_t type = p.u32();
    if (!p.ok() || width <= 0 || height <= 0 || width > 16384 || height > 16384)
        return {};
    if (type == 1) { // a compressed picture: PNG, JPEG, GIF, …
        const std::string_view data = p.bytes(p.remaining());
        return QImage::fromData(QByteArrayView(data.data(), qsizetype(data.size())));
    }
    constexpr uint32_t kArgb32 = 0x0026200A, kPremultipliedArgb32 = 0x000E200B, kRgb32 = 0x00022009;
    const QImage::Format qtFormat = format == kArgb32                ? QImage::Format_ARGB32
                                    : format == kPremultipliedArgb32 ? QImage::Format_ARGB32_Premultiplied
                                    : format == kRgb32               ? QImage::Format_RGB32
                                                                     : QImage::Format_Invalid;
    if (qtFormat == QImage::Format_Invalid || stride < width * 4 || !p.has(size_t(stride) * size_t(height)))
        return {};
    const std::string_view data = p.bytes(size_t(stride) * size_t(height));
    return QImage(reinterpret_cast<const uchar*>(data.data()), width, height, stride, qtFormat).copy();
}

Font readFont(ByteView& p)
{
    p.skip(4); // version
    Font font;
    font.emSize = p.f32();
    font.unit = p.u32();
    const int32_t style = p.i32();
    p.skip(4);
    const QString family = readUtf16(p, p.u32());
    font.font.setFamily(family);
    font.font.setBold(style & 1);
    font.font.setItalic(style & 2);
    font.font.setUnderline(style & 4);
    font.font.setStrikeOut(style & 8);
    return font;
}

} // namespace

ByteView emfPlusRecordsOf(ByteView parameters)
{
    const uint32_t dataSize = parameters.u32();
    if (!parameters.ok() || dataSize < 4 || parameters.u32() != kEmfPlusMark || !parameters.ok())
        return ByteView(nullptr, 0);
    return parameters.sub(8, std::min<size_t>(dataSize - 4, parameters.remaining()));
}

EmfPlusSummary summarizeEmfPlus(ByteView records)
{
    EmfPlusSummary summary;
    bool first = true;
    while (records.remaining() >= 8) {
        const size_t start = records.position();
        const uint32_t type = records.u32();
        const uint32_t size = records.u32();
        if (size < 8 || size % 4 != 0 || !records.contains(start, size))
            break;
        constexpr uint32_t kGdiComment = 70;
        if (type == kGdiComment) {
            forEachRecord(emfPlusRecordsOf(records.sub(start + 8, size - 8)),
                          [&](uint16_t plusType, uint16_t flags, ByteView data) {
                              if (first && plusType == Header) {
                                  summary.present = true;
                                  summary.dual = flags & 1;
                                  data.skip(8);
                                  const uint32_t dpi = data.u32();
                                  summary.dpi = data.ok() && dpi >= 10 && dpi <= 10000 ? int(dpi) : 96;
                              }
                              first = false;
                              summary.drawsShown |= isShownDrawing(plusType);
                              summary.drawsOther |= isOtherDrawing(plusType);
                          });
        }
        if (!summary.present)
            return summary; // only a file that starts with an EMF+ header is one
        records.seek(start + size);
    }
    return summary;
}

struct EmfPlusPlayer::State {
    QPainter& painter;
    QRectF target;
    QTransform referenceToTarget;
    double referencePerPixel;
    int dpi;
    QTransform world;
    QTransform page;
    double pageUnitPixels = 1.0;
    std::map<uint8_t, PlusObject> objects;
    std::map<uint32_t, std::pair<QTransform, QTransform>> saved; // world and page by stack index

    State(QPainter& painter, const QRectF& target, const QTransform& referenceToTarget, double referencePerPixel,
          int dpi)
        : painter(painter),
          target(target),
          referenceToTarget(referenceToTarget),
          referencePerPixel(referencePerPixel),
          dpi(dpi)
    {
        setPage(2, 1.0);
    }

    void setPage(uint32_t unit, double scale)
    {
        pageUnitPixels = unitPixels(unit, dpi) * (std::isfinite(scale) && scale > 0 ? scale : 1.0);
        page = QTransform::fromScale(pageUnitPixels * referencePerPixel, pageUnitPixels * referencePerPixel);
    }

    void applyTransform() { painter.setTransform(world * page * referenceToTarget); }

    template <typename T>
    const T* object(uint32_t id) const
    {
        const auto found = objects.find(uint8_t(id & 0xFF));
        return found == objects.end() ? nullptr : std::get_if<T>(&found->second);
    }

    QBrush brush(uint16_t flags, uint32_t field) const
    {
        if (flags & kSolidColourFlag)
            return QBrush(argb(field));
        const QBrush* brush = object<QBrush>(field);
        return brush ? *brush : QBrush();
    }

    QPen pen(uint32_t id) const
    {
        const QPen* pen = object<QPen>(id);
        return pen ? *pen : QPen(Qt::NoPen);
    }

    void draw(const QPainterPath& path, const QPen& pen, const QBrush& brush)
    {
        applyTransform();
        painter.setPen(pen);
        painter.setBrush(brush);
        painter.drawPath(path);
    }

    void transformBy(const QTransform& by, uint16_t flags) { world = (flags & kAppendFlag) ? world * by : by * world; }
};

EmfPlusPlayer::EmfPlusPlayer(QPainter& painter, const QRectF& target, const QTransform& referenceToTarget,
                             double referencePerPixel, int dpi)
    : state_(std::make_unique<State>(painter, target, referenceToTarget, referencePerPixel, dpi))
{}

EmfPlusPlayer::~EmfPlusPlayer() = default;

void EmfPlusPlayer::play(ByteView records)
{
    State& s = *state_;
    forEachRecord(records, [&s](uint16_t type, uint16_t flags, ByteView p) {
        const bool shortPoints = flags & kShortPointsFlag;
        switch (type) {
        case Object: {
            if (flags & 0x8000)
                break; // an object continued over several records: too large to be drawn
            PlusObject object;
            switch ((flags >> 8) & 0x7F) {
            case BrushObject: object = readBrush(p); break;
            case PenObject: object = readPen(p); break;
            case PathObject: object = readPath(p); break;
            case ImageObject: object = readImage(p); break;
            case FontObject: object = readFont(p); break;
            default: break;
            }
            s.objects[uint8_t(flags & 0xFF)] = p.ok() ? std::move(object) : PlusObject();
            break;
        }
        case Clear: {
            const QColor colour = argb(p.u32());
            s.painter.resetTransform();
            s.painter.fillRect(s.target, colour);
            break;
        }
        case FillRects: {
            const QBrush brush = s.brush(flags, p.u32());
            const uint32_t count = p.u32();
            QPainterPath path;
            for (uint32_t i = 0; i < count && i < kMaxPoints && p.ok(); ++i)
                path.addRect(readRect(p, shortPoints));
            if (p.ok())
                s.draw(path, Qt::NoPen, brush);
            break;
        }
        case DrawRects: {
            const uint32_t count = p.u32();
            QPainterPath path;
            for (uint32_t i = 0; i < count && i < kMaxPoints && p.ok(); ++i)
                path.addRect(readRect(p, shortPoints));
            if (p.ok())
                s.draw(path, s.pen(flags), Qt::NoBrush);
            break;
        }
        case FillPolygon: {
            const QBrush brush = s.brush(flags, p.u32());
            const std::vector<QPointF> points = readPoints(p, p.u32(), shortPoints);
            if (!(flags & kRelativeFlag) && points.size() >= 3) {
                QPainterPath path;
                path.addPolygon(QPolygonF(QList<QPointF>(points.begin(), points.end())));
                path.closeSubpath();
                s.draw(path, Qt::NoPen, brush);
            }
            break;
        }
        case DrawLines:
        case DrawBeziers: {
            const std::vector<QPointF> points = readPoints(p, p.u32(), shortPoints);
            if ((flags & kRelativeFlag) || points.size() < 2)
                break;
            QPainterPath path(points.front());
            if (type == DrawLines) {
                for (size_t i = 1; i < points.size(); ++i)
                    path.lineTo(points[i]);
                if (flags & kClosedFlag)
                    path.closeSubpath();
            } else {
                for (size_t i = 1; i + 2 < points.size(); i += 3)
                    path.cubicTo(points[i], points[i + 1], points[i + 2]);
            }
            s.draw(path, s.pen(flags), Qt::NoBrush);
            break;
        }
        case FillEllipse:
        case DrawEllipse: {
            const QBrush brush = type == FillEllipse ? s.brush(flags, p.u32()) : QBrush();
            QPainterPath path;
            path.addEllipse(readRect(p, shortPoints));
            if (p.ok())
                s.draw(path, type == DrawEllipse ? s.pen(flags) : QPen(Qt::NoPen), brush);
            break;
        }
        case FillPie:
        case DrawPie:
        case DrawArc: {
            const QBrush brush = type == FillPie ? s.brush(flags, p.u32()) : QBrush();
            const double start = p.f32(), sweep = p.f32();
            const QRectF box = readRect(p, shortPoints);
            if (!p.ok() || !std::isfinite(start) || !std::isfinite(sweep))
                break;
            // Angles run clockwise on the page, Qt's counter-clockwise.
            QPainterPath path;
            if (type != DrawArc)
                path.moveTo(box.center());
            path.arcMoveTo(box, -start);
            path.arcTo(box, -start, -sweep);
            if (type != DrawArc)
                path.closeSubpath();
            s.draw(path, type == FillPie ? QPen(Qt::NoPen) : s.pen(flags), brush);
            break;
        }
        case FillPath: {
            const QPainterPath* path = s.object<QPainterPath>(flags);
            const QBrush brush = s.brush(flags, p.u32());
            if (path && p.ok())
                s.draw(*path, Qt::NoPen, brush);
            break;
        }
        case DrawPath: {
            const QPainterPath* path = s.object<QPainterPath>(flags);
            const uint32_t pen = p.u32();
            if (path && p.ok())
                s.draw(*path, s.pen(pen), Qt::NoBrush);
            break;
        }
        case DrawImage:
        case DrawImagePoints: {
            const QImage* image = s.object<QImage>(flags);
            p.skip(4 + 4); // image attributes, source unit
            const QRectF source = readRect(p, false);
            if (!image || image->isNull() || !p.ok())
                break;
            QTransform sourceToPage;
            if (type == DrawImage) {
                const QRectF target = readRect(p, shortPoints);
                if (!p.ok() || source.isEmpty())
                    break;
                sourceToPage =
                    QTransform::fromTranslate(-source.x(), -source.y())
                    * QTransform::fromScale(target.width() / source.width(), target.height() / source.height())
                    * QTransform::fromTranslate(target.x(), target.y());
            } else {
                const std::vector<QPointF> corners = readPoints(p, p.u32(), shortPoints);
                if (corners.size() != 3 || source.isEmpty())
                    break;
                // The source's top-left, top-right and bottom-left corners go to the three points.
                const QPointF across = corners[1] - corners[0], down = corners[2] - corners[0];
                sourceToPage =
                    QTransform::fromTranslate(-source.x(), -source.y())
                    * QTransform(across.x() / source.width(), across.y() / source.width(), down.x() / source.height(),
                                 down.y() / source.height(), corners[0].x(), corners[0].y());
            }
            s.painter.setTransform(sourceToPage * s.world * s.page * s.referenceToTarget);
            s.painter.drawImage(source, *image, source);
            break;
        }
        case DrawString: {
            const Font* font = s.object<Font>(flags);
            const QBrush brush = s.brush(flags, p.u32());
            p.skip(4); // string format: the text starts at the layout rectangle's top left
            const uint32_t length = p.u32();
            const QRectF layout = readRect(p, false);
            const QString text = readUtf16(p, length);
            if (!font || text.isEmpty() || !p.ok() || !std::isfinite(font->emSize) || font->emSize <= 0)
                break;
            QFont shown = font->font;
            // The size in page units, as the text is drawn in world coordinates.
            const double size =
                font->unit == 0 ? font->emSize : font->emSize * unitPixels(font->unit, s.dpi) / s.pageUnitPixels;
            shown.setPixelSize(std::max(1, int(std::lround(size))));
            s.applyTransform();
            s.painter.setFont(shown);
            s.painter.setPen(QPen(brush, 0));
            const QRectF box(layout.topLeft(), QSizeF(layout.width() > 0 ? layout.width() : 1e6,
                                                      layout.height() > 0 ? layout.height() : 1e6));
            s.painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
            break;
        }
        case Save:
        case BeginContainerNoParams: s.saved[p.u32()] = {s.world, s.page}; break;
        case BeginContainer:
            p.skip(32); // destination and source rectangles
            s.saved[p.u32()] = {s.world, s.page};
            break;
        case Restore:
        case EndContainer: {
            const auto found = s.saved.find(p.u32());
            if (found != s.saved.end()) {
                std::tie(s.world, s.page) = found->second;
                s.saved.erase(found);
            }
            break;
        }
        case SetWorldTransform: s.world = readTransform(p); break;
        case ResetWorldTransform: s.world = QTransform(); break;
        case MultiplyWorldTransform: s.transformBy(readTransform(p), flags); break;
        case TranslateWorldTransform: {
            const double dx = p.f32(), dy = p.f32();
            s.transformBy(QTransform::fromTranslate(dx, dy), flags);
            break;
        }
        case ScaleWorldTransform: {
            const double sx = p.f32(), sy = p.f32();
            s.transformBy(QTransform::fromScale(sx, sy), flags);
            break;
        }
        case RotateWorldTransform: s.transformBy(QTransform().rotate(p.f32()), flags); break;
        case SetPageTransform: s.setPage(flags & 0xFF, p.f32()); break;
        case ResetClip:
            s.painter.resetTransform();
            s.painter.setClipRect(s.target);
            break;
        case SetClipRect: {
            const QRectF box = readRect(p, false);
            if (!p.ok())
                break;
            s.applyTransform();
            s.painter.setClipRect(box, ((flags >> 8) & 0x0F) == 1 ? Qt::IntersectClip : Qt::ReplaceClip);
            break;
        }
        case SetClipPath: {
            if (const QPainterPath* path = s.object<QPainterPath>(flags)) {
                s.applyTransform();
                s.painter.setClipPath(*path, ((flags >> 8) & 0x0F) == 1 ? Qt::IntersectClip : Qt::ReplaceClip);
            }
            break;
        }
        default: break; // rendering hints, and drawing records of other kinds
        }
        if (s.saved.size() > kMaxStates)
            s.saved.erase(s.saved.begin());
    });
}

} // namespace glimmora::metafile
