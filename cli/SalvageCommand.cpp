// glimmora-cli salvage: a damaged image store replaced by a new one holding every record that
// can still be read; the damaged file is kept beside it, and what could not be read is listed.

#include "cli/Command.h"
#include "cli/OpenScrapbook.h"

#include "catalog/DataFile.h"
#include "catalog/ImageElement.h"
#include "catalog/ImageStoreSalvage.h"
#include "platform/DataDirectoryLock.h"
#include "platform/Paths.h"
#include "store/FileSeam.h"
#include "store/QDB.h"

// Qt
#include <QFile>

// POSIX
#include <sys/stat.h>
#include <unistd.h>

namespace glimmora::cli {

namespace {

constexpr const char* kSalvageUsage = "salvage";
const std::string kMaxSeqNoKey = "MAX_SEQ_NO";

std::string localName(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The damaged store under a name that says so: its own name + ".damaged" (+ "-2", "-3", … when
// an earlier salvage kept one). A second name of the same file where the file system allows,
// else a synced copy; either way the store file stays in place until the new one replaces it.
std::string keepDamagedStore(const std::string& store)
{
    std::string kept = store + ".damaged";
    for (int n = 2; store::seam::exists(kept); ++n)
        kept = store + ".damaged-" + std::to_string(n);
    if (::link(store.c_str(), kept.c_str()) != 0) {
        auto from = store::SeamFile::open(store, store::SeamFile::Mode::Read);
        auto copy = store::SeamFile::open(kept, store::SeamFile::Mode::CreateNew);
        copy.copyFrom(from, from.size());
        copy.sync();
    }
    store::seam::syncDirectoryOf(kept);
    return kept;
}

// The new store is built beside the damaged one, with its permissions, and renamed over it.
void replaceStore(const std::string& store, const StoreSalvage& salvage)
{
    const std::string building = store + ".salvaged";
    store::seam::removeFileQuietly(building); // left by an earlier salvage that was killed
    {
        store::TQDB db;
        db.setFileName(building);
        for (const SalvagedRecord& record : salvage.records)
            db.addItem(
                {reinterpret_cast<const std::uint8_t*>(record.value.constData()), std::size_t(record.value.size())},
                ImageStoreKey(record.seqNo));
        if (salvage.highestNumber > 0)
            db.setAdminInteger(kMaxSeqNoKey, salvage.highestNumber);
        db.setFileName(std::string());
    }
    if (const auto damaged = store::seam::status(store))
        ::chmod(building.c_str(), damaged->mode);
    store::seam::renameFile(building, store);
    store::seam::syncDirectoryOf(store);
}

int runSalvage(const Invocation& invocation)
{
    if (!invocation.arguments.isEmpty())
        return usageError(kSalvageUsage);
    return reportingFailures([&] {
        const QString directory = dataDirectory();
        const QString storeFile = QString::fromStdString(linkTarget(TScrapbook::dataPath(directory) + ".idb"));
        StoreSalvage salvage;
        {
            DataDirectoryLock lock;
            if (!lock.tryLock(directory)) {
                printError(lock.errorText());
                return kFailure;
            }
            if (!store::seam::status(localName(storeFile))) {
                printError(QStringLiteral("There is no image store %1 to salvage.").arg(storeFile));
                return kFailure;
            }
            salvage = salvageImageStore(storeFile);
            const qsizetype total = salvage.records.size() + salvage.unreadable.size();
            if (salvage.unreadable.isEmpty() && salvage.finding.isEmpty()) {
                printLine(QStringLiteral("Every one of the %1 image records of %2 can be read; nothing was changed.")
                              .arg(total)
                              .arg(storeFile));
                return kSuccess;
            }
            const std::string kept = keepDamagedStore(localName(storeFile));
            replaceStore(localName(storeFile), salvage);
            const QString count = salvage.indexFound ? QStringLiteral("%1 of %2").arg(salvage.records.size()).arg(total)
                                                     : QString::number(salvage.records.size());
            printLine(QStringLiteral("Salvaged %1 image records of %2 into a new store.").arg(count, storeFile));
            printLine(QStringLiteral("The damaged store is kept as %1.").arg(QString::fromStdString(kept)));
        }
        if (!salvage.finding.isEmpty())
            printLine(salvage.finding);
        if (!salvage.unreadable.isEmpty()) {
            printLine(QStringLiteral("Could not be read:"));
            for (const QString& record : salvage.unreadable)
                printLine(QStringLiteral("  ") + record);
        }
        // The memberships and categories are set right against the new store.
        const auto scrapbook = openScrapbook(TScrapbook::Access::ReadWrite);
        return saveScrapbook(*scrapbook);
    });
}

const CommandRegistration salvageCommand({"salvage", kSalvageUsage, true, runSalvage});

} // namespace

} // namespace glimmora::cli
