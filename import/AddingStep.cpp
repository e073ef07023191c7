#include "import/AddingStep.h"

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElement.h"
#include "catalog/ImageElementForm.h"
#include "catalog/Scrapbook.h"
#include "catalog/StoredText.h"
#include "platform/Paths.h"

#include <exception>
#include <utility>

namespace glimmora {

const QString kImagesLoadedText = QStringLiteral("New images were added to the scrapbook.");
const QString kImagesDupedText = QStringLiteral(
    "Images were bypassed because they already appear in the scrapbook in one or more other categories.");
const QString kImagesAssignedText =
    QStringLiteral("Images were moved from the (unassigned) category to new categories.");
const QString kImagesClashedText =
    QStringLiteral("Images already appeared in the selected destination categories prior to the load.");

QString totalLoadErrorsLine(int errorCount)
{
    return QStringLiteral("Total load errors = ") + QString::number(errorCount);
}

QString stoppedAfterLine(int done, int count)
{
    return QStringLiteral("Stopped after %1 of %2 files.").arg(done).arg(count);
}

namespace {

// The path as FindOrAddImage compares it.
QString identityOf(const QString& path) { return foldPath(trimmedText(path)); }

// What a known image's memberships say about the target: the first membership in "(unassigned)"
// or in the target decides.
struct KnownPlace {
    bool inUnassigned = false; // U
    bool inTarget = false;     // C
};

KnownPlace knownPlace(const TCorrespondences& memberships, std::int32_t seqNo, std::int32_t unassignedId,
                      std::int32_t targetId)
{
    for (const std::int32_t categoryId : memberships.CategoriesOfImage(seqNo)) {
        const KnownPlace place{categoryId == unassignedId, categoryId == targetId};
        if (place.inUnassigned || place.inTarget)
            return place;
    }
    return {};
}

} // namespace

TAddingStep::TAddingStep(TScrapbook& scrapbook, ThumbnailSource& loader, TLoadList entries, AddingOptions options)
    : scrapbook_(scrapbook),
      images_(scrapbook.images()),
      categories_(scrapbook.categories()),
      entries_(std::move(entries)),
      options_(std::move(options)),
      loader_(loader)
{
    if (options_.decoders.workers < 0 || entries_.isEmpty())
        return;
    pool_ = std::make_unique<TDecodePool>(options_.decoders);
    if (!pool_->running()) {
        pool_.reset(); // no helper could be started: every picture is decoded here, in turn
        return;
    }
    thumbnails_ = std::make_unique<PooledThumbnails>(*pool_, loader_);
}

TAddingStep::~TAddingStep() = default;

bool TAddingStep::AddNext(const AddingProgress& progress)
{
    reportSearchFailures(progress);
    if (stopped_ || failed_ || next_ >= entries_.size())
        return false;
    const TLoadEntry& entry = entries_.at(next_);
    try {
        if (pool_)
            decodeAhead();
        addToDataBase(entry, progress);
    } catch (const std::exception& error) {
        // The scrapbook could not be read or written (a damaged record, a full disk): the run
        // ends here with its summary, and Finish saves what was added before.
        const QString reason = QString::fromUtf8(error.what());
        addError(entry.path, reason, progress);
        stopReason_ = QStringLiteral("The import stopped at %1: %2.").arg(fileNamePart(entry.path).trimmed(), reason);
        failed_ = true;
    }
    if (pool_)
        pool_->discard(identityOf(entry.path));
    ++next_;
    if (progress.setGauge)
        progress.setGauge(int(qint64(next_) * 100 / entries_.size()));
    if (progress.pendingEvents)
        progress.pendingEvents();
    return !stopped_ && !failed_ && next_ < entries_.size();
}

void TAddingStep::addToDataBase(const TLoadEntry& entry, const AddingProgress& progress)
{
    if (progress.showFileName)
        progress.showFileName(fileNamePart(entry.path).trimmed());
    // A known file is placed by its number alone; its record is read only when it joins a
    // category.
    if (const std::optional<std::int32_t> known = images_.KnownImageNumber(entry.path)) {
        TCategory& target = *categories_.FindOrAddCategory(entry.categoryName, false).first;
        place(entry, target, *known, nullptr, progress);
        return;
    }
    ThumbnailSource* source = &loader_;
    if (thumbnails_) {
        thumbnails_->pendingEvents = progress.pendingEvents;
        source = thumbnails_.get();
    }
    const FindOrAddResult found = images_.FindOrAddImage(entry.path, *source);
    if (!found.record) {
        addError(entry.path, found.errorText, progress);
        return;
    }
    TCategory& target = *categories_.FindOrAddCategory(entry.categoryName, false).first;
    place(entry, target, found.record->IT_SeqNo, found.added ? found.record.get() : nullptr, progress);
}

// `added` is the record made just now, or null for a known image.
void TAddingStep::place(const TLoadEntry& entry, TCategory& target, std::int32_t seqNo, const TImageElement* added,
                        const AddingProgress& progress)
{
    const bool known = !added;
    const std::int32_t unassignedId = categories_.UnassignedId();
    const KnownPlace where =
        known ? knownPlace(categories_.memberships(), seqNo, unassignedId, target.CategoryId) : KnownPlace{};
    if (where.inTarget) {
        ++counters_.clashed;
        return;
    }
    if (known && !where.inUnassigned && !options_.includeKnownImages) {
        ++counters_.duped;
        return;
    }
    if (known && target.CategoryId == unassignedId) {
        ++counters_.duped;
        return;
    }
    std::unique_ptr<TImageElement> read;
    if (known) {
        read = images_.ReadImage(seqNo);
        if (!read) {
            addError(entry.path, QStringLiteral("The image record %1 is missing from the scrapbook").arg(seqNo),
                     progress);
            return;
        }
    }
    const TImageElement& record = known ? *read : *added;
    categories_.AddImageToCategory(target, record);
    if (progress.imageAdded)
        progress.imageAdded(target, record);
    if (!where.inUnassigned) {
        ++counters_.loaded;
        return;
    }
    if (TCategory* unassigned = categories_.FindCategory(unassignedId))
        categories_.RemoveImageFromCategory(*unassigned, record);
    ++counters_.assigned;
}

void TAddingStep::addError(const QString& path, const QString& text, const AddingProgress& progress)
{
    const QStringList lines{path.trimmed(), QStringLiteral("  ") + text};
    for (const QString& line : lines) {
        errorLines_.append(line);
        if (progress.appendErrorLine)
            progress.appendErrorLine(line);
    }
    ++errorCount_;
}

void TAddingStep::reportSearchFailures(const AddingProgress& progress)
{
    if (std::exchange(searchFailuresReported_, true))
        return;
    for (const SearchFailure& failure : options_.searchFailures)
        addError(failure.path, failure.reason, progress);
}

void TAddingStep::decodeAhead()
{
    while (submitted_ < entries_.size() && pool_->hasRoom()) {
        const QString path = identityOf(entries_.at(submitted_++).path);
        if (PictureTypeOf(path) && !pool_->submitted(path) && !images_.KnownImageNumber(path))
            pool_->submit(path);
    }
}

void TAddingStep::Finish(const AddingProgress& progress)
{
    if (finished_)
        return;
    finished_ = true;
    reportSearchFailures(progress);
    pool_.reset(); // its workers have nothing left to do
    thumbnails_.reset();
    QStringList closing{QStringLiteral(" "), totalLoadErrorsLine(errorCount_)};
    // A stopped run must not read as a complete one: the files it left are said.
    if (stopped_ && next_ < entries_.size())
        closing.prepend(stoppedAfterLine(next_, int(entries_.size())));
    for (const QString& line : std::as_const(closing)) {
        errorLines_.append(line);
        if (progress.appendErrorLine)
            progress.appendErrorLine(line);
    }
    try {
        scrapbook_.save();
        saved_ = true;
        if (!stopReason_.isEmpty())
            storeFailure_ = stopReason_ + QLatin1Char(' ') + addedBeforeTheStopText();
    } catch (const EScrapbookSaveError& error) {
        storeFailure_ = (stopReason_ + QLatin1Char(' ') + QString::fromUtf8(error.what())).trimmed();
    }
}

QString TAddingStep::addedBeforeTheStopText() const
{
    const int added = counters_.loaded + counters_.assigned;
    if (added == 0)
        return QStringLiteral("Nothing had been added before it.");
    if (added == 1)
        return QStringLiteral("The image added before it was saved.");
    return QStringLiteral("The %1 images added before it were saved.").arg(added);
}

void TAddingStep::Run(const AddingProgress& progress)
{
    while (AddNext(progress)) {
    }
    Finish(progress);
}

} // namespace glimmora
