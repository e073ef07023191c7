#pragma once

// Qt
#include <QByteArray>
#include <QString>

namespace glimmora {

// The whole content of a small data file; empty when it is missing or unreadable.
QByteArray readDataFile(const QString& path);

// Replaces a data file so that it is never left half-written: the bytes go to a temporary file in
// the same directory, which is synced to disk and renamed over the old one (keeping its
// permissions). Returns false (the old file untouched) when that fails.
bool writeDataFileAtomically(const QString& path, const QByteArray& bytes);

} // namespace glimmora
