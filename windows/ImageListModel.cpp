#include "windows/ImageListModel.h"

#include "catalog/ImageElement.h"

#include <algorithm>
#include <vector>

namespace glimmora {

QString shownPath(const TImageElement& record) { return record.IT_Path; }

int TImageListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(items_.size()); }

QVariant TImageListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= items_.size())
        return {};
    const Item& item = items_.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: return item.text;
    case Qt::ToolTipRole:
        // A tooltip is read as rich text when it looks like it, and a path may look like anything.
        return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(shownPath(*item.record).toHtmlEscaped());
    case RecordRole: return QVariant::fromValue(static_cast<void*>(item.record));
    default: return {};
    }
}

void TImageListModel::fill(const QList<TImageElement*>& records)
{
    // Case-folded once per item, not at every comparison.
    struct Keyed {
        QString key;
        Item item;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(records.size());
    for (TImageElement* record : records) {
        QString text = fileNamePart(shownPath(*record));
        keyed.push_back({text.toCaseFolded(), {std::move(text), record}});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        return a.key != b.key ? a.key < b.key : a.item.text < b.item.text;
    });
    beginResetModel();
    items_.clear();
    items_.reserve(qsizetype(keyed.size()));
    for (Keyed& entry : keyed)
        items_.append(std::move(entry.item));
    endResetModel();
}

void TImageListModel::append(TImageElement* record)
{
    const int row = int(items_.size());
    beginInsertRows(QModelIndex(), row, row);
    items_.append({fileNamePart(shownPath(*record)), record});
    endInsertRows();
}

void TImageListModel::removeLast(std::int32_t seqNo)
{
    for (int row = int(items_.size()) - 1; row >= 0; --row) {
        if (items_.at(row).record->IT_SeqNo != seqNo)
            continue;
        beginRemoveRows(QModelIndex(), row, row);
        items_.removeAt(row);
        endRemoveRows();
        return;
    }
}

void TImageListModel::clear()
{
    beginResetModel();
    items_.clear();
    endResetModel();
}

} // namespace glimmora
