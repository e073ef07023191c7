// glimmora-cli import: the Load dialog's import without its windows. The directory is searched
// as the search window does, the files are added by the adding step that the adding window runs,
// and what the summary and error windows would show is printed.

#include "cli/Command.h"
#include "cli/OpenScrapbook.h"

#include "catalog/Categories.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/StoredText.h"
#include "catalog/Volume.h"
#include "import/AddingStep.h"
#include "import/FileSearch.h"
#include "import/LoadPicture.h"
#include "platform/Settings.h"
#include "platform/TerminationSignals.h"

// Qt
#include <QFileInfo>

#include <optional>

namespace glimmora::cli {

namespace {

constexpr const char* kImportUsage =
    "import PATH [--category NAME | --dir-names] [--no-subdirs] [--include-known] [--no-embedded-thumbnails]";

const QString kNothingFound = QStringLiteral("No image files were found in the selected directories.");

struct ImportRequest {
    FileSearchSettings search;
    bool includeKnown = false;
    bool embeddedThumbnails = true; // unless the settings turn them off too
};

// Without --category or --dir-names the files go where the Load dialog first offers: the first
// category in sorted order, which is "(unassigned)".
std::optional<ImportRequest> parseImport(QStringList arguments)
{
    ImportRequest request;
    request.search.categoryName = kUnassignedName;
    bool categoryChosen = false;
    bool directoryNames = false;
    QStringList paths;
    while (!arguments.isEmpty()) {
        const QString argument = arguments.takeFirst();
        if (argument == QLatin1String("--category")) {
            if (arguments.isEmpty() || trimmedText(arguments.first()).isEmpty())
                return std::nullopt;
            request.search.categoryName = arguments.takeFirst();
            categoryChosen = true;
        } else if (argument == QLatin1String("--dir-names")) {
            directoryNames = true;
        } else if (argument == QLatin1String("--no-subdirs")) {
            request.search.searchSubdirectories = false;
        } else if (argument == QLatin1String("--include-known")) {
            request.includeKnown = true;
        } else if (argument == QLatin1String("--no-embedded-thumbnails")) {
            request.embeddedThumbnails = false;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return std::nullopt;
        } else {
            paths.append(argument);
        }
    }
    if (paths.size() != 1 || (categoryChosen && directoryNames))
        return std::nullopt;
    request.search.directory = QFileInfo(paths.first()).absoluteFilePath();
    request.search.assignment =
        directoryNames ? CategoryAssignment::DirectoryNames : CategoryAssignment::ChosenCategory;
    return request;
}

void printSummary(const TAddingStep& step)
{
    const ImportCounters& counters = step.Counters();
    const std::pair<int, const QString&> rows[] = {
        {counters.loaded, kImagesLoadedText},
        {counters.duped, kImagesDupedText},
        {counters.assigned, kImagesAssignedText},
        {counters.clashed, kImagesClashedText},
    };
    for (const auto& [count, text] : rows)
        printLine(QStringLiteral("%1 %2").arg(count).arg(text));
    printLine(QString());
    for (const QString& line : step.ErrorLines())
        printLine(line);
}

int runImport(const Invocation& invocation)
{
    const std::optional<ImportRequest> request = parseImport(invocation.arguments);
    if (!request)
        return usageError(kImportUsage);
    const QString directory = request->search.directory;
    if (!QFileInfo(directory).isDir()) {
        printError(QStringLiteral("%1 is not a directory").arg(directory));
        return kFailure;
    }
    return reportingFailures([&] {
        // A damaged store is reported before anything is searched.
        const auto scrapbook = openScrapbook(TScrapbook::Access::ReadWrite);

        TFileSearch search(request->search);
        search.Run();
        const TLoadList found = search.TakeLoadList();
        if (found.isEmpty() && search.Failures().isEmpty()) {
            printError(kNothingFound);
            return kFailure;
        }

        TLoadPictureModule loader(&scrapbook->disks(), request->embeddedThumbnails && readEmbeddedThumbnailsSetting());
        AddingOptions options;
        options.includeKnownImages = request->includeKnown;
        options.decoders.embeddedThumbnails = loader.EmbeddedThumbnails();
        options.searchFailures = search.Failures();
        TAddingStep step(*scrapbook, loader, found, options);
        AddingProgress progress;
        progress.pendingEvents = [&step] {
            if (TerminationSignals::requested())
                step.Stop(); // as the Stop button: after the file in progress, and saved
        };
        step.Run(progress);
        printSummary(step);
        if (const int signal = TerminationSignals::requested()) {
            printError(
                QStringLiteral("stopped by signal %1 after %2 of %3 files. %4")
                    .arg(signal)
                    .arg(step.EntriesDone())
                    .arg(step.EntryCount())
                    .arg(step.Saved() ? QStringLiteral("What was added before is saved.") : step.StoreFailure()));
            return kFailure;
        }
        if (!step.StoreFailure().isEmpty()) {
            printError(step.StoreFailure()
                       + (step.Saved() ? QString() : QStringLiteral(" What was not saved is lost.")));
            return kFailure;
        }
        if (step.Counters().loaded > 0) {
            const TVol_Info volume = ReadVolumeInfo(directory);
            LabelAsDescription prompt;
            if (volume.removable)
                scrapbook->disks().AddDisk(directory, volume, prompt);
        }
        return step.ErrorCount() > 0 ? kFailure : kSuccess;
    });
}

const CommandRegistration importCommand({"import", kImportUsage, true, runImport});

} // namespace

} // namespace glimmora::cli
