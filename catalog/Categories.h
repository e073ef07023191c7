#pragma once

#include "catalog/DataFile.h"
#include "catalog/ImageElement.h"

// Qt
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace glimmora {

class CategoryView;
class TCorrespondences;
class TImageElementForm;

using ImageRecords = std::vector<std::unique_ptr<TImageElement>>;

// A named group of images, with the records of its images while they are loaded and the
// windows that show it.
class TCategory {
public:
    TCategory(std::int32_t id, const QString& name);

    std::int32_t CategoryId;
    QString CategoryName;                         // at most kCategoryNameBytes bytes of UTF-8
    std::optional<ImageRecords> ImageElementList; // loaded on demand
    QList<CategoryView*> ImageListList;           // not owned, in the order attached

    bool imagesLoaded() const { return ImageElementList.has_value(); }
};

inline constexpr std::int32_t kSearchResultsId = -1;
inline constexpr qsizetype kCategoryNameBytes = 25;
extern const QString kUnassignedName;    // "(unassigned)"
extern const QString kSearchResultsName; // "Search Results"

// The category file: 32-byte records, no header: int32 number (little-endian), a length byte
// (0 to 25), 25 name bytes of which the first `length` count, 2 bytes of no meaning.
inline constexpr qsizetype kCategoryRecordSize = 32;
struct CategoryRecord {
    std::int32_t id = 0;
    QByteArray name; // the stored bytes, at most 25
};
// A partial last record is ignored; a length above 25 counts as 25.
QList<CategoryRecord> decodeCategoryRecords(QByteArrayView bytes);
QByteArray encodeCategoryRecords(const QList<CategoryRecord>& records);

// The "Move/Copy to Another Category" submenus, as a window turns them into menu items.
struct CategoryMenuItem {
    QString caption;      // the category name as it stands (the window escapes any '&')
    std::int32_t tag = 0; // the category number; unused for "More categories..."
    bool isMoreItem = false;
    bool startsColumn = false; // begins a new menu column with a separating bar
};
inline constexpr int kCategoryMenuLimit = 50;
inline constexpr int kCategoryMenuColumnLength = 25;

// All categories of the scrapbook: those of the category file in file order, new ones appended,
// and "Search Results" (number -1, never saved).
class TCategories {
public:
    // Reads the file (raising EDataFileError when it exists but cannot be read); the memberships
    // must outlive the collection.
    TCategories(const QString& fileName, TCorrespondences& memberships);
    // Closes the windows of every category; the file is written only by SaveCategories.
    ~TCategories();
    TCategories(const TCategories&) = delete;
    TCategories& operator=(const TCategories&) = delete;

    // The image data module registers itself here while it exists.
    void setImageStore(TImageElementForm* images) { images_ = images; }

    // Empties the list and reads the category file again.
    void LoadCategories();
    // Rewrites the file with every category numbered 0 or more (unless it holds them already);
    // raises EDataFileError, the old file untouched, when it cannot be written.
    void SaveCategories();

    TCategory* FindCategory(std::int32_t id) const;
    // Finds a category by its trimmed, lower-cased name, or (unless findOnly) appends a new one
    // numbered one above the highest number in use. Returns the category and whether it is new.
    std::pair<TCategory*, bool> FindOrAddCategory(const QString& name, bool findOnly);

    // The categories a category list or box offers: every one numbered 0 or more, in list order.
    QList<TCategory*> FillCategoryList() const;
    // The same categories as a sorted list or box shows them: by name, ignoring case.
    QList<TCategory*> SortedCategoryList() const;
    // The submenu of categories to move or copy to: every real category but "(unassigned)",
    // sorted by name; beyond 50 only the first 49 and "More categories...".
    QList<CategoryMenuItem> BuildCategoryMenu() const;

    // Closes the category's windows, then takes each of its images out of it: an image left in
    // no category is deleted from the scrapbook (deleteImages) or goes to "(unassigned)". The
    // gauge, when given, is told the progress in percent; pending events run after each image.
    void DeleteCategory(TCategory* category, bool deleteImages, const std::function<void(int)>& gauge = {});

    // Gives the category a new name (at most 25 bytes; the caller has checked that no other
    // category has it); its windows take it in their captions and category boxes.
    void RenameCategory(TCategory& category, const QString& name);

    void LoadCategoryImages(TCategory& category);
    void UnloadCategoryImages(TCategory& category);
    void AttachWindow(TCategory& category, CategoryView& view);
    void DetachWindow(TCategory& category, CategoryView& view);
    void AddImageToCategory(TCategory& category, const TImageElement& record);
    void RemoveImageFromCategory(TCategory& category, const TImageElement& record);
    void RefreshImageInCategories(TCategory& category, const TImageElement& record);

    // Gives "Search Results" its records (the previous results must have been released by
    // detaching their window).
    void setSearchResults(ImageRecords records);

    std::int32_t UnassignedId() const { return unassignedId_; }
    TCategory* searchResults() const;
    // Every category in list order, "Search Results" last.
    const std::vector<std::unique_ptr<TCategory>>& categories() const { return categories_; }
    TCorrespondences& memberships() const { return memberships_; }
    const QString& fileName() const { return file_.path(); }

private:
    std::int32_t nextCategoryId(std::int32_t highest) const;
    void closeWindows(TCategory& category);
    void updateCaptions(TCategory& category);
    void updateStatusTexts(TCategory& category);

    TDataFile file_;
    TCorrespondences& memberships_;
    TImageElementForm* images_ = nullptr;
    std::vector<std::unique_ptr<TCategory>> categories_;
    std::int32_t unassignedId_ = 0;
};

} // namespace glimmora
