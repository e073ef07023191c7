#include "catalog/Categories.h"

#include "catalog/CategoryView.h"
#include "catalog/Correspondences.h"
#include "catalog/DataFile.h"
#include "catalog/ImageElementForm.h"
#include "catalog/StoredText.h"

// Qt
#include <QCoreApplication>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>

namespace glimmora {

const QString kUnassignedName = QStringLiteral("(unassigned)");
const QString kSearchResultsName = QStringLiteral("Search Results");

namespace {

constexpr qsizetype kNameLengthOffset = 4;
constexpr qsizetype kNameOffset = 5;

QString imageCountText(const TCategory& category)
{
    const qsizetype count = category.imagesLoaded() ? qsizetype(category.ImageElementList->size()) : 0;
    return QStringLiteral("%1 images").arg(count);
}

// Records are searched from the end where a category adds or removes, from the start where it
// refreshes, as the windows' lists are.
ImageRecords::iterator lastRecordOf(ImageRecords& records, std::int32_t seqNo)
{
    auto found = std::find_if(records.rbegin(), records.rend(),
                              [seqNo](const auto& record) { return record->IT_SeqNo == seqNo; });
    return found == records.rend() ? records.end() : std::prev(found.base());
}

bool sortsBefore(const TCategory* a, const TCategory* b)
{
    const int folded = a->CategoryName.compare(b->CategoryName, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a->CategoryName < b->CategoryName;
}

} // namespace

QList<CategoryRecord> decodeCategoryRecords(QByteArrayView bytes)
{
    QList<CategoryRecord> records;
    for (qsizetype at = 0; at + kCategoryRecordSize <= bytes.size(); at += kCategoryRecordSize) {
        const char* record = bytes.data() + at;
        const auto length =
            std::min<qsizetype>(static_cast<unsigned char>(record[kNameLengthOffset]), kCategoryNameBytes);
        records.append({qFromLittleEndian<std::int32_t>(record), QByteArray(record + kNameOffset, length)});
    }
    return records;
}

QByteArray encodeCategoryRecords(const QList<CategoryRecord>& records)
{
    QByteArray bytes(records.size() * kCategoryRecordSize, '\0');
    char* record = bytes.data();
    for (const CategoryRecord& category : records) {
        const qsizetype length = std::min(category.name.size(), kCategoryNameBytes);
        qToLittleEndian(category.id, record);
        record[kNameLengthOffset] = static_cast<char>(length);
        std::copy_n(category.name.constData(), length, record + kNameOffset);
        record += kCategoryRecordSize;
    }
    return bytes;
}

TCategory::TCategory(std::int32_t id, const QString& name)
    : CategoryId(id),
      CategoryName(limitedText(name, kCategoryNameBytes))
{}

TCategories::TCategories(const QString& fileName, TCorrespondences& memberships)
    : file_(fileName),
      memberships_(memberships)
{
    LoadCategories();
}

TCategories::~TCategories()
{
    for (const auto& category : categories_)
        closeWindows(*category);
}

void TCategories::LoadCategories()
{
    for (const auto& category : categories_)
        closeWindows(*category);
    categories_.clear();
    unassignedId_ = 0;
    for (const CategoryRecord& record : decodeCategoryRecords(file_.read())) {
        if (record.name == kUnassignedName.toLatin1())
            unassignedId_ = record.id;
        categories_.push_back(std::make_unique<TCategory>(record.id, storedTextFrom(record.name)));
    }
    // Images left in no category go to the category numbered UnassignedId, so it must exist even
    // when another writer left it out of the file.
    if (!FindCategory(unassignedId_))
        categories_.push_back(std::make_unique<TCategory>(unassignedId_, kUnassignedName));
    categories_.push_back(std::make_unique<TCategory>(kSearchResultsId, kSearchResultsName));
}

void TCategories::SaveCategories()
{
    QList<CategoryRecord> records;
    for (const auto& category : categories_)
        if (category->CategoryId >= 0)
            records.append({category->CategoryId, storedTextBytes(category->CategoryName, kCategoryNameBytes)});
    file_.write(encodeCategoryRecords(records));
}

TCategory* TCategories::FindCategory(std::int32_t id) const
{
    for (const auto& category : categories_)
        if (category->CategoryId == id)
            return category.get();
    return nullptr;
}

std::pair<TCategory*, bool> TCategories::FindOrAddCategory(const QString& name, bool findOnly)
{
    const QString wanted = limitedText(trimmedText(name).toLower(), kCategoryNameBytes);
    std::int32_t highest = -1;
    for (const auto& category : categories_) {
        highest = std::max(highest, category->CategoryId);
        if (category->CategoryId >= 0 && category->CategoryName == wanted)
            return {category.get(), false};
    }
    if (findOnly)
        return {nullptr, true};
    categories_.push_back(std::make_unique<TCategory>(nextCategoryId(highest), wanted));
    TCategory* category = categories_.back().get();
    return {category, true};
}

// One above the highest number in use. A file whose highest number is the largest int32 leaves
// none above it; the lowest free number is taken then, as a negative one would never be saved.
std::int32_t TCategories::nextCategoryId(std::int32_t highest) const
{
    if (highest < std::numeric_limits<std::int32_t>::max())
        return highest + 1;
    std::int32_t id = 0;
    while (FindCategory(id))
        ++id;
    return id;
}

QList<TCategory*> TCategories::FillCategoryList() const
{
    QList<TCategory*> listed;
    for (const auto& category : categories_)
        if (category->CategoryId >= 0)
            listed.append(category.get());
    return listed;
}

QList<TCategory*> TCategories::SortedCategoryList() const
{
    QList<TCategory*> sorted = FillCategoryList();
    std::stable_sort(sorted.begin(), sorted.end(), sortsBefore);
    return sorted;
}

QList<CategoryMenuItem> TCategories::BuildCategoryMenu() const
{
    QList<TCategory*> eligible = SortedCategoryList();
    eligible.removeIf([this](const TCategory* category) { return category->CategoryId == unassignedId_; });
    const bool overflows = eligible.size() > kCategoryMenuLimit;
    if (overflows)
        eligible.resize(kCategoryMenuLimit - 1);

    QList<CategoryMenuItem> items;
    for (const TCategory* category : eligible)
        items.append({category->CategoryName, category->CategoryId});
    if (overflows)
        items.append({QStringLiteral("More categories..."), 0, true});
    if (items.size() > kCategoryMenuColumnLength)
        items[kCategoryMenuColumnLength].startsColumn = true;
    return items;
}

void TCategories::DeleteCategory(TCategory* category, bool deleteImages, const std::function<void(int)>& gauge)
{
    // "(unassigned)" receives the images of deleted categories and "Search Results" is no real
    // category: neither can be deleted.
    if (!category || category->CategoryId < 0 || category->CategoryId == unassignedId_)
        return;
    if (gauge)
        gauge(0);
    closeWindows(*category);
    if (!category->imagesLoaded())
        LoadCategoryImages(*category);
    TCategory& unassigned = *FindCategory(unassignedId_);
    const std::size_t total = category->ImageElementList->size();
    std::size_t processed = 0;
    while (!category->ImageElementList->empty()) {
        const TImageElement image = *category->ImageElementList->front();
        RemoveImageFromCategory(*category, image);
        if (!memberships_.ImageHasCategory(image.IT_SeqNo)) {
            if (deleteImages && images_)
                images_->DeleteImage(image);
            else
                AddImageToCategory(unassigned, image);
        }
        ++processed;
        if (gauge)
            gauge(static_cast<int>(std::lround(100.0 * double(processed) / double(total))));
        QCoreApplication::processEvents();
    }
    if (gauge)
        gauge(100);
    std::erase_if(categories_, [category](const auto& listed) { return listed.get() == category; });
}

void TCategories::RenameCategory(TCategory& category, const QString& name)
{
    category.CategoryName = limitedText(name, kCategoryNameBytes);
    updateCaptions(category);
    for (CategoryView* view : category.ImageListList)
        view->showCategoryName(category.CategoryName);
}

void TCategories::LoadCategoryImages(TCategory& category)
{
    UnloadCategoryImages(category);
    category.ImageElementList.emplace();
    if (!images_)
        return;
    for (const Membership& pair : memberships_.pairs()) {
        if (pair.categoryId != category.CategoryId)
            continue;
        std::unique_ptr<TImageElement> record = images_->ReadImage(pair.seqNo);
        if (record && !record->IT_Path.isEmpty())
            category.ImageElementList->push_back(std::move(record));
    }
    images_->EndReadPass();
}

void TCategories::UnloadCategoryImages(TCategory& category) { category.ImageElementList.reset(); }

void TCategories::AttachWindow(TCategory& category, CategoryView& view)
{
    view.beginAttach(category);
    if (!category.imagesLoaded())
        LoadCategoryImages(category);
    QList<TImageElement*> records;
    for (const auto& record : *category.ImageElementList)
        records.append(record.get());
    view.fillImages(records);
    category.ImageListList.append(&view);
    updateCaptions(category);
    view.endAttach(category.CategoryId != unassignedId_);
    view.setStatusText(imageCountText(category));
}

void TCategories::DetachWindow(TCategory& category, CategoryView& view)
{
    if (!category.imagesLoaded())
        return;
    view.clearImages();
    category.ImageListList.removeOne(&view);
    if (category.ImageListList.isEmpty())
        UnloadCategoryImages(category);
    else
        updateCaptions(category);
}

void TCategories::AddImageToCategory(TCategory& category, const TImageElement& record)
{
    if (category.imagesLoaded()) {
        ImageRecords& records = *category.ImageElementList;
        if (lastRecordOf(records, record.IT_SeqNo) != records.end())
            return;
        records.push_back(std::make_unique<TImageElement>(record));
        for (CategoryView* view : category.ImageListList)
            view->addImageItem(records.back().get());
        updateStatusTexts(category);
    }
    memberships_.AddMembership(category.CategoryId, record.IT_SeqNo);
}

void TCategories::RemoveImageFromCategory(TCategory& category, const TImageElement& record)
{
    const std::int32_t seqNo = record.IT_SeqNo; // the record may be the category's own copy
    memberships_.RemoveMembership(category.CategoryId, seqNo);
    for (CategoryView* view : category.ImageListList)
        view->removeImageItem(seqNo);
    if (category.imagesLoaded()) {
        ImageRecords& records = *category.ImageElementList;
        if (auto found = lastRecordOf(records, seqNo); found != records.end())
            records.erase(found);
    }
    updateStatusTexts(category);
}

void TCategories::RefreshImageInCategories(TCategory& category, const TImageElement& record)
{
    if (!category.imagesLoaded())
        return;
    ImageRecords& records = *category.ImageElementList;
    auto found = std::find_if(records.begin(), records.end(),
                              [&record](const auto& loaded) { return loaded->IT_SeqNo == record.IT_SeqNo; });
    if (found == records.end())
        return;
    if (found->get() != &record)
        **found = record;
    for (CategoryView* view : category.ImageListList)
        view->repaintImages();
}

void TCategories::setSearchResults(ImageRecords records)
{
    if (TCategory* results = searchResults())
        results->ImageElementList = std::move(records);
}

TCategory* TCategories::searchResults() const { return FindCategory(kSearchResultsId); }

void TCategories::closeWindows(TCategory& category)
{
    // Closing a window detaches it, which changes the list being walked.
    const QList<CategoryView*> views = category.ImageListList;
    for (CategoryView* view : views)
        view->closeView();
    category.ImageListList.clear();
}

void TCategories::updateCaptions(TCategory& category)
{
    const QList<CategoryView*>& views = category.ImageListList;
    if (views.size() == 1) {
        views.first()->setCaption(category.CategoryName);
        return;
    }
    for (qsizetype i = 0; i < views.size(); ++i)
        views[i]->setCaption(QStringLiteral("%1 (%2)").arg(category.CategoryName).arg(i + 1));
}

void TCategories::updateStatusTexts(TCategory& category)
{
    const QString text = imageCountText(category);
    for (CategoryView* view : category.ImageListList)
        view->setStatusText(text);
}

} // namespace glimmora
