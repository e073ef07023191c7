#include "app/FindDialog.h"

#include "platform/HelpWindow.h"

// Qt
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace glimmora {

namespace {

constexpr int kHelpContext = 121;

} // namespace

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);
    auto* label = new QLabel(QStringLiteral("Fi&nd what:"));
    FindEdit = new QLineEdit;
    label->setBuddy(FindEdit);
    FindButton = new QPushButton(QStringLiteral("&Find Next"));
    FindButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"));
    HelpButton = new QPushButton(QStringLiteral("&Help"));
    connect(FindButton, &QPushButton::clicked, this, &TFindDialog::find);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(HelpButton, &QPushButton::clicked, this, [] { HelpWindow::showTopic(kHelpContext); });
    HelpWindow::bindHelpKey(this, kHelpContext);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(FindButton);
    buttons->addWidget(CancelButton);
    buttons->addWidget(HelpButton);
    buttons->addStretch();
    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(FindEdit, 0, 1);
    layout->addLayout(buttons, 0, 2, 2, 1);
    layout->setColumnMinimumWidth(1, 220);
    layout->setRowStretch(1, 1);
}

QString TFindDialog::FindText() const { return FindEdit->text(); }

} // namespace glimmora
