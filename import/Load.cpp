#include "import/Load.h"

#include "catalog/Categories.h"
#include "catalog/ImageElementForm.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/Scrapbook.h"
#include "catalog/StoredText.h"
#include "files/FolderTree.h"
#include "import/DbUpdate.h"
#include "import/FileSearchForm.h"
#include "import/LoadPicture.h"
#include "import/LoadStatus.h"
#include "platform/HelpWindow.h"
#include "platform/MessageService.h"
#include "platform/Paths.h"
#include "platform/UserInterface.h"

// Qt
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace glimmora {

namespace {

constexpr int kHelpContext = 106;
constexpr int kTreeWidth = 300;
constexpr int kTreeHeight = 320;

// The items of the radio group "Category &Assignment".
enum AssignmentItem { kUseDirectoryName = 0, kAssignToCategory = 1 };

} // namespace

TLoadform::TLoadform(const ImportScrapbook& scrapbook, const QString& startDirectory, QWidget* parent)
    : QDialog(parent),
      scrapbook_(scrapbook),
      startDirectory_(startDirectory),
      lastDirectory_(startDirectory)
{
    setWindowTitle(QStringLiteral("Glimmora - Load New Files"));
    PathCaption = new QLabel(QStringLiteral("&Path:"));
    PathLabel = new QLabel;
    PathLabel->setTextFormat(Qt::PlainText);
    PathLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // long paths do not widen it
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(PathCaption);
    pathRow->addWidget(PathLabel, 1);

    // The folder tree takes the place of this panel when the dialog is shown.
    TreePlaceholder = new QWidget;
    TreePlaceholder->setMinimumSize(kTreeWidth, kTreeHeight);
    auto* treeLayout = new QVBoxLayout(TreePlaceholder);
    treeLayout->setContentsMargins(0, 0, 0, 0);

    auto* body = new QHBoxLayout;
    body->addWidget(TreePlaceholder, 1);
    body->addWidget(buildControls());

    OKBtn = new QPushButton(QStringLiteral("&OK"));
    OKBtn->setDefault(true);
    OKBtn->setEnabled(false);
    CancelBtn = new QPushButton(QStringLiteral("&Cancel"));
    connect(OKBtn, &QPushButton::clicked, this, &TLoadform::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pathRow);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    FillCategoryList();
    rgCategoryAssignmentClick();
    adjustSize();
    placeOnScreen();
}

TLoadform::~TLoadform() = default;

QWidget* TLoadform::buildControls()
{
    auto* group = new QGroupBox(QStringLiteral("Category &Assignment"));
    rbDirectoryName = new QRadioButton(QStringLiteral("Use Directory Name for Category"));
    rbAssignCategory = new QRadioButton(QStringLiteral("Assign to Category..."));
    rgCategoryAssignment = new QButtonGroup(this);
    rgCategoryAssignment->addButton(rbDirectoryName, kUseDirectoryName);
    rgCategoryAssignment->addButton(rbAssignCategory, kAssignToCategory);
    rbAssignCategory->setChecked(true);
    connect(rgCategoryAssignment, &QButtonGroup::idClicked, this, &TLoadform::rgCategoryAssignmentClick);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(rbDirectoryName);
    groupLayout->addWidget(rbAssignCategory);

    cbCategory = new QComboBox;
    cbCategory->setEditable(true);
    cbCategory->setInsertPolicy(QComboBox::NoInsert);
    cbCategory->lineEdit()->setMaxLength(int(kCategoryNameBytes));
    connect(cbCategory, &QComboBox::editTextChanged, this, &TLoadform::cbCategoryChange);

    cbSearchSubdirectories = new QCheckBox(QStringLiteral("&Search subdirectories"));
    cbSearchSubdirectories->setChecked(true);
    cbIncludeKnown = new QCheckBox(QStringLiteral("&Include known image files"));

    auto* controls = new QWidget;
    auto* layout = new QVBoxLayout(controls);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    layout->addWidget(cbCategory);
    layout->addSpacing(8);
    layout->addWidget(cbSearchSubdirectories);
    layout->addWidget(cbIncludeKnown);
    layout->addStretch();
    return controls;
}

// Every category the scrapbook has, sorted as a sorted box sorts (case-insensitively), the
// first one selected.
void TLoadform::FillCategoryList()
{
    QStringList names;
    for (const TCategory* category : scrapbook_.scrapbook.categories().FillCategoryList())
        names.append(category->CategoryName);
    std::stable_sort(names.begin(), names.end(), [](const QString& left, const QString& right) {
        return QString::compare(left, right, Qt::CaseInsensitive) < 0;
    });
    cbCategory->clear();
    cbCategory->addItems(names);
    cbCategory->setCurrentIndex(names.isEmpty() ? -1 : 0);
}

void TLoadform::placeOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    bool storeEmpty = false;
    try {
        storeEmpty = scrapbook_.scrapbook.images().ImageStoreEmpty();
    } catch (const std::exception&) {
        // A store that cannot be read is reported by the import itself; here it only means the
        // dialog is centred.
    }
    if (storeEmpty)
        move(screen->availableGeometry().topLeft());
    else
        move(screen->availableGeometry().center() - rect().center());
}

void TLoadform::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!FolderTree)
        FormShow();
}

void TLoadform::FormShow()
{
    PathLabel->clear();
    FolderTree = new TFolderTree(TreePlaceholder);
    TreePlaceholder->layout()->addWidget(FolderTree);
    FolderTree->show(); // made after its parent was shown, it would appear only later
    FolderTree->setDisplayMode(dmLowercase);
    PathCaption->setBuddy(FolderTree);
    connect(FolderTree, &QTreeWidget::itemSelectionChanged, this, &TLoadform::FolderTreeChange);
    setTabOrder(FolderTree, rbDirectoryName);
    FolderTree->setFocus();

    FolderTree->SelectPath(startDirectory_);
    FolderTreeChange();
    updateOKBtn(FolderTree->SelectedPath());
}

void TLoadform::FolderTreeChange()
{
    const QList<QTreeWidgetItem*> selected = FolderTree->selectedItems();
    const QTreeWidgetItem* node = selected.isEmpty() ? nullptr : selected.first();
    if (node && node == FolderTree->topLevelItem(0))
        PathLabel->setText(node->text(0));
    else
        PathLabel->setText(foldPath(FolderTree->SelectedPath()));
    updateOKBtn(PathLabel->text());
}

void TLoadform::rgCategoryAssignmentClick()
{
    cbCategory->setEnabled(assignsToCategory());
    updateOKBtn(PathLabel->text());
}

void TLoadform::cbCategoryChange()
{
    // A category name holds at most 25 bytes of UTF-8.
    const QString text = cbCategory->currentText();
    const QString limited = limitedText(text, kCategoryNameBytes);
    if (limited != text)
        cbCategory->setEditText(limited);
    updateOKBtn(PathLabel->text());
}

// Besides a directory, OK needs a category to assign to: a blank name would make a category
// without a name.
void TLoadform::updateOKBtn(const QString& selection)
{
    const bool hasCategory = !assignsToCategory() || !trimmedText(cbCategory->currentText()).isEmpty();
    OKBtn->setEnabled(!selection.isEmpty() && hasCategory);
}

bool TLoadform::assignsToCategory() const { return rgCategoryAssignment->checkedId() == kAssignToCategory; }

FileSearchSettings TLoadform::searchSettings(const QString& directory) const
{
    FileSearchSettings settings;
    settings.directory = directory;
    settings.assignment = assignsToCategory() ? CategoryAssignment::ChosenCategory : CategoryAssignment::DirectoryNames;
    settings.categoryName = cbCategory->currentText();
    settings.searchSubdirectories = cbSearchSubdirectories->isChecked();
    return settings;
}

void TLoadform::OKBtnClick()
{
    const QString directory = FolderTree ? FolderTree->SelectedPath() : QString();
    if (directory.isEmpty() || !OKBtn->isEnabled())
        return;
    counters_ = {};
    lastDirectory_ = directory;
    hide();
    delete FolderTree;
    FolderTree = nullptr;
    processPendingEvents();
    setEnabled(false);
    RunImport(directory);
    if (counters_.loaded > 0)
        AddRemoveableDisk(directory);
    accept();
}

// The search, the adding and the summary. Their windows belong to the main window: the dialog
// is disabled meanwhile, and so would be any window of its own.
void TLoadform::RunImport(const QString& directory)
{
    TLoadList loadList;
    AddingOptions options;
    {
        TFileSearchForm search(searchSettings(directory), parentWidget());
        search.exec();
        if (search.Outcome() == SearchOutcome::Stopped)
            return;
        loadList = search.TakeLoadList();
        options.searchFailures = search.Failures();
    }
    // Folders that could not be read go to the error list even when nothing else was found.
    if (loadList.isEmpty() && options.searchFailures.isEmpty()) {
        showMessage({QStringLiteral("No image files were found in the selected directories."),
                     QStringLiteral("Warning"), MessageIcon::Exclamation, MessageButton::Ok, MessageButton::Ok,
                     MessageBeep::Exclamation});
        return;
    }

    options.includeKnownImages = cbIncludeKnown->isChecked();
    options.decoders.embeddedThumbnails = scrapbook_.loader.EmbeddedThumbnails();
    TAddingStep step(scrapbook_.scrapbook, scrapbook_.loader, std::move(loadList), options);
    {
        TDbUpdateForm adding(step, parentWidget(), parentWidget());
        adding.exec();
    }
    counters_ = step.Counters();

    TLoadStatusForm status(parentWidget());
    status.ShowCounters(counters_);
    beep(MessageBeep::Information);
    status.exec();
}

// Pictures newly added from a removable medium: the registry learns the disk, asking for its
// description the first time.
void TLoadform::AddRemoveableDisk(const QString& directory)
{
    const TVol_Info volume = volumeReader_(directory);
    if (volume.removable)
        scrapbook_.scrapbook.disks().AddDisk(directory, volume, *diskPrompt_);
}

void TLoadform::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        HelpWindow::showTopic(kHelpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}

void TLoadform::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        HelpWindow::setHelpDirectory(helpDirectoryOfProgram());
}

} // namespace glimmora
