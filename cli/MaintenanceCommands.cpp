// The maintenance commands of the tool: check, clean-missing, clean-empty, reorganize, disks and
// delete-disk, over the same model operations as the "Cleanup" menu and the removable-media
// window, with the same counts and texts.

#include "cli/Command.h"
#include "cli/OpenScrapbook.h"

#include "catalog/Maintenance.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/Volume.h"
#include "platform/TerminationSignals.h"

// Qt
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <functional>

namespace glimmora::cli {

namespace {

constexpr const char* kCheckUsage = "check";
constexpr const char* kCleanMissingUsage = "clean-missing";
constexpr const char* kCleanEmptyUsage = "clean-empty";
constexpr const char* kReorganizeUsage = "reorganize";
constexpr const char* kDisksUsage = "disks [--json]";
constexpr const char* kDeleteDiskUsage = "delete-disk SERIAL";

// The windows' messages separate their sentences with CR; a terminal wants lines.
void printMessage(const QString& text) { printLine(QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n'))); }

// Runs a command that changes the scrapbook, saves it and prints the command's message; a pass
// that ended early is a failure, reported after what it did is saved.
int onScrapbook(const std::function<bool(TScrapbook&, QString& message)>& command)
{
    return reportingFailures([&] {
        const auto scrapbook = openScrapbook(TScrapbook::Access::ReadWrite);
        QString message;
        const bool complete = command(*scrapbook, message);
        const int saved = saveScrapbook(*scrapbook);
        printMessage(message);
        return saved != kSuccess ? saved : complete ? kSuccess : kFailure;
    });
}

// A long pass stops where it safely can when the session ends or Ctrl+C is pressed.
MaintenanceObserver stoppableByTermination()
{
    MaintenanceObserver observer;
    observer.stopRequested = [] { return TerminationSignals::requested() != 0; };
    return observer;
}

int runCheck(const Invocation& invocation)
{
    if (!invocation.arguments.isEmpty())
        return usageError(kCheckUsage);
    return onScrapbook([](TScrapbook& scrapbook, QString& message) {
        const IntegrityResult result = CheckIntegrity(scrapbook, stoppableByTermination());
        message = integrityMessage(result);
        return result.error.isEmpty();
    });
}

int runCleanMissing(const Invocation& invocation)
{
    if (!invocation.arguments.isEmpty())
        return usageError(kCleanMissingUsage);
    return onScrapbook([](TScrapbook& scrapbook, QString& message) {
        const MissingImagesResult result = DeleteImagesNotOnDisk(scrapbook, stoppableByTermination());
        message = missingImagesMessage(result);
        return result.error.isEmpty() && !result.stopped;
    });
}

int runCleanEmpty(const Invocation& invocation)
{
    if (!invocation.arguments.isEmpty())
        return usageError(kCleanEmptyUsage);
    return onScrapbook([](TScrapbook& scrapbook, QString& message) {
        message = emptyCategoriesMessage(DeleteEmptyCategories(scrapbook.categories()));
        return true;
    });
}

int runReorganize(const Invocation& invocation)
{
    if (!invocation.arguments.isEmpty())
        return usageError(kReorganizeUsage);
    return reportingFailures([] {
        const auto scrapbook = openScrapbook(TScrapbook::Access::ReadWrite);
        try {
            scrapbook->reorganize({});
        } catch (const EScrapbookSaveError& error) {
            printError(QString::fromUtf8(error.what()));
            return kFailure;
        }
        printLine(QStringLiteral("Reorganization is complete."));
        return kSuccess;
    });
}

QJsonObject diskJson(const TRemoveableMedium& disk, const DiskTexts& texts)
{
    return {
        {QStringLiteral("serial"), qint64(disk.serialNumber)},
        {QStringLiteral("label"), disk.label},
        {QStringLiteral("drive"), texts.drive},
        {QStringLiteral("description"), disk.description},
    };
}

int runDisks(const Invocation& invocation)
{
    QStringList arguments = invocation.arguments;
    const bool json = arguments.removeAll(QStringLiteral("--json")) > 0;
    if (!arguments.isEmpty())
        return usageError(kDisksUsage);
    return reportingFailures([json] {
        const auto scrapbook = openScrapbook(TScrapbook::Access::ReadOnly);
        const QList<TRemoveableMedium>& disks = scrapbook->disks().disks();
        const QList<DiskTexts> texts = diskTexts(disks);
        QJsonArray array;
        for (qsizetype i = 0; i < disks.size(); ++i) {
            const DiskTexts& row = texts.at(i);
            if (json)
                array.append(diskJson(disks.at(i), row));
            else
                printLine(QStringList{row.drive, row.serialHex, row.serialSigned, row.label, row.description}.join(
                    QLatin1Char('\t')));
        }
        if (json)
            printLine(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)));
        return kSuccess;
    });
}

int runDeleteDisk(const Invocation& invocation)
{
    if (invocation.arguments.size() != 1)
        return usageError(kDeleteDiskUsage);
    const std::optional<std::uint32_t> serial = parseSerialNumber(invocation.arguments.first());
    if (!serial) {
        printError(QStringLiteral("'%1' is no serial number: give it as shown by \"disks\" (1A2B-3C4D or a decimal)")
                       .arg(invocation.arguments.first()));
        return kBadUsage;
    }
    return reportingFailures([serial] {
        const auto scrapbook = openScrapbook(TScrapbook::Access::ReadWrite);
        const TRemoveableMedium* disk = scrapbook->disks().FindBySerialNumber(*serial);
        if (!disk) {
            printError(QStringLiteral("no removable disk with the serial number %1 is known")
                           .arg(FormatSerialNumber(*serial)));
            return kFailure;
        }
        const QString description = disk->description;
        const int deleted = DeleteRemoveableDisk(*scrapbook, *serial);
        printLine(diskDeletedMessage(description, deleted));
        return kSuccess;
    });
}

const CommandRegistration checkCommand({"check", kCheckUsage, true, runCheck});
const CommandRegistration cleanMissingCommand({"clean-missing", kCleanMissingUsage, true, runCleanMissing});
const CommandRegistration cleanEmptyCommand({"clean-empty", kCleanEmptyUsage, true, runCleanEmpty});
const CommandRegistration reorganizeCommand({"reorganize", kReorganizeUsage, true, runReorganize});
const CommandRegistration disksCommand({"disks", kDisksUsage, true, runDisks});
const CommandRegistration deleteDiskCommand({"delete-disk", kDeleteDiskUsage, true, runDeleteDisk});

} // namespace

} // namespace glimmora::cli
