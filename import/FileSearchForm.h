#pragma once

#include "import/FileSearch.h"

// Qt
#include <QDialog>

class QLabel;
class QPushButton;

namespace glimmora {

// The search window of an import: runs the directory search as soon as it is visible, shows
// each file it meets, and closes itself at the end, as completed or (after Cancel) as stopped.
class TFileSearchForm : public QDialog {
    Q_OBJECT

public:
    explicit TFileSearchForm(FileSearchSettings settings, QWidget* parent = nullptr);

    SearchOutcome Outcome() const { return search_.Outcome(); }
    // The files found, in discovery order; empty after Cancel.
    TLoadList TakeLoadList() { return search_.TakeLoadList(); }
    const QList<SearchFailure>& Failures() const { return search_.Failures(); }

    QLabel* fileNameLabel() const { return lbFileName; }
    QPushButton* cancelButton() const { return CancelBtn; }

    // Esc and the window's close request stop the search like Cancel; only the window itself
    // closes it, once the search has ended.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SearchFiles();
    void CancelBtnClick();

    TFileSearch search_;
    bool started_ = false;
    bool ended_ = false;
    QLabel* lbFileName;
    QPushButton* CancelBtn;
};

} // namespace glimmora
