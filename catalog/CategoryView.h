#pragma once

// Qt
#include <QList>
#include <QString>

#include <cstdint>

namespace glimmora {

class TCategory;
struct TImageElement;

// A category window as its category drives it. The category window implements this; the
// records it is handed belong to the category and stay valid until the window is detached or
// the item for them is removed.
class CategoryView {
public:
    virtual ~CategoryView() = default;

    // First step of attaching: stop accepting dropped files, disable the convert command and the
    // category box, show `category` as the box's single selected item, disable the list.
    virtual void beginAttach(TCategory& category) = 0;
    // Replaces the list's items by one per record, sorted by text (the file-name part), after
    // which sorting is off so that later items are appended.
    virtual void fillImages(const QList<TImageElement*>& records) = 0;
    // Last step of attaching: enable the list and the category box; accept dropped files or not.
    virtual void endAttach(bool acceptsDroppedFiles) = 0;

    virtual void setCaption(const QString& caption) = 0;
    // The category was renamed: the box's single, selected item becomes the new name.
    virtual void showCategoryName(const QString& name) = 0;
    virtual void setStatusText(const QString& text) = 0;

    // Appends an item with the file-name part of the record's path as its text.
    virtual void addImageItem(TImageElement* record) = 0;
    // Deletes the last item whose record has this sequence number, if any.
    virtual void removeImageItem(std::int32_t seqNo) = 0;
    virtual void clearImages() = 0;
    virtual void repaintImages() = 0;

    // Closes the window; the window detaches itself from its category while closing.
    virtual void closeView() = 0;
};

} // namespace glimmora
