#pragma once

// Qt
#include <QDialog>

class QGridLayout;
class QIcon;
class QLabel;
class QPushButton;

namespace glimmora {

struct ImportCounters;

// The summary of an import: each of the four counters in a row with its icon, its number and
// what it means.
class TLoadStatusForm : public QDialog {
    Q_OBJECT

public:
    explicit TLoadStatusForm(QWidget* parent = nullptr);

    void ShowCounters(const ImportCounters& counters);

    // The counters' numbers as shown.
    QLabel* lbImagesLoaded;
    QLabel* lbImagesDuped;
    QLabel* lbImagesAssigned;
    QLabel* lbImagesClashed;
    QPushButton* OKBtn;

private:
    QLabel* addRow(QGridLayout* grid, const QIcon& icon, const QString& text);
};

} // namespace glimmora
