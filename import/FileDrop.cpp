#include "import/FileDrop.h"

#include "catalog/AddFileToCategory.h"
#include "catalog/ImageElement.h"
#include "platform/Shortcuts.h"

// Qt
#include <QFileInfo>

#include <exception>

namespace glimmora {

namespace {

void appendPicturesOf(const QString& folder, QStringList& files, QList<SearchFailure>& unreadable)
{
    TFileSearch search({folder, CategoryAssignment::ChosenCategory, QString(), true});
    search.Run();
    for (const TLoadEntry& entry : search.LoadList())
        files.append(entry.path);
    unreadable += search.Failures();
}

} // namespace

QStringList droppedFiles(const QStringList& paths, QList<SearchFailure>& unreadable)
{
    QStringList files;
    for (const QString& path : paths) {
        const std::optional<QString> target = resolveShortcut(path);
        if (target && QFileInfo(*target).isDir())
            appendPicturesOf(*target, files, unreadable);
        else
            files.append(path);
    }
    return files;
}

FileDropOutcome AddDroppedFiles(const FileAdding& scrapbook, TCategory& category, const QStringList& files,
                                const std::function<bool(qsizetype done)>& progress)
{
    FileDropOutcome outcome;
    for (qsizetype done = 0; done < files.size();) {
        try {
            const AddFileOutcome added = AddFileToCategory(scrapbook, category, files.at(done), false);
            if (added.result == AddFileOutcome::Result::Added)
                ++outcome.added;
            else if (added.result == AddFileOutcome::Result::Refused)
                outcome.loadErrors.append(added.loadErrorText());
        } catch (const std::exception& error) {
            outcome.failure = files.at(done) + QLatin1Char('\n') + QString::fromUtf8(error.what());
            break;
        }
        ++done;
        if (progress && !progress(done)) {
            outcome.stopped = done < files.size();
            break;
        }
    }
    return outcome;
}

} // namespace glimmora
