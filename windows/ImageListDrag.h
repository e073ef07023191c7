#pragma once

#include "catalog/ImageElement.h"

// Qt
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>

#include <cstdint>

#include <functional>
#include <optional>

class QDrag;
class QDropEvent;
class QMimeData;
class QMouseEvent;

namespace glimmora {

class TCategories;
class TImageListForm;

// What a drop on a category window does to the images or files dragged there.
enum class DropEffect { None, Copy, Move };

// What a category window under a drag knows about it, for dragOverEffect.
struct DragOverFacts {
    bool targetIsUnassigned = false;   // the window shows "(unassigned)"
    bool targetIsSearchWindow = false; // the window shows "Search Results"
    bool fromCategoryWindow = false;   // the images come from a category window, not from outside
    bool sameCategory = false;         // that window shows the target's category
    bool sourceIsUnassigned = false;   // that window shows "(unassigned)"
    bool copyDrag = false;             // IsCopyDrag of the target or of the source window
};

// The effect of a drop: nothing on "(unassigned)" or a search window, nothing from a window on
// the same category, and images leave "(unassigned)" only by moving. Otherwise a copy when it is
// a copy drag or the files come from outside, else a move.
DropEffect dragOverEffect(const DragOverFacts& facts);

// True while Ctrl is held, and always for a search window, whose images are never taken away.
bool IsCopyDrag(const TImageListForm& window, Qt::KeyboardModifiers modifiers);

// The drag between category windows in progress; one for the program. The source window
// publishes itself before the system runs the drag, which calls the windows it passes over
// re-entrantly; both windows are cleared when the drag ends and when a category window is made.
struct ImageDragState {
    QPointer<TImageListForm> DragSourceWindow; // the window whose images are dragged
    QPointer<TImageListForm> DropTargetWindow; // the window the drag is over, or was dropped on
    QList<TImageElement> images;               // copies of the dragged records, in list order
    QByteArray mark;                           // tells this drag's data from any other's
};
ImageDragState& imageDrag();
void resetImageDrag();

// The data a drag of images carries: their files as a URI list (the exact bytes of each path,
// percent-encoded), and `mark`, by which the program's own windows know it for theirs.
QMimeData* imageDragData(const QList<TImageElement>& images, const QByteArray& mark);
// What a drag of images offers: copy and link, never move, so that no file manager or other
// program can take a picture file away. Between category windows the target decides (dropEffect).
inline constexpr Qt::DropActions kImageDragActions = Qt::CopyAction | Qt::LinkAction;

// The drag-and-drop side of a category window's thumbnail list (DragDropFiles1): starts a drag
// of the selected images once the mouse has moved more than 5 pixels with the left button held,
// shows and decides the effect of a drag over the list, and takes what is dropped there. A drop
// that changes the scrapbook is saved before it ends. Files dropped by other programs are added
// once the drop has returned, so that the dropping program is not kept waiting.
class TImageListDragDrop : public QObject {
    Q_OBJECT
public:
    // Watches the window's list; the categories must outlive the window.
    TImageListDragDrop(TImageListForm& window, TCategories& categories);

    static constexpr int kDragDistance = 5;

    // Runs the system's drag of `drag`, offering `offered`, until it ends (tests put their own in
    // its place: the system's drag loop waits for a real mouse).
    static std::function<void(QDrag& drag, Qt::DropActions offered)> runDrag;

    // Starts the drag of the selected images, if any, and returns when it has ended.
    void DragDropFiles1DragDetect();
    // The effect a drop of `data` would have now; the window becomes DropTargetWindow.
    DropEffect DragDropFiles1DragOver(const QMimeData& data, Qt::KeyboardModifiers modifiers);
    void DragDropFiles1DragLeave();
    // Carries out a drop of `data` with its effect; false when the window refuses it.
    bool DragDropFiles1ProcessDropped(const QMimeData& data, Qt::KeyboardModifiers modifiers);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ImageListBoxMouseDown(const QMouseEvent& press);
    bool ImageListBoxMouseMove(const QMouseEvent& move);
    bool acceptsDrops() const;
    // The source window when `data` is the drag of images in progress; null for other data.
    TImageListForm* sourceWindowOf(const QMimeData& data) const;
    DropEffect dropEffect(const QMimeData& data, Qt::KeyboardModifiers modifiers) const;
    void dropImages(TImageListForm& source, DropEffect effect);
    // Adds files dropped by another program to the category `categoryId` (the window's when they
    // were dropped), with a progress window that can stop it, saves, then tells what was refused.
    void addDroppedFiles(const QStringList& paths, std::int32_t categoryId);
    void acceptOrRefuse(QDropEvent& event, DropEffect effect);

    TImageListForm& window_;
    TCategories& categories_;
    std::optional<QPoint> pressedAt_; // where the left button went down in the list
};

} // namespace glimmora
