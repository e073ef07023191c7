#include "catalog/DataFile.h"

// Qt
#include <QFile>
#include <QSaveFile>

namespace glimmora {

QByteArray readDataFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeDataFileAtomically(const QString& path, const QByteArray& bytes)
{
    // QSaveFile writes beside the target, syncs it to disk on commit and renames it into place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace glimmora
