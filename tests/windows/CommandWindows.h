#pragma once

#include "catalog/Categories.h"
#include "catalog/Correspondences.h"
#include "catalog/ImageElementForm.h"
#include "catalog/RemoveableMediaList.h"
#include "catalog/Scrapbook.h"
#include "import/LoadPicture.h"
#include "platform/FileDialogs.h"
#include "platform/MessageService.h"
#include "windows/ImageList.h"

#include "Scratch.h"

// Qt
#include <QImage>
#include <QPointer>
#include <QString>

#include <gtest/gtest.h>

#include <memory>

namespace glimmora::test {

// Real picture files made once for a test binary, in a directory of their own:
//   tree.bmp             80 x 50, the four colour quadrants (red, green, blue, yellow)
//   leaf.gif             40 x 30, green
//   small & bright.bmp   100 x 80, red, exactly 12345 bytes long
//   wide.png             5000 x 40, blue;  tall.png  40 x 5000, yellow
//   loose.png            30 x 30, grey
//   counting.avi         twenty 64 x 48 frames at 10 a second, each lighter than the one before
class Pictures {
public:
    static const Pictures& get();
    QString path(const char* name) const { return QString::fromStdString((dir_.path() / name).string()); }
    const std::filesystem::path& dir() const { return dir_.path(); }

private:
    Pictures();
    ScratchDir dir_;
};

// A scrapbook of those pictures opened as the program opens it: "trees" holds all of them but
// loose.png, which is in "(unassigned)". Category windows opened over it have the commands on
// images, with the save-file prompt and the message boxes answered from scripts.
class CommandWindows : public ::testing::Test {
protected:
    CommandWindows();
    ~CommandWindows() override;

    TCategory& category(const QString& name);
    TImageListForm* openWindow(TCategory& on);
    // Makes the item of a file the window's one selected item.
    static void select(TImageListForm& window, const QString& fileName);
    static QStringList itemTexts(const TImageListForm& window);
    // The record of a file in the "trees" category.
    const TImageElement& record(const QString& fileName);

    const Pictures& pictures = Pictures::get();
    ScratchDir dataDir;
    QString base = QString::fromStdString((dataDir / "Default").string());
    bool written;
    std::unique_ptr<TScrapbook> scrapbook;
    TCorrespondences& memberships;
    TCategories& categories;
    TRemoveableMediaList& disks;
    TImageElementForm& images;
    TLoadPictureModule loader{&disks};
    ScopedScriptedMessages messages;
    ScopedScriptedFileDialogs dialogs;
    // The memberships as saved: a command that changed the scrapbook saved them before it returned.
    std::string savedMemberships() const { return readFile(dataDir / "Default.cor"); }

private:
    class NoDiskPrompt : public DiskDescriptionPrompt {
        QString askDescription(const NewDiskDetails&) override { return QStringLiteral("disk"); }
    };
    NoDiskPrompt diskPrompt_;
    QList<QPointer<TImageListForm>> windows_;
};

int greyOf(const QImage& frame);

} // namespace glimmora::test
