#include "picturecontrol/MetafileCanvas.h"

#include "picturecontrol/MetafileFormat.h"

// Qt
#include <QFont>
#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace glimmora::metafile {

namespace {

constexpr size_t maxObjectSlots = 65536;
constexpr size_t maxSavedStates = 1024;
constexpr qsizetype maxClipRects = 20000;
constexpr int defaultFontHeight = 12;
// Device coordinates beyond this are nonsense from a damaged file; such shapes are dropped.
constexpr double maxDeviceCoordinate = 1e8;

QPainterPath rectPath(const QRectF& box)
{
    QPainterPath path;
    path.addRect(box.normalized());
    return path;
}

double sign(double value) { return value < 0 ? -1.0 : 1.0; }

bool finite(const QTransform& t)
{
    for (double v : {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()}) {
        if (!std::isfinite(v))
            return false;
    }
    return true;
}

// Metric mapping modes: logical units per millimetre, y pointing up.
double millimetresPerUnit(uint32_t mode)
{
    switch (mode) {
    case MapLoMetric: return 0.1;
    case MapHiMetric: return 0.01;
    case MapLoEnglish: return 0.254;
    case MapHiEnglish: return 0.0254;
    case MapTwips: return 25.4 / 1440;
    default: return 0;
    }
}

QBrush stockBrush(uint32_t stock)
{
    switch (stock) {
    case emf::LtGrayBrush: return QBrush(QColor(192, 192, 192));
    case emf::GrayBrush: return QBrush(QColor(128, 128, 128));
    case emf::DkGrayBrush: return QBrush(QColor(64, 64, 64));
    case emf::BlackBrush: return QBrush(Qt::black);
    case emf::NullBrush: return QBrush(Qt::NoBrush);
    default: return QBrush(Qt::white);
    }
}

QPainter::CompositionMode compositionFor(uint32_t rop)
{
    switch (rop) {
    case RopSrcAnd: return QPainter::RasterOp_SourceAndDestination;
    case RopSrcPaint: return QPainter::RasterOp_SourceOrDestination;
    case RopSrcInvert:
    case RopPatInvert: return QPainter::RasterOp_SourceXorDestination;
    case RopDstInvert: return QPainter::RasterOp_NotDestination;
    default: return QPainter::CompositionMode_SourceOver;
    }
}

// The parametric angle (degrees, counter-clockwise from three o'clock) at which the line from
// the box's centre towards point meets the ellipse inscribed in the box.
double ellipseAngle(const QRectF& box, QPointF point)
{
    const QPointF c = box.center();
    const double dx = (point.x() - c.x()) / (box.width() / 2);
    const double dy = (point.y() - c.y()) / (box.height() / 2);
    return std::atan2(-dy, dx) * 180 / std::numbers::pi;
}

} // namespace

struct Canvas::State {
    Pen pen;
    QBrush brush{Qt::white};
    Font font;
    QColor textColor = Qt::black;
    QColor bkColor = Qt::white;
    bool opaqueBackground = true;
    Qt::FillRule fillRule = Qt::OddEvenFill;
    uint32_t textAlign = 0;
    uint32_t mapMode = MapText;
    QPointF windowOrg;
    QPointF windowExt{1, 1};
    QPointF viewportOrg;
    QPointF viewportExt{1, 1};
    QTransform world;
    QPointF position;
    bool clipped = false;
    QRegion clip; // target pixels
    uint64_t clipVersion = 0;
};

Canvas::Canvas(QPainter* painter, const QRectF& target, Mapping mapping, size_t objectSlots)
    : painter_(painter),
      target_(target),
      mapping_(mapping),
      frame_(target),
      objects_(std::min(objectSlots, maxObjectSlots)),
      state_(std::make_unique<State>()),
      base_(painter ? painter->transform() : QTransform())
{}

Canvas::~Canvas() = default;

void Canvas::setReferenceFrame(const QRectF& frame, QPointF pixelsPerMm)
{
    frame_ = frame;
    pixelsPerMm_ = pixelsPerMm;
}

bool Canvas::exhausted() const
{
    if (!outOfTime_ && ++checks_ % 256 == 0)
        outOfTime_ = std::chrono::steady_clock::now() > budget_.deadline;
    return outOfTime_ || paints_ > budget_.paints || points_ > budget_.points;
}

bool Canvas::spend(int64_t points)
{
    if (exhausted())
        return false;
    ++paints_;
    points_ += points;
    return true;
}

// ---- Mapping

QTransform Canvas::pageToReference() const
{
    const State& s = *state_;
    double sx = 1;
    double sy = 1;
    if (const double mm = millimetresPerUnit(s.mapMode); mm > 0) {
        sx = mm * pixelsPerMm_.x();
        sy = -mm * pixelsPerMm_.y();
    } else if (s.mapMode == MapIsotropic || s.mapMode == MapAnisotropic) {
        sx = s.viewportExt.x() / s.windowExt.x();
        sy = s.viewportExt.y() / s.windowExt.y();
        if (s.mapMode == MapIsotropic) {
            const double m = std::min(std::abs(sx), std::abs(sy));
            sx = sign(sx) * m;
            sy = sign(sy) * m;
        }
    }
    return QTransform(sx, 0, 0, sy, s.viewportOrg.x() - s.windowOrg.x() * sx, s.viewportOrg.y() - s.windowOrg.y() * sy);
}

QTransform Canvas::toTarget() const
{
    const State& s = *state_;
    switch (mapping_) {
    case Mapping::Identity: return s.world;
    case Mapping::WindowToTarget: {
        double sx = target_.width() / s.windowExt.x();
        double sy = target_.height() / s.windowExt.y();
        if (s.mapMode == MapIsotropic) {
            const double m = std::min(std::abs(sx), std::abs(sy));
            sx = sign(sx) * m;
            sy = sign(sy) * m;
        }
        return s.world
               * QTransform(sx, 0, 0, sy, target_.x() - s.windowOrg.x() * sx, target_.y() - s.windowOrg.y() * sy);
    }
    case Mapping::ReferenceToTarget: {
        const double sx = target_.width() / frame_.width();
        const double sy = target_.height() / frame_.height();
        const QTransform frameToTarget(sx, 0, 0, sy, target_.x() - frame_.x() * sx, target_.y() - frame_.y() * sy);
        return s.world * pageToReference() * frameToTarget;
    }
    }
    return {};
}

bool Canvas::usable(const QTransform& t) const
{
    const double det = std::abs(t.determinant());
    return finite(t) && det > 1e-12 && det < 1e12 && std::abs(t.dx()) < maxDeviceCoordinate
           && std::abs(t.dy()) < maxDeviceCoordinate;
}

void Canvas::setMapMode(uint32_t mode)
{
    if (mode >= MapText && mode <= MapAnisotropic)
        state_->mapMode = mode;
}

void Canvas::setWindowOrg(QPointF org) { state_->windowOrg = org; }

void Canvas::setWindowExt(QPointF ext)
{
    if (ext.x() != 0 && ext.y() != 0)
        state_->windowExt = ext;
}

void Canvas::setViewportOrg(QPointF org) { state_->viewportOrg = org; }

void Canvas::setViewportExt(QPointF ext)
{
    if (ext.x() != 0 && ext.y() != 0)
        state_->viewportExt = ext;
}

void Canvas::offsetWindowOrg(QPointF delta) { state_->windowOrg += delta; }

void Canvas::offsetViewportOrg(QPointF delta) { state_->viewportOrg += delta; }

void Canvas::scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom != 0 && yDenom != 0)
        setWindowExt({state_->windowExt.x() * xNum / xDenom, state_->windowExt.y() * yNum / yDenom});
}

void Canvas::scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom != 0 && yDenom != 0)
        setViewportExt({state_->viewportExt.x() * xNum / xDenom, state_->viewportExt.y() * yNum / yDenom});
}

void Canvas::setWorldTransform(const QTransform& world)
{
    if (finite(world) && world.determinant() != 0)
        state_->world = world;
}

void Canvas::modifyWorldTransform(const QTransform& xform, uint32_t mode)
{
    switch (mode) {
    case emf::WorldIdentity: state_->world = QTransform(); break;
    case emf::WorldLeftMultiply: setWorldTransform(xform * state_->world); break;
    case emf::WorldRightMultiply: setWorldTransform(state_->world * xform); break;
    case emf::WorldSet: setWorldTransform(xform); break;
    default: break;
    }
}

// ---- Modes and colours

void Canvas::setTextColor(const QColor& color) { state_->textColor = color; }

void Canvas::setBkColor(const QColor& color) { state_->bkColor = color; }

void Canvas::setBkMode(uint32_t mode)
{
    if (mode == BkTransparent || mode == BkOpaque)
        state_->opaqueBackground = mode == BkOpaque;
}

void Canvas::setPolyFillMode(uint32_t mode)
{
    if (mode == FillAlternate || mode == FillWinding)
        state_->fillRule = mode == FillWinding ? Qt::WindingFill : Qt::OddEvenFill;
}

void Canvas::setTextAlign(uint32_t align) { state_->textAlign = align; }

// ---- Saved states

void Canvas::saveDC()
{
    if (saved_.size() >= maxSavedStates)
        ++lostSaves_;
    else
        saved_.push_back(*state_);
}

void Canvas::restoreDC(int32_t which)
{
    const int64_t depth = static_cast<int64_t>(saved_.size()) + lostSaves_;
    const int64_t levels = which < 0 ? -static_cast<int64_t>(which) : depth - (which - 1);
    if (which == 0 || levels < 1 || levels > depth)
        return;
    for (int64_t i = 0; i < levels; ++i) {
        if (lostSaves_ > 0) {
            --lostSaves_;
        } else {
            *state_ = saved_.back();
            saved_.pop_back();
        }
    }
}

// ---- Objects

void Canvas::createObject(GdiObject object)
{
    const auto free = std::find_if(objects_.begin(), objects_.end(), [](const auto& slot) { return !slot; });
    if (free != objects_.end())
        *free = std::move(object);
}

void Canvas::createObjectAt(uint32_t index, GdiObject object)
{
    if (index == 0 || index >= maxObjectSlots)
        return;
    if (index >= objects_.size())
        objects_.resize(index + 1);
    objects_[index] = std::move(object);
}

void Canvas::selectObject(uint32_t index)
{
    if (index & emf::stockObjectFlag) {
        selectStockObject(index & ~emf::stockObjectFlag);
        return;
    }
    if (index >= objects_.size() || !objects_[index])
        return;
    std::visit(
        [this](const auto& object) {
            using T = std::decay_t<decltype(object)>;
            if constexpr (std::is_same_v<T, Pen>)
                state_->pen = object;
            else if constexpr (std::is_same_v<T, QBrush>)
                state_->brush = object;
            else if constexpr (std::is_same_v<T, Font>)
                state_->font = object;
        },
        *objects_[index]);
}

void Canvas::selectStockObject(uint32_t stock)
{
    switch (stock) {
    case emf::WhiteBrush:
    case emf::LtGrayBrush:
    case emf::GrayBrush:
    case emf::DkGrayBrush:
    case emf::BlackBrush:
    case emf::NullBrush:
    case emf::DcBrush: state_->brush = stockBrush(stock); break;
    case emf::WhitePen:
    case emf::BlackPen:
    case emf::NullPen:
    case emf::DcPen:
        state_->pen = Pen{};
        state_->pen.color = stock == emf::WhitePen ? QColor(Qt::white) : QColor(Qt::black);
        state_->pen.visible = stock != emf::NullPen;
        break;
    case emf::OemFixedFont:
    case emf::AnsiFixedFont:
    case emf::AnsiVarFont:
    case emf::SystemFont:
    case emf::DeviceDefaultFont:
    case emf::SystemFixedFont:
    case emf::DefaultGuiFont: state_->font = Font{}; break;
    default: break;
    }
}

void Canvas::deleteObject(uint32_t index)
{
    if (index < objects_.size())
        objects_[index].reset();
}

// ---- Painting

QPen Canvas::devicePen(const QTransform& t) const
{
    const Pen& pen = state_->pen;
    if (!pen.visible)
        return Qt::NoPen;
    const double maxWidth = 2 * std::max(target_.width(), target_.height()) + 1;
    const double width = std::clamp(pen.width * std::sqrt(std::abs(t.determinant())), 1.0, maxWidth);
    return QPen(QBrush(pen.color), width, pen.style, pen.cap, pen.join);
}

void Canvas::paint(const QPainterPath& logical, bool fill, bool stroke)
{
    if (inPath_) {
        addToPath(logical);
        return;
    }
    const QTransform t = toTarget();
    if (!usable(t))
        return;
    QPainterPath device = t.map(logical);
    device.setFillRule(state_->fillRule);
    paintDevice(device, stroke ? devicePen(t) : QPen(Qt::NoPen), fill ? state_->brush : QBrush());
}

void Canvas::paintDevice(const QPainterPath& device, const QPen& pen, const QBrush& brush,
                         QPainter::CompositionMode mode)
{
    if (pen.style() == Qt::NoPen && brush.style() == Qt::NoBrush)
        return;
    const QRectF bounds = device.boundingRect();
    if (!std::isfinite(bounds.width()) || !std::isfinite(bounds.height())
        || std::max(
               {std::abs(bounds.left()), std::abs(bounds.right()), std::abs(bounds.top()), std::abs(bounds.bottom())})
               > maxDeviceCoordinate)
        return;
    if (!spend(device.elementCount()))
        return;
    if (!painter_) {
        const double halfPen = pen.style() == Qt::NoPen ? 0 : pen.widthF() / 2;
        measured_ |= bounds.adjusted(-halfPen, -halfPen, halfPen, halfPen);
        return;
    }
    applyClip();
    painter_->setCompositionMode(
        painter_->paintEngine()->hasFeature(QPaintEngine::RasterOpModes) ? mode : QPainter::CompositionMode_SourceOver);
    painter_->setPen(pen);
    painter_->setBrush(brush);
    painter_->setBackground(state_->bkColor);
    painter_->setBackgroundMode(state_->opaqueBackground ? Qt::OpaqueMode : Qt::TransparentMode);
    painter_->drawPath(device);
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Canvas::addToPath(const QPainterPath& logical)
{
    const QTransform t = toTarget();
    if (usable(t) && spend(logical.elementCount()))
        path_.addPath(t.map(logical));
}

// A line from the current position through the points, painted on its own outside a path
// bracket.
QPainterPath Canvas::openFigure(const QPolygonF& points, QPointF from) const
{
    QPainterPath figure(from);
    for (const QPointF& p : points)
        figure.lineTo(p);
    return figure;
}

// Inside a path bracket, a line from the current position joins the open figure when it ends
// there, and starts a new one otherwise.
bool Canvas::continueFigure(QTransform& t)
{
    t = toTarget();
    if (!usable(t))
        return false;
    const QPointF start = t.map(state_->position);
    if (path_.elementCount() == 0 || path_.currentPosition() != start)
        path_.moveTo(start);
    return true;
}

void Canvas::moveTo(QPointF point)
{
    state_->position = point;
    if (!inPath_)
        return;
    if (const QTransform t = toTarget(); usable(t))
        path_.moveTo(t.map(point));
}

void Canvas::lineTo(QPointF point) { polylineTo(QPolygonF{point}); }

void Canvas::polylineTo(const QPolygonF& points)
{
    if (points.isEmpty())
        return;
    if (inPath_) {
        QTransform t;
        if (continueFigure(t) && spend(points.size())) {
            for (const QPointF& p : points)
                path_.lineTo(t.map(p));
        }
    } else {
        paint(openFigure(points, state_->position), false, true);
    }
    state_->position = points.last();
}

void Canvas::polyBezierTo(const QPolygonF& points)
{
    const qsizetype usable3 = points.size() / 3 * 3;
    if (usable3 == 0)
        return;
    QPainterPath figure(state_->position);
    for (qsizetype i = 0; i < usable3; i += 3)
        figure.cubicTo(points[i], points[i + 1], points[i + 2]);
    if (inPath_) {
        QTransform t;
        if (continueFigure(t) && spend(figure.elementCount()))
            path_.connectPath(t.map(figure));
    } else {
        paint(figure, false, true);
    }
    state_->position = points[usable3 - 1];
}

void Canvas::polyline(const QPolygonF& points)
{
    if (points.size() < 2)
        return;
    QPainterPath figure;
    figure.addPolygon(points);
    paint(figure, false, true);
}

void Canvas::polygon(const QPolygonF& points) { polyPolygon({points}); }

void Canvas::polyPolyline(const std::vector<QPolygonF>& lines)
{
    QPainterPath figure;
    for (const QPolygonF& line : lines) {
        if (line.size() >= 2)
            figure.addPolygon(line);
    }
    if (!figure.isEmpty())
        paint(figure, false, true);
}

void Canvas::polyPolygon(const std::vector<QPolygonF>& polygons)
{
    QPainterPath figure;
    for (const QPolygonF& polygon : polygons) {
        if (polygon.size() >= 2) {
            figure.addPolygon(polygon);
            figure.closeSubpath();
        }
    }
    if (!figure.isEmpty())
        paint(figure, true, true);
}

void Canvas::polyBezier(const QPolygonF& points)
{
    if (points.size() < 4)
        return;
    QPainterPath figure(points.first());
    for (qsizetype i = 1; i + 2 < points.size(); i += 3)
        figure.cubicTo(points[i], points[i + 1], points[i + 2]);
    paint(figure, false, true);
}

void Canvas::rectangle(const QRectF& box) { paint(rectPath(box), true, true); }

void Canvas::roundRect(const QRectF& box, QSizeF corner)
{
    QPainterPath figure;
    figure.addRoundedRect(box.normalized(), std::abs(corner.width()) / 2, std::abs(corner.height()) / 2);
    paint(figure, true, true);
}

void Canvas::ellipse(const QRectF& box)
{
    QPainterPath figure;
    figure.addEllipse(box.normalized());
    paint(figure, true, true);
}

void Canvas::arc(const QRectF& box, QPointF start, QPointF end, ArcKind kind)
{
    const QRectF r = box.normalized();
    if (r.isEmpty())
        return;
    const double from = ellipseAngle(r, start);
    double sweep = ellipseAngle(r, end) - from;
    while (sweep <= 0)
        sweep += 360;
    QPainterPath figure;
    if (kind == ArcKind::Pie)
        figure.moveTo(r.center());
    else
        figure.arcMoveTo(r, from);
    figure.arcTo(r, from, sweep);
    if (kind != ArcKind::Arc)
        figure.closeSubpath();
    paint(figure, kind != ArcKind::Arc, true);
}

void Canvas::setPixel(QPointF point, const QColor& color)
{
    const QTransform t = toTarget();
    if (inPath_ || !usable(t))
        return;
    const QPointF p = t.map(point);
    paintDevice(rectPath(QRectF(std::floor(p.x()), std::floor(p.y()), 1, 1)), Qt::NoPen, QBrush(color));
}

void Canvas::patBlt(const QRectF& dest, uint32_t rop)
{
    const QTransform t = toTarget();
    if (inPath_ || !usable(t))
        return;
    QBrush brush = state_->brush;
    if (rop == RopBlackness)
        brush = QBrush(Qt::black);
    else if (rop == RopWhiteness)
        brush = QBrush(Qt::white);
    else if (rop == RopDstInvert)
        brush = QBrush(Qt::white);
    paintDevice(t.map(rectPath(dest)), Qt::NoPen, brush, compositionFor(rop));
}

void Canvas::drawDib(const QRectF& dest, const Dib& dib, const QRectF& source, uint32_t rop)
{
    const QTransform t = toTarget();
    if (dib.image.isNull() || inPath_ || !usable(t) || source.width() == 0 || source.height() == 0)
        return;
    const bool mirrorX = (dest.width() < 0) != (source.width() < 0);
    const bool mirrorY = (dest.height() < 0) != (source.height() < 0);
    QRectF src = source.normalized();
    if (dib.bottomUp)
        src.moveTop(dib.image.height() - src.bottom());
    const QRect pixels = src.toAlignedRect() & dib.image.rect();
    const QRectF destBox = dest.normalized();
    const QRectF deviceBox = t.mapRect(destBox);
    if (pixels.isEmpty() || destBox.isEmpty() || deviceBox.width() > maxDeviceCoordinate
        || deviceBox.height() > maxDeviceCoordinate || !spend(4))
        return;
    if (!painter_) {
        measured_ |= deviceBox;
        return;
    }
    QImage image = dib.image.copy(pixels).mirrored(mirrorX, mirrorY);
    // A large bitmap drawn small (a thumbnail) is scaled smoothly first; the painter alone
    // would only sample it.
    const QSize deviceSize(std::max(1, qRound(deviceBox.width())), std::max(1, qRound(deviceBox.height())));
    if (image.width() > 2 * deviceSize.width() || image.height() > 2 * deviceSize.height())
        image = image.scaled(deviceSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (rop == RopNotSrcCopy)
        image.invertPixels();
    applyClip();
    const QPainter::CompositionMode mode = compositionFor(rop);
    if (painter_->paintEngine()->hasFeature(QPaintEngine::RasterOpModes))
        painter_->setCompositionMode(mode);
    painter_->setTransform(t * base_);
    painter_->drawImage(destBox, image);
    painter_->setTransform(base_);
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// ---- Text

namespace {

QFont deviceFont(const Font& logical, double xScale, double yScale, double maxPixels)
{
    QFont font(logical.face.isEmpty() ? QStringLiteral("Arial") : logical.face);
    const double height = logical.height == 0 ? defaultFontHeight : std::abs(logical.height);
    double pixels = std::clamp(height * yScale, 1.0, maxPixels);
    font.setPixelSize(std::max(1, qRound(pixels)));
    if (logical.height > 0) {
        // A positive height is the cell height, leading included.
        const double cell = QFontMetricsF(font).height();
        if (cell > 0)
            font.setPixelSize(std::max(1, qRound(pixels * pixels / cell)));
    }
    font.setWeight(static_cast<QFont::Weight>(std::clamp(logical.weight == 0 ? 400 : logical.weight, 100, 900)));
    font.setItalic(logical.italic);
    font.setUnderline(logical.underline);
    font.setStrikeOut(logical.strikeOut);
    if (logical.width != 0) {
        const double average = QFontMetricsF(font).averageCharWidth();
        if (average > 0)
            font.setStretch(std::clamp(qRound(100 * std::abs(logical.width) * xScale / average), 1, 4000));
    }
    return font;
}

} // namespace

void Canvas::text(QPointF reference, const QString& text, const std::vector<double>& dx, uint32_t options,
                  const QRectF* box)
{
    const QTransform t = toTarget();
    if (inPath_ || !usable(t))
        return;
    if (box && (options & TextOpaque))
        paintDevice(t.map(rectPath(*box)), Qt::NoPen, QBrush(state_->bkColor));
    if (text.isEmpty() || !spend(text.size()))
        return;
    const State& s = *state_;
    const QPointF origin = (s.textAlign & AlignUpdateCp) ? s.position : reference;
    const double xScale = std::hypot(t.m11(), t.m12());
    const double yScale = std::hypot(t.m21(), t.m22());
    const QFont font = deviceFont(s.font, xScale, yScale, 4 * std::max(target_.width(), target_.height()) + 16);
    const QFontMetricsF metrics(font);

    std::vector<double> offsets;
    double advance = 0;
    if (dx.size() >= static_cast<size_t>(text.size())) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            offsets.push_back(advance);
            advance += dx[i] * xScale;
        }
    } else {
        advance = metrics.horizontalAdvance(text);
    }
    const uint32_t horizontal = s.textAlign & AlignHorizontalMask;
    const uint32_t vertical = s.textAlign & AlignVerticalMask;
    const double x0 = horizontal == AlignCenter ? -advance / 2 : horizontal == AlignRight ? -advance : 0;
    const double y0 = vertical == AlignBaseline ? 0 : vertical == AlignBottom ? -metrics.descent() : metrics.ascent();
    const QRectF cell(x0, y0 - metrics.ascent(), advance, metrics.ascent() + metrics.descent());
    const QPointF anchor = t.map(origin);

    if (!painter_) {
        measured_ |= cell.translated(anchor);
    } else {
        applyClip();
        painter_->save();
        if (box && (options & TextClipped))
            painter_->setClipPath(t.map(rectPath(*box)), Qt::IntersectClip);
        painter_->translate(anchor);
        painter_->rotate(-s.font.escapement / 10.0);
        if (s.opaqueBackground)
            painter_->fillRect(cell, s.bkColor);
        painter_->setFont(font);
        painter_->setPen(s.textColor);
        if (offsets.empty()) {
            painter_->drawText(QPointF(x0, y0), text);
        } else {
            for (qsizetype i = 0; i < text.size(); ++i) {
                const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
                painter_->drawText(QPointF(x0 + offsets[i], y0), text.mid(i, length));
                i += length - 1;
            }
        }
        painter_->restore();
    }
    if (s.textAlign & AlignUpdateCp)
        state_->position = QPointF(origin.x() + sign(t.m11()) * advance / std::max(xScale, 1e-12), origin.y());
}

// ---- Clipping

void Canvas::applyClip()
{
    if (state_->clipVersion == appliedClip_)
        return;
    appliedClip_ = state_->clipVersion;
    painter_->setTransform(base_);
    if (state_->clipped)
        painter_->setClipRegion(state_->clip);
    else
        painter_->setClipRect(target_);
}

// Clips are kept as regions of target pixels: GDI clips are pixel sets too, and region
// operations stay fast where path operations would grow without bound.
QRegion Canvas::regionOf(const QPainterPath& device) const
{
    QRegion region;
    const QList<QPolygonF> polygons = device.toFillPolygons();
    if (polygons.size() > maxClipRects)
        return region;
    // Only the target matters, and Qt's polygon regions misbehave far outside integer range.
    const QRectF reach = target_.adjusted(-2, -2, 2, 2);
    for (const QPolygonF& polygon : polygons) {
        const QPolygon inside =
            (reach.contains(polygon.boundingRect()) ? polygon : polygon.intersected(QPolygonF(reach))).toPolygon();
        if (inside.size() >= 3 && !inside.boundingRect().isEmpty())
            region = region.xored(QRegion(inside, device.fillRule()));
    }
    return region;
}

void Canvas::combineClip(const QRegion& device, uint32_t mode)
{
    State& s = *state_;
    const QRegion whole(target_.toAlignedRect());
    const QRegion base = s.clipped ? s.clip : whole;
    QRegion result;
    switch (mode) {
    case RegionAnd: result = base.intersected(device); break;
    case RegionOr: result = base.united(device); break;
    case RegionXor: result = base.xored(device); break;
    case RegionDiff: result = base.subtracted(device); break;
    case RegionCopy: result = device; break;
    default: return;
    }
    result &= whole;
    if (result.rectCount() > maxClipRects)
        return;
    s.clip = result;
    s.clipped = true;
    s.clipVersion = ++clipVersions_;
}

void Canvas::intersectClipRect(const QRectF& box)
{
    if (const QTransform t = toTarget(); usable(t))
        combineClip(regionOf(t.map(rectPath(box))), RegionAnd);
}

void Canvas::excludeClipRect(const QRectF& box)
{
    if (const QTransform t = toTarget(); usable(t))
        combineClip(regionOf(t.map(rectPath(box))), RegionDiff);
}

void Canvas::resetClip()
{
    state_->clipped = false;
    state_->clip = QRegion();
    state_->clipVersion = ++clipVersions_;
}

void Canvas::selectClipRects(const std::vector<QRectF>& rects, uint32_t mode)
{
    if (mode == RegionCopy && rects.empty()) {
        resetClip();
        return;
    }
    const double sx = target_.width() / frame_.width();
    const double sy = target_.height() / frame_.height();
    const QTransform referenceToTarget(sx, 0, 0, sy, target_.x() - frame_.x() * sx, target_.y() - frame_.y() * sy);
    if (!usable(referenceToTarget))
        return;
    QRegion region;
    for (const QRectF& r : rects)
        region += referenceToTarget.mapRect(r.normalized()).toRect();
    combineClip(region, mode);
}

// ---- Path brackets

void Canvas::beginPath()
{
    inPath_ = true;
    path_ = QPainterPath();
}

void Canvas::endPath() { inPath_ = false; }

void Canvas::abortPath()
{
    inPath_ = false;
    path_ = QPainterPath();
}

void Canvas::closeFigure()
{
    if (inPath_)
        path_.closeSubpath();
}

void Canvas::fillPath()
{
    endPath();
    path_.setFillRule(state_->fillRule);
    paintDevice(path_, Qt::NoPen, state_->brush);
    path_ = QPainterPath();
}

void Canvas::strokePath()
{
    endPath();
    const QTransform t = toTarget();
    if (usable(t))
        paintDevice(path_, devicePen(t), QBrush());
    path_ = QPainterPath();
}

void Canvas::strokeAndFillPath()
{
    endPath();
    const QTransform t = toTarget();
    path_.setFillRule(state_->fillRule);
    if (usable(t))
        paintDevice(path_, devicePen(t), state_->brush);
    path_ = QPainterPath();
}

void Canvas::selectClipPath(uint32_t mode)
{
    endPath();
    combineClip(regionOf(path_), mode);
    path_ = QPainterPath();
}

} // namespace glimmora::metafile

namespace glimmora::metafile {

QColor colorFromRef(uint32_t colorRef)
{
    return QColor(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF);
}

Pen penFrom(uint32_t style, double width, const QColor& color)
{
    Pen pen;
    pen.color = color;
    pen.width = std::max(0.0, width);
    switch (style & PenStyleMask) {
    case PenNull: pen.visible = false; break;
    case PenDash: pen.style = Qt::DashLine; break;
    case PenDot:
    case PenAlternate: pen.style = Qt::DotLine; break;
    case PenDashDot: pen.style = Qt::DashDotLine; break;
    case PenDashDotDot: pen.style = Qt::DashDotDotLine; break;
    default: pen.style = Qt::SolidLine; break;
    }
    switch (style & PenEndCapMask) {
    case PenEndCapSquare: pen.cap = Qt::SquareCap; break;
    case PenEndCapFlat: pen.cap = Qt::FlatCap; break;
    default: pen.cap = Qt::RoundCap; break;
    }
    switch (style & PenJoinMask) {
    case PenJoinBevel: pen.join = Qt::BevelJoin; break;
    case PenJoinMiter: pen.join = Qt::MiterJoin; break;
    default: pen.join = Qt::RoundJoin; break;
    }
    return pen;
}

QBrush brushFrom(uint32_t style, const QColor& color, uint32_t hatch)
{
    switch (style) {
    case BrushNull: return QBrush(Qt::NoBrush);
    case BrushHatched:
        switch (hatch) {
        case HatchHorizontal: return QBrush(color, Qt::HorPattern);
        case HatchVertical: return QBrush(color, Qt::VerPattern);
        case HatchForwardDiagonal: return QBrush(color, Qt::FDiagPattern);
        case HatchBackwardDiagonal: return QBrush(color, Qt::BDiagPattern);
        case HatchCross: return QBrush(color, Qt::CrossPattern);
        case HatchDiagonalCross: return QBrush(color, Qt::DiagCrossPattern);
        default: return QBrush(color);
        }
    default: return QBrush(color);
    }
}

QString decodeAnsi(std::string_view bytes)
{
    // Windows-1252 differs from Latin-1 only in 0x80..0x9F.
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text.append(b >= 0x80 && b < 0xA0 ? QChar(high[b - 0x80]) : QChar(b));
    }
    return text;
}

} // namespace glimmora::metafile

namespace glimmora::metafile {

QString decodeUtf16(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size() / 2));
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.append(
            QChar(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8)));
    return text;
}

} // namespace glimmora::metafile
