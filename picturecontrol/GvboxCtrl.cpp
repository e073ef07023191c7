#include "picturecontrol/GvboxCtrl.h"

#include "picturecontrol/PictureDecoder.h"

#include <algorithm>

namespace glimmora {

void TGvboxCtrl::setFileName(const QString& path)
{
    fileName_.clear();
    picture_ = QImage();
    if (path.isEmpty())
        return;
    DecodeRequest request;
    request.thumbnailSize = std::max<int>(thumbnail_, 0);
    request.jpegQuality = jpgQuality_;
    request.background = backColor_;
    request.embeddedThumbnail = embeddedThumbnails_;
    picture_ = decodePicture(path, request);
    fileName_ = path;
}

} // namespace glimmora
