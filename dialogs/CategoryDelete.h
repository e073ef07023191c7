#pragma once

// Qt
#include <QDialog>

class QButtonGroup;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace glimmora {

class TCategories;
class TCategory;

// The delete-category dialog: what becomes of the images that are in no other category (moved
// to "(unassigned)" or deleted from the scrapbook), a confirmation, then the deletion with its
// progress text and gauge.
class TCategoryDeleteForm : public QDialog {
    Q_OBJECT
public:
    TCategoryDeleteForm(TCategories& categories, TCategory& target, QWidget* parent = nullptr);

    // Whether OK deleted the category, or part of it before a failure.
    bool Deleted() const { return deleted_; }

    QLabel* Label1;
    QLabel* CategoryLabel;
    QLabel* Label2;
    QRadioButton* MoveToUnassigned; // item 0 of the radio group
    QRadioButton* DeleteImages;     // item 1
    QPushButton* BitBtn1;           // OK
    QPushButton* BitBtn2;           // Cancel
    QLabel* lblProgress;
    QProgressBar* Gauge1;

public slots:
    void BitBtn1Click();

private:
    // Runs the deletion; what went wrong, empty when nothing did.
    QString deleteTarget(bool deleteImages);

    TCategories& categories_;
    TCategory& target_;
    QButtonGroup* RadioGroup1;
    bool deleted_ = false;
};

} // namespace glimmora
