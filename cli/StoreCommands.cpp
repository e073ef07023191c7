// store-dump and store-copy: any store file, read or rewritten through the store engine.

#include "cli/Command.h"

#include "store/QDB.h"

// Qt
#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

// POSIX
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace glimmora::cli {

namespace {

using store::TQDB;

struct StoreOptions {
    QStringList files;
    QString password;
    QString sourcePassword;
    bool json = false;
    bool compress = false;
};

// Parses the files and the options a command allows; false on anything else.
bool parseStoreOptions(const QStringList& arguments, const QStringList& flags, const QStringList& valued,
                       StoreOptions& options)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (valued.contains(argument)) {
            if (++i >= arguments.size())
                return false;
            (argument == QLatin1String("--password") ? options.password : options.sourcePassword) = arguments.at(i);
        } else if (flags.contains(argument)) {
            (argument == QLatin1String("--json") ? options.json : options.compress) = true;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return false;
        } else {
            options.files.append(argument);
        }
    }
    return true;
}

std::string localPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Keys are single-byte text: UTF-8 when they are valid UTF-8, else the old Windows code page.
QString keyText(const std::string& key)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(QByteArrayView(key.data(), static_cast<qsizetype>(key.size())));
    if (!utf8.hasError())
        return text;
    QStringDecoder windows("windows-1252");
    return windows.isValid() ? windows(QByteArrayView(key.data(), static_cast<qsizetype>(key.size())))
                             : QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
}

QString hexText(const TQDB::Bytes& bytes)
{
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())).toHex());
}

// Whether the store file that opening `path` would open exists; reports it when not. Opening a
// missing one would create an empty store, and a name without an extension opens NAME.QDB.
bool storeFileExists(const TQDB& db, const QString& path)
{
    const QString name = QFile::decodeName(QByteArray::fromStdString(db.normalisedName(localPath(path))));
    if (QFile::exists(name))
        return true;
    printError(QStringLiteral("no such file: %1").arg(name));
    return false;
}

// Opens a store for reading only, so that closing it never rewrites the file.
void openForReading(TQDB& db, const QString& path, const QString& password)
{
    db.setReadOnly(true);
    db.setPassword(password.toStdString());
    db.setFileName(localPath(path));
}

TQDB::Bytes adminValue(TQDB& db, std::int32_t position)
{
    TQDB::Bytes value;
    db.findAdmin(db.adminKey(position));
    db.readAdmin(value);
    return value;
}

TQDB::Bytes itemValue(TQDB& db, std::int32_t position)
{
    TQDB::Bytes value;
    db.goToItem(position);
    db.getItem(value);
    return value;
}

void printJsonDump(TQDB& db)
{
    QJsonArray admin;
    for (std::int32_t i = 0; i < db.adminCount(); ++i)
        admin.append(QJsonObject{{"key", keyText(db.adminKey(i))}, {"hex", hexText(adminValue(db, i))}});
    QJsonArray items;
    for (std::int32_t i = 0; i < db.count(); ++i) {
        const auto& entry = db.itemEntry(i);
        items.append(QJsonObject{{"key", keyText(db.itemKey(i))},
                                 {"length", entry.Length},
                                 {"flags", static_cast<qint64>(entry.Flags)},
                                 {"hex", hexText(itemValue(db, i))}});
    }
    const QJsonObject dump{{"count", db.count()}, {"admin", admin}, {"items", items}};
    printLine(QString::fromUtf8(QJsonDocument(dump).toJson(QJsonDocument::Compact)));
}

void printTextDump(TQDB& db)
{
    printLine(QStringLiteral("count: %1").arg(db.count()));
    for (std::int32_t i = 0; i < db.adminCount(); ++i)
        printLine(QStringLiteral("admin %1: %2").arg(keyText(db.adminKey(i)), hexText(adminValue(db, i))));
    for (std::int32_t i = 0; i < db.count(); ++i) {
        const auto& entry = db.itemEntry(i);
        printLine(QStringLiteral("item %1 (length %2, flags %3): %4")
                      .arg(keyText(db.itemKey(i)))
                      .arg(entry.Length)
                      .arg(entry.Flags)
                      .arg(hexText(itemValue(db, i))));
    }
}

int storeDump(const Invocation& invocation)
{
    StoreOptions options;
    if (!parseStoreOptions(invocation.arguments, {"--json"}, {"--password"}, options) || options.files.size() != 1) {
        printError(QStringLiteral("usage: store-dump FILE [--password P] [--json]"));
        return kBadUsage;
    }
    try {
        TQDB db;
        if (!storeFileExists(db, options.files.first()))
            return kFailure; // a dump must not make files
        openForReading(db, options.files.first(), options.password);
        options.json ? printJsonDump(db) : printTextDump(db);
        db.setFileName("");
    } catch (const store::EQDBError& error) {
        printError(QString::fromLocal8Bit(error.what()));
        return kFailure;
    }
    return kSuccess;
}

// Copies every admin entry (but those the target has already) and item of an open store into
// another open store.
void copyEntries(TQDB& source, TQDB& target)
{
    for (std::int32_t i = 0; i < source.adminCount(); ++i)
        if (!target.adminExists(source.adminKey(i)))
            target.addAdmin(adminValue(source, i), source.adminKey(i));
    for (std::int32_t i = 0; i < source.count(); ++i)
        target.addItem(itemValue(source, i), source.itemKey(i));
}

// Copies the source store into a new store file `building`; returns the items and admin
// entries copied.
std::pair<std::int32_t, std::int32_t> copyStore(const StoreOptions& options, const std::string& building)
{
    TQDB source;
    openForReading(source, options.files.at(0), options.sourcePassword);
    TQDB copy;
    copy.setFileName(building);
    if (source.caseSensitive()) {
        // The case rule is read when a store opens: write its admin entry, then reopen.
        const std::uint8_t on[] = {1};
        copy.addAdmin(on, "QDBCaseSensitive");
        copy.setFileName("");
        copy.setFileName(building);
    }
    copy.setCompression(options.compress);
    copy.setPassword(options.password.toStdString());
    copyEntries(source, copy);
    copy.setFileName("");
    return {source.count(), source.adminCount()};
}

// Raises unless the store file at `name` opens and holds the entries copied into it.
void checkCopy(const std::string& name, const QString& password, std::int32_t items, std::int32_t admins)
{
    TQDB copy;
    copy.setReadOnly(true);
    copy.setPassword(password.toStdString());
    copy.setFileName(name);
    if (copy.count() != items || copy.adminCount() != admins)
        throw store::EQDBFileError(store::formatMessage(store::messages::kNotValidFile, name));
}

int storeCopy(const Invocation& invocation)
{
    StoreOptions options;
    if (!parseStoreOptions(invocation.arguments, {"--compress"}, {"--password", "--src-password"}, options)
        || options.files.size() != 2) {
        printError(QStringLiteral("usage: store-copy SRC DST [--compress] [--password P] [--src-password P]"));
        return kBadUsage;
    }
    std::string building;
    try {
        if (!storeFileExists(TQDB(), options.files.at(0)))
            return kFailure;
        // DST is named as the store names it (a name without an extension gets the store's),
        // so that the copy is where opening DST looks; a link is written through to its target.
        const std::string destination = TQDB().normalisedName(localPath(options.files.at(1)));
        const std::string target = store::seam::resolveLinks(destination);
        // The copy is built under a name of its own beside the target and renamed over it when
        // complete, so that an existing target is never left half-written.
        building = target + ".copy-" + std::to_string(::getpid()) + ".QDB";
        const auto [items, admins] = copyStore(options, building);
        checkCopy(building, options.password, items, admins);
        if (std::rename(building.c_str(), target.c_str()) != 0)
            throw store::FileSystemError(errno, destination);
        printLine(QStringLiteral("copied %1 items and %2 admin entries to %3")
                      .arg(items)
                      .arg(admins)
                      .arg(QFile::decodeName(QByteArray::fromStdString(destination))));
    } catch (const store::EQDBError& error) {
        if (!building.empty())
            std::remove(building.c_str());
        printError(QString::fromLocal8Bit(error.what()));
        return kFailure;
    }
    return kSuccess;
}

const CommandRegistration dumpRegistration({"store-dump", "store-dump FILE [--password P] [--json]", false, storeDump});
const CommandRegistration copyRegistration({"store-copy",
                                            "store-copy SRC DST [--compress] [--password P] [--src-password P]", false,
                                            storeCopy});

} // namespace

} // namespace glimmora::cli
