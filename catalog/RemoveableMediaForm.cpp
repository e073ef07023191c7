#include "catalog/RemoveableMediaForm.h"

#include "catalog/Maintenance.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/Scrapbook.h"
#include "catalog/StoredText.h"
#include "platform/HelpWindow.h"
#include "platform/MessageService.h"
#include "platform/UserInterface.h"

// Qt
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <array>
#include <exception>
#include <functional>

namespace glimmora {

namespace {

constexpr int kHelpContext = 130;
constexpr int kRowHeight = 16;
constexpr std::array<int, TRemoveableMediaForm::ColumnCount> kColumnWidths = {64, 94, 87, 78, 203};
constexpr qsizetype kDescriptionBytes = removeable_media_file::kDescriptionBytes;

// The editor of the Description column. Every change reaches the disk's entry at once, cut to
// what the registry stores; Escape puts back the text the edit began with, in the cell and in
// the entry.
class DescriptionDelegate : public QStyledItemDelegate {
public:
    DescriptionDelegate(std::function<void(int row, const QString&)> edited, QObject* parent)
        : QStyledItemDelegate(parent),
          edited_(std::move(edited))
    {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        const int row = index.row();
        connect(editor, &QLineEdit::textEdited, editor, [this, editor, row](const QString& text) {
            const QString limited = limitedText(text, kDescriptionBytes);
            if (limited != text)
                editor->setText(limited); // at most 25 bytes can be typed
            edited_(row, limited);
        });
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        editingRow_ = index.row();
        remembered_ = index.data().toString();
        static_cast<QLineEdit*>(editor)->setText(remembered_);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* editor = qobject_cast<QLineEdit*>(object);
        if (editor && event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            editor->setText(remembered_);
            edited_(editingRow_, remembered_);
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    std::function<void(int, const QString&)> edited_;
    mutable int editingRow_ = -1;
    mutable QString remembered_;
};

QTableWidgetItem* gridItem(const QString& text, bool editable)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(editable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                            : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

TRemoveableMediaForm::TRemoveableMediaForm(TScrapbook& scrapbook, QWidget* parent)
    : QDialog(parent),
      scrapbook_(scrapbook)
{
    setWindowTitle(QStringLiteral("Glimmora - Removeable Media"));
    Grid = new QTableWidget(0, ColumnCount);
    Grid->setHorizontalHeaderLabels({QStringLiteral("Drive"), QStringLiteral("Vol Ser (hex)"),
                                     QStringLiteral("Vol Ser (dec)"), QStringLiteral("Label"),
                                     QStringLiteral("Description")});
    Grid->verticalHeader()->hide();
    Grid->verticalHeader()->setMinimumSectionSize(kRowHeight);
    Grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    int gridWidth = 0;
    for (int column = 0; column < ColumnCount; ++column) {
        Grid->setColumnWidth(column, kColumnWidths[std::size_t(column)]);
        gridWidth += kColumnWidths[std::size_t(column)];
    }
    Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    // The description's editor opens as soon as its cell is reached, as if always shown.
    Grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
    Grid->setItemDelegateForColumn(
        DescriptionColumn,
        new DescriptionDelegate([this](int row, const QString& text) { descriptionEdited(row, text); }, this));
    Grid->setMinimumWidth(gridWidth + 2 * Grid->frameWidth() + 20);

    DeleteButton = new QPushButton(QStringLiteral("D&elete the disk from the scrapbook"));
    DeleteButton->setAutoDefault(false);
    DoneButton = new QPushButton(QStringLiteral("&Done"));
    DoneButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("&Cancel"));
    CancelButton->setAutoDefault(false);
    connect(DeleteButton, &QPushButton::clicked, this, &TRemoveableMediaForm::DeleteButtonClick);
    connect(DoneButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(DeleteButton);
    buttons->addStretch();
    buttons->addWidget(DoneButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Grid);
    layout->addLayout(buttons);

    FillGrid();
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    HelpWindow::bindHelpKey(this, kHelpContext);
}

void TRemoveableMediaForm::FillGrid()
{
    const QList<TRemoveableMedium>& disks = scrapbook_.disks().disks();
    const QList<DiskTexts> texts = diskTexts(disks);
    Grid->clearContents();
    Grid->setRowCount(int(disks.size()));
    for (int row = 0; row < int(texts.size()); ++row) {
        const DiskTexts& disk = texts.at(row);
        Grid->setItem(row, DriveColumn, gridItem(disk.drive, false));
        Grid->setItem(row, SerialHexColumn, gridItem(disk.serialHex, false));
        Grid->setItem(row, SerialDecimalColumn, gridItem(disk.serialSigned, false));
        Grid->setItem(row, LabelColumn, gridItem(disk.label, false));
        Grid->setItem(row, DescriptionColumn, gridItem(disk.description, true));
    }
    if (!disks.isEmpty())
        Grid->setCurrentCell(0, DriveColumn);
    DeleteButton->setEnabled(!disks.isEmpty());
    emit disksListed(!disks.isEmpty());
}

void TRemoveableMediaForm::descriptionEdited(int row, const QString& text)
{
    QList<TRemoveableMedium>& disks = scrapbook_.disks().disks();
    if (row >= 0 && row < disks.size())
        disks[row].description = limitedText(text, kDescriptionBytes);
}

void TRemoveableMediaForm::done(int result)
{
    TRemoveableMediaList& disks = scrapbook_.disks();
    if (result == QDialog::Accepted && !disks.Save())
        showMessage({QStringLiteral("The list of removable disks could not be saved to %1; the descriptions keep "
                                    "their earlier texts.")
                         .arg(disks.fileName()),
                     QStringLiteral("Glimmora"), MessageIcon::Error, MessageButton::Ok, MessageButton::Ok,
                     MessageBeep::Error});
    // What was not saved is forgotten: the list is what the file holds.
    disks.Reload();
    QDialog::done(result);
}

void TRemoveableMediaForm::DeleteButtonClick()
{
    const int row = Grid->currentRow();
    const QList<TRemoveableMedium>& disks = scrapbook_.disks().disks();
    if (row < 0 || row >= disks.size())
        return;
    const TRemoveableMedium disk = disks.at(row);
    const MessageButton answer =
        showMessage({deleteDiskQuestion(disk.description), QStringLiteral("Confirm Delete"), MessageIcon::Question,
                     MessageButton::Yes | MessageButton::No, MessageButton::No, MessageBeep::Question});
    if (answer != MessageButton::Yes)
        return;
    QString failure;
    {
        const HourglassCursor busy;
        try {
            DeleteRemoveableDisk(scrapbook_, disk.serialNumber);
        } catch (const std::exception& error) {
            failure = QString::fromUtf8(error.what());
        }
    }
    if (!failure.isEmpty())
        showMessage({QStringLiteral("The disk \"%1\" could not be deleted completely: %2")
                         .arg(disk.description.trimmed(), failure),
                     QStringLiteral("Glimmora"), MessageIcon::Error, MessageButton::Ok, MessageButton::Ok,
                     MessageBeep::Error});
    scrapbook_.disks().Reload();
    if (scrapbook_.disks().isEmpty()) {
        emit disksListed(false);
        reject();
        return;
    }
    FillGrid();
}

} // namespace glimmora
