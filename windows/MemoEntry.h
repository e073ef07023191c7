#pragma once

// Qt
#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace glimmora {

// The memo entry: a prompt of two lines over a one-line edit, OK and Cancel.
class TMemoEntryForm : public QDialog {
    Q_OBJECT
public:
    TMemoEntryForm(const QString& prompt, const QString& text, QWidget* parent = nullptr);

    QString Text() const;

    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* BitBtn1; // OK
    QPushButton* BitBtn2; // Cancel
};

// Asks for a memo text; none when the dialog did not end with OK.
std::optional<QString> AskMemoText(const QString& prompt, const QString& text, QWidget* parent = nullptr);

} // namespace glimmora
