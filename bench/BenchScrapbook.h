#pragma once

// A scrapbook for the benchmarks: `count` image records with 60 x 45 thumbnails, all in the
// category "bench", written straight to the data files at `base` (+ ".idb", ".cat", ".cor").
// The picture files do not exist: what is measured must read none.

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"
#include "store/QDB.h"

// Qt
#include <QColor>
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace glimmora {

inline void buildBenchScrapbook(const QString& base, int count, const char* program)
{
    TCorrespondences memberships(base + QStringLiteral(".cor"));
    TCategories categories(base + QStringLiteral(".cat"), memberships);
    TImageElementForm images(base + QStringLiteral(".idb"), categories);
    TCategory& bench = *categories.FindOrAddCategory(QStringLiteral("bench"), false).first;
    for (int seqNo = 1; seqNo <= count; ++seqNo) {
        TImageElement record;
        record.IT_SeqNo = seqNo;
        record.IT_FileType = 3;
        record.IT_Path = QStringLiteral("/nowhere/bench/photo-%1.jpg").arg(seqNo, 5, 10, QLatin1Char('0')).toUtf8();
        record.IT_PathHash = PathChecksum(record.IT_Path);
        record.IT_Memo = QStringLiteral(" photo number %1 ").arg(seqNo);
        record.IT_Bitmap = QImage(60, 45, QImage::Format_RGB888);
        record.IT_Bitmap.fill(QColor::fromHsv(seqNo * 7 % 360, 160, 200));
        images.WriteImage(record);
        categories.AddImageToCategory(bench, record);
    }
    images.openStore(TImageElementForm::Use::Change);
    images.ImageTable().setAdminInteger("MAX_SEQ_NO", count);
    try {
        images.EndImagePass();
        memberships.SaveMemberships();
        categories.SaveCategories();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", program, error.what());
        std::exit(1);
    }
}

} // namespace glimmora
