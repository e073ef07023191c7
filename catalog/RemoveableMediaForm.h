#pragma once

// Qt
#include <QDialog>
#include <QString>

class QPushButton;
class QTableWidget;

namespace glimmora {

class TScrapbook;

// The removable-media window: the known removable disks in a grid whose descriptions can be
// edited, and the deletion of a disk with its images. "&Done" saves the descriptions; "&Cancel",
// Escape and the close box forget them.
class TRemoveableMediaForm : public QDialog {
    Q_OBJECT

public:
    explicit TRemoveableMediaForm(TScrapbook& scrapbook, QWidget* parent = nullptr);

    // The grid's columns.
    enum Column { DriveColumn, SerialHexColumn, SerialDecimalColumn, LabelColumn, DescriptionColumn, ColumnCount };

    QTableWidget* Grid;
    QPushButton* DeleteButton; // "D&elete the disk from the scrapbook"
    QPushButton* DoneButton;
    QPushButton* CancelButton;

    void done(int result) override;

public slots:
    void DeleteButtonClick();

signals:
    // The grid was filled; whether any disk is known (the main window's command follows it).
    void disksListed(bool any);

private:
    void FillGrid();
    void descriptionEdited(int row, const QString& text);

    TScrapbook& scrapbook_;
};

} // namespace glimmora
