#pragma once

// Qt
#include <QByteArray>
#include <QByteArrayView>
#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <memory>
#include <stdexcept>

class QPainter;

namespace glimmora {

// Raised when a file is no Windows Metafile or Enhanced Metafile that we can play; what() is
// the text shown to the user (UTF-8).
class EMetafileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class MetafileKind { None, Wmf, Emf };

// Plays Windows Metafiles (with or without the placeable header) and Enhanced Metafiles with
// QPainter. The file is read and its header checked on construction; the records are played
// on every render, so a thumbnail is drawn directly at its own size instead of being scaled
// down from a large picture.
//
// Files are untrusted: every record length and count is checked, the amount of work per
// render is capped, and a record that does not make sense is skipped rather than drawn.
class MetafilePlayer {
public:
    // Largest file we read; larger files raise EMetafileError.
    static constexpr qint64 maxFileBytes = 64 * 1024 * 1024;
    // Largest natural size; a picture whose frame is larger is scaled down to fit, keeping
    // its aspect ratio.
    static constexpr int maxNaturalSide = 8192;
    // Largest image render(QSize) makes.
    static constexpr int maxRenderSide = 16384;

    // Throw EMetafileError when the bytes are not a metafile or its header is unusable.
    explicit MetafilePlayer(QByteArray bytes);
    static MetafilePlayer fromFile(const QString& path);

    MetafilePlayer(MetafilePlayer&&) noexcept;
    MetafilePlayer& operator=(MetafilePlayer&&) noexcept;
    ~MetafilePlayer();

    // What the first bytes of a file say it is (a placeable header, a standard WMF header or
    // an EMF header with its signature); 40 bytes (WMF) or 44 bytes (EMF) are enough.
    static MetafileKind probe(QByteArrayView head);

    MetafileKind kind() const;

    // The picture's size at 96 pixels per inch (at least 1 × 1, at most maxNaturalSide).
    QSize naturalSize() const;

    // The whole picture stretched into an image of the given size, on the background colour.
    // An empty size gives a null image; sides above maxRenderSide are capped.
    QImage render(QSize size, const QColor& background = Qt::white) const;

    // The whole picture stretched into the target rectangle of a painter (a printer page, a
    // window). The painter's state is restored afterwards.
    void render(QPainter& painter, const QRectF& target) const;

private:
    struct Data;
    std::unique_ptr<Data> data_;
};

} // namespace glimmora
