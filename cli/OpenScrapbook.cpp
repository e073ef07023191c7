#include "cli/OpenScrapbook.h"

#include "cli/Command.h"
#include "platform/Paths.h"
#include "platform/TerminationSignals.h"

#include <exception>

namespace glimmora::cli {

std::unique_ptr<TScrapbook> openScrapbook(TScrapbook::Access access)
{
    // A command that changes the scrapbook is not killed half-way by a logout or Ctrl+C: it
    // stops where it safely can and saves (a query has nothing to save and ends at once).
    if (access == TScrapbook::Access::ReadWrite)
        TerminationSignals::install();
    // --data has already been turned into GLIMMORA_DATA_DIR, which dataDirectory() follows.
    auto scrapbook = std::make_unique<TScrapbook>(dataDirectory(), access);
    const QStringList repairs = scrapbook->repairs().sentences();
    if (!repairs.isEmpty())
        printError(
            QStringLiteral("the scrapbook's files were out of step: %1 %2")
                .arg(repairs.join(QLatin1Char(' ')), access == TScrapbook::Access::ReadOnly
                                                         ? QStringLiteral("(Shown so here; a query saves nothing.)")
                                                         : QStringLiteral("(Saved with this command.)")));
    return scrapbook;
}

int saveScrapbook(TScrapbook& scrapbook)
{
    try {
        scrapbook.save();
        return kSuccess;
    } catch (const EScrapbookSaveError& error) {
        printError(QString::fromUtf8(error.what()) + QStringLiteral(" What was not saved is lost."));
        return kFailure;
    }
}

QString LabelAsDescription::askDescription(const NewDiskDetails& disk)
{
    return disk.label.trimmed().isEmpty() ? QStringLiteral("Added by glimmora-cli") : disk.label;
}

int reportingFailures(const std::function<int()>& body)
{
    try {
        return body();
    } catch (const std::exception& error) {
        printError(QString::fromUtf8(error.what()));
        return kFailure;
    }
}

} // namespace glimmora::cli
