#include "windows/ImageListDrag.h"

#include "catalog/AddFileToCategory.h"
#include "catalog/Categories.h"
#include "catalog/ImageCommands.h"
#include "import/FileDrop.h"
#include "platform/MessageService.h"
#include "platform/UserInterface.h"
#include "windows/ImageList.h"

// Qt
#include <QCoreApplication>
#include <QDrag>
#include <QDropEvent>
#include <QListView>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QUrl>

namespace glimmora {

namespace {

const QString kUriListFormat = QStringLiteral("text/uri-list");
// Which drag of images the data belongs to: the process and the number of the drag.
const QString kImageDragMarkFormat = QStringLiteral("application/x-glimmora-image-drag");

// The local files among the URLs of `data`, in order; other programs may offer other URLs too.
QStringList localFilesOf(const QMimeData& data)
{
    QStringList files;
    if (!data.hasUrls())
        return files;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    return files;
}

void showLoadError(const QString& text)
{
    showMessage({text, QStringLiteral("Load Error"), MessageIcon::Exclamation, MessageButton::Ok, MessageButton::Ok,
                 MessageBeep::Exclamation});
}

QByteArray newDragMark()
{
    static quint64 drags = 0;
    return QByteArray::number(QCoreApplication::applicationPid()) + ':' + QByteArray::number(++drags);
}

// Data that hands out its URI list as the bytes it was given: a URI list set on plain QMimeData is
// read back through QUrl, which replaces a path's bytes that are not UTF-8.
class ImageDragData : public QMimeData {
public:
    ImageDragData(QByteArray uris, QByteArray mark) : uris_(std::move(uris)), mark_(std::move(mark)) {}

    QStringList formats() const override { return {kUriListFormat, kImageDragMarkFormat}; }
    bool hasFormat(const QString& format) const override { return formats().contains(format); }

protected:
    QVariant retrieveData(const QString& format, QMetaType) const override
    {
        if (format == kUriListFormat)
            return uris_;
        return format == kImageDragMarkFormat ? QVariant(mark_) : QVariant();
    }

private:
    QByteArray uris_;
    QByteArray mark_;
};

} // namespace

std::function<void(QDrag&, Qt::DropActions)> TImageListDragDrop::runDrag = [](QDrag& drag, Qt::DropActions offered) {
    drag.exec(offered, Qt::CopyAction);
};

DropEffect dragOverEffect(const DragOverFacts& facts)
{
    if (facts.targetIsUnassigned || facts.targetIsSearchWindow)
        return DropEffect::None;
    const bool copy = facts.copyDrag || !facts.fromCategoryWindow;
    if (facts.fromCategoryWindow && (facts.sameCategory || (facts.sourceIsUnassigned && copy)))
        return DropEffect::None;
    return copy ? DropEffect::Copy : DropEffect::Move;
}

bool IsCopyDrag(const TImageListForm& window, Qt::KeyboardModifiers modifiers)
{
    return modifiers.testFlag(Qt::ControlModifier) || window.IsSearchWindow;
}

ImageDragState& imageDrag()
{
    static ImageDragState state;
    return state;
}

void resetImageDrag() { imageDrag() = ImageDragState(); }

QMimeData* imageDragData(const QList<TImageElement>& images, const QByteArray& mark)
{
    QByteArray uris;
    for (const TImageElement& image : images)
        uris += "file://" + image.IT_Path.toPercentEncoding("/") + "\r\n";
    return new ImageDragData(uris, mark);
}

TImageListDragDrop::TImageListDragDrop(TImageListForm& window, TCategories& categories)
    : QObject(&window),
      window_(window),
      categories_(categories)
{
    QWidget* list = window_.ImageListBox->viewport();
    list->setAcceptDrops(true);
    list->installEventFilter(this);
}

bool TImageListDragDrop::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: ImageListBoxMouseDown(*static_cast<QMouseEvent*>(event)); return false;
    case QEvent::MouseMove: return ImageListBoxMouseMove(*static_cast<QMouseEvent*>(event));
    case QEvent::MouseButtonRelease: pressedAt_.reset(); return false;
    case QEvent::DragEnter: {
        // Taken whenever a drop could be: the move that follows at once decides, and keeps deciding
        // as Ctrl goes up and down.
        auto& enter = *static_cast<QDropEvent*>(event);
        const QMimeData& data = *enter.mimeData();
        enter.setAccepted(acceptsDrops() && (sourceWindowOf(data) || !localFilesOf(data).isEmpty()));
        return true;
    }
    case QEvent::DragMove: {
        auto& over = *static_cast<QDropEvent*>(event);
        acceptOrRefuse(over, DragDropFiles1DragOver(*over.mimeData(), over.modifiers()));
        return true;
    }
    case QEvent::DragLeave: DragDropFiles1DragLeave(); return true;
    case QEvent::Drop: {
        auto& drop = *static_cast<QDropEvent*>(event);
        if (DragDropFiles1ProcessDropped(*drop.mimeData(), drop.modifiers()))
            acceptOrRefuse(drop, DropEffect::Copy);
        else
            drop.ignore();
        return true;
    }
    default: return QObject::eventFilter(watched, event);
    }
}

// The list selects on the press as usual; from then on, moving with the button held never extends
// the selection but may start a drag.
void TImageListDragDrop::ImageListBoxMouseDown(const QMouseEvent& press)
{
    if (press.button() == Qt::LeftButton)
        pressedAt_ = press.position().toPoint();
    else
        pressedAt_.reset();
}

bool TImageListDragDrop::ImageListBoxMouseMove(const QMouseEvent& move)
{
    if (!pressedAt_ || !move.buttons().testFlag(Qt::LeftButton))
        return false;
    if ((move.position().toPoint() - *pressedAt_).manhattanLength() > kDragDistance) {
        pressedAt_.reset();
        DragDropFiles1DragDetect();
    }
    return true;
}

void TImageListDragDrop::DragDropFiles1DragDetect()
{
    QList<TImageElement> images;
    for (const TImageElement* record : window_.SelectedRecords())
        images.append(*record);
    if (images.isEmpty())
        return;
    ImageDragState& state = imageDrag();
    state.DragSourceWindow = &window_;
    state.DropTargetWindow = nullptr;
    state.images = images;
    state.mark = newDragMark();
    QPointer<QDrag> drag = new QDrag(window_.ImageListBox->viewport());
    drag->setMimeData(imageDragData(images, state.mark));
    runDrag(*drag, kImageDragActions);
    if (drag)
        drag->deleteLater();
    // The drop, if it landed in a category window, has already done all there was to do.
    resetImageDrag();
}

DropEffect TImageListDragDrop::DragDropFiles1DragOver(const QMimeData& data, Qt::KeyboardModifiers modifiers)
{
    imageDrag().DropTargetWindow = &window_;
    return dropEffect(data, modifiers);
}

void TImageListDragDrop::DragDropFiles1DragLeave()
{
    ImageDragState& state = imageDrag();
    if (state.DropTargetWindow == &window_)
        state.DropTargetWindow = nullptr;
}

bool TImageListDragDrop::DragDropFiles1ProcessDropped(const QMimeData& data, Qt::KeyboardModifiers modifiers)
{
    const DropEffect effect = dropEffect(data, modifiers);
    if (effect == DropEffect::None)
        return false;
    imageDrag().DropTargetWindow = &window_;
    if (TImageListForm* source = sourceWindowOf(data)) {
        dropImages(*source, effect);
        return true;
    }
    QMetaObject::invokeMethod(
        this,
        [this, paths = localFilesOf(data), categoryId = window_.Category->CategoryId] {
            addDroppedFiles(paths, categoryId);
        },
        Qt::QueuedConnection);
    return true;
}

// The images join this window's category and leave "(unassigned)"; a move takes them out of the
// source's category too. All of it is saved before the drop ends.
void TImageListDragDrop::dropImages(TImageListForm& source, DropEffect effect)
{
    const QList<TImageElement> images = imageDrag().images;
    AssignImagesTo(categories_, *window_.Category, images, true);
    if (effect == DropEffect::Move)
        RemoveImagesFromCategory(categories_, *source.Category, images);
    window_.saveChanges();
}

void TImageListDragDrop::addDroppedFiles(const QStringList& paths, std::int32_t categoryId)
{
    TCategory* category = categories_.FindCategory(categoryId);
    if (!category || !window_.services_)
        return; // the category was deleted in the meantime
    QList<SearchFailure> unreadable;
    FileDropOutcome outcome;
    {
        const HourglassCursor busy;
        const QStringList files = droppedFiles(paths, unreadable);
        QProgressDialog progress(QStringLiteral("Adding the dropped files..."), QStringLiteral("&Stop"), 0,
                                 int(files.size()), &window_);
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        outcome = AddDroppedFiles(window_.fileAdding(), *category, files, [&progress](qsizetype done) {
            progress.setValue(int(done));
            return !progress.wasCanceled();
        });
    }
    // What the drop added is on disk before anything is said about it.
    window_.saveChanges();
    for (const QString& refused : std::as_const(outcome.loadErrors))
        showLoadError(refused);
    for (const SearchFailure& folder : std::as_const(unreadable))
        showLoadError(folder.path + QLatin1Char('\n') + folder.reason);
    if (!outcome.failure.isEmpty())
        showError(outcome.failure);
}

bool TImageListDragDrop::acceptsDrops() const
{
    return window_.services_ && window_.Category && window_.AcceptsDroppedFiles && window_.ImageListBox->isEnabled();
}

TImageListForm* TImageListDragDrop::sourceWindowOf(const QMimeData& data) const
{
    const ImageDragState& state = imageDrag();
    const bool ours = state.DragSourceWindow && state.DragSourceWindow->Category && !state.mark.isEmpty()
                      && data.data(kImageDragMarkFormat) == state.mark;
    return ours ? state.DragSourceWindow.data() : nullptr;
}

DropEffect TImageListDragDrop::dropEffect(const QMimeData& data, Qt::KeyboardModifiers modifiers) const
{
    if (!acceptsDrops())
        return DropEffect::None;
    const TImageListForm* source = sourceWindowOf(data);
    if (!source && localFilesOf(data).isEmpty())
        return DropEffect::None;
    const std::int32_t unassigned = categories_.UnassignedId();
    DragOverFacts facts;
    facts.targetIsUnassigned = window_.Category->CategoryId == unassigned;
    facts.targetIsSearchWindow = window_.IsSearchWindow;
    facts.fromCategoryWindow = source != nullptr;
    facts.copyDrag = IsCopyDrag(window_, modifiers) || (source && IsCopyDrag(*source, modifiers));
    if (source) {
        facts.sameCategory = source->Category == window_.Category;
        facts.sourceIsUnassigned = source->Category->CategoryId == unassigned;
    }
    return dragOverEffect(facts);
}

// Whatever the effect inside the program, the system is told of a copy: the picture files stay.
void TImageListDragDrop::acceptOrRefuse(QDropEvent& event, DropEffect effect)
{
    if (effect == DropEffect::None) {
        event.setDropAction(Qt::IgnoreAction);
        event.ignore();
        return;
    }
    event.setDropAction(Qt::CopyAction);
    event.accept();
}

} // namespace glimmora
