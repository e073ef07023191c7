// An import with a fault at each of its file operations in turn: the operation fails, or the
// process is killed just before it. Whatever happened, the next start opens a consistent
// scrapbook (every stored record in a category, no membership of a missing record), no picture
// lands in a category it was never imported into, and importing again places every picture.

#include "CatalogFixture.h"

#include "catalog/Scrapbook.h"
#include "import/AddingStep.h"
#include "import/FileSearch.h"
#include "store/FileSeam.h"

// Qt
#include <QSet>

#include <gtest/gtest.h>

// POSIX
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace glimmora {
namespace {

namespace fs = std::filesystem;
using test::qpath;

enum class Fault { Fail, FailThenSaveAgain, Kill };

class ImportFaults : public testing::Test {
protected:
    // A scrapbook with the pictures of "first", and the pictures of "second" to be imported.
    void SetUp() override
    {
        for (const char* name : {"a1.png", "a2.png", "a3.png"})
            test::writePicture(first_ / name, Qt::red, QSize(6, 4));
        for (const char* name : {"b1.png", "b2.png", "b3.png"})
            test::writePicture(second_ / name, Qt::blue, QSize(6, 4));
        fs::create_directories(baseline_);
        TScrapbook scrapbook(qpath(baseline_), TScrapbook::Access::ReadWrite);
        import(scrapbook, first_);
    }

    std::unique_ptr<TAddingStep> import(TScrapbook& scrapbook, const fs::path& directory)
    {
        TFileSearch search({qpath(directory), CategoryAssignment::DirectoryNames, QString(), true});
        search.Run();
        AddingOptions options;
        options.decoders.workers = -1;
        auto step = std::make_unique<TAddingStep>(scrapbook, thumbnails_, search.TakeLoadList(), options);
        step->Run();
        return step;
    }

    // The import of "second" into a copy of the baseline, with `hook` watching its file operations.
    void importSecond(const fs::path& data, const store::FaultHook& hook, Fault fault)
    {
        TScrapbook scrapbook(qpath(data), TScrapbook::Access::ReadWrite);
        {
            const store::ScopedFaultHook watching(hook);
            import(scrapbook, second_);
        }
        if (fault == Fault::FailThenSaveAgain)
            scrapbook.save(); // as the program's next save, or its close
    }

    // The number of file operations of the whole import of "second".
    int countOperations()
    {
        const fs::path data = copyOfBaseline("count");
        int count = 0;
        importSecond(
            data, [&](store::FileOperation, const std::string&) { return ++count, 0; }, Fault::Fail);
        return count;
    }

    fs::path copyOfBaseline(const std::string& name)
    {
        const fs::path data = scratch_ / name;
        fs::remove_all(data);
        fs::copy(baseline_, data);
        return data;
    }

    // Returns false when the import ran to its end before the n-th operation.
    bool runWithFault(const fs::path& data, Fault fault, int n)
    {
        int calls = 0;
        bool reached = false;
        const store::FaultHook failing = [&](store::FileOperation, const std::string&) {
            if (++calls != n)
                return 0;
            reached = true;
            return EIO;
        };
        if (fault != Fault::Kill) {
            try {
                importSecond(data, failing, fault);
            } catch (const std::exception&) {
                // a save that fails again; the files must still be consistent
            }
            return reached;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            importSecond(
                data,
                [&](store::FileOperation, const std::string&) {
                    if (++calls == n)
                        ::kill(::getpid(), SIGKILL);
                    return 0;
                },
                fault);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    // The files as they lie, before any reconciliation: no membership names a record that is not
    // stored (its number would be handed out again, and its category given to another picture).
    static void expectNoMembershipOfAMissingRecord(const fs::path& data)
    {
        const test::StoreFile store = test::readStoreFile(data / "Default.idb");
        const QByteArray memberships = QByteArray::fromStdString(test::readFile(data / "Default.cor"));
        for (const Membership& pair : decodeMemberships(memberships))
            EXPECT_TRUE(store.items.contains(QByteArray::fromStdString(ImageStoreKey(pair.seqNo)))) << pair.seqNo;
    }

    // The next start, and an import of both directories again: every picture is in the category of
    // its directory, and only there.
    void expectConsistentAndPlaced(const fs::path& data)
    {
        TScrapbook scrapbook(qpath(data), TScrapbook::Access::ReadWrite);
        for (const std::int32_t seqNo : scrapbook.images().StoredImageNumbers())
            EXPECT_TRUE(scrapbook.memberships().ImageHasCategory(seqNo)) << seqNo;
        for (const fs::path& directory : {first_, second_})
            import(scrapbook, directory);
        scrapbook.save();

        TImageElementForm& images = scrapbook.images();
        QSet<QString> seen;
        for (auto record = images.FirstImage(); record; record = images.NextImage()) {
            const QString name = fileNamePart(record->IT_Path);
            QStringList categories;
            for (const std::int32_t id : scrapbook.memberships().CategoriesOfImage(record->IT_SeqNo))
                categories.append(scrapbook.categories().FindCategory(id)->CategoryName);
            EXPECT_EQ(categories, QStringList{name.startsWith('a') ? "first" : "second"}) << name.toStdString();
            seen.insert(name);
        }
        images.EndReadPass();
        EXPECT_EQ(seen.size(), 6);
    }

    test::ScratchDir scratch_;
    fs::path first_ = scratch_ / "pictures" / "first";
    fs::path second_ = scratch_ / "pictures" / "second";
    fs::path baseline_ = scratch_ / "baseline";
    test::QImageThumbnails thumbnails_;
};

TEST_F(ImportFaults, EveryFileOperationFailingOrKilledLeavesAConsistentScrapbook)
{
    const int operations = countOperations();
    ASSERT_GT(operations, 20);
    for (const Fault fault : {Fault::Fail, Fault::FailThenSaveAgain, Fault::Kill}) {
        for (int n = 1; n <= operations; ++n) {
            SCOPED_TRACE(testing::Message() << "fault " << int(fault) << " at operation " << n << " of " << operations);
            const fs::path data = copyOfBaseline("faulted");
            EXPECT_TRUE(runWithFault(data, fault, n));
            expectNoMembershipOfAMissingRecord(data);
            expectConsistentAndPlaced(data);
            if (HasFailure())
                return; // one case tells the story; the others would repeat it
        }
    }
}

} // namespace
} // namespace glimmora
