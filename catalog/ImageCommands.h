#pragma once

#include "catalog/ImageElement.h"

// Qt
#include <QList>
#include <QString>
#include <QStringList>

namespace glimmora {

class TCategories;
class TCategory;
class TImageElementForm;

// The commands a category window applies to its selected images, as the window and
// glimmora-cli both run them: the same checks, refusals and texts. Each works on copies of the
// selected records in list order (a command may free the category's own copies as it goes) and
// changes the scrapbook in memory; the caller saves it before it reports the command done.

enum class CategoryVerb { Copy, Move };

// "copy" or "move", as the texts of the commands put it.
QString verbText(CategoryVerb verb);

// The category chooser's prompt and help topic for a copy or a move.
QString targetCategoryPrompt(CategoryVerb verb);
inline constexpr int kTargetCategoryHelpContext = 1003;

// Why `target` cannot receive the images of `own` (the window's category; none for the tool's
// copy, which has none): "You can't copy from a category to itself." for the own category,
// "You can't move to (unassigned)." + CR + "Use Delete instead." for "(unassigned)". Empty when
// the target may be used.
QString targetCategoryRefusal(const TCategories& categories, const TCategory* own, const TCategory& target,
                              CategoryVerb verb);

// "Are you sure you want to move the selected images to <caption>?"
QString moveConfirmationQuestion(const QString& caption);
// "Are you sure you want to delete the selected items from the "<name>" category?"
QString deleteFromCategoryQuestion(const QString& categoryName);
// "Are you sure you want to delete the selected items from the scrapbook?"
QString deleteFromScrapbookQuestion();
inline const QString kDeleteConfirmationCaption = QStringLiteral("Delete Confirmation");

// Adds the images to `target`, first to last. Images taken from the results of a search (or
// named by number in the tool) leave "(unassigned)", since they now have a real category.
void AssignImagesTo(TCategories& categories, TCategory& target, const QList<TImageElement>& images,
                    bool leaveUnassigned);
// Takes the images out of `source`, last to first.
void RemoveImagesFromCategory(TCategories& categories, TCategory& source, const QList<TImageElement>& images);
// A move: assigned to `target`, then taken out of `source`.
void MoveImages(TCategories& categories, TCategory& source, TCategory& target, const QList<TImageElement>& images);
// Deletes the images from `category`, last to first; an image in no other category goes to
// "(unassigned)" first, so that no image ever loses its last category.
void DeleteImagesFromCategory(TCategories& categories, TCategory& category, const QList<TImageElement>& images);
// Why images cannot be deleted from `category`: from "(unassigned)" they could only be lost.
// Empty when they can.
QString deleteFromCategoryRefusal(const TCategories& categories, const TCategory& category);
// Deletes the images from the scrapbook, last to first: from the store, the path index and
// every category (so every window). The picture files stay where they are.
void DeleteImagesFromScrapbook(TImageElementForm& images, const QList<TImageElement>& records);

// The memo entry's prompt for `selected` images: replace for one, append for several.
QString memoPrompt(qsizetype selected);
// Gives every image its new memo and writes it: for one image the entry replaces the memo, for
// several it is appended to each (see MemoText).
void ApplyMemo(TImageElementForm& images, const QList<TImageElement>& records, const QString& entered);

// The message for a failed opening of `path` in its associated application (the ShellOpen
// result below 32); empty for a success.
QString shellOpenFailureText(int result, const QString& path);

// The paths handed to the slideshow program, one AddSlide each, in this order: last image first.
QStringList slideshowPaths(const QList<TImageElement>& images);

} // namespace glimmora
