#include "dialogs/NewCategory.h"

#include "catalog/Categories.h"
#include "catalog/CategoryCommands.h"
#include "catalog/StoredText.h"
#include "platform/HelpWindow.h"
#include "platform/MessageService.h"

// Qt
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace glimmora {

namespace {

constexpr int kHelpContext = 105;
constexpr int kWidth = 243;
constexpr int kHeight = 162;

} // namespace

TNewCategoryForm::TNewCategoryForm(TCategories& categories, std::function<void(TCategory&)> openWindow, QWidget* parent)
    : QDialog(parent),
      categories_(categories),
      openWindow_(std::move(openWindow))
{
    Label1 = new QLabel;
    Label1->setWordWrap(true);
    Edit1 = new QLineEdit;
    Edit1->setMaxLength(int(kCategoryNameBytes));
    Edit1->installEventFilter(this);
    Label1->setBuddy(Edit1);
    connect(Edit1, &QLineEdit::textEdited, this, &TNewCategoryForm::keepNameWithinLimit);

    BitBtn2 = new QPushButton(QStringLiteral("&OK"));
    BitBtn2->setDefault(true);
    BitBtn1 = new QPushButton(QStringLiteral("&Cancel"));
    connect(BitBtn2, &QPushButton::clicked, this, &TNewCategoryForm::BitBtn2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Edit1);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(kWidth, kHeight);
    HelpWindow::bindHelpKey(this, kHelpContext);
}

void TNewCategoryForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TNewCategoryForm::FormShow()
{
    setWindowTitle(RenameMode ? QStringLiteral("Rename a Category") : QStringLiteral("Define a New Category"));
    Label1->setText(RenameMode ? QStringLiteral("Please enter the category's new name:")
                               : QStringLiteral("Please enter the name of your new category:"));
    Edit1->setFocus();
}

bool TNewCategoryForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Edit1 && event->type() == QEvent::KeyPress && Edit1KeyPress(*static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

// True when the key is not taken: while the field is empty, a character other than a letter or
// a digit, and a paste whose text does not begin with one.
bool TNewCategoryForm::Edit1KeyPress(const QKeyEvent& key) const
{
    if (!Edit1->text().isEmpty())
        return false;
    if (key.matches(QKeySequence::Paste)) {
        const QString pasted = QGuiApplication::clipboard()->text();
        return pasted.isEmpty() || !mayBeginCategoryName(pasted.front());
    }
    const QString text = key.text();
    return !text.isEmpty() && text.front().isPrint() && !mayBeginCategoryName(text.front());
}

// A name holds at most 25 bytes of UTF-8.
void TNewCategoryForm::keepNameWithinLimit()
{
    const QString limited = limitedText(Edit1->text(), kCategoryNameBytes);
    if (limited != Edit1->text())
        Edit1->setText(limited);
}

void TNewCategoryForm::BitBtn2Click()
{
    const QString typed = Edit1->text();
    const CategoryCommandResult result = RenameMode && TargetCategory
                                             ? RenameCategory(categories_, *TargetCategory, typed)
                                             : NewCategory(categories_, typed);
    if (result.emptyName) {
        beep(MessageBeep::Information);
    } else if (result.refused()) {
        showMessage({result.refusal, QStringLiteral("Glimmora"), MessageIcon::None, MessageButton::Ok,
                     MessageButton::Ok, MessageBeep::Exclamation});
    } else {
        changed_ = true;
        if (!RenameMode && openWindow_)
            openWindow_(*result.category);
    }
    accept();
}

} // namespace glimmora
