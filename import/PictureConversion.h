#pragma once

#include "catalog/AddFileToCategory.h"
#include "picturecontrol/PictureWriter.h"

// Qt
#include <QImage>
#include <QList>
#include <QString>

namespace glimmora {

// Converting an image's picture into a new file of another format, which then joins the
// scrapbook: the commands of the category window's "Convert" menus and of glimmora-cli convert.
// The picture converted is the rendering the full-size loader delivers, not the file's data.

enum class Conversion { Bitmap, Metafile, Jpeg, Gif };

struct ConversionKind {
    QString extension;   // without the dot
    QString description; // of the save dialog's one filter
};
const ConversionKind& conversionKind(Conversion conversion);

// Whether a conversion is offered for the image at `imagePath`: into any type but its own.
bool isConversionOffered(Conversion conversion, const QString& imagePath);

// The name first proposed for the new file: the image's file name with its extension replaced
// (sunset.jpg gives sunset.bmp, sunset.jpeg too).
QString proposedFileName(const QString& imagePath, const QString& extension);

// The file format a conversion writes under a name: a metafile whose name ends in ".wmf" (any
// case) is a Windows Metafile, under any other name an Enhanced Metafile.
PictureFileFormat fileFormatOf(Conversion conversion, const QString& fileName);

// Why the picture of `imagePath` may not be written to `target`: it is the image's own file
// (under this name or another link to it). Empty when it may.
QString ownFileRefusal(const QString& imagePath, const QString& target);

// What a conversion came to. A failure means the new file was not kept.
struct ConversionOutcome {
    QString failure;
    AddFileOutcome added; // how the new file joined the scrapbook (the last category's adding)

    bool failed() const { return !failure.isEmpty(); }
};

// Writes the picture into `target` in the format, whole or not at all, and adds the new file to
// each of `categories`, keeping it in "(unassigned)" where it is. When writing or adding fails,
// no file is left. A file that replaced one the scrapbook already knew gets its new thumbnail.
// The caller saves the scrapbook afterwards.
ConversionOutcome ConvertPicture(const FileAdding& scrapbook, const QImage& picture, PictureFileFormat format,
                                 const QString& target, const QList<TCategory*>& categories);

} // namespace glimmora
