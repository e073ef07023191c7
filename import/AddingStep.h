#pragma once

#include "import/DecodePool.h"
#include "import/FileSearch.h"
#include "import/LoadEntry.h"

// Qt
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

namespace glimmora {

class TCategories;
class TCategory;
class TImageElementForm;
class TScrapbook;
class ThumbnailSource;
struct TImageElement;

// The four counters of an import, shown by the summary window.
struct ImportCounters {
    int loaded = 0;   // new images, and known ones added to another category as well
    int duped = 0;    // known images left where they were
    int assigned = 0; // images moved from "(unassigned)" to a named category
    int clashed = 0;  // images already in their target category

    bool operator==(const ImportCounters&) const = default;
};

// What the summary window says beside each counter.
extern const QString kImagesLoadedText;   // "New images were added to the scrapbook."
extern const QString kImagesDupedText;    // "Images were bypassed because they already appear ..."
extern const QString kImagesAssignedText; // "Images were moved from the (unassigned) category ..."
extern const QString kImagesClashedText;  // "Images already appeared in the selected destination ..."

// The last line of the error list: "Total load errors = " and the count.
QString totalLoadErrorsLine(int errorCount);
// The line that ends the list of a run stopped before its last file: "Stopped after n of m files."
QString stoppedAfterLine(int done, int count);

struct AddingOptions {
    bool includeKnownImages = false; // "&Include known image files"
    // Folders the search could not read: listed first in the error list, each as an error.
    QList<SearchFailure> searchFailures;
    // The decoding of new pictures ahead of the adding loop; workers = -1 decodes in-process.
    DecoderSettings decoders;
};

// What the adding window is told while the step runs. Every callback may be empty.
struct AddingProgress {
    std::function<void(const QString& fileName)> showFileName; // the entry's file-name part, trimmed
    std::function<void(int percent)> setGauge;                 // Trunc((i + 1) * 100 / count)
    std::function<void(const QString& line)> appendErrorLine;  // each line of the error list
    // An image was added to a category (its open windows already have it).
    std::function<void(TCategory& category, const TImageElement& record)> imageAdded;
    // Let the window's events run: after every entry, and while a picture is being waited for.
    std::function<void()> pendingEvents;
};

// The adding step of an import, shared by the adding window and glimmora-cli import: it takes
// the load list in order, finds or adds each file's image record, assigns it to its category,
// counts what happened and lists the files that could not be loaded.
//
// Per entry, with "known" meaning the record existed before: the first membership of a known
// image that is in "(unassigned)" (U) or in the target (C) decides. C: clashed. Known, not U,
// and known files not included: duped. Known and the target is "(unassigned)": duped.
// Otherwise the image joins the target; it leaves "(unassigned)" and counts as assigned when U,
// and counts as loaded when not.
//
// New pictures are decoded ahead by a pool of decoder processes (see DecodePool.h) while the
// records are committed here one by one in load-list order, so numbers, counters, error lines
// and Stop are those of doing it all in sequence.
//
// A failure of the scrapbook itself (a damaged record, a full disk) ends the run: the entry in
// progress gets its two error lines, and the run is saved as far as it got. The run ends with the
// scrapbook's save (store, memberships, categories); StoreFailure() says what stopped the run and
// what could not be saved.
class TAddingStep {
public:
    // The scrapbook must outlive the step; `loader` makes the thumbnails that are not decoded
    // ahead (and every thumbnail when no decoder process can be started).
    TAddingStep(TScrapbook& scrapbook, ThumbnailSource& loader, TLoadList entries, AddingOptions options = {});
    ~TAddingStep();
    TAddingStep(const TAddingStep&) = delete;
    TAddingStep& operator=(const TAddingStep&) = delete;

    // Adds the next entry; false when there is none left, after Stop, or after a store failure.
    bool AddNext(const AddingProgress& progress = {});
    // Ends the run: the blank and "Total load errors = " lines, then the scrapbook's save. Called
    // once, also after Stop or a failure.
    void Finish(const AddingProgress& progress = {});
    // AddNext until the end, then Finish: the adding window's whole run.
    void Run(const AddingProgress& progress = {});

    // The Stop button: the run ends after the entry in progress.
    void Stop() { stopped_ = true; }
    bool Stopped() const { return stopped_; }

    const ImportCounters& Counters() const { return counters_; }
    int ErrorCount() const { return errorCount_; }
    // The error window's lines: per failed file its trimmed path and "  " + the loader's text;
    // after Finish, when Stop left files, "Stopped after n of m files.", then a line " " and the
    // total line.
    const QStringList& ErrorLines() const { return errorLines_; }
    // Why the run ended early, and what of it was saved; or what could not be saved; empty when
    // the run went to its end and was saved.
    const QString& StoreFailure() const { return storeFailure_; }
    // Finish saved the scrapbook (false also before Finish).
    bool Saved() const { return saved_; }
    int EntriesDone() const { return next_; }
    int EntryCount() const { return int(entries_.size()); }

private:
    void addToDataBase(const TLoadEntry& entry, const AddingProgress& progress);
    void place(const TLoadEntry& entry, TCategory& target, std::int32_t seqNo, const TImageElement* added,
               const AddingProgress& progress);
    void addError(const QString& path, const QString& text, const AddingProgress& progress);
    void reportSearchFailures(const AddingProgress& progress);
    void decodeAhead();
    QString addedBeforeTheStopText() const;

    TScrapbook& scrapbook_;
    TImageElementForm& images_;
    TCategories& categories_;
    TLoadList entries_;
    AddingOptions options_;
    std::unique_ptr<TDecodePool> pool_;
    std::unique_ptr<PooledThumbnails> thumbnails_;
    ThumbnailSource& loader_;
    int next_ = 0;      // the entry AddNext takes next
    int submitted_ = 0; // the entries considered for decoding ahead so far
    ImportCounters counters_;
    int errorCount_ = 0;
    QStringList errorLines_;
    QString stopReason_;
    QString storeFailure_;
    bool stopped_ = false;
    bool failed_ = false;
    bool finished_ = false;
    bool saved_ = false;
    bool searchFailuresReported_ = false;
};

} // namespace glimmora
