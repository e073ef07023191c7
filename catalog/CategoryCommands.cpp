#include "catalog/CategoryCommands.h"

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/StoredText.h"


namespace glimmora {

namespace {

CategoryCommandResult blankName() { return {nullptr, QStringLiteral("A category needs a name."), true}; }

} // namespace

QString alreadyDefinedMessage(const QString& typed)
{
    return QStringLiteral("Category \"%1\" is already defined.").arg(typed);
}

QString categoryDeletedMessage(const QString& name)
{
    return QStringLiteral("Category \"%1\" has been deleted.").arg(name);
}

QString deleteConfirmationQuestion(const QString& name)
{
    return QStringLiteral("Are you sure you want to delete the \"%1\" category?").arg(name);
}

bool mayBeginCategoryName(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
}

QString untypableNameProblem(const QString& typed)
{
    const QString name = trimmedText(typed);
    if (name.isEmpty())
        return QString(); // a blank name is refused as blank
    if (!mayBeginCategoryName(name.front()))
        return QStringLiteral("A category name begins with a letter or a digit.");
    if (storedTextBytes(typed).size() > kCategoryNameBytes)
        return QStringLiteral("A category name holds at most %1 bytes.").arg(kCategoryNameBytes);
    return QString();
}

CategoryCommandResult NewCategory(TCategories& categories, const QString& typed)
{
    if (trimmedText(typed).isEmpty())
        return blankName();
    const auto [category, isNew] = categories.FindOrAddCategory(typed, false);
    if (!isNew)
        return {nullptr, alreadyDefinedMessage(typed)};
    return {category, QString()};
}

CategoryCommandResult RenameCategory(TCategories& categories, TCategory& target, const QString& typed)
{
    const QString name = trimmedText(typed).toLower();
    if (name.isEmpty())
        return blankName();
    if (categories.FindOrAddCategory(name, true).first)
        return {nullptr, alreadyDefinedMessage(typed)};
    categories.RenameCategory(target, name);
    return {&target, QString()};
}

bool isDeletableCategory(const TCategories& categories, const TCategory& category)
{
    return category.CategoryId >= 0 && category.CategoryId != categories.UnassignedId();
}

} // namespace glimmora
