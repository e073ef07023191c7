#pragma once

#include "catalog/Scrapbook.h"

// Qt
#include <QDialog>

#include <array>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace glimmora {

// The reorganise dialog: asks whether to rebuild the scrapbook's files and, on Yes, rebuilds
// them, showing for each file (categories, images, memberships) when it is being processed and
// when it is done.
class TReorgForm : public QDialog {
    Q_OBJECT
public:
    explicit TReorgForm(TScrapbook& scrapbook, QWidget* parent = nullptr);

    QPlainTextEdit* Memo1;
    // The rows in the order shown: "Category", "Image", "Correspondence".
    enum Row { CategoryRow, ImageRow, CorrespondenceRow, RowCount };
    std::array<QLabel*, RowCount> NameLabels{};
    std::array<QLabel*, RowCount> ProgressLabels{};
    QPushButton* BitBtn1; // Yes
    QPushButton* BitBtn2; // No

public slots:
    void BitBtn1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showProgress(TScrapbook::Part part, int percent);

    TScrapbook& scrapbook_;
    bool working_ = false;
};

} // namespace glimmora
