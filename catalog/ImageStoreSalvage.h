#pragma once

// Qt
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace glimmora {

// One image record that could still be read: its number and its stored value, byte for byte.
struct SalvagedRecord {
    std::int32_t seqNo = 0;
    QByteArray value;
};

// What could be read of a damaged image store.
struct StoreSalvage {
    QList<SalvagedRecord> records;  // in ascending number
    QStringList unreadable;         // "000017: why", one per record that could not be read
    std::int32_t highestNumber = 0; // the highest image number the store has given out, as far as it shows
    QString finding;                // how the records were found, when the store's index could not be used
    bool indexFound = true;         // false: the records were searched for, and how many there were is unknown
};

// Reads every record of an image store that can still be read; never fails on damage.
//
//  1. When the store engine opens the file, each item is read through it; an item whose value
//     the engine cannot give, or that is no image record, is listed as unreadable.
//  2. Otherwise the file is read as the store format lays it out, as far as it holds: the data
//     section, then the index (at the offset its length gives, else at the last "QIX" marker),
//     whose entries are taken in order until one does not fit the data.
//  3. When no index can be found at all, the data section is searched for values that are image
//     records: a record carries the checksum of its own path, which a chance run of bytes does
//     not. A number found more than once keeps its last value (values are appended as they
//     change). Records deleted earlier may be found again; `finding` says so.
//
// The highest number counts every key the index names, readable or not, and "MAX_SEQ_NO", so
// that no number of the damaged store is given out again. A password-protected store cannot be
// read without its password and yields nothing, with a finding that says so. Raises
// std::runtime_error only when the file itself cannot be read.
StoreSalvage salvageImageStore(const QString& storeFile);

// Steps 2 and 3 on the bytes of a store file.
StoreSalvage salvageStoreLayout(QByteArrayView file);

} // namespace glimmora
