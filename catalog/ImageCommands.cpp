#include "catalog/ImageCommands.h"

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"

namespace glimmora {

QString verbText(CategoryVerb verb)
{
    return verb == CategoryVerb::Copy ? QStringLiteral("copy") : QStringLiteral("move");
}

QString targetCategoryPrompt(CategoryVerb verb)
{
    return QStringLiteral("Select the Category you want to %1 to:").arg(verbText(verb));
}

QString targetCategoryRefusal(const TCategories& categories, const TCategory* own, const TCategory& target,
                              CategoryVerb verb)
{
    if (&target == own)
        return QStringLiteral("You can't %1 from a category to itself.").arg(verbText(verb));
    if (target.CategoryId == categories.UnassignedId())
        return QStringLiteral("You can't %1 to (unassigned).\rUse Delete instead.").arg(verbText(verb));
    return QString();
}

QString moveConfirmationQuestion(const QString& caption)
{
    return QStringLiteral("Are you sure you want to move the selected images to %1?").arg(caption);
}

QString deleteFromCategoryQuestion(const QString& categoryName)
{
    return QStringLiteral("Are you sure you want to delete the selected items from the \"%1\" category?")
        .arg(categoryName.trimmed());
}

QString deleteFromScrapbookQuestion()
{
    return QStringLiteral("Are you sure you want to delete the selected items from the scrapbook?");
}

void AssignImagesTo(TCategories& categories, TCategory& target, const QList<TImageElement>& images,
                    bool leaveUnassigned)
{
    TCategory* unassigned = categories.FindCategory(categories.UnassignedId());
    for (const TImageElement& image : images) {
        categories.AddImageToCategory(target, image);
        if (leaveUnassigned && unassigned && unassigned != &target)
            categories.RemoveImageFromCategory(*unassigned, image);
    }
}

void RemoveImagesFromCategory(TCategories& categories, TCategory& source, const QList<TImageElement>& images)
{
    for (auto image = images.crbegin(); image != images.crend(); ++image)
        categories.RemoveImageFromCategory(source, *image);
}

void MoveImages(TCategories& categories, TCategory& source, TCategory& target, const QList<TImageElement>& images)
{
    AssignImagesTo(categories, target, images, false);
    RemoveImagesFromCategory(categories, source, images);
}

void DeleteImagesFromCategory(TCategories& categories, TCategory& category, const QList<TImageElement>& images)
{
    TCategory* unassigned = categories.FindCategory(categories.UnassignedId());
    for (auto image = images.crbegin(); image != images.crend(); ++image) {
        if (unassigned && unassigned != &category && categories.memberships().ImageCategoryCount(*image) == 1)
            categories.AddImageToCategory(*unassigned, *image);
        categories.RemoveImageFromCategory(category, *image);
    }
}

QString deleteFromCategoryRefusal(const TCategories& categories, const TCategory& category)
{
    if (category.CategoryId == categories.UnassignedId())
        return QStringLiteral("Images cannot be deleted from (unassigned): they would be in no category. Delete "
                              "them from the scrapbook instead.");
    return QString();
}

void DeleteImagesFromScrapbook(TImageElementForm& images, const QList<TImageElement>& records)
{
    for (auto record = records.crbegin(); record != records.crend(); ++record)
        images.DeleteImage(*record);
}

QString memoPrompt(qsizetype selected)
{
    return selected == 1 ? QStringLiteral("Enter text to REPLACE the memo field\rof the selected image.")
                         : QStringLiteral("Enter text to be APPENDED to the memo\rfield of each image selected.");
}

void ApplyMemo(TImageElementForm& images, const QList<TImageElement>& records, const QString& entered)
{
    const bool replacing = records.size() == 1;
    for (TImageElement record : records) {
        record.IT_Memo = MemoText(replacing ? QString() : record.IT_Memo, entered);
        images.WriteImage(record);
    }
}

QString shellOpenFailureText(int result, const QString& path)
{
    if (result >= 32)
        return QString();
    switch (result) {
    case 0: return QStringLiteral("The system is out of memory or resources");
    case 2: return QStringLiteral("File %1 not found.").arg(path);
    case 3: return QStringLiteral("The specified path for file %1 was not found.").arg(path);
    case 5: return QStringLiteral("Access denied.");
    case 8: return QStringLiteral("There was not enough memory to complete the operation.");
    case 11: return QStringLiteral("File format is invalid for associated application.");
    case 26: return QStringLiteral("A sharing violation occurred.");
    case 27: return QStringLiteral("The filename association is incomplete or invalid.");
    case 28: return QStringLiteral("The application timed out.");
    case 31: return QStringLiteral("There is no application associated with file %1").arg(path);
    default: break;
    }
    return QStringLiteral("Unable to run the application associated with %1.").arg(path);
}

QStringList slideshowPaths(const QList<TImageElement>& images)
{
    QStringList paths;
    for (auto image = images.crbegin(); image != images.crend(); ++image)
        paths.append(localPath(image->IT_Path));
    return paths;
}

} // namespace glimmora
