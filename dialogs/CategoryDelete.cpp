#include "dialogs/CategoryDelete.h"

#include "catalog/Categories.h"
#include "catalog/CategoryCommands.h"
#include "platform/HelpWindow.h"
#include "platform/MessageService.h"
#include "platform/UserInterface.h"

// Qt
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <exception>

namespace glimmora {

namespace {

constexpr int kHelpContext = 102;
constexpr int kWidth = 300;
constexpr int kHeight = 297;
constexpr int kGaugeWidth = 193;
constexpr int kGaugeHeight = 20;

enum RadioItem { kMoveToUnassigned = 0, kDeleteImages = 1 };

QLabel* centredLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

} // namespace

TCategoryDeleteForm::TCategoryDeleteForm(TCategories& categories, TCategory& target, QWidget* parent)
    : QDialog(parent),
      categories_(categories),
      target_(target)
{
    setWindowTitle(QStringLiteral("Glimmora - Delete a Category"));
    Label1 = centredLabel(QStringLiteral("What would you like done with the images in category:"));
    CategoryLabel = centredLabel(target.CategoryName);
    QFont bold = CategoryLabel->font();
    bold.setBold(true);
    CategoryLabel->setFont(bold);
    Label2 = centredLabel(QStringLiteral("that aren't in any other category in your scrapbook?"));

    auto* group = new QGroupBox;
    MoveToUnassigned = new QRadioButton(QStringLiteral("Move them to the (unassigned) group"));
    DeleteImages = new QRadioButton(QStringLiteral("Delete them from the Scrapbook"));
    MoveToUnassigned->setChecked(true);
    RadioGroup1 = new QButtonGroup(this);
    RadioGroup1->addButton(MoveToUnassigned, kMoveToUnassigned);
    RadioGroup1->addButton(DeleteImages, kDeleteImages);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(MoveToUnassigned);
    groupLayout->addWidget(DeleteImages);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    BitBtn1 = buttons->button(QDialogButtonBox::Ok);
    BitBtn2 = buttons->button(QDialogButtonBox::Cancel);
    connect(BitBtn1, &QPushButton::clicked, this, &TCategoryDeleteForm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    lblProgress = centredLabel(QString());
    Gauge1 = new QProgressBar;
    Gauge1->setRange(0, 100);
    Gauge1->setValue(0);
    Gauge1->setFixedSize(kGaugeWidth, kGaugeHeight);
    Gauge1->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(CategoryLabel);
    layout->addWidget(Label2);
    layout->addWidget(group);
    layout->addWidget(buttons);
    layout->addWidget(lblProgress);
    layout->addWidget(Gauge1, 0, Qt::AlignHCenter);
    resize(kWidth, kHeight);
    HelpWindow::bindHelpKey(this, kHelpContext);
}

void TCategoryDeleteForm::BitBtn1Click()
{
    BitBtn1->setEnabled(false);
    BitBtn2->setEnabled(false);
    const bool deleteImages = RadioGroup1->checkedId() == kDeleteImages;
    const QString name = target_.CategoryName;
    setWindowTitle(QStringLiteral("Delete Confirmation"));
    const MessageButton answer = showMessage(
        {deleteConfirmationQuestion(name.trimmed()), QStringLiteral("Confirm Delete"), MessageIcon::Question,
         MessageButton::Yes | MessageButton::No, MessageButton::No, MessageBeep::Question});
    if (answer != MessageButton::Yes) {
        accept();
        return;
    }
    lblProgress->setText(QStringLiteral("Deleting category %1").arg(name));
    processPendingEvents();
    // What was done is kept and saved by the caller, also when the store fails part way.
    deleted_ = true;
    const QString failure = deleteTarget(deleteImages);
    lblProgress->clear();
    if (failure.isEmpty())
        showMessage({categoryDeletedMessage(name), QStringLiteral("Glimmora"), MessageIcon::None, MessageButton::Ok,
                     MessageButton::Ok, MessageBeep::Exclamation});
    else
        showMessage({QStringLiteral("The category \"%1\" could not be deleted completely: %2").arg(name, failure),
                     QStringLiteral("Glimmora"), MessageIcon::Error, MessageButton::Ok, MessageButton::Ok,
                     MessageBeep::Error});
    accept();
}

QString TCategoryDeleteForm::deleteTarget(bool deleteImages)
{
    try {
        const HourglassCursor busy;
        categories_.DeleteCategory(&target_, deleteImages, [this](int percent) { Gauge1->setValue(percent); });
        return QString();
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
}

} // namespace glimmora
