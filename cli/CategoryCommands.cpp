// The category commands of the tool: new-category, rename-category and delete-category, over
// the same model operations as the category dialogs, saving before they return.

#include "cli/Command.h"
#include "cli/OpenScrapbook.h"

#include "catalog/Categories.h"
#include "catalog/CategoryCommands.h"

#include <functional>
#include <utility>

namespace glimmora::cli {

namespace {

constexpr const char* kNewUsage = "new-category NAME";
constexpr const char* kRenameUsage = "rename-category OLD NEW";
constexpr const char* kDeleteUsage = "delete-category NAME [--delete-images]";

int refusedWith(const QString& text)
{
    printError(text);
    return kFailure;
}

// What a command printed on success, or why it refused.
struct Outcome {
    QString refusal;
    QString output;
};

Outcome refusal(const QString& text) { return {text, QString()}; }

// Runs a command on the scrapbook and prints its output once its changes are saved. A store
// failure is a reported failure, and so is a save that failed after the command went ahead.
int onCategoryFiles(const std::function<Outcome(TScrapbook&)>& command)
{
    return reportingFailures([&] {
        const auto scrapbook = openScrapbook(TScrapbook::Access::ReadWrite);
        const Outcome outcome = command(*scrapbook);
        if (!outcome.refusal.isEmpty())
            return refusedWith(outcome.refusal);
        if (const int status = saveScrapbook(*scrapbook); status != kSuccess)
            return status;
        printLine(outcome.output);
        return kSuccess;
    });
}

// The category a command names, or why the user could not have picked it in the delete or
// rename chooser.
std::pair<TCategory*, QString> choosableCategory(TCategories& categories, const QString& name)
{
    TCategory* category = categories.FindOrAddCategory(name, true).first;
    if (!category)
        return {nullptr, QStringLiteral("no category named '%1'").arg(name)};
    if (!isDeletableCategory(categories, *category))
        return {nullptr, QStringLiteral("\"%1\" can be neither deleted nor renamed.").arg(category->CategoryName)};
    return {category, QString()};
}

// A category made or renamed is printed as "categories" lists it: number, tab, name.
Outcome made(const CategoryCommandResult& result)
{
    if (result.refused())
        return refusal(result.refusal);
    return {QString(), QStringLiteral("%1\t%2").arg(result.category->CategoryId).arg(result.category->CategoryName)};
}

int runNewCategory(const Invocation& invocation)
{
    if (invocation.arguments.size() != 1)
        return usageError(kNewUsage);
    const QString& name = invocation.arguments.first();
    if (const QString problem = untypableNameProblem(name); !problem.isEmpty())
        return refusedWith(problem);
    return onCategoryFiles([&](TScrapbook& scrapbook) { return made(NewCategory(scrapbook.categories(), name)); });
}

int runRenameCategory(const Invocation& invocation)
{
    if (invocation.arguments.size() != 2)
        return usageError(kRenameUsage);
    const QString& newName = invocation.arguments.at(1);
    if (const QString problem = untypableNameProblem(newName); !problem.isEmpty())
        return refusedWith(problem);
    return onCategoryFiles([&](TScrapbook& scrapbook) {
        const auto [target, problem] = choosableCategory(scrapbook.categories(), invocation.arguments.first());
        if (!target)
            return refusal(problem);
        return made(RenameCategory(scrapbook.categories(), *target, newName));
    });
}

int runDeleteCategory(const Invocation& invocation)
{
    QStringList arguments = invocation.arguments;
    const bool deleteImages = arguments.removeAll(QStringLiteral("--delete-images")) > 0;
    if (arguments.size() != 1)
        return usageError(kDeleteUsage);
    return onCategoryFiles([&](TScrapbook& scrapbook) {
        const auto [target, problem] = choosableCategory(scrapbook.categories(), arguments.first());
        if (!target)
            return refusal(problem);
        const QString name = target->CategoryName;
        scrapbook.categories().DeleteCategory(target, deleteImages);
        return Outcome{QString(), categoryDeletedMessage(name)};
    });
}

const CommandRegistration newCategoryCommand({"new-category", kNewUsage, true, runNewCategory});
const CommandRegistration renameCategoryCommand({"rename-category", kRenameUsage, true, runRenameCategory});
const CommandRegistration deleteCategoryCommand({"delete-category", kDeleteUsage, true, runDeleteCategory});

} // namespace

} // namespace glimmora::cli
