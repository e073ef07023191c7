// The adding step: the four counters and their decision rules, the error list, Stop, a store
// that cannot be written, and what is saved at the end of a run.

#include "CatalogFixture.h"

#include "catalog/Scrapbook.h"
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
        open();
    }

    void open() { scrapbook_ = std::make_unique<TScrapbook>(qpath(data_), TScrapbook::Access::ReadWrite); }

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
        auto step = std::make_unique<TAddingStep>(*scrapbook_, thumbnails_, search.TakeLoadList(), options);
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
        for (const Membership& pair : scrapbook_->memberships().pairs())
            if (pair.seqNo == seqNo)
                names.append(scrapbook_->categories().FindCategory(pair.categoryId)->CategoryName);
        return names;
    }

    std::int32_t seqNoOf(const QString& name)
    {
        TImageElementForm& images = scrapbook_->images();
        for (auto record = images.FirstImage(); record; record = images.NextImage())
            if (fileNamePart(record->IT_Path) == name) {
                images.EndReadPass();
                return record->IT_SeqNo;
            }
        images.EndReadPass();
        return 0;
    }

    // Closes the scrapbook (what was not saved is lost) and opens its files again, as the next
    // run of the program would.
    void reopen()
    {
        scrapbook_.reset();
        open();
    }

    test::ScratchDir scratch_;
    fs::path pictures_ = scratch_ / "pictures";
    fs::path data_ = scratch_ / "data";
    test::QImageThumbnails thumbnails_;
    std::unique_ptr<TScrapbook> scrapbook_;
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
        scrapbook_.reset();
        fs::remove_all(data_);
        fs::create_directories(data_);
        open();
        importInto(c.first);
        EXPECT_EQ(importInto(kUnassignedName, c.includeKnown), c.expected)
            << c.first << (c.includeKnown ? " including known" : "");
        EXPECT_EQ(categoriesOf("two.png"), QStringList{c.first});
    }
}

TEST_F(AddingStep, NewImagesReachTheOpenWindowsOfTheirCategory)
{
    importInto("a");
    TCategory* category = scrapbook_->categories().FindOrAddCategory("a", true).first;
    test::RecordingView window(scrapbook_->categories());
    scrapbook_->categories().AttachWindow(*category, window);
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
    TAddingStep step(*scrapbook_, thumbnails_, search.TakeLoadList(), options);
    running = &step;
    step.Run(progress);

    EXPECT_EQ(step.Counters(), (ImportCounters{4, 0, 0, 0}));
    EXPECT_EQ(gauge, (QList<int>{10, 20, 30, 40}));
    // A stopped run never reads as a complete one.
    EXPECT_EQ(step.ErrorLines(), (QStringList{"Stopped after 4 of 10 files.", " ", "Total load errors = 0"}));
    EXPECT_FALSE(scrapbook_->images().ImageTable().active()); // the batch was ended

    // The categories and memberships were written by the run itself, not at exit.
    const TCorrespondences saved(TScrapbook::dataPath(qpath(data_)) + ".cor");
    EXPECT_EQ(saved.pairs().size(), 4);
    reopen();
    EXPECT_EQ(scrapbook_->images().PathIndex().size(), 4);
    EXPECT_TRUE(scrapbook_->categories().FindOrAddCategory("a", true).first);
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
    scrapbook_->images().ImageTable().onFound = [&](store::TQDB&) { ++recordsRead; };
    EXPECT_EQ(import(camera, CategoryAssignment::ChosenCategory, "camera")->Counters(), (ImportCounters{120, 0, 0, 0}));
    EXPECT_EQ(recordsRead, 0);

    reopen();
    scrapbook_->images().ImageTable().onFound = [&](store::TQDB&) { ++recordsRead; };
    EXPECT_EQ(import(camera, CategoryAssignment::ChosenCategory, "camera")->Counters(), (ImportCounters{0, 0, 0, 120}));
    EXPECT_EQ(import(camera, CategoryAssignment::ChosenCategory, "other")->Counters(), (ImportCounters{0, 120, 0, 0}));
    EXPECT_EQ(recordsRead, 0);
}

// The disk fills up after two new images: the run stops at the third, its save of the store
// fails, and nothing is saved after that failure. The changes are kept for the next save; a
// process that ends instead leaves the files as they were, and the next import never hands its
// numbers to the categories of the lost one.
TEST_F(AddingStep, AFullDiskStopsTheRunAndNothingIsSavedAfterTheStore)
{
    for (int i = 0; i < 4; ++i)
        writePicture(pictures_ / ("more" + std::to_string(i) + ".png"));
    const fs::path next = scratch_ / "next";
    for (const char* name : {"n1.png", "n2.png", "n3.png", "n4.png"})
        writePicture(next / name);
    for (const bool spaceAgain : {true, false}) {
        SCOPED_TRACE(spaceAgain ? "space again, saved at close" : "the process ends");
        scrapbook_.reset();
        fs::remove_all(data_);
        fs::create_directories(data_);
        open();
        importInto("first"); // seven images in a store that exists already
        const std::string memberships = test::readFile(data_ / "Default.cor");
        const std::string categories = test::readFile(data_ / "Default.cat");

        bool diskFull = false;
        QStringList added;
        AddingProgress progress;
        progress.imageAdded = [&](TCategory&, const TImageElement& record) {
            added.append(fileNamePart(record.IT_Path));
            diskFull = added.size() == 2;
        };
        std::unique_ptr<TAddingStep> step;
        {
            // The disk under the store file fills up: a value can no longer be appended to it.
            store::ScopedFaultHook hook([&](store::FileOperation operation, const std::string& path) {
                const bool storeFile = fs::path(path).extension() == ".idb";
                return diskFull && storeFile && operation == store::FileOperation::Write ? ENOSPC : 0;
            });
            step = import(next, CategoryAssignment::ChosenCategory, "second", false, progress);
        }
        EXPECT_EQ(step->Counters(), (ImportCounters{2, 0, 0, 0}));
        EXPECT_EQ(step->EntriesDone(), 3);
        ASSERT_EQ(step->ErrorLines().size(), 4);
        EXPECT_EQ(step->ErrorLines().at(1), "  The drive is full");
        EXPECT_EQ(step->ErrorLines().at(3), "Total load errors = 1");
        EXPECT_FALSE(step->Saved());
        const QString failed = fileNamePart(step->ErrorLines().at(0));
        const std::string failure = step->StoreFailure().toStdString();
        EXPECT_NE(failure.find("The import stopped at " + failed.toStdString() + ": The drive is full."),
                  std::string::npos)
            << failure;
        EXPECT_NE(failure.find("could not be saved: The drive is full. None of the changes since the last save was "
                               "written."),
                  std::string::npos)
            << failure;
        EXPECT_EQ(test::readFile(data_ / "Default.cor"), memberships);
        EXPECT_EQ(test::readFile(data_ / "Default.cat"), categories);

        if (spaceAgain)
            scrapbook_->save(); // as the program's next save or its close does
        reopen();
        EXPECT_FALSE(scrapbook_->repairs().any());
        if (spaceAgain) {
            EXPECT_EQ(scrapbook_->images().PathIndex().size(), 9);
            for (const QString& name : added)
                EXPECT_EQ(categoriesOf(name), QStringList{"second"}) << name.toStdString();
            EXPECT_EQ(seqNoOf(failed), 0);
            continue;
        }
        EXPECT_EQ(scrapbook_->images().PathIndex().size(), 7);
        EXPECT_FALSE(scrapbook_->categories().FindOrAddCategory("second", true).first);
        EXPECT_EQ(importInto("first"), (ImportCounters{0, 0, 0, 7}));
        EXPECT_EQ(import(next, CategoryAssignment::ChosenCategory, "third")->Counters(), (ImportCounters{4, 0, 0, 0}));
        for (const char* name : {"n1.png", "n2.png", "n3.png", "n4.png"})
            EXPECT_EQ(categoriesOf(name), QStringList{"third"}) << name;
    }
}

// With no room for the store's work files, the run cannot even start; it must not say that
// anything was kept when nothing was.
TEST_F(AddingStep, WhatAFailedRunSaysWasSavedIsWhatWasSaved)
{
    const fs::path workDirectory = fs::canonical(store::TQDB::temporaryDirectory());
    std::unique_ptr<TAddingStep> step;
    {
        store::ScopedFaultHook hook([&](store::FileOperation operation, const std::string& path) {
            const bool workFile = fs::weakly_canonical(fs::path(path).parent_path()) == workDirectory;
            const bool writes = operation == store::FileOperation::Write || operation == store::FileOperation::Copy;
            return workFile && writes ? ENOSPC : 0;
        });
        step = import(pictures_, CategoryAssignment::ChosenCategory, "a");
    }
    const QString failure = step->StoreFailure();
    reopen();
    const qsizetype stored = scrapbook_->images().PathIndex().size();
    if (failure.isEmpty()) {
        EXPECT_EQ(stored, 3) << "a run that reports no failure saved everything";
        return;
    }
    EXPECT_FALSE(failure.contains("kept")) << failure.toStdString();
    if (failure.contains("Nothing had been added"))
        EXPECT_EQ(stored, 0) << failure.toStdString();
    else
        EXPECT_EQ(stored, step->Counters().loaded) << failure.toStdString();
}

TEST_F(AddingStep, FoldersTheSearchCouldNotReadLeadTheErrorList)
{
    AddingOptions options;
    options.decoders.workers = -1;
    options.searchFailures = {
        {QStringLiteral("/pictures/broken"), QStringLiteral("The folder cannot be read: Input/output error.")}};
    TAddingStep step(*scrapbook_, thumbnails_, {}, options);
    step.Run();
    EXPECT_EQ(step.ErrorCount(), 1);
    EXPECT_EQ(step.ErrorLines(), (QStringList{"/pictures/broken", "  The folder cannot be read: Input/output error.",
                                              " ", "Total load errors = 1"}));
}

} // namespace
} // namespace glimmora
