#pragma once

#include "import/FileSearch.h"

// Qt
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace glimmora {

class TCategory;
struct FileAdding;

// Files dropped on a category window by a file manager or another program.

// The files a drop hands over, in order: a file as it stands (its shortcut is resolved when it
// is added), a folder (or a shortcut to one) as the picture files in it and in its subfolders,
// in the order the import's search finds them. Folders that could not be read are appended to
// `unreadable`.
QStringList droppedFiles(const QStringList& paths, QList<SearchFailure>& unreadable);

// What adding the dropped files came to.
struct FileDropOutcome {
    int added = 0;          // files whose image is now in the category
    QStringList loadErrors; // per refused file, the "Load Error" text: path, line break, reason
    QString failure;        // what ended the drop early (the store could not be written): path, line break, error
    bool stopped = false;   // the user stopped it
};

// Adds the files to `category`, in order, each through AddFileToCategory: its image leaves
// "(unassigned)", files of no picture type and shortcuts that lead nowhere are passed over, and a
// refused file does not stop the others. `progress` is told how many files are done after each;
// when it answers false the drop stops there, what was added staying added.
FileDropOutcome AddDroppedFiles(const FileAdding& scrapbook, TCategory& category, const QStringList& files,
                                const std::function<bool(qsizetype done)>& progress = {});

} // namespace glimmora
