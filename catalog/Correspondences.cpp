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

TCorrespondences::TCorrespondences(const QString& fileName) : file_(fileName)
{
    for (const Membership& pair : decodeMemberships(file_.read()))
        AddMembership(pair.categoryId, pair.seqNo);
}

void TCorrespondences::SaveMemberships() { file_.write(encodeMemberships(pairs())); }

void TCorrespondences::AddMembership(std::int32_t categoryId, std::int32_t seqNo)
{
    const Membership pair{categoryId, seqNo};
    if (!places_.contains(pair))
        append(pair);
}

void TCorrespondences::RemoveMembership(std::int32_t categoryId, std::int32_t seqNo)
{
    const Membership pair{categoryId, seqNo};
    if (places_.remove(pair))
        forget(pair);
}

int TCorrespondences::RemoveMemberships(const std::function<bool(const Membership&)>& drop)
{
    int removed = 0;
    for (auto place = places_.begin(); place != places_.end();) {
        if (drop(place.key())) {
            const Membership pair = place.key();
            place = places_.erase(place);
            forget(pair);
            ++removed;
        } else {
            ++place;
        }
    }
    return removed;
}

void TCorrespondences::append(const Membership& pair)
{
    places_.insert(pair, nextPlace_++);
    categoriesOf_[pair.seqNo].append(pair.categoryId);
    ++imageCounts_[pair.categoryId];
    if (!orderedStale_)
        ordered_.append(pair);
}

void TCorrespondences::forget(const Membership& pair)
{
    const auto categories = categoriesOf_.find(pair.seqNo);
    categories->removeOne(pair.categoryId);
    if (categories->isEmpty())
        categoriesOf_.erase(categories);
    if (--imageCounts_[pair.categoryId] == 0)
        imageCounts_.remove(pair.categoryId);
    orderedStale_ = true;
}

const QList<Membership>& TCorrespondences::pairs() const
{
    if (orderedStale_) {
        QList<std::pair<quint64, Membership>> placed;
        placed.reserve(places_.size());
        for (auto place = places_.cbegin(); place != places_.cend(); ++place)
            placed.append({place.value(), place.key()});
        std::sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        ordered_.clear();
        ordered_.reserve(placed.size());
        for (const auto& [place, pair] : placed)
            ordered_.append(pair);
        orderedStale_ = false;
    }
    return ordered_;
}

bool TCorrespondences::ImageHasCategory(std::int32_t seqNo) const { return categoriesOf_.contains(seqNo); }

bool TCorrespondences::CategoryHasImages(std::int32_t categoryId) const { return imageCounts_.contains(categoryId); }

int TCorrespondences::ImageCategoryCount(const TImageElement& record) const
{
    return int(categoriesOf_.value(record.IT_SeqNo).size());
}

} // namespace glimmora
