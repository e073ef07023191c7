#pragma once

// Qt
#include <QAbstractListModel>
#include <QList>
#include <QString>

#include <cstdint>

namespace glimmora {

struct TImageElement;

// How a category window shows a record's path: the one place that turns it into text.
QString shownPath(const TImageElement& record);

// The items of a category window's thumbnail list: one per image record of the category, in
// list order. An item's text is the file-name part of its record's path when it was added (it
// orders the list and is what a screen reader says); the record itself belongs to the category
// and is what a cell draws, so a renamed file shows its new name at once.
class TImageListModel : public QAbstractListModel {
    Q_OBJECT
public:
    // The record behind an item, for the delegate and the selection.
    static constexpr int RecordRole = Qt::UserRole + 1;

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Replaces the items by one per record, sorted by their text as a sorted list sorts: ignoring
    // case, as the category lists are.
    void fill(const QList<TImageElement*>& records);
    // Appends an item at the end, unsorted.
    void append(TImageElement* record);
    // Removes the last item whose record has this sequence number, if any.
    void removeLast(std::int32_t seqNo);
    void clear();

    TImageElement* record(int row) const { return items_.at(row).record; }
    const QString& text(int row) const { return items_.at(row).text; }

private:
    struct Item {
        QString text;
        TImageElement* record;
    };
    QList<Item> items_;
};

} // namespace glimmora
