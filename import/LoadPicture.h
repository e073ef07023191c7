#pragma once

#include "catalog/ThumbnailSource.h"
#include "picturecontrol/GvboxCtrl.h"

// Qt
#include <QImage>
#include <QString>

namespace glimmora {

class TRemoveableMediaList;
struct TImageElement;

// The program's one picture loader. It fills a caller's picture with a file's still: through
// the picture control for still types, from the first frame for avi and mov movies. Every
// failure is explained by HandleLoadError, which may ask the user to insert a removable disk.
//
// Result codes (LoadResultCode): 1 loaded; 2 not loaded (no picture type, a missing disk when
// silent, or Cancel); 4 the user chose Retry, so the caller loads again; 7 failed, with the
// error text saying why.
class TLoadPictureModule : public ThumbnailSource {
public:
    static constexpr int kThumbnailSize = 60;

    // disks: the removable-disk registry that names a missing disk (not owned; may be null).
    // embeddedThumbnails: whether the thumbnail of a camera's JPEG may be the one the camera
    // stored in it, when that plainly stands for the picture; off for users whose editing tools
    // leave stale ones behind. Full-size loads always decode the picture.
    explicit TLoadPictureModule(const TRemoveableMediaList* disks = nullptr, bool embeddedThumbnails = true);

    bool EmbeddedThumbnails() const { return embeddedThumbnails_; }

    // One load at full size, for showing, printing, copying or converting. record may be
    // null; errorText receives the error text (empty when loaded).
    int LoadFullSize(const QString& path, QImage& picture, const TImageElement* record, bool silent,
                     QString& errorText);
    // One load in thumbnail mode: a still fits in 60 × 60 keeping its aspect ratio; a movie
    // frame is placed in a white 60 × 60 square.
    int LoadThumbnail(const QString& path, QImage& picture, const TImageElement* record, bool silent,
                      QString& errorText);

    // What full-size callers do: load, and load again while the user chooses Retry.
    int LoadFullSizeRetrying(const QString& path, QImage& picture, const TImageElement* record, QString& errorText);

    // The thumbnail of a new image record: silent, as an import must never stop to ask.
    ThumbnailResult loadThumbnail(const QString& path, const TImageElement& record) override;

    // The picture control; the detail window sets its JPEG settings around its load.
    TGvboxCtrl& Gvbox() { return gvbox_; }

private:
    int load(const QString& path, QImage& picture, const TImageElement* record, bool silent, QString& errorText);
    void loadStill(QImage& picture, bool silent);
    void loadMovie(int typeCode, QImage& picture, bool silent);
    void fail(const QString& message, bool silent);

    const TRemoveableMediaList* disks_;
    bool embeddedThumbnails_;
    TGvboxCtrl gvbox_;
    const TImageElement* record_ = nullptr;
    QString path_;
    int resultCode_ = kLoadGivenUp;
    QString errorText_;
};

// A movie's thumbnail: the frame stretched, keeping its aspect ratio, into a white square of
// size × size, centred; the longer side fills the square.
QImage movieThumbnail(const QImage& frame, int size);

} // namespace glimmora
