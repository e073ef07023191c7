#pragma once

// Qt
#include <QString>

#include <memory>

namespace glimmora {

class DiskDescriptionPrompt;
class TCategories;
class TCategory;
class TImageElementForm;
class TRemoveableMediaList;
class ThumbnailSource;
struct TImageElement;

// The program-wide objects a file is added to the scrapbook with; all outlive the adding.
struct FileAdding {
    TImageElementForm& images;
    TCategories& categories;
    TRemoveableMediaList& disks;
    ThumbnailSource& thumbnails;       // the picture loader, for a new record's thumbnail
    DiskDescriptionPrompt& diskPrompt; // asks for the description of a removable disk met first
};

// What adding a file came to.
struct AddFileOutcome {
    enum class Result {
        Added,      // the file's record (found or new) is in the category
        PassedOver, // a shortcut that leads nowhere, or a file of no picture type: nothing to say
        Refused,    // the scrapbook did not take the file: errorText says why
    };
    Result result = Result::PassedOver;
    QString path; // the file added or refused: the shortcut's target where there was one
    QString errorText;
    std::unique_ptr<TImageElement> record; // when added
    bool newRecord = false;                // the record was made for this file

    // The "Load Error" box's text: the path, a line break and the reason.
    QString loadErrorText() const;
};

// Adds a file to the scrapbook and to `category`, the way a category window takes a file (a
// converted picture, a file dropped on it): a shortcut is resolved first, the file's record is
// found or made, and the record joins the category; unless keepInUnassigned it also leaves
// "(unassigned)". A file on a removable disk registers its disk. Store failures propagate.
//
// "Search Results" holds no memberships: a file added in its window goes to "(unassigned)".
AddFileOutcome AddFileToCategory(const FileAdding& scrapbook, TCategory& category, const QString& fileName,
                                 bool keepInUnassigned);

} // namespace glimmora
