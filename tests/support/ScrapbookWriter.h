#pragma once

// Qt
#include <QColor>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace glimmora::test {

// One image of a scrapbook a test starts from. The thumbnail is a plain picture of that size and
// colour (none when the size is empty); the picture file itself need not exist.
struct ImageSpec {
    ImageSpec(QString path, QStringList categories, QString memo = QString(), QSize thumbnail = QSize(60, 45))
        : path(std::move(path)),
          categories(std::move(categories)),
          memo(std::move(memo)),
          thumbnail(thumbnail)
    {}

    QString path;
    QStringList categories;
    QString memo;
    QSize thumbnail;
    QColor colour = Qt::darkCyan;
    std::uint32_t serial = 0; // the volume the file was on
    bool removable = false;
};

// Writes a scrapbook into the data files `base` + ".idb", ".cat" and ".cor", through the
// catalogue's own operations: the images numbered from 1 in the order given, each in its
// categories (made in the order they are first named, after `emptyCategories`).
void writeScrapbook(const QString& base, const QList<ImageSpec>& images, const QStringList& emptyCategories = {});

} // namespace glimmora::test
