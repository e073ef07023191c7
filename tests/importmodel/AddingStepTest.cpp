// The adding step: the four counters and their decision rules, the error list, Stop, a store
// that cannot be written, and what is saved at the end of a run.

#include "CatalogFixture.h"

#include "import/AddingStep.h"
#include "import/FileSearch.h"
#include "store/FileSeam.h"
#include "store/QDB.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

namespace glimmora {
namespace {

namespace fs = std::filesystem;
using test::qpath;

using test::writePicture;

class AddingStep : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(pictures_);
        fs::create_directories(data_);
        for (const char* name : {"one.png", "two.png", "three.png"})
            writePicture(pictures_ / name);
        catalog_ = std::make_unique<test::Catalog>(data_);
    }

    // A whole import of `directory` as the Load dialog runs it, decoding in this process.
    std::unique_ptr<TAddingStep> import(const fs::path& directory, CategoryAssignment assignment,
                                        const QString& category, bool includeKnown = false,
                                        const AddingProgress& progress = {})
    {
        TFileSearch search({qpath(directory), assignment, category, true});
        search.Run();
        AddingOptions options;
        options.includeKnownImages = includeKnown;
        options.decoders.workers = -1;
        auto step = std::make_unique<TAddingStep>(catalog_->images, catalog_->categories, thumbnails_,
                                                  search.TakeLoadList(), options);
        step->Run(progress);
        return step;
    }

    ImportCounters importInto(const QString& category, bool includeKnown = false)
    {
        return import(pictures_, CategoryAssignment::ChosenCategory, category, includeKnown)->Counters();
    }

    QStringList categoriesOf(const QString& name)
    {
        const std::int32_t seqNo = seqNoOf(name);
        QStringList names;
        for (const Membership& pair : catalog_->memberships.pairs())
            if (pair.seqNo == seqNo)
                names.append(catalog_->categories.FindCategory(pair.categoryId)->CategoryName);
        return names;
    }

    std::int32_t seqNoOf(const QString& name)
    {
        for (auto record = catalog_->images.FirstImage(); record; record = catalog_->images.NextImage())
            if (fileNamePart(record->IT_Path) == name) {
                catalog_->images.EndImagePass();
                return record->IT_SeqNo;
            }
        catalog_->images.EndImagePass();
        return 0;
    }

    // Closes the catalogue and opens its files again, as the next run of the program would.
    void reopen()
    {
        catalog_.reset();
        catalog_ = std::make_unique<test::Catalog>(data_);
    }

    test::ScratchDir scratch_;
    fs::path pictures_ = scratch_ / "pictures";
    fs::path data_ = scratch_ / "data";
    test::QImageThumbnails thumbnails_;
    std::unique_ptr<test::Catalog> catalog_;
};

TEST_F(AddingStep, TheSameDirectoryTwiceClashesTheSecondTime)
{
    EXPECT_EQ(importInto("holiday"), (ImportCounters{3, 0, 0, 0}));
    EXPECT_EQ(importInto("holiday"), (ImportCounters{0, 0, 0, 3}));

    // Named after their directory, they meet the same category again.
    const fs::path other = scratch_ / "beach";
    writePicture(other / "sand.png");
    EXPECT_EQ(import(other, CategoryAssignment::DirectoryNames, "")->Counters(), (ImportCounters{1, 0, 0, 0}));
    EXPECT_EQ(import(other, CategoryAssignment::DirectoryNames, "")->Counters(), (ImportCounters{0, 0, 0, 1}));
    EXPECT_EQ(categoriesOf("sand.png"), QStringList{"beach"});
}

TEST_F(AddingStep, UnassignedImagesMoveToTheirNewCategory)
{
    EXPECT_EQ(importInto(kUnassignedName), (ImportCounters{3, 0, 0, 0}));
    EXPECT_EQ(importInto("cats"), (ImportCounters{0, 0, 3, 0}));
    for (const char* name : {"one.png", "two.png", "three.png"})
        EXPECT_EQ(categoriesOf(name), QStringList{"cats"}) << name;
}

TEST_F(AddingStep, KnownImagesJoinAnotherCategoryOnlyWhenIncluded)
{
    importInto("a");
    EXPECT_EQ(importInto("b"), (ImportCounters{0, 3, 0, 0}));
    EXPECT_EQ(categoriesOf("one.png"), QStringList{"a"});
    EXPECT_EQ(importInto("b", true), (ImportCounters{3, 0, 0, 0}));
    EXPECT_EQ(categoriesOf("one.png"), (QStringList{"a", "b"}));
}

TEST_F(AddingStep, KnownImagesNeverGoBackToUnassigned)
{
    struct Case {
        const char* first;
        bool includeKnown;
        ImportCounters expected;
    };
    const Case cases[] = {
        {"(unassigned)", false, {0, 0, 0, 3}},
        {"(unassigned)", true, {0, 0, 0, 3}},
        {"a", false, {0, 3, 0, 0}},
        {"a", true, {0, 3, 0, 0}},
    };
    for (const Case& c : cases) {
        catalog_.reset();
        fs::remove_all(data_);
        fs::create_directories(data_);
        catalog_ = std::make_unique<test::Catalog>(data_);
        importInto(c.first);
        EXPECT_EQ(importInto(kUnassignedName, c.includeKnown), c.expected)
            << c.first << (c.includeKnown ? " including known" : "");
        EXPECT_EQ(categoriesOf("two.png"), QStringList{c.first});
    }
}

TEST_F(AddingStep, NewImagesReachTheOpenWindowsOfTheirCategory)
{
    importInto("a");
    TCategory* category = catalog_->categories.FindOrAddCategory("a", true).first;
    test::RecordingView window(catalog_->categories);
    catalog_->categories.AttachWindow(*category, window);
    writePicture(pictures_ / "four.png");

    QStringList announced;
    AddingProgress progress;
    progress.imageAdded = [&](TCategory& target, const TImageElement& record) {
        announced.append(target.CategoryName + ":" + fileNamePart(record.IT_Path));
    };
    import(pictures_, CategoryAssignment::ChosenCategory, "a", false, progress);
    EXPECT_EQ(announced, QStringList{"a:four.png"});
    EXPECT_EQ(window.itemTexts().last(), "four.png");
    EXPECT_EQ(window.statusText, "4 images");
    window.closeView();
}

TEST_F(AddingStep, ListsEachDamagedFileWithTheLoadersTextAndTheTotal)
{
    const auto clean = import(pictures_, CategoryAssignment::ChosenCategory, "a");
    EXPECT_EQ(clean->ErrorLines(), (QStringList{" ", "Total load errors = 0"}));

    const fs::path damaged = scratch_ / "damaged";
    writePicture(damaged / "fine.png");
    test::writeFile(damaged / "text.bmp", "this is no bitmap");
    QStringList shownLines;
    AddingProgress progress;
    progress.appendErrorLine = [&](const QString& line) { shownLines.append(line); };
    const auto step = import(damaged, CategoryAssignment::ChosenCategory, "a", false, progress);
    const QString path = qpath(damaged / "text.bmp");
    const QStringList expected{path, "  Cannot read the picture " + path, " ", "Total load errors = 1"};
    EXPECT_EQ(step->ErrorLines(), expected);
    EXPECT_EQ(shownLines, expected);
    EXPECT_EQ(step->ErrorCount(), 1);
    EXPECT_EQ(step->Counters(), (ImportCounters{1, 0, 0, 0}));
}

TEST_F(AddingStep, StopKeepsWhatWasAddedAndStillSavesTheRun)
{
    for (int i = 0; i < 7; ++i)
        writePicture(pictures_ / ("more" + std::to_string(i) + ".png"));
    TAddingStep* running = nullptr;
    int entries = 0;
    QList<int> gauge;
    AddingProgress progress;
    progress.setGauge = [&](int percent) { gauge.append(percent); };
    progress.pendingEvents = [&] {
        if (++entries == 4)
            running->Stop(); // the Stop button, noticed after the entry in progress
    };
    TFileSearch search({qpath(pictures_), CategoryAssignment::ChosenCategory, "a", true});
    search.Run();
    AddingOptions options;
    options.decoders.workers = -1;
    TAddingStep step(catalog_->images, catalog_->categories, thumbnails_, search.TakeLoadList(), options);
    running = &step;
    step.Run(progress);

    EXPECT_EQ(step.Counters(), (ImportCounters{4, 0, 0, 0}));
    EXPECT_EQ(gauge, (QList<int>{10, 20, 30, 40}));
    EXPECT_EQ(step.ErrorLines(), (QStringList{" ", "Total load errors = 0"}));
    EXPECT_FALSE(catalog_->images.ImageTable().active()); // the batch was ended

    // The categories and memberships were written by the run itself, not at exit.
    const TCorrespondences saved(catalog_->base + ".cor");
    EXPECT_EQ(saved.pairs().size(), 4);
    reopen();
    EXPECT_EQ(catalog_->images.PathIndex().size(), 4);
    EXPECT_TRUE(catalog_->categories.FindOrAddCategory("a", true).first);
}

TEST_F(AddingStep, KnownPathsAreFoundWithoutReadingTheirRecords)
{
    // Camera names share their byte sums (IMG_0012 and IMG_0021), which once meant reading every
    // record with the same checksum to compare its path.
    const fs::path camera = scratch_ / "DCIM";
    for (int i = 1; i <= 120; ++i)
        writePicture(camera / QStringLiteral("IMG_%1.PNG").arg(i, 4, 10, QLatin1Char('0')).toStdString(), Qt::red,
                     QSize(4, 3));
    int recordsRead = 0;
    catalog_->images.ImageTable().onFound = [&](store::TQDB&) { ++recordsRead; };
    EXPECT_EQ(import(camera, CategoryAssignment::ChosenCategory, "camera")->Counters(), (ImportCounters{120, 0, 0, 0}));
    EXPECT_EQ(recordsRead, 0);

    reopen();
    catalog_->images.ImageTable().onFound = [&](store::TQDB&) { ++recordsRead; };
    EXPECT_EQ(import(camera, CategoryAssignment::ChosenCategory, "camera")->Counters(), (ImportCounters{0, 0, 0, 120}));
    EXPECT_EQ(import(camera, CategoryAssignment::ChosenCategory, "other")->Counters(), (ImportCounters{0, 120, 0, 0}));
    EXPECT_EQ(recordsRead, 0);
}

TEST_F(AddingStep, AFullDiskEndsTheRunAndLosesNothingAdded)
{
    for (int i = 0; i < 4; ++i)
        writePicture(pictures_ / ("more" + std::to_string(i) + ".png"));
    importInto("first"); // a store that exists already
    bool diskFull = false;
    QStringList added;
    AddingProgress progress;
    progress.imageAdded = [&](TCategory&, const TImageElement& record) {
        added.append(fileNamePart(record.IT_Path));
        diskFull = added.size() == 2;
    };
    const fs::path next = scratch_ / "next";
    for (const char* name : {"n1.png", "n2.png", "n3.png", "n4.png"})
        writePicture(next / name);
    std::unique_ptr<TAddingStep> step;
    {
        // The work files fill up; the store file beside the data is rebuilt later, elsewhere.
        const fs::path workDirectory = fs::canonical(store::TQDB::temporaryDirectory());
        store::ScopedFaultHook hook([&](store::FileOperation operation, const std::string& path) {
            const bool workFile = fs::weakly_canonical(fs::path(path).parent_path()) == workDirectory;
            return diskFull && workFile && operation == store::FileOperation::Write ? ENOSPC : 0;
        });
        step = import(next, CategoryAssignment::ChosenCategory, "second", false, progress);
    }
    EXPECT_EQ(step->Counters(), (ImportCounters{2, 0, 0, 0}));
    EXPECT_EQ(step->EntriesDone(), 3);
    ASSERT_EQ(step->ErrorLines().size(), 4);
    const QString failed = fileNamePart(step->ErrorLines().at(0));
    EXPECT_EQ(step->ErrorLines().at(1), "  The drive is full");
    EXPECT_EQ(step->ErrorLines().at(3), "Total load errors = 1");
    EXPECT_TRUE(step->StoreFailure().contains("The drive is full")) << step->StoreFailure().toStdString();

    // Space again: the store, kept open with its changes, is saved when the program closes it.
    reopen();
    EXPECT_EQ(catalog_->images.PathIndex().size(), 9);
    for (const QString& name : added)
        EXPECT_EQ(categoriesOf(name), QStringList{"second"}) << name.toStdString();
    EXPECT_EQ(seqNoOf(failed), 0) << failed.toStdString();
}

} // namespace
} // namespace glimmora
