#pragma once

#include "import/LoadError.h"

// Qt
#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace glimmora {

class TAddingStep;

// The adding window of an import: drives the adding step entry by entry as soon as it is
// visible, shows each file and the progress, and closes itself at the end. Its error window
// (TLoadErrorForm) replaces that of the previous import and stays after it.
class TDbUpdateForm : public QDialog {
    Q_OBJECT

public:
    // `step` must outlive the window; the error window is owned by `errorOwner` (the main
    // window, may be null).
    TDbUpdateForm(TAddingStep& step, QWidget* errorOwner, QWidget* parent = nullptr);

    TLoadErrorForm* errorForm() const { return errorForm_; }
    QLabel* fileNameLabel() const { return lbFileName; }
    QProgressBar* gauge() const { return Gauge; }
    QPushButton* stopButton() const { return StopBtn; }

    // Esc and the window's close request stop the run like Stop; only the window itself closes
    // it, once the run has ended.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void AddFiles();
    void StopBtnClick();
    void placeErrorForm();
    void reportStoreFailure();

    TAddingStep& step_;
    QPointer<TLoadErrorForm> errorForm_;
    bool started_ = false;
    bool ended_ = false;
    QLabel* lbFileName;
    QProgressBar* Gauge;
    QPushButton* StopBtn;
};

} // namespace glimmora
