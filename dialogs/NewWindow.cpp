#include "dialogs/NewWindow.h"

#include "catalog/Categories.h"
#include "platform/HelpWindow.h"

// Qt
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace glimmora {

namespace {

constexpr int kDefaultHelpContext = 111;
constexpr int kClientWidth = 205;
constexpr int kClientHeight = 304;

TCategory* categoryOf(const QListWidgetItem* item)
{
    return item ? static_cast<TCategory*>(item->data(Qt::UserRole).value<void*>()) : nullptr;
}

} // namespace

TNewWindowForm::TNewWindowForm(TCategories& categories, QWidget* parent)
    : QDialog(parent),
      categories_(categories),
      helpContext_(kDefaultHelpContext)
{
    setWindowTitle(QStringLiteral("Category Selection"));
    Label1 = new QLabel(QStringLiteral("Select the Category you want to see:"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);

    ListBox1 = new QListWidget;
    for (TCategory* category : categories_.SortedCategoryList()) {
        auto* item = new QListWidgetItem(category->CategoryName, ListBox1);
        item->setData(Qt::UserRole, QVariant::fromValue(static_cast<void*>(category)));
    }
    ListBox1->setCurrentRow(0);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TNewWindowForm::ListBox1DblClick);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    BitBtn1 = buttons->button(QDialogButtonBox::Ok);
    BitBtn2 = buttons->button(QDialogButtonBox::Cancel);
    connect(BitBtn1, &QPushButton::clicked, this, &TNewWindowForm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ListBox1, 1);
    layout->addWidget(buttons);
    resize(kClientWidth, kClientHeight);

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { HelpWindow::showTopic(helpContext_); });
}

void TNewWindowForm::setPrompt(const QString& prompt) { Label1->setText(prompt); }

void TNewWindowForm::setHelpContext(int context) { helpContext_ = context; }

void TNewWindowForm::removeUnassigned()
{
    for (int row = ListBox1->count() - 1; row >= 0; --row)
        if (categoryOf(ListBox1->item(row))->CategoryId == categories_.UnassignedId())
            delete ListBox1->takeItem(row);
    ListBox1->clearSelection();
}

void TNewWindowForm::BitBtn1Click()
{
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    ChosenCategory = selected.isEmpty() ? nullptr : categoryOf(selected.first());
    accept();
}

void TNewWindowForm::ListBox1DblClick() { BitBtn1Click(); }

TCategory* ChooseCategory(TCategories& categories, const QString& prompt, int helpContext, QWidget* parent)
{
    TNewWindowForm chooser(categories, parent);
    chooser.setPrompt(prompt);
    chooser.setHelpContext(helpContext);
    return chooser.exec() == QDialog::Accepted ? chooser.ChosenCategory : nullptr;
}

} // namespace glimmora
