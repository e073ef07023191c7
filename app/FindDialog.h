#pragma once

// Qt
#include <QDialog>

class QLineEdit;
class QPushButton;

namespace glimmora {

// The memo search's find dialog: a modeless window with the text to find, "&Find Next",
// "Cancel" and "&Help". It searches down only; there is no case, whole-word or direction
// choice. Find Next emits find().
class TFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFindDialog(QWidget* parent = nullptr);

    QString FindText() const;

    QLineEdit* FindEdit;
    QPushButton* FindButton;
    QPushButton* CancelButton;
    QPushButton* HelpButton;

signals:
    void find();
};

} // namespace glimmora
