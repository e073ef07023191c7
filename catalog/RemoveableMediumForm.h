#pragma once

#include "catalog/RemoveableMediaList.h"

// Qt
#include <QDialog>

class QLineEdit;
class QPushButton;

namespace glimmora {

// The new-disk dialog: asks for a description of a removable disk the scrapbook meets for the
// first time. It cannot be left without one.
class TRemoveableMediumForm : public QDialog {
    Q_OBJECT

public:
    explicit TRemoveableMediumForm(const NewDiskDetails& disk, QWidget* parent = nullptr);

    QString description() const;
    QLineEdit* descriptionEdit() const { return Edit1; }
    QPushButton* okButton() const { return OkBtn; }
    // The line painted at the top of the dialog.
    QString headerLine() const { return newDiskLine(disk_); }

    void done(int result) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Edit1Change();
    bool refuseEmptyDescription();

    NewDiskDetails disk_;
    QLineEdit* Edit1;
    QPushButton* OkBtn;
};

// Asks with the dialog, again and again until it closes with OK.
class DialogDiskDescriptionPrompt : public DiskDescriptionPrompt {
public:
    QString askDescription(const NewDiskDetails& disk) override;
};

} // namespace glimmora
