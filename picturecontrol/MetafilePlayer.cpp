#include "picturecontrol/MetafilePlayer.h"

#include "picturecontrol/MetafileEmf.h"
#include "picturecontrol/MetafileWmf.h"

// Qt
#include <QFile>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace glimmora {

using metafile::ByteView;

struct MetafilePlayer::Data {
    QByteArray bytes;
    MetafileKind kind = MetafileKind::None;
    std::unique_ptr<metafile::Document> document; // views bytes
};

namespace {

ByteView viewOf(QByteArrayView bytes) { return ByteView(bytes.data(), static_cast<size_t>(bytes.size())); }

} // namespace

MetafilePlayer::MetafilePlayer(QByteArray bytes) : data_(std::make_unique<Data>())
{
    data_->bytes = std::move(bytes);
    data_->kind = probe(data_->bytes);
    const ByteView view = viewOf(data_->bytes);
    switch (data_->kind) {
    case MetafileKind::Wmf: data_->document = std::make_unique<metafile::WmfDocument>(view); break;
    case MetafileKind::Emf: data_->document = std::make_unique<metafile::EmfDocument>(view); break;
    case MetafileKind::None: throw EMetafileError("The file is not a Windows Metafile or an Enhanced Metafile.");
    }
}

MetafilePlayer MetafilePlayer::fromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EMetafileError(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()).toStdString());
    if (file.size() > maxFileBytes)
        throw EMetafileError(QStringLiteral("The metafile %1 is too large.").arg(path).toStdString());
    QByteArray bytes = file.read(maxFileBytes + 1);
    if (bytes.size() > maxFileBytes)
        throw EMetafileError(QStringLiteral("The metafile %1 is too large.").arg(path).toStdString());
    return MetafilePlayer(std::move(bytes));
}

MetafilePlayer::MetafilePlayer(MetafilePlayer&&) noexcept = default;
MetafilePlayer& MetafilePlayer::operator=(MetafilePlayer&&) noexcept = default;
MetafilePlayer::~MetafilePlayer() = default;

MetafileKind MetafilePlayer::probe(QByteArrayView head)
{
    const ByteView view = viewOf(head);
    if (metafile::EmfDocument::probe(view))
        return MetafileKind::Emf;
    if (metafile::WmfDocument::probe(view))
        return MetafileKind::Wmf;
    return MetafileKind::None;
}

MetafileKind MetafilePlayer::kind() const { return data_->kind; }

QSize MetafilePlayer::naturalSize() const
{
    const QSizeF size = data_->document->naturalSize();
    const double scale = std::min({1.0, maxNaturalSide / size.width(), maxNaturalSide / size.height()});
    return QSize(std::clamp(qRound(size.width() * scale), 1, maxNaturalSide),
                 std::clamp(qRound(size.height() * scale), 1, maxNaturalSide));
}

QImage MetafilePlayer::render(QSize size, const QColor& background) const
{
    if (size.isEmpty())
        return {};
    size = size.boundedTo(QSize(maxRenderSide, maxRenderSide));
    QImage image(size, background.alpha() == 255 ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.fill(background);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    render(painter, QRectF(QPointF(0, 0), size));
    return image;
}

void MetafilePlayer::render(QPainter& painter, const QRectF& target) const
{
    if (target.isEmpty())
        return;
    painter.save();
    painter.setClipRect(target, Qt::IntersectClip);
    data_->document->play(painter, target);
    painter.restore();
}

} // namespace glimmora
