#pragma once

// Qt
#include <QList>
#include <QString>

namespace glimmora {

// One file the search found: its full path (the directory, the separator and the name exactly
// as the listing returned it) and the name of the category it is to be assigned to.
struct TLoadEntry {
    QString path;
    QString categoryName;

    bool operator==(const TLoadEntry&) const = default;
};

// The load list: the files in the order the search found them.
using TLoadList = QList<TLoadEntry>;

} // namespace glimmora
