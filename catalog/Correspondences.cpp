#include "catalog/Correspondences.h"

#include "catalog/DataFile.h"
#include "catalog/ImageElement.h"

// Qt
#include <QtEndian>

#include <algorithm>

namespace glimmora {

QList<Membership> decodeMemberships(QByteArrayView bytes)
{
    QList<Membership> pairs;
    const qsizetype count = bytes.size() / kMembershipRecordSize;
    pairs.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const char* record = bytes.data() + i * kMembershipRecordSize;
        pairs.append({qFromLittleEndian<std::int32_t>(record), qFromLittleEndian<std::int32_t>(record + 4)});
    }
    return pairs;
}

QByteArray encodeMemberships(const QList<Membership>& pairs)
{
    QByteArray bytes(pairs.size() * kMembershipRecordSize, '\0');
    char* record = bytes.data();
    for (const Membership& pair : pairs) {
        qToLittleEndian(pair.categoryId, record);
        qToLittleEndian(pair.seqNo, record + 4);
        record += kMembershipRecordSize;
    }
    return bytes;
}

TCorrespondences::TCorrespondences(const QString& fileName)
    : fileName_(fileName),
      pairs_(decodeMemberships(readDataFile(fileName)))
{}

bool TCorrespondences::SaveMemberships() const { return writeDataFileAtomically(fileName_, encodeMemberships(pairs_)); }

void TCorrespondences::AddMembership(std::int32_t categoryId, std::int32_t seqNo)
{
    const Membership pair{categoryId, seqNo};
    if (!pairs_.contains(pair))
        pairs_.append(pair);
}

void TCorrespondences::RemoveMembership(std::int32_t categoryId, std::int32_t seqNo)
{
    pairs_.removeOne(Membership{categoryId, seqNo});
}

bool TCorrespondences::ImageHasCategory(std::int32_t seqNo) const
{
    return std::any_of(pairs_.begin(), pairs_.end(), [seqNo](const Membership& pair) { return pair.seqNo == seqNo; });
}

bool TCorrespondences::CategoryHasImages(std::int32_t categoryId) const
{
    return std::any_of(pairs_.begin(), pairs_.end(),
                       [categoryId](const Membership& pair) { return pair.categoryId == categoryId; });
}

int TCorrespondences::ImageCategoryCount(const TImageElement& record) const
{
    return static_cast<int>(std::count_if(pairs_.begin(), pairs_.end(),
                                          [&record](const Membership& pair) { return pair.seqNo == record.IT_SeqNo; }));
}

} // namespace glimmora
