#pragma once

// Qt
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdint>

namespace glimmora {

struct TImageElement;

// One membership: image `seqNo` is in category `categoryId`.
struct Membership {
    std::int32_t categoryId = 0;
    std::int32_t seqNo = 0;

    bool operator==(const Membership&) const = default;
};

// The membership file: 8-byte records (category number, sequence number; int32 little-endian),
// no header. A partial last record is not a pair.
inline constexpr qsizetype kMembershipRecordSize = 8;
QList<Membership> decodeMemberships(QByteArrayView bytes);
QByteArray encodeMemberships(const QList<Membership>& pairs);

// Every membership of the scrapbook, in file order and then in the order they were added.
class TCorrespondences {
public:
    // Reads the file; a missing or unreadable file gives no pairs.
    explicit TCorrespondences(const QString& fileName);

    // Rewrites the file atomically; false when it could not be written (the old file stays).
    bool SaveMemberships() const;

    void AddMembership(std::int32_t categoryId, std::int32_t seqNo);
    void RemoveMembership(std::int32_t categoryId, std::int32_t seqNo);
    bool ImageHasCategory(std::int32_t seqNo) const;
    bool CategoryHasImages(std::int32_t categoryId) const;
    int ImageCategoryCount(const TImageElement& record) const;

    // The pairs themselves, for the category loader and the integrity check.
    const QList<Membership>& pairs() const { return pairs_; }
    QList<Membership>& pairs() { return pairs_; }

    const QString& fileName() const { return fileName_; }

private:
    QString fileName_;
    QList<Membership> pairs_;
};

} // namespace glimmora
