#pragma once

#include "catalog/RemoveableMediaList.h"
#include "catalog/Scrapbook.h"

#include <functional>
#include <memory>

namespace glimmora::cli {

// The scrapbook of the tool's data directory (--data, or the program's default), opened as the
// program opens it. What the opening set right is reported on standard error; a query
// (ReadOnly) only shows it so, a command that changes the scrapbook saves it with its own
// change. For such a command SIGTERM, SIGHUP and SIGINT only set TerminationSignals::requested(),
// which its long loops heed. Raises EScrapbookError.
std::unique_ptr<TScrapbook> openScrapbook(TScrapbook::Access access);

// Saves a changed scrapbook; prints what could not be saved. Returns the exit status.
int saveScrapbook(TScrapbook& scrapbook);

// A removable disk met by the tool is registered under its label, as no one is there to type a
// description.
class LabelAsDescription : public DiskDescriptionPrompt {
public:
    QString askDescription(const NewDiskDetails& disk) override;
};

// Runs a command body, reporting any failure of the scrapbook (and any other exception) as a
// failure of the command.
int reportingFailures(const std::function<int()>& body);

} // namespace glimmora::cli
