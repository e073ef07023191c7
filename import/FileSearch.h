#pragma once

#include "files/FolderNodes.h"
#include "import/LoadEntry.h"
#include "platform/Volumes.h"

// Qt
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace glimmora {

// How the files found are assigned to categories.
enum class CategoryAssignment {
    DirectoryNames, // "Use Directory Name for Category"
    ChosenCategory, // "Assign to Category..."
};

struct FileSearchSettings {
    QString directory;
    CategoryAssignment assignment = CategoryAssignment::ChosenCategory;
    QString categoryName; // the category box's text, used with ChosenCategory
    bool searchSubdirectories = true;
};

enum class SearchOutcome { Completed, Stopped };

// A folder whose pictures the search could not list, or a picture file it had to pass over,
// and why (a text for the error list).
struct SearchFailure {
    QString path;
    QString reason;
};

// What the search window is told while the search runs.
struct FileSearchProgress {
    std::function<void(const QString& name)> showFileName; // the name of each file met, trimmed
    std::function<void()> pendingEvents;                   // let the window's events run
};

// The directory search of an import, widget-free and driven one directory entry at a time, so
// that the search window can let its events run after each entry and be cancelled.
//
// Files are listed in discovery order: each directory's files and subfolders in name order (as
// the folder tree orders them: case-insensitive, digits by value), a subdirectory searched at
// once, before the later entries of its parent. Hidden files
// and folders are searched; folders on pseudo file systems (the system attribute here) and
// symbolic links to folders never are, so neither /proc nor a link cycle is ever walked. A file
// is a picture file by the extension test of the picture-type table. Every file gets the chosen
// category, or with DirectoryNames the name of its directory ("(unassigned)" for files directly
// in "/"). A directory the user may not read adds nothing and says nothing; one that cannot be
// read for another reason is listed in Failures(), and so is a picture file or a folder whose
// name is not valid UTF-8 (no path of ours could name it again). The search holds one directory
// open at a time, however deep the tree.
class TFileSearch {
public:
    explicit TFileSearch(FileSearchSettings settings);
    // The mount table to tell pseudo file systems by (tests); the system's is read otherwise.
    TFileSearch(FileSearchSettings settings, QList<MountEntry> mounts);
    ~TFileSearch();
    TFileSearch(const TFileSearch&) = delete;
    TFileSearch& operator=(const TFileSearch&) = delete;

    // Handles the next directory entry; false once the search has ended (finished or stopped).
    bool Step();
    // Steps to the end, telling `progress` each file name and letting events run after it and
    // after every entry, as the search window does.
    SearchOutcome Run(const FileSearchProgress& progress = {});

    // The Cancel button: the search ends before the next entry, and its list is thrown away.
    void Stop() { stopped_ = true; }
    bool Stopped() const { return stopped_; }
    SearchOutcome Outcome() const { return stopped_ ? SearchOutcome::Stopped : SearchOutcome::Completed; }

    // The name of the file the last Step met (trimmed), empty when it met a folder.
    const QString& CurrentFileName() const { return currentFileName_; }

    // The files found so far; empty after Stop.
    const TLoadList& LoadList() const { return loadList_; }
    TLoadList TakeLoadList();

    // The folders that could not be read, in the order they were met.
    const QList<SearchFailure>& Failures() const { return failures_; }

private:
    struct Entry;
    struct Listing;

    void open(const QString& directory, const QString& resolved);
    void fail(const QString& directory, int error);
    static Entry entryOf(const QByteArray& native, unsigned char type);
    void handleEntry(const Listing& listing, const Entry& entry);
    void passOver(const Listing& listing, const Entry& entry);
    bool isSystemFolder(const QString& resolvedPath) const;

    FileSearchSettings settings_;
    QList<MountEntry> mounts_;
    FolderOrder order_;
    std::vector<std::unique_ptr<Listing>> listings_; // the open directories, innermost last
    TLoadList loadList_;
    QList<SearchFailure> failures_;
    QString currentFileName_;
    bool stopped_ = false;
};

// The category name of the files directly in a directory under DirectoryNames: "(unassigned)"
// for the root, the directory's last component otherwise.
QString directoryCategoryName(const QString& directory);

} // namespace glimmora
