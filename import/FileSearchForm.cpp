#include "import/FileSearchForm.h"

#include "platform/HelpWindow.h"
#include "platform/UserInterface.h"

// Qt
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace glimmora {

namespace {

constexpr int kWindowWidth = 360;

} // namespace

TFileSearchForm::TFileSearchForm(FileSearchSettings settings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      search_(std::move(settings))
{
    setWindowTitle(QStringLiteral("Glimmora - File Search"));
    HelpWindow::bindHelpKey(this, kAddingImagesTopic);
    setModal(true);
    auto* searching = new QLabel(QStringLiteral("Searching..."));
    searching->setAlignment(Qt::AlignCenter);
    // File names are shown as they are: an "&" is no mnemonic and "<b>" no markup.
    lbFileName = new QLabel;
    lbFileName->setTextFormat(Qt::PlainText);
    lbFileName->setAlignment(Qt::AlignCenter);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"));
    connect(CancelBtn, &QPushButton::clicked, this, &TFileSearchForm::CancelBtnClick);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(searching);
    layout->addWidget(lbFileName);
    layout->addWidget(CancelBtn, 0, Qt::AlignHCenter);
    setFixedWidth(kWindowWidth);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TFileSearchForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (started_)
        return;
    started_ = true;
    // The search starts once the window has been drawn.
    QMetaObject::invokeMethod(this, &TFileSearchForm::SearchFiles, Qt::QueuedConnection);
}

void TFileSearchForm::SearchFiles()
{
    FileSearchProgress progress;
    progress.showFileName = [this](const QString& name) { lbFileName->setText(name); };
    progress.pendingEvents = processPendingEvents;
    search_.Run(progress);
    ended_ = true;
    QMetaObject::invokeMethod(
        this, [this] { done(Outcome() == SearchOutcome::Completed ? Accepted : Rejected); }, Qt::QueuedConnection);
}

void TFileSearchForm::CancelBtnClick() { search_.Stop(); }

void TFileSearchForm::reject()
{
    if (!ended_)
        CancelBtnClick();
}

} // namespace glimmora
