#pragma once

#include "catalog/RemoveableMediumForm.h"
#include "catalog/Volume.h"
#include "import/AddingStep.h"
#include "import/FileSearch.h"

// Qt
#include <QDialog>
#include <QString>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace glimmora {

class TFolderTree;
class TLoadPictureModule;
class TScrapbook;

// The program-wide objects an import works on; both outlive the dialog.
struct ImportScrapbook {
    TScrapbook& scrapbook;
    TLoadPictureModule& loader; // the picture loader
};

// The Load dialog: the user picks a directory in the folder tree, how its pictures are assigned
// to categories, and two options. OK runs the whole import: the search window, the adding
// window, the summary, and the registration of a removable disk that pictures came from.
class TLoadform : public QDialog {
    Q_OBJECT

public:
    // Placed at the top left of the screen while the scrapbook is empty, else centred.
    TLoadform(const ImportScrapbook& scrapbook, const QString& startDirectory, QWidget* parent = nullptr);
    ~TLoadform() override;

    // The directory chosen when OK was pressed, or the start directory unchanged.
    const QString& LastDirectory() const { return lastDirectory_; }
    // The counters of the import OK ran.
    const ImportCounters& Counters() const { return counters_; }

    // How the volume of the imported directory is read, and how a new removable disk's
    // description is asked: ReadVolumeInfo and the new-disk dialog unless a test stands in for
    // a removable medium, which cannot be had here.
    using VolumeReader = std::function<TVol_Info(const QString& path)>;
    void setVolumeReader(VolumeReader reader) { volumeReader_ = std::move(reader); }
    void setDiskPrompt(DiskDescriptionPrompt& prompt) { diskPrompt_ = &prompt; }

    // The folder tree exists while the dialog is shown, until OK.
    TFolderTree* FolderTree = nullptr;
    QLabel* PathCaption;
    QLabel* PathLabel;
    QRadioButton* rbDirectoryName;
    QRadioButton* rbAssignCategory;
    QComboBox* cbCategory;
    QCheckBox* cbSearchSubdirectories;
    QCheckBox* cbIncludeKnown;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

public slots:
    void OKBtnClick();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildControls();
    void FormShow();
    void FolderTreeChange();
    void rgCategoryAssignmentClick();
    void cbCategoryChange();
    void FillCategoryList();
    void placeOnScreen();
    void updateOKBtn(const QString& selection);
    bool assignsToCategory() const;
    FileSearchSettings searchSettings(const QString& directory) const;
    void RunImport(const QString& directory);
    void AddRemoveableDisk(const QString& directory);

    ImportScrapbook scrapbook_;
    QString startDirectory_;
    QString lastDirectory_;
    ImportCounters counters_;
    VolumeReader volumeReader_ = ReadVolumeInfo;
    DialogDiskDescriptionPrompt dialogPrompt_;
    DiskDescriptionPrompt* diskPrompt_ = &dialogPrompt_;
    QWidget* TreePlaceholder;
    QButtonGroup* rgCategoryAssignment;
};

} // namespace glimmora
