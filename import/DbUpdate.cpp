#include "import/DbUpdate.h"

#include "import/AddingStep.h"
#include "import/LoadError.h"
#include "platform/HelpWindow.h"
#include "platform/MessageService.h"
#include "platform/UserInterface.h"

// Qt
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace glimmora {

namespace {

constexpr int kWindowWidth = 360;
constexpr int kErrorFormGap = 2;

const QString kGaugeStyle = QStringLiteral("QProgressBar { font-weight: bold; text-align: center; }"
                                           "QProgressBar::chunk { background-color: blue; }");

} // namespace

TDbUpdateForm::TDbUpdateForm(TAddingStep& step, QWidget* errorOwner, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      step_(step)
{
    setWindowTitle(QStringLiteral("Glimmora - Scrapbook Update Progress"));
    HelpWindow::bindHelpKey(this, kAddingImagesTopic);
    setModal(true);
    auto* adding = new QLabel(QStringLiteral("Now Adding..."));
    adding->setAlignment(Qt::AlignCenter);
    // File names are shown as they are: an "&" is no mnemonic and "<b>" no markup.
    lbFileName = new QLabel;
    lbFileName->setTextFormat(Qt::PlainText);
    lbFileName->setAlignment(Qt::AlignCenter);
    Gauge = new QProgressBar;
    Gauge->setRange(0, 100);
    Gauge->setValue(0);
    Gauge->setStyleSheet(kGaugeStyle);
    StopBtn = new QPushButton(QStringLiteral("Stop"));
    connect(StopBtn, &QPushButton::clicked, this, &TDbUpdateForm::StopBtnClick);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(adding);
    layout->addWidget(lbFileName);
    layout->addWidget(Gauge);
    layout->addWidget(StopBtn, 0, Qt::AlignHCenter);
    setFixedWidth(kWindowWidth);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    errorForm_ = TLoadErrorForm::Renew(errorOwner);
    // Visible, but of no use until the run has ended.
    errorForm_->show();
    errorForm_->setEnabled(false);
}

void TDbUpdateForm::placeErrorForm()
{
    const QRect adding = frameGeometry();
    errorForm_->move(adding.left() + adding.width() / 2, adding.top() + adding.height() + kErrorFormGap);
}

void TDbUpdateForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (started_)
        return;
    started_ = true;
    placeErrorForm(); // the window manager may have moved this window while showing it
    // The run starts once the window has been drawn.
    QMetaObject::invokeMethod(this, &TDbUpdateForm::AddFiles, Qt::QueuedConnection);
}

void TDbUpdateForm::AddFiles()
{
    setFocus();
    AddingProgress progress;
    progress.showFileName = [this](const QString& name) { lbFileName->setText(name); };
    progress.setGauge = [this](int percent) { Gauge->setValue(percent); };
    progress.appendErrorLine = [this](const QString& line) {
        if (errorForm_)
            errorForm_->AddLine(line);
    };
    progress.pendingEvents = processPendingEvents;
    step_.Run(progress);
    ended_ = true;
    if (errorForm_)
        errorForm_->setEnabled(true);
    reportStoreFailure();
    QMetaObject::invokeMethod(
        this, [this] { done(Accepted); }, Qt::QueuedConnection);
}

// A full disk or an unwritable data file ends the run early or leaves it unsaved; the user must
// hear of it, the counters alone would not tell.
void TDbUpdateForm::reportStoreFailure()
{
    if (step_.StoreFailure().isEmpty())
        return;
    QString text = step_.StoreFailure();
    if (!step_.Saved())
        text += QStringLiteral(" Glimmora keeps the changes and saves them with the next change, or when it closes.");
    showMessage({text, QStringLiteral("Glimmora"), MessageIcon::Error, MessageButton::Ok, MessageButton::Ok,
                 MessageBeep::Error});
}

void TDbUpdateForm::StopBtnClick() { step_.Stop(); }

void TDbUpdateForm::reject()
{
    if (!ended_)
        StopBtnClick();
}

} // namespace glimmora
