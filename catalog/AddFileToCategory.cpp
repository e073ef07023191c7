#include "catalog/AddFileToCategory.h"

#include "catalog/Categories.h"
#include "catalog/ImageElementForm.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/Volume.h"
#include "platform/Shortcuts.h"

namespace glimmora {

QString AddFileOutcome::loadErrorText() const { return path + QLatin1Char('\n') + errorText; }

AddFileOutcome AddFileToCategory(const FileAdding& scrapbook, TCategory& category, const QString& fileName,
                                 bool keepInUnassigned)
{
    AddFileOutcome outcome;
    const std::optional<QString> target = resolveShortcut(fileName);
    if (!target)
        return outcome;
    outcome.path = *target;
    const TVol_Info volume = ReadVolumeInfo(outcome.path);
    if (!PictureTypeOf(outcome.path))
        return outcome;

    FindOrAddResult found = scrapbook.images.FindOrAddImage(outcome.path, scrapbook.thumbnails);
    if (!found.record) {
        outcome.result = AddFileOutcome::Result::Refused;
        outcome.errorText = found.errorText;
        return outcome;
    }
    TCategories& categories = scrapbook.categories;
    TCategory& unassigned = *categories.FindCategory(categories.UnassignedId());
    TCategory& joined = category.CategoryId < 0 ? unassigned : category;
    categories.AddImageToCategory(joined, *found.record);
    if (!keepInUnassigned && &joined != &unassigned)
        categories.RemoveImageFromCategory(unassigned, *found.record);
    if (volume.removable)
        scrapbook.disks.AddDisk(outcome.path, volume, scrapbook.diskPrompt);

    outcome.result = AddFileOutcome::Result::Added;
    outcome.record = std::move(found.record);
    outcome.newRecord = found.added;
    return outcome;
}

} // namespace glimmora
