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

int storeCopy(const Invocation& invocation)
{
    StoreOptions options;
    if (!parseStoreOptions(invocation.arguments, {"--compress"}, {"--password", "--src-password"}, options)
        || options.files.size() != 2) {
        printError(QStringLiteral("usage: store-copy SRC DST [--compress] [--password P] [--src-password P]"));
        return kBadUsage;
    }
    // The copy is built under a name of its own beside DST and renamed over it when complete,
    // so that an existing DST is never left half-written.
    const std::string target = localPath(options.files.at(1));
    const std::string building = target + ".copy-" + std::to_string(::getpid()) + ".QDB";
    try {
        TQDB source;
        if (!storeFileExists(source, options.files.at(0)))
            return kFailure;
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
        const auto items = source.count();
        const auto admins = source.adminCount();
        copy.setFileName("");
        source.setFileName("");
        if (std::rename(building.c_str(), target.c_str()) != 0)
            throw store::FileSystemError(errno, target);
        printLine(QStringLiteral("copied %1 items and %2 admin entries").arg(items).arg(admins));
    } catch (const store::EQDBError& error) {
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
