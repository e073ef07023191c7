#pragma once

#include "catalog/Categories.h"
#include "catalog/CategoryView.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"
#include "catalog/ThumbnailSource.h"
#include "catalog/Volume.h"

#include "Scratch.h"

// Qt
#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace glimmora::test {

inline QString qpath(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

// Makes thumbnails the way the picture loader does, with QImage: the picture scaled to fit in
// 60 x 60 pixels (or left at `thumbnailSize` when a test wants an oversized one). Failures are
// explained by HandleLoadError, silently, as for new records.
class QImageThumbnails : public ThumbnailSource {
public:
    ThumbnailResult loadThumbnail(const QString& path, const TImageElement& record) override;
    std::optional<QSize> thumbnailSize;
    QStringList loaded;
};

// A small real picture (PNG), in a directory made for it when needed.
void writePicture(const std::filesystem::path& file, QColor colour = Qt::darkGreen, QSize size = QSize(80, 50));

// A category window as tests see it: it records what the category did to it and detaches
// itself when closed.
class RecordingView : public CategoryView {
public:
    explicit RecordingView(TCategories& categories) : categories_(categories) {}

    void beginAttach(TCategory& category) override
    {
        this->category = &category;
        ++attachSteps;
    }
    void fillImages(const QList<TImageElement*>& records) override;
    void endAttach(bool acceptsDrops) override { acceptsDroppedFiles = acceptsDrops; }
    void setCaption(const QString& text) override { caption = text; }
    void showCategoryName(const QString& name) override { boxName = name; }
    void setStatusText(const QString& text) override { statusText = text; }
    void addImageItem(TImageElement* record) override { items.append(record); }
    void removeImageItem(std::int32_t seqNo) override;
    void clearImages() override { items.clear(); }
    void repaintImages() override { ++repaints; }
    void closeView() override;

    QStringList itemTexts() const;

    TCategory* category = nullptr;
    QList<TImageElement*> items;
    QString caption;
    QString boxName;
    QString statusText;
    bool acceptsDroppedFiles = false;
    int attachSteps = 0;
    int repaints = 0;
    bool closed = false;

private:
    TCategories& categories_;
};

// The four objects of a data directory, created in the program's order.
struct Catalog {
    explicit Catalog(const std::filesystem::path& dir)
        : base(qpath(dir / "Default")),
          memberships(base + ".cor"),
          categories(base + ".cat", memberships),
          images(base + ".idb", categories)
    {}

    // The names of an image's categories, in the order the memberships list them.
    QStringList categoryNamesOf(std::int32_t seqNo) const
    {
        QStringList names;
        for (const std::int32_t categoryId : memberships.CategoriesOfImage(seqNo))
            names.append(categories.FindCategory(categoryId)->CategoryName);
        return names;
    }

    QString base;
    TCorrespondences memberships;
    TCategories categories;
    TImageElementForm images;
};

// A reader of closed store files written only from the file layout: admin entries and items
// with their bytes and flags.
struct StoreEntry {
    QByteArray value;
    std::uint32_t flags = 0;
};
struct StoreFile {
    std::int32_t dataLength = 0; // the length of the data section, dead space included
    QMap<QByteArray, StoreEntry> admin;
    QList<QByteArray> itemKeysInFileOrder;
    QMap<QByteArray, StoreEntry> items;
};
StoreFile readStoreFile(const std::filesystem::path& file);

// Writes a store file in the layout, as another conforming writer would.
std::string storeFileBytes(const QMap<QByteArray, QByteArray>& admin, const QMap<QByteArray, QByteArray>& items);

} // namespace glimmora::test
