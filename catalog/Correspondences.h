#pragma once

// Qt
#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include "catalog/DataFile.h"

#include <cstdint>
#include <functional>

namespace glimmora {

struct TImageElement;

// One membership: image `seqNo` is in category `categoryId`.
struct Membership {
    std::int32_t categoryId = 0;
    std::int32_t seqNo = 0;

    bool operator==(const Membership&) const = default;
};

inline size_t qHash(const Membership& pair, size_t seed = 0) noexcept
{
    return qHashMulti(seed, pair.categoryId, pair.seqNo);
}

// The membership file: 8-byte records (category number, sequence number; int32 little-endian),
// no header. A partial last record is not a pair.
inline constexpr qsizetype kMembershipRecordSize = 8;
QList<Membership> decodeMemberships(QByteArrayView bytes);
QByteArray encodeMemberships(const QList<Membership>& pairs);

// Every membership of the scrapbook, in file order and then in the order they were added. No
// pair is listed twice (a file that repeats one keeps the first). Lookups by image and by
// category are kept in maps, so that they cost the same in a scrapbook of any size.
class TCorrespondences {
public:
    // Reads the file; a missing file gives no pairs, one that cannot be read raises
    // EDataFileError.
    explicit TCorrespondences(const QString& fileName);

    // Rewrites the file (unless it holds these pairs already); raises EDataFileError, the old
    // file untouched, when it cannot be written.
    void SaveMemberships();

    void AddMembership(std::int32_t categoryId, std::int32_t seqNo);
    void RemoveMembership(std::int32_t categoryId, std::int32_t seqNo);
    bool ImageHasCategory(std::int32_t seqNo) const;
    bool CategoryHasImages(std::int32_t categoryId) const;
    int ImageCategoryCount(const TImageElement& record) const;
    // The categories of an image, in list order.
    QList<std::int32_t> CategoriesOfImage(std::int32_t seqNo) const { return categoriesOf_.value(seqNo); }
    int CategoryImageCount(std::int32_t categoryId) const { return imageCounts_.value(categoryId); }
    // Removes every pair that `drop` accepts; returns how many went.
    int RemoveMemberships(const std::function<bool(const Membership&)>& drop);

    // The pairs in list order, for the category loader and the integrity check. The list stays
    // valid, but not current, across a change.
    const QList<Membership>& pairs() const;

    const QString& fileName() const { return file_.path(); }

private:
    void append(const Membership& pair);
    void forget(const Membership& pair);

    TDataFile file_;
    QHash<Membership, quint64> places_; // every pair and its place in list order
    quint64 nextPlace_ = 0;
    QHash<std::int32_t, QList<std::int32_t>> categoriesOf_; // image -> its categories in list order
    QHash<std::int32_t, int> imageCounts_;                  // category -> its number of pairs
    mutable QList<Membership> ordered_;
    mutable bool orderedStale_ = false;
};

} // namespace glimmora
