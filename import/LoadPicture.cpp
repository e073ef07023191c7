#include "import/LoadPicture.h"

#include "catalog/ImageElement.h"
#include "catalog/Volume.h"
#include "import/MovieFrame.h"

// Qt
#include <QFileInfo>
#include <QPainter>

namespace glimmora {

namespace {

constexpr int kMovType = 31;

enum class LoadMode { FullSize, Thumbnail };

void prepareControl(TGvboxCtrl& control, LoadMode mode, bool embeddedThumbnails)
{
    control.setThumbnail(mode == LoadMode::Thumbnail ? qint16(TLoadPictureModule::kThumbnailSize)
                                                     : TGvboxCtrl::kFullSize);
    control.setEmbeddedThumbnails(mode == LoadMode::Thumbnail && embeddedThumbnails);
    control.setAppearance(mode == LoadMode::Thumbnail ? 1 : 0);
    control.setBackColor(QColor(0xFF, 0xFF, 0xFF));
}

} // namespace

QImage movieThumbnail(const QImage& frame, int size)
{
    QImage thumbnail(size, size, QImage::Format_RGB32);
    thumbnail.fill(Qt::white);
    const int width = frame.width();
    const int height = frame.height();
    if (width <= 0 || height <= 0)
        return thumbnail;
    const int drawnWidth = width > height ? size : int(qint64(size) * width / height);
    const int drawnHeight = width > height ? int(qint64(size) * height / width) : size;
    QPainter painter(&thumbnail);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect((size - drawnWidth) / 2, (size - drawnHeight) / 2, drawnWidth, drawnHeight), frame);
    return thumbnail;
}

TLoadPictureModule::TLoadPictureModule(const TRemoveableMediaList* disks, bool embeddedThumbnails)
    : disks_(disks),
      embeddedThumbnails_(embeddedThumbnails)
{}

int TLoadPictureModule::LoadFullSize(const QString& path, QImage& picture, const TImageElement* record, bool silent,
                                     QString& errorText)
{
    prepareControl(gvbox_, LoadMode::FullSize, embeddedThumbnails_);
    return load(path, picture, record, silent, errorText);
}

int TLoadPictureModule::LoadThumbnail(const QString& path, QImage& picture, const TImageElement* record, bool silent,
                                      QString& errorText)
{
    prepareControl(gvbox_, LoadMode::Thumbnail, embeddedThumbnails_);
    return load(path, picture, record, silent, errorText);
}

int TLoadPictureModule::LoadFullSizeRetrying(const QString& path, QImage& picture, const TImageElement* record,
                                             QString& errorText)
{
    int code;
    do {
        code = LoadFullSize(path, picture, record, false, errorText);
    } while (code == kLoadRetry);
    return code;
}

ThumbnailResult TLoadPictureModule::loadThumbnail(const QString& path, const TImageElement& record)
{
    ThumbnailResult result;
    do {
        result.code = LoadThumbnail(path, result.thumbnail, &record, true, result.errorText);
    } while (result.code == kLoadRetry);
    return result;
}

int TLoadPictureModule::load(const QString& path, QImage& picture, const TImageElement* record, bool silent,
                             QString& errorText)
{
    path_ = path;
    record_ = record;
    errorText_.clear();
    resultCode_ = kLoadGivenUp;
    const std::optional<int> type = PictureTypeOf(QFileInfo(path).suffix());
    if (type) {
        if (isMovieType(*type))
            loadMovie(*type, picture, silent);
        else
            loadStill(picture, silent);
    }
    errorText = errorText_;
    record_ = nullptr;
    return resultCode_;
}

void TLoadPictureModule::loadStill(QImage& picture, bool silent)
{
    try {
        gvbox_.setFileName(path_);
        picture = gvbox_.Picture();
        resultCode_ = kLoadLoaded;
    } catch (const EGvboxError& error) {
        fail(error.message(), silent);
    }
    gvbox_.setFileName(QString());
}

void TLoadPictureModule::loadMovie(int typeCode, QImage& picture, bool silent)
{
    QImage frame;
    try {
        frame = readFirstMovieFrame(path_, typeCode == kMovType ? MovieContainer::Mov : MovieContainer::Avi);
    } catch (const EMovieFrameError& error) {
        fail(QString::fromUtf8(error.what()), silent);
        return;
    }
    picture = gvbox_.Thumbnail() == TGvboxCtrl::kFullSize ? frame : movieThumbnail(frame, kThumbnailSize);
    resultCode_ = kLoadLoaded;
}

void TLoadPictureModule::fail(const QString& message, bool silent)
{
    const LoadErrorOutcome outcome = HandleLoadError(path_, record_, message, silent, disks_);
    resultCode_ = outcome.resultCode;
    errorText_ = outcome.errorText;
}

} // namespace glimmora
