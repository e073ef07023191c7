#include "catalog/ImageElementForm.h"

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageItemFormat.h"
#include "catalog/StoredText.h"
#include "catalog/ThumbnailSource.h"
#include "catalog/Volume.h"
#include "platform/Paths.h"
#include "store/QDB.h"
#include "store/QDBErrors.h"

// Qt
#include <QFile>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace glimmora {

namespace {

const std::string kMaxSeqNoKey = "MAX_SEQ_NO";
constexpr std::int64_t kLargestSeqNo = std::numeric_limits<std::int32_t>::max();

// The store keeps values as bytes; the codec works on Qt byte arrays.
store::TQDB::ByteView storeView(const QByteArray& value)
{
    return {reinterpret_cast<const std::uint8_t*>(value.constData()), static_cast<std::size_t>(value.size())};
}

QByteArrayView fromStoreBytes(const store::TQDB::Bytes& value)
{
    return QByteArrayView(reinterpret_cast<const char*>(value.data()), qsizetype(value.size()));
}

// A path as the scrapbook knows it: trimmed, folded, as the file system's bytes.
QByteArray identityOf(const QString& path) { return pathBytes(foldPath(trimmedText(path))); }

} // namespace

TImageElementForm::TImageElementForm(const QString& storeFileName, TCategories& categories, Access access)
    : storeFileName_(storeFileName),
      categories_(categories),
      access_(access),
      imageTable_(std::make_unique<store::TQDB>())
{
    // The store's own defaults are the settings the image store needs: no cache statistics,
    // a 64 KiB cache, no compression, saved on close, expanded names, the simple matcher.
    categories_.setImageStore(this);
}

TImageElementForm::~TImageElementForm()
{
    try {
        EndImagePass();
    } catch (const std::exception&) {
        // Nothing can be reported while the program ends; the old store file stays as it was.
    }
    categories_.setImageStore(nullptr);
}

void TImageElementForm::openStore(Use use)
{
    const bool forChanges = use == Use::Change;
    if (forChanges && access_ == Access::ReadOnly)
        throw std::logic_error("the image store was opened for reading only");
    if (imageTable_->active() && (openForChanges_ || !forChanges))
        return;
    const std::string name = QFile::encodeName(storeFileName_).toStdString();
    if (!forChanges && !store::seam::status(name))
        return; // nothing to read; the store file is made by the first change
    closeStore();
    // Opened read-only, the store is closed without being rebuilt: a read leaves the file as it
    // is, also where nothing could be written.
    imageTable_->setReadOnly(!forChanges);
    imageTable_->setFileName(name);
    openForChanges_ = forChanges;
}

void TImageElementForm::closeStore()
{
    imageTable_->setFileName(std::string());
    openForChanges_ = false;
}

void TImageElementForm::EndReadPass()
{
    if (!openForChanges_)
        closeStore();
}

void TImageElementForm::DiscardChanges()
{
    imageTable_->setReadOnly(true);
    closeStore();
}

// Decodes the current record's value. A value the store cannot read, or that does not follow
// the layout, is a damaged record of the image store and is named as such.
template <typename Result>
Result TImageElementForm::decodeCurrent(Result (*decode)(QByteArrayView))
{
    try {
        imageTable_->getItem(passBuffer_);
        return decode(fromStoreBytes(passBuffer_));
    } catch (const store::EQDBError& error) {
        raiseUnreadable(error.what());
    } catch (const EImageItemError& error) {
        raiseUnreadable(error.what());
    }
}

void TImageElementForm::raiseUnreadable(const char* reason) const
{
    throw EImageRecordError(
        QStringLiteral("The image record %1 in %2 cannot be read: %3")
            .arg(QString::fromStdString(imageTable_->currentKey()), storeFileName_, QString::fromUtf8(reason))
            .toStdString());
}

std::unique_ptr<TImageElement> TImageElementForm::currentImage()
{
    return std::make_unique<TImageElement>(decodeCurrent(decodeImageItem));
}

std::unique_ptr<TImageElement> TImageElementForm::ReadImage(std::int32_t seqNo)
{
    openStore();
    if (!imageTable_->findKey(ImageStoreKey(seqNo)))
        return nullptr;
    return currentImage();
}

bool TImageElementForm::HasImage(std::int32_t seqNo)
{
    openStore();
    return imageTable_->findKey(ImageStoreKey(seqNo));
}

void TImageElementForm::WriteImage(const TImageElement& record)
{
    const QByteArray value = encodeImageItem(record);
    const std::string key = ImageStoreKey(record.IT_SeqNo);
    openStore(Use::Change);
    try {
        imageTable_->addItem(storeView(value), key);
    } catch (const store::EQDBIndexError&) {
        // The key exists: the record replaces its item.
        imageTable_->findKey(key);
        imageTable_->changeItem(storeView(value));
    }
    for (const auto& category : categories_.categories())
        categories_.RefreshImageInCategories(*category, record);
}

void TImageElementForm::DeleteImage(const TImageElement& record)
{
    const TImageElement deleted = record; // the record may be a category's copy that goes below
    openStore(Use::Change);
    if (imageTable_->findKey(ImageStoreKey(deleted.IT_SeqNo)))
        imageTable_->deleteItem();
    if (pathIndex_) {
        const auto entry = pathIndex_->constFind(deleted.IT_Path);
        if (entry != pathIndex_->cend() && *entry == deleted.IT_SeqNo)
            pathIndex_->erase(entry);
    }
    for (const auto& category : categories_.categories())
        categories_.RemoveImageFromCategory(*category, deleted);
}

std::unique_ptr<TImageElement> TImageElementForm::FirstImage()
{
    openStore();
    if (imageTable_->count() <= 0)
        return nullptr;
    imageTable_->first();
    return currentImage();
}

std::unique_ptr<TImageElement> TImageElementForm::NextImage()
{
    if (!imageTable_->active() || imageTable_->eof())
        return nullptr;
    imageTable_->next();
    return currentImage();
}

void TImageElementForm::EndImagePass()
{
    if (imageTable_->active())
        imageTable_->save();
    closeStore();
}

bool TImageElementForm::ImageStoreEmpty()
{
    openStore();
    const bool empty = imageTable_->count() == 0;
    EndReadPass();
    return empty;
}

QList<std::int32_t> TImageElementForm::StoredImageNumbers()
{
    openStore();
    QList<std::int32_t> numbers;
    numbers.reserve(imageTable_->count());
    for (std::int32_t i = 0; i < imageTable_->count(); ++i) {
        // Keys that are no image number (another program's items) are no records.
        const QByteArray key = QByteArray::fromStdString(imageTable_->itemKey(i));
        bool isNumber = false;
        const int seqNo = key.toInt(&isNumber);
        if (isNumber && seqNo > 0 && ImageStoreKey(seqNo) == key.toStdString())
            numbers.append(seqNo);
    }
    EndReadPass();
    return numbers;
}

void TImageElementForm::ReorganizeImageStore()
{
    openStore(Use::Change);
    imageTable_->save();
    imageTable_->pack();
    closeStore();
}

// Reads only the fixed fields and the path of each value: decoding every thumbnail would cost
// more than the pass.
std::vector<ImageIdentity> TImageElementForm::ImageIdentities(const std::function<void(int, int)>& progress)
{
    std::vector<ImageIdentity> identities;
    openStore();
    const std::int32_t count = imageTable_->count();
    identities.reserve(std::size_t(std::max(count, 0)));
    for (std::int32_t i = 0; i < count; ++i) {
        i == 0 ? imageTable_->first() : imageTable_->next();
        identities.push_back(decodeCurrent(decodeImageIdentity));
        if (progress)
            progress(i + 1, count);
    }
    EndReadPass();
    return identities;
}

const PathIndexMap& TImageElementForm::PathIndex()
{
    if (!pathIndex_) {
        PathIndexMap index;
        const std::vector<ImageIdentity> identities = ImageIdentities();
        index.reserve(qsizetype(identities.size()));
        for (const ImageIdentity& identity : identities)
            if (!index.contains(identity.path)) // the first record of a path is its image
                index.insert(identity.path, identity.seqNo);
        pathIndex_ = std::move(index);
    }
    return *pathIndex_;
}

std::optional<std::int32_t> TImageElementForm::KnownImageNumber(const QString& path)
{
    const PathIndexMap& index = PathIndex();
    const auto found = index.constFind(identityOf(path));
    if (found == index.cend())
        return std::nullopt;
    return *found;
}

void TImageElementForm::SetImagePath(TImageElement& record, const QString& newPath)
{
    SetImagePath(record, pathBytes(newPath));
}

void TImageElementForm::SetImagePath(TImageElement& record, const QByteArray& newPath)
{
    if (pathIndex_ && pathIndex_->value(record.IT_Path) == record.IT_SeqNo)
        pathIndex_->remove(record.IT_Path);
    record.IT_Path = newPath;
    record.IT_PathHash = PathChecksum(record.IT_Path);
    if (pathIndex_)
        pathIndex_->insert(record.IT_Path, record.IT_SeqNo);
}

std::int32_t TImageElementForm::nextSequenceNumber()
{
    std::int64_t next = 1;
    try {
        next = std::int64_t(imageTable_->getAdminInteger(kMaxSeqNoKey)) + 1;
    } catch (const store::EQDBBadKey&) {
        // A new store has no entry yet: numbering starts at 1.
    }
    // A lost or stale "MAX_SEQ_NO" (a damaged or hand-made store) must not hand out the number of
    // a stored record, which writing the new record would replace, nor one that a membership
    // still names, which would put the new image in that membership's category.
    const TCorrespondences& memberships = categories_.memberships();
    next = std::max<std::int64_t>(next, 1);
    while (next <= kLargestSeqNo
           && (imageTable_->findKey(ImageStoreKey(std::int32_t(next)))
               || memberships.ImageHasCategory(std::int32_t(next))))
        ++next;
    if (next > kLargestSeqNo)
        throw EImageNumbersUsedUp(QStringLiteral("No image can be added to the scrapbook %1: every image number up "
                                                 "to %2 has been given out.")
                                      .arg(storeFileName_)
                                      .arg(kLargestSeqNo)
                                      .toStdString());
    return std::int32_t(next);
}

FindOrAddResult TImageElementForm::FindOrAddImage(const QString& path, ThumbnailSource& loader)
{
    FindOrAddResult result;
    if (const std::optional<std::int32_t> known = KnownImageNumber(path)) {
        result.record = ReadImage(*known);
        if (result.record)
            return result;
    }
    const QString folded = foldPath(trimmedText(path));
    const QByteArray identity = pathBytes(folded);
    const std::int32_t checksum = PathChecksum(identity);

    auto record = std::make_unique<TImageElement>();
    record->IT_Path = identity;
    record->IT_FileType = static_cast<std::uint8_t>(PictureTypeOf(folded).value_or(0));
    const TVol_Info volume = ReadVolumeInfo(folded);
    record->IT_VolumeSerial = volume.serialNumber;
    record->IT_Removable = volume.removable;
    record->IT_PathHash = checksum;

    ThumbnailResult thumbnail = loader.loadThumbnail(folded, *record);
    if (thumbnail.code != kLoadLoaded) {
        result.errorText = thumbnail.errorText;
        return result;
    }
    record->IT_Bitmap = thumbnail.thumbnail;
    if (thumbnailBmp(record->IT_Bitmap).size() > qsizetype(image_item::kThumbnailLimit)) {
        result.errorText = QStringLiteral("The thumbnail of %1 is too large to be stored (%2 x %3 pixels)")
                               .arg(folded)
                               .arg(record->IT_Bitmap.width())
                               .arg(record->IT_Bitmap.height());
        return result;
    }
    openStore(Use::Change); // also when the loader closed it
    record->IT_SeqNo = nextSequenceNumber();
    WriteImage(*record);
    imageTable_->setAdminInteger(kMaxSeqNoKey, record->IT_SeqNo);
    pathIndex_->insert(identity, record->IT_SeqNo);
    result.record = std::move(record);
    result.added = true;
    return result;
}

std::vector<std::unique_ptr<TImageElement>> TImageElementForm::SearchMemos(const QString& text)
{
    std::vector<std::unique_ptr<TImageElement>> found;
    const QString wanted = text.toLower().trimmed();
    if (wanted.isEmpty())
        return found;
    for (auto record = FirstImage(); record; record = NextImage())
        if (record->IT_Memo.toLower().contains(wanted))
            found.push_back(std::move(record));
    EndReadPass();
    return found;
}

} // namespace glimmora
