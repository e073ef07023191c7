#pragma once

// Qt
#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace glimmora {

class TCategories;
class TCategory;

// The category chooser, "Category Selection": a prompt over the sorted list of the categories
// ("(unassigned)" included), OK and Cancel. A double click chooses the entry and closes.
class TNewWindowForm : public QDialog {
    Q_OBJECT
public:
    explicit TNewWindowForm(TCategories& categories, QWidget* parent = nullptr);

    void setPrompt(const QString& prompt);
    // The help topic F1 opens (111 unless the caller sets another).
    void setHelpContext(int context);
    // Takes "(unassigned)" out of the list, for the choosers of a category to delete or rename.
    void removeUnassigned();

    TCategory* ChosenCategory = nullptr;

    QLabel* Label1;
    QListWidget* ListBox1;
    QPushButton* BitBtn1; // OK
    QPushButton* BitBtn2; // Cancel

public slots:
    void BitBtn1Click();
    void ListBox1DblClick();

private:
    TCategories& categories_;
    int helpContext_;
};

// Asks for a category with the chooser; none when the user cancelled or chose nothing.
TCategory* ChooseCategory(TCategories& categories, const QString& prompt, int helpContext, QWidget* parent = nullptr);

} // namespace glimmora
