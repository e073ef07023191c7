#pragma once

// Qt
#include <QString>

#include <functional>

namespace glimmora {

class TCategories;
class TCategory;

// The category commands as the category dialogs and glimmora-cli run them: the same checks, the
// same refusals and texts. The dialogs keep what only a window does (the key filter, beeps, the
// confirmation and the gauge); everything that decides is here.

// What a command decided. `refusal` is empty when it went ahead; `category` is the category made
// or renamed (none when refused).
struct CategoryCommandResult {
    TCategory* category = nullptr;
    QString refusal;
    bool emptyName = false; // the name was blank: the dialog only beeps, the tool says so

    bool refused() const { return !refusal.isEmpty(); }
};

// "Category "<typed>" is already defined.", with the name as the user typed it.
QString alreadyDefinedMessage(const QString& typed);
// "Category "<name>" has been deleted."
QString categoryDeletedMessage(const QString& name);
// "Are you sure you want to delete the "<name>" category?"
QString deleteConfirmationQuestion(const QString& name);

// Whether a character may begin a category name: an ASCII letter or digit, as the name field
// lets the user type into it while it is empty.
bool mayBeginCategoryName(QChar c);

// Why a name could never have been typed into the name field (trimmed, it begins with something
// other than a letter or a digit, or it is longer than 25 bytes); empty when it could.
QString untypableNameProblem(const QString& typed);

// A new category named `typed` (trimmed and lower-cased); refused when the name is blank or
// already defined, compared the way FindOrAddCategory compares.
CategoryCommandResult NewCategory(TCategories& categories, const QString& typed);

// Gives `target` the name `typed` (trimmed and lower-cased); refused when the name is blank or
// already defined, the target's own name included. Its windows follow.
CategoryCommandResult RenameCategory(TCategories& categories, TCategory& target, const QString& typed);

// Whether a category may be deleted or renamed: "(unassigned)" and "Search Results" may not.
bool isDeletableCategory(const TCategories& categories, const TCategory& category);

} // namespace glimmora
