#include "catalog/Scrapbook.h"

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/DataFile.h"
#include "catalog/ImageElementForm.h"
#include "catalog/RemoveableMediaList.h"
#include "store/QDB.h"
#include "store/QDBErrors.h"

// Qt
#include <QFile>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>

namespace glimmora {

namespace {

const QString kMembershipsExtension = QStringLiteral(".cor");
const QString kCategoriesExtension = QStringLiteral(".cat");
const QString kDisksExtension = QStringLiteral(".rmv");
const QString kStoreExtension = QStringLiteral(".idb");

QString errorText(const std::exception& error) { return QString::fromUtf8(error.what()); }

QString counted(int count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

} // namespace

QStringList ScrapbookRepairs::sentences() const
{
    QStringList sentences;
    if (membershipsOfMissingImages > 0)
        sentences.append(counted(membershipsOfMissingImages, "membership of an image that is not in the scrapbook",
                                 "memberships of images that are not in the scrapbook")
                         + QStringLiteral(" dropped."));
    if (membershipsOfMissingCategories > 0)
        sentences.append(counted(membershipsOfMissingCategories, "membership in a category that does not exist",
                                 "memberships in categories that do not exist")
                         + QStringLiteral(" dropped."));
    if (imagesPutInUnassigned > 0)
        sentences.append(
            counted(imagesPutInUnassigned, "image that was in no category", "images that were in no category")
            + QStringLiteral(" put in (unassigned)."));
    return sentences;
}

QString TScrapbook::dataPath(const QString& dataDirectory) { return dataDirectory + QStringLiteral("/Default"); }

TScrapbook::TScrapbook(const QString& dataDirectory, Access access) : dataDirectory_(dataDirectory), access_(access)
{
    if (!lock_.tryLock(dataDirectory_))
        throw EScrapbookError(lock_.errorText().toStdString());
    const QString base = dataPath(dataDirectory_);
    try {
        memberships_ = std::make_unique<TCorrespondences>(base + kMembershipsExtension);
        categories_ = std::make_unique<TCategories>(base + kCategoriesExtension, *memberships_);
        disks_ = std::make_unique<TRemoveableMediaList>(base + kDisksExtension);
        disks_->Load();
    } catch (const EDataFileError& error) {
        throw EScrapbookError(error.what());
    }
    images_ = std::make_unique<TImageElementForm>(base + kStoreExtension, *categories_,
                                                  access == Access::ReadOnly ? TImageElementForm::Access::ReadOnly
                                                                             : TImageElementForm::Access::ReadWrite);
    reconcile();
    if (access_ == Access::ReadWrite)
        clearStaleTemporaries();
}

TScrapbook::~TScrapbook() { images_->DiscardChanges(); }

// A membership of a record that is not stored would give its number to the next new image,
// which would then show in that category; a record in no category could be found nowhere.
void TScrapbook::reconcile()
{
    QList<std::int32_t> stored;
    try {
        stored = images_->StoredImageNumbers();
    } catch (const store::EQDBError& error) {
        const std::string storeFile =
            images_->ImageTable().normalisedName(QFile::encodeName(images_->storeFileName()).toStdString());
        const bool damaged = error.what() == store::formatMessage(store::messages::kNotValidFile, storeFile);
        throw EScrapbookError(
            QStringLiteral("The image store %1 %2: %3. Nothing was changed.%4")
                .arg(images_->storeFileName(),
                     damaged ? QStringLiteral("is damaged") : QStringLiteral("cannot be opened"), errorText(error),
                     damaged ? QStringLiteral(" \"glimmora-cli salvage\" makes a new store of every record that can "
                                              "still be read.")
                             : QString())
                .toStdString());
    }
    const QSet<std::int32_t> records(stored.begin(), stored.end());
    QSet<std::int32_t> categoryIds;
    for (const TCategory* category : categories_->FillCategoryList())
        categoryIds.insert(category->CategoryId);

    repairs_.membershipsOfMissingImages =
        memberships_->RemoveMemberships([&](const Membership& pair) { return !records.contains(pair.seqNo); });
    repairs_.membershipsOfMissingCategories =
        memberships_->RemoveMemberships([&](const Membership& pair) { return !categoryIds.contains(pair.categoryId); });
    for (const std::int32_t seqNo : stored) {
        if (!memberships_->ImageHasCategory(seqNo)) {
            memberships_->AddMembership(categories_->UnassignedId(), seqNo);
            ++repairs_.imagesPutInUnassigned;
        }
    }
}

// Only this process works on the data directory now (it holds its lock), so a temporary of a
// data file that no write holds is left from a write that was killed.
void TScrapbook::clearStaleTemporaries()
{
    for (const QString& file : {memberships_->fileName(), categories_->fileName(), disks_->fileName()})
        deleteStaleDataFileTemporaries(file);
    store::seam::deleteStaleBuildFiles(QFile::encodeName(dataDirectory_).toStdString());
}

void TScrapbook::save() { saveParts(false, {}); }

void TScrapbook::reorganize(const SaveProgress& progress) { saveParts(true, progress); }

void TScrapbook::saveParts(bool packStore, const SaveProgress& progress)
{
    if (access_ == Access::ReadOnly)
        throw std::logic_error("a scrapbook opened for reading only is never saved");
    const auto tell = [&progress](Part part, int percent) {
        if (progress)
            progress(part, percent);
    };
    tell(Part::ImageStore, 0);
    try {
        if (packStore)
            packImageStore([&tell](int percent) { tell(Part::ImageStore, percent); });
        else
            images_->EndImagePass();
    } catch (const std::exception& error) {
        throw EScrapbookSaveError(QStringLiteral("The image store %1 could not be saved: %2. None of the changes "
                                                 "since the last save was written.")
                                      .arg(images_->storeFileName(), errorText(error))
                                      .toStdString());
    }
    tell(Part::ImageStore, 100);
    tell(Part::Memberships, 0);
    try {
        memberships_->SaveMemberships();
    } catch (const EDataFileError& error) {
        throw EScrapbookSaveError(QStringLiteral("%1. The image store was saved; the memberships and the categories "
                                                 "were not.")
                                      .arg(errorText(error))
                                      .toStdString());
    }
    tell(Part::Memberships, 100);
    tell(Part::Categories, 0);
    try {
        categories_->SaveCategories();
    } catch (const EDataFileError& error) {
        throw EScrapbookSaveError(QStringLiteral("%1. The image store and the memberships were saved; the "
                                                 "categories were not.")
                                      .arg(errorText(error))
                                      .toStdString());
    }
    tell(Part::Categories, 100);
}

// The rebuilding reports its progress through the store's own event, which is set only for it.
void TScrapbook::packImageStore(const std::function<void(int)>& percentDone)
{
    store::TQDB& table = images_->ImageTable();
    table.progressUpdate = [&percentDone](store::TQDB&, int percent, store::TProgressOrigin kind) {
        if (kind == store::TProgressOrigin::poPacking && percent > 0)
            percentDone(std::clamp(percent, 0, 99));
    };
    const auto detach = qScopeGuard([&table] { table.progressUpdate = nullptr; });
    images_->ReorganizeImageStore();
}

QString TScrapbook::trySave()
{
    try {
        save();
        return {};
    } catch (const EScrapbookSaveError& error) {
        return QString::fromUtf8(error.what());
    }
}

} // namespace glimmora
