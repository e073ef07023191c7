#include "ScrapbookWriter.h"

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"
#include "store/QDB.h"

// Qt
#include <QImage>

#include <stdexcept>

namespace glimmora::test {

void writeScrapbook(const QString& base, const QList<ImageSpec>& images, const QStringList& emptyCategories)
{
    TCorrespondences memberships(base + QStringLiteral(".cor"));
    TCategories categories(base + QStringLiteral(".cat"), memberships);
    TImageElementForm store(base + QStringLiteral(".idb"), categories);
    for (const QString& name : emptyCategories)
        categories.FindOrAddCategory(name, false);
    std::int32_t seqNo = 0;
    for (const ImageSpec& image : images) {
        TImageElement record;
        record.IT_SeqNo = ++seqNo;
        record.IT_FileType = static_cast<std::uint8_t>(PictureTypeOf(image.path).value_or(0));
        record.IT_Path = pathBytes(image.path);
        record.IT_PathHash = PathChecksum(record.IT_Path);
        record.IT_Memo = image.memo;
        record.IT_VolumeSerial = image.serial;
        record.IT_Removable = image.removable;
        if (!image.thumbnail.isEmpty()) {
            record.IT_Bitmap = QImage(image.thumbnail, QImage::Format_RGB32);
            record.IT_Bitmap.fill(image.colour);
        }
        store.WriteImage(record);
        for (const QString& name : image.categories)
            categories.AddImageToCategory(*categories.FindOrAddCategory(name, false).first, record);
    }
    store.openStore(TImageElementForm::Use::Change);
    store.ImageTable().setAdminInteger("MAX_SEQ_NO", seqNo);
    // In the scrapbook's order; each raises on failure.
    store.EndImagePass();
    memberships.SaveMemberships();
    categories.SaveCategories();
}

} // namespace glimmora::test
