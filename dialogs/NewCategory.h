#pragma once

// Qt
#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace glimmora {

class TCategories;
class TCategory;

// The new-category dialog, which also renames: a prompt, the name field and OK and Cancel. A
// name begins with a letter or a digit: while the field is empty, other characters are not
// taken. OK closes the dialog in every case; a blank name only beeps, a name already defined
// is reported.
class TNewCategoryForm : public QDialog {
    Q_OBJECT
public:
    // `openWindow` opens a category window on a category the dialog made.
    TNewCategoryForm(TCategories& categories, std::function<void(TCategory&)> openWindow, QWidget* parent = nullptr);

    bool RenameMode = false;
    TCategory* TargetCategory = nullptr; // the category to rename

    // Whether OK made or renamed a category.
    bool Changed() const { return changed_; }

    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* BitBtn2; // "&OK"
    QPushButton* BitBtn1; // "&Cancel"

public slots:
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    bool Edit1KeyPress(const QKeyEvent& key) const;
    void keepNameWithinLimit();

    TCategories& categories_;
    std::function<void(TCategory&)> openWindow_;
    bool changed_ = false;
};

} // namespace glimmora
