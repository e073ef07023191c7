// A reorganisation with a fault at each of its file operations in turn: the operation fails, or
// the process is killed just before it. Whatever happened, the scrapbook reopens with every
// record, membership and category it had, and nothing to repair.

#include "CatalogFixture.h"
#include "ScrapbookWriter.h"

#include "catalog/Scrapbook.h"
#include "store/FileSeam.h"

#include <gtest/gtest.h>

// POSIX
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <map>

namespace glimmora {
namespace {

namespace fs = std::filesystem;
using test::qpath;

// What a reopened scrapbook holds.
struct Content {
    std::map<std::int32_t, TImageElement> records;
    QList<Membership> memberships;
    QStringList categories;

    bool operator==(const Content&) const = default;
};

Content contentOf(const fs::path& data)
{
    TScrapbook scrapbook(qpath(data), TScrapbook::Access::ReadOnly);
    EXPECT_FALSE(scrapbook.repairs().any()) << scrapbook.repairs().sentences().join(' ').toStdString();
    Content content;
    TImageElementForm& images = scrapbook.images();
    for (auto record = images.FirstImage(); record; record = images.NextImage())
        content.records.emplace(record->IT_SeqNo, *record);
    images.EndReadPass();
    content.memberships = scrapbook.memberships().pairs();
    for (const TCategory* category : scrapbook.categories().FillCategoryList())
        content.categories.append(QStringLiteral("%1:%2").arg(category->CategoryId).arg(category->CategoryName));
    return content;
}

class ReorganizeFaults : public testing::Test {
protected:
    // A scrapbook whose store holds dead space, as years of changes leave it.
    void SetUp() override
    {
        fs::create_directories(baseline_);
        QList<test::ImageSpec> images;
        for (int i = 0; i < 12; ++i)
            images.append(test::ImageSpec(QStringLiteral("/p/picture%1.jpg").arg(i), {i % 2 ? "odd" : "even"}));
        test::writeScrapbook(qpath(baseline_ / "Default"), images, {"empty"});
        {
            TScrapbook scrapbook(qpath(baseline_), TScrapbook::Access::ReadWrite);
            auto record = scrapbook.images().ReadImage(3);
            record->IT_Memo = QStringLiteral(" changed after it was added ");
            scrapbook.images().WriteImage(*record);
            scrapbook.images().DeleteImage(*scrapbook.images().ReadImage(5));
            scrapbook.save();
        }
        expected_ = contentOf(baseline_);
    }

    fs::path copyOfBaseline()
    {
        const fs::path data = scratch_ / "faulted";
        fs::remove_all(data);
        fs::copy(baseline_, data);
        return data;
    }

    static void reorganize(const fs::path& data, const store::FaultHook& hook)
    {
        TScrapbook scrapbook(qpath(data), TScrapbook::Access::ReadWrite);
        const store::ScopedFaultHook watching(hook);
        scrapbook.reorganize({});
    }

    int countOperations()
    {
        int count = 0;
        reorganize(copyOfBaseline(), [&](store::FileOperation, const std::string&) { return ++count, 0; });
        return count;
    }

    // Returns false when the reorganisation ran to its end before the n-th operation.
    static bool killedAt(const fs::path& data, int n)
    {
        const pid_t child = ::fork();
        if (child == 0) {
            int calls = 0;
            reorganize(data, [&](store::FileOperation, const std::string&) {
                if (++calls == n)
                    ::kill(::getpid(), SIGKILL);
                return 0;
            });
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    static bool failedAt(const fs::path& data, int n)
    {
        int calls = 0;
        try {
            reorganize(data, [&](store::FileOperation, const std::string&) { return ++calls == n ? EIO : 0; });
        } catch (const EScrapbookSaveError&) {
            return true;
        }
        return false;
    }

    test::ScratchDir scratch_;
    fs::path baseline_ = scratch_ / "baseline";
    Content expected_;
};

TEST_F(ReorganizeFaults, KilledOrFailingAtAnyFileOperationTheScrapbookReopensIntact)
{
    const int operations = countOperations();
    ASSERT_GT(operations, 10);
    for (const bool kill : {true, false}) {
        int interrupted = 0;
        for (int n = 1; n <= operations; ++n) {
            SCOPED_TRACE(testing::Message()
                         << (kill ? "killed" : "failed") << " at operation " << n << " of " << operations);
            const fs::path data = copyOfBaseline();
            interrupted += kill ? killedAt(data, n) : failedAt(data, n);
            // Opened for changes first, as the program opens it: that clears what the killed
            // rebuild left beside the store.
            TScrapbook(qpath(data), TScrapbook::Access::ReadWrite);
            EXPECT_EQ(contentOf(data), expected_);
            for (const auto& entry : fs::directory_iterator(data))
                EXPECT_EQ(entry.path().filename().string().find("TMP"), std::string::npos) << entry.path();
            if (HasFailure())
                return; // one case tells the story; the others would repeat it
        }
        EXPECT_GT(interrupted, 0);
    }
}

} // namespace
} // namespace glimmora
