#pragma once

#include "picturecontrol/PictureError.h"

// Qt
#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

namespace glimmora {

// The picture control: decodes one still picture file (every still type of the picture-type
// table) and holds the rendered picture. The loader and the detail window use it in this
// order: Thumbnail, Appearance and BackColor, then FileName := path (which decodes before it
// returns, or raises EGvboxError with a message), then Picture and the size are read, then
// FileName := empty, which lets go of the file and the picture.
//
// The control is no window of its own: whoever shows its picture places a widget of the
// control's size.
class TGvboxCtrl {
public:
    static constexpr qint16 kFullSize = 0;

    // An empty path releases the picture. A path is decoded at once; on failure the control
    // holds no picture and the error's message says why.
    void setFileName(const QString& path);
    const QString& FileName() const { return fileName_; }

    // 0 renders at full size; n > 0 renders a thumbnail that fits in n × n pixels, keeping
    // the aspect ratio (pictures that already fit keep their size).
    void setThumbnail(qint16 size) { thumbnail_ = size; }
    qint16 Thumbnail() const { return thumbnail_; }

    // 0 for full-size pictures, 1 for thumbnails; the rendered pixels are the same in both.
    void setAppearance(int appearance) { appearance_ = appearance; }
    int Appearance() const { return appearance_; }

    // In thumbnail mode, whether a JPEG's thumbnail may be the small picture its camera stored
    // in it, when that one plainly stands for the picture, instead of one decoded from the
    // picture. Off unless asked for.
    void setEmbeddedThumbnails(bool allowed) { embeddedThumbnails_ = allowed; }
    bool EmbeddedThumbnails() const { return embeddedThumbnails_; }

    // What transparent parts of a picture are drawn on.
    void setBackColor(const QColor& color) { backColor_ = color; }
    const QColor& BackColor() const { return backColor_; }

    // The rendered picture (opaque, 32 bits per pixel); null when no file is held.
    const QImage& Picture() const { return picture_; }

    // The size of the rendered picture.
    QSize size() const { return picture_.size(); }
    int width() const { return picture_.width(); }
    int height() const { return picture_.height(); }

    // JPEG settings. JPGQuality chooses the decoder's accuracy (50 or more: exact DCT and
    // smooth chroma upsampling). Pictures are always rendered in true colour, so neither
    // dithering nor extra smoothing is ever needed; JPEGDither and JPGSmoothing are kept so
    // that a caller can set and restore them around its load.
    void setJPEGDither(int dither) { jpegDither_ = dither; }
    int JPEGDither() const { return jpegDither_; }
    void setJPGQuality(qint16 quality) { jpgQuality_ = quality; }
    qint16 JPGQuality() const { return jpgQuality_; }
    void setJPGSmoothing(qint16 smoothing) { jpgSmoothing_ = smoothing; }
    qint16 JPGSmoothing() const { return jpgSmoothing_; }

private:
    QString fileName_;
    qint16 thumbnail_ = kFullSize;
    bool embeddedThumbnails_ = false;
    int appearance_ = 0;
    QColor backColor_ = Qt::white;
    QImage picture_;
    int jpegDither_ = 0;
    qint16 jpgQuality_ = 75;
    qint16 jpgSmoothing_ = 0;
};

} // namespace glimmora
