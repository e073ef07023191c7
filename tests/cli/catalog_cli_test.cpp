// glimmora-cli categories, list, search and memo on a data directory written byte by byte, as
// another conforming writer would leave it.

#include "CatalogFixture.h"

// Qt
#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <gtest/gtest.h>

// POSIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace glimmora {
namespace {

using namespace test;

QByteArray le32(std::uint32_t value)
{
    char raw[4];
    qToLittleEndian(value, raw);
    return QByteArray(raw, 4);
}

QByteArray shortString(const QByteArray& text) { return QByteArray(1, 6) + char(text.size()) + text; }

QByteArray bmpOf(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bmp;
}

QByteArray item(std::int32_t seq, int type, std::uint32_t serial, bool removable, const QByteArray& path,
                const QByteArray& memo, const QByteArray& bmp)
{
    char length[2];
    qToLittleEndian<std::uint16_t>(std::uint16_t(bmp.size()), length);
    return le32(std::uint32_t(seq)) + char(type) + le32(serial) + le32(std::uint32_t(PathChecksum(path)))
           + char(removable) + shortString(path) + shortString(memo) + QByteArray(length, 2) + bmp + QByteArray(2, 0);
}

QByteArray category(std::int32_t id, const QByteArray& name)
{
    return (le32(std::uint32_t(id)) + char(name.size()) + name).leftJustified(32, '\0');
}

using CliRun = test::ToolRun;

// A run with --data, its error output after its standard output.
CliRun runCli(const std::filesystem::path& data, const std::string& arguments)
{
    CliRun run = test::runTool("--data '" + data.string() + "' " + arguments);
    run.output += run.errors;
    return run;
}

QJsonArray jsonOf(const CliRun& run)
{
    // Notes on stderr may come before or after the JSON line.
    for (const QByteArray& line : QByteArray::fromStdString(run.output).split('\n'))
        if (line.startsWith('['))
            return QJsonDocument::fromJson(line).array();
    return {};
}

// What identifies a file's version on disk: a replacement by rename changes its inode, a write
// in place its modification time.
std::pair<ino_t, std::int64_t> versionOf(const std::filesystem::path& file)
{
    struct stat info {};
    ::stat(file.c_str(), &info);
    return {info.st_ino, std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

QStringList namesIn(const std::filesystem::path& directory)
{
    QStringList names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.append(QString::fromStdString(entry.path().filename().string()));
    names.sort();
    return names;
}

// A copy of a data directory that the tool may read but not write: the directory and its files
// without write permission. Root may write anyway, so then the tool runs as nobody, in
// directories of its own that nobody may use.
class UnwritableData {
public:
    explicit UnwritableData(const std::filesystem::path& from)
    {
        namespace fs = std::filesystem;
        char pattern[] = "/tmp/glimmora-unwritable-XXXXXX";
        root_ = ::mkdtemp(pattern);
        fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec
                                   | fs::perms::others_read | fs::perms::others_exec);
        data = root_ / "data";
        fs::create_directories(data);
        for (const auto& entry : fs::directory_iterator(from))
            fs::copy_file(entry.path(), data / entry.path().filename());
        for (const char* own : {"tmp", "run", "home"}) {
            fs::create_directories(root_ / own);
            if (asNobody()) {
                EXPECT_EQ(::chown((root_ / own).c_str(), kNobody, kNobody), 0);
            }
            fs::permissions(root_ / own, fs::perms::owner_all, fs::perm_options::replace);
        }
        for (const auto& entry : fs::directory_iterator(data))
            fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        fs::permissions(data, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read
                                  | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    }

    ~UnwritableData()
    {
        std::error_code ignored;
        std::filesystem::permissions(data, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ignored);
        std::filesystem::remove_all(root_, ignored);
    }

    // What runs the tool: as nobody when the tests run as root, in the environment made here.
    std::string prefix() const
    {
        const std::string root = root_.string();
        return std::string(asNobody() ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "") + "env TMPDIR='"
               + root + "/tmp' XDG_RUNTIME_DIR='" + root + "/run' HOME='" + root + "/home' XDG_CONFIG_HOME='" + root
               + "/home'";
    }

    std::filesystem::path data;

private:
    static constexpr uid_t kNobody = 65534;
    static bool asNobody() { return ::geteuid() == 0; }

    std::filesystem::path root_;
};

class CatalogCli : public ::testing::Test {
protected:
    CatalogCli()
    {
        writeFile(dir / "Default.cat",
                  (category(0, "(unassigned)") + category(4, "trees") + category(9, "caf\xe9")).toStdString());
        writeFile(dir / "Default.cor",
                  (le32(4) + le32(2) + le32(4) + le32(1) + le32(9) + le32(2) + le32(4) + le32(77) + QByteArray(3, 1))
                      .toStdString());
        const QMap<QByteArray, QByteArray> admin{{"MAX_SEQ_NO", le32(3)}};
        const QMap<QByteArray, QByteArray> items{
            {"000001", item(1, 3, 0x1A2B3C4D, true, "/media/cd/oak.jpg", " tall oak ", bmpOf(60, 45))},
            {"000002", item(2, 25, 0xFFFFFFFF, false, "/home/u/pine.png", " pine tree ", QByteArray())},
        };
        writeFile(dir / "Default.idb", storeFileBytes(admin, items));
    }

    ScratchDir dir;
};

TEST_F(CatalogCli, CategoriesShowsEveryRealCategoryWithItsImages)
{
    const CliRun run = runCli(dir.path(), "categories --json");
    ASSERT_EQ(run.status, 0) << run.output;
    const QJsonArray categories = jsonOf(run);
    ASSERT_EQ(categories.size(), 3) << run.output;
    const struct {
        int id;
        const char* name;
        int images;
    } expected[] = {{0, "(unassigned)", 0}, {4, "trees", 2}, {9, "café", 1}};
    for (int i = 0; i < 3; ++i) {
        const QJsonObject object = categories[i].toObject();
        EXPECT_EQ(object["id"].toInt(), expected[i].id);
        EXPECT_EQ(object["name"].toString(), QString::fromUtf8(expected[i].name));
        EXPECT_EQ(object["images"].toInt(), expected[i].images);
    }
    const CliRun plain = runCli(dir.path(), "categories");
    EXPECT_NE(plain.output.find("4\ttrees\t2\n"), std::string::npos) << plain.output;
}

TEST_F(CatalogCli, ListShowsTheRecordsOfTheStoreOrOfACategory)
{
    const CliRun all = runCli(dir.path(), "list --json");
    ASSERT_EQ(all.status, 0) << all.output;
    const QJsonArray records = jsonOf(all);
    ASSERT_EQ(records.size(), 2) << all.output;
    const QJsonObject oak = records[0].toObject();
    EXPECT_EQ(oak["seq"].toInt(), 1);
    EXPECT_EQ(oak["type"].toString(), QStringLiteral("jpg"));
    EXPECT_EQ(oak["path"].toString(), QStringLiteral("/media/cd/oak.jpg"));
    EXPECT_EQ(oak["memo"].toString(), QStringLiteral(" tall oak "));
    EXPECT_EQ(oak["serial"].toInteger(), 0x1A2B3C4D);
    EXPECT_TRUE(oak["removable"].toBool());
    EXPECT_EQ(oak["thumbnail"].toArray(), (QJsonArray{60, 45}));
    const QJsonObject pine = records[1].toObject();
    EXPECT_EQ(pine["serial"].toInteger(), 0xFFFFFFFFll);
    EXPECT_EQ(pine["thumbnail"].toArray(), (QJsonArray{0, 0}));

    // Membership order, and the pair whose record is missing is skipped.
    const QJsonArray trees = jsonOf(runCli(dir.path(), "list Trees --json"));
    ASSERT_EQ(trees.size(), 2);
    EXPECT_EQ(trees[0].toObject()["seq"].toInt(), 2);
    EXPECT_EQ(trees[1].toObject()["seq"].toInt(), 1);

    EXPECT_EQ(runCli(dir.path(), "list nowhere").status, 1);
    EXPECT_EQ(runCli(dir.path(), "list a b").status, 2);
}

TEST_F(CatalogCli, MemoReplacesAMemoThatSearchThenFinds)
{
    ASSERT_EQ(runCli(dir.path(), "memo 2 '  Snowy Pine  '").status, 0);
    const CliRun search = runCli(dir.path(), "search 'snowy' --json");
    const QJsonArray found = jsonOf(search);
    ASSERT_EQ(found.size(), 1) << search.output;
    EXPECT_EQ(found[0].toObject()["memo"].toString(), QStringLiteral(" Snowy Pine "));
    EXPECT_EQ(found[0].toObject()["seq"].toInt(), 2);

    const CliRun none = runCli(dir.path(), "search elephant");
    EXPECT_EQ(none.status, 0);
    EXPECT_NE(none.output.find("Sorry, no images were found with the selected memo string."), std::string::npos);
    EXPECT_EQ(runCli(dir.path(), "memo 5 x").status, 1);
    EXPECT_EQ(runCli(dir.path(), "memo five x").status, 2);
}

// Listing, searching and a category's records read: the store keeps its inode and modification
// time, nothing is made or removed beside it, and so they work where nothing can be written.
TEST_F(CatalogCli, QueriesWriteNothingAndWorkWhereNothingCanBeWritten)
{
    const UnwritableData unwritable(dir.path());
    ASSERT_NE(std::system(
                  (unwritable.prefix() + " touch '" + (unwritable.data / "probe").string() + "' 2>/dev/null").c_str()),
              0)
        << "the data directory can be written";
    for (const auto& [data, prefix] : {std::pair{dir.path(), std::string()}, {unwritable.data, unwritable.prefix()}}) {
        SCOPED_TRACE(data.string());
        const auto before = versionOf(data / "Default.idb");
        const QStringList names = namesIn(data);
        for (const char* query : {"categories --json", "list --json", "list trees --json", "search oak --json"}) {
            test::ToolRun run = test::runTool("--data '" + data.string() + "' " + query, prefix);
            run.output += run.errors;
            EXPECT_EQ(run.status, 0) << query << "\n" << run.output;
            EXPECT_FALSE(jsonOf(run).isEmpty()) << query << "\n" << run.output;
        }
        EXPECT_EQ(versionOf(data / "Default.idb"), before);
        EXPECT_EQ(namesIn(data), names);
    }
}

// The peak memory of one run of the tool, in KiB; its output goes nowhere.
long peakMemoryOfTool(const std::vector<std::string>& arguments)
{
    const pid_t child = ::fork();
    if (child == 0) {
        const int nowhere = ::open("/dev/null", O_WRONLY);
        ::dup2(nowhere, STDOUT_FILENO);
        ::dup2(nowhere, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(GLIMMORA_BIN_DIR "/glimmora-cli")};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(argv.front(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return usage.ru_maxrss;
}

// A listing prints each record as it reads it: ten times the records take no more memory.
TEST_F(CatalogCli, AListingHoldsOneRecordAtATime)
{
    const QByteArray thumbnail = bmpOf(60, 60);
    long peaks[2] = {};
    int run = 0;
    for (const int records : {200, 2000}) {
        QMap<QByteArray, QByteArray> items;
        for (int seq = 1; seq <= records; ++seq)
            items.insert(QByteArray::fromStdString(ImageStoreKey(seq)),
                         item(seq, 3, 7, false, "/p/IMG_" + QByteArray::number(seq) + ".JPG", " m ", thumbnail));
        writeFile(dir / "Default.idb", storeFileBytes({{"MAX_SEQ_NO", le32(records)}}, items));
        peaks[run++] = peakMemoryOfTool({"--data", dir.path().string(), "list", "--json"});
    }
    // 1,800 more thumbnails held would take 26 MB and more.
    EXPECT_LT(peaks[1] - peaks[0], 8 * 1024) << peaks[0] << " KiB, then " << peaks[1] << " KiB";
}

// Work files and temporaries of runs that were killed go at the next run; those a running
// process holds stay.
TEST_F(CatalogCli, TheLeftoversOfKilledRunsAreCleared)
{
    const std::filesystem::path temporary = std::getenv("TMPDIR");
    const std::vector<std::filesystem::path> stale = {temporary / "QDB0F0F.TMP", temporary / "QIX0F0F.TMP",
                                                      dir / "Default.cor.00AF.TMP", dir / "Default.cat.0001.TMP",
                                                      dir / "QDD00AA.TMP"};
    const std::vector<std::filesystem::path> held = {temporary / "QDB0E0E.TMP", dir / "Default.cat.0002.TMP"};
    for (const auto& file : stale)
        writeFile(file, "left behind");
    std::vector<int> holders;
    for (const auto& file : held) {
        writeFile(file, "in use");
        holders.push_back(::open(file.c_str(), O_RDONLY));
        ASSERT_EQ(::flock(holders.back(), LOCK_EX), 0);
    }
    EXPECT_EQ(runCli(dir.path(), "memo 1 leaves").status, 0);
    for (const auto& file : stale)
        EXPECT_FALSE(std::filesystem::exists(file)) << file;
    for (const auto& file : held)
        EXPECT_TRUE(std::filesystem::remove(file)) << file;
    for (const int holder : holders)
        ::close(holder);
}

TEST_F(CatalogCli, APathThatIsNotUtf8KeepsItsBytesAndShowsAsWindows1252)
{
    // Written on Windows: "größe café.gif" in Windows-1252.
    const QByteArray path("/pics/gr\xf6\xdf"
                          "e caf\xe9.gif");
    writeFile(dir / "Default.idb", storeFileBytes({{"MAX_SEQ_NO", le32(1)}},
                                                  {{"000001", item(1, 5, 7, false, path, " old ", QByteArray())}}));
    writeFile(dir / "Default.cor", (le32(4) + le32(1)).toStdString());

    ASSERT_EQ(runCli(dir.path(), "memo 1 new").status, 0);
    const QByteArray stored = readStoreFile(dir / "Default.idb").items["000001"].value;
    EXPECT_EQ(stored.mid(16, path.size()), path);
    EXPECT_EQ(qFromLittleEndian<std::int32_t>(stored.constData() + 9), PathChecksum(path));

    const QJsonArray listed = jsonOf(runCli(dir.path(), "list --json"));
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed[0].toObject()["path"].toString(), QString::fromUtf8("/pics/größe café.gif"));
    EXPECT_EQ(listed[0].toObject()["memo"].toString(), QStringLiteral(" new "));
}

TEST_F(CatalogCli, ADamagedRecordEndsAPassWithAnErrorThatNamesIt)
{
    QByteArray badTag = item(2, 25, 7, false, "/home/u/fir.png", " fir tree ", QByteArray());
    badTag[14] = 9;
    QMap<QByteArray, QByteArray> items{
        {"000001", item(1, 3, 7, false, "/home/u/oak.jpg", " oak ", QByteArray())},
        {"000002", badTag},
        {"000003", item(3, 25, 7, false, "/home/u/elm.png", " elm tree ", QByteArray())},
    };
    std::string store = storeFileBytes({{"MAX_SEQ_NO", le32(3)}}, items);
    writeFile(dir / "Default.idb", store);
    for (const char* command : {"list", "list trees", "search elm"}) {
        const CliRun run = runCli(dir.path(), command);
        EXPECT_EQ(run.status, 1) << command << "\n" << run.output;
        EXPECT_NE(run.output.find("The image record 000002 in " + (dir / "Default.idb").string() + " cannot be read"),
                  std::string::npos)
            << command << "\n"
            << run.output;
        EXPECT_EQ(run.output.find("Sorry"), std::string::npos) << command << "\n" << run.output;
    }

    // An index entry whose value lies beyond the data: the store opens, the record does not read.
    QMap<QByteArray, QByteArray> whole = items;
    whole["000002"] = item(2, 25, 7, false, "/home/u/fir.png", " fir tree ", QByteArray());
    store = storeFileBytes({{"MAX_SEQ_NO", le32(3)}}, whole);
    const std::size_t entry = store.rfind(std::string("000003\0", 7));
    ASSERT_NE(entry, std::string::npos);
    store.replace(entry + 7, 4, le32(0x7FFF0000).toStdString());
    writeFile(dir / "Default.idb", store);
    const CliRun beyond = runCli(dir.path(), "list");
    EXPECT_EQ(beyond.status, 1);
    EXPECT_NE(beyond.output.find("The image record 000003"), std::string::npos) << beyond.output;
}

// A store damaged in one record, cut short in its data (its index lost), or with an index that
// ends before its count: salvage makes a new store of what can be read, keeps the damaged file,
// lists what was lost, and the scrapbook is usable again.
TEST_F(CatalogCli, SalvageKeepsEveryReadableRecordAndTheDamagedFile)
{
    QByteArray badTag = item(2, 25, 7, false, "/home/u/fir.png", " fir ", QByteArray());
    badTag[14] = 9;
    const QByteArray one = item(1, 3, 7, false, "/home/u/oak.jpg", " oak ", bmpOf(8, 6));
    const QByteArray three = item(3, 25, 7, false, "/home/u/elm.png", " elm ", QByteArray());
    const std::string whole = storeFileBytes(
        {{"MAX_SEQ_NO", le32(3)}}, {{"000001", one},
                                    {"000002", item(2, 25, 7, false, "/home/u/fir.png", " fir ", QByteArray())},
                                    {"000003", three}});
    std::string countTooLarge = whole;
    const std::size_t index = whole.rfind(std::string("QIX\0", 4));
    countTooLarge.replace(index + 8, 4, le32(10).toStdString());
    // The values lie in descending key order: 000001 is the last, cut in the middle.
    const std::string cut = whole.substr(0, whole.find(one.toStdString()) + 20);

    const struct {
        const char* damage;
        std::string store;
        QList<QByteArray> salvaged;
        const char* report;
    } cases[] = {
        {"a record",
         storeFileBytes({{"MAX_SEQ_NO", le32(3)}}, {{"000001", one}, {"000002", badTag}, {"000003", three}}),
         {"000001", "000003"},
         "Salvaged 2 of 3 image records of %1 into a new store.\nThe damaged store is kept as %1.damaged.\nCould not "
         "be read:\n  000002: The image record holds a text with an unknown tag\n"},
        {"the data, cut short",
         cut,
         {"000002", "000003"},
         "Salvaged 2 image records of %1 into a new store.\nThe damaged store is kept as %1.damaged.\nThe store's "
         "index could not be found; 2 records were found by their contents. Records deleted before the damage may be "
         "among them.\n"},
        {"the index count",
         countTooLarge,
         {"000001", "000002", "000003"},
         "Salvaged 3 of 3 image records of %1 into a new store.\nThe damaged store is kept as %1.damaged.\nThe store's "
         "index is damaged: 4 of its 10 entries could be read.\n"},
    };
    const QString storeFile = qpath(dir / "Default.idb");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damage);
        writeFile(dir / "Default.idb", c.store);
        std::filesystem::remove(dir / "Default.idb.damaged");
        const CliRun run = runCli(dir.path(), "salvage");
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(QString::fromStdString(run.output).section(QStringLiteral("glimmora-cli:"), 0, 0),
                  QString::fromLatin1(c.report).arg(storeFile));

        EXPECT_EQ(readFile(dir / "Default.idb.damaged"), c.store);
        const StoreFile salvaged = readStoreFile(dir / "Default.idb");
        EXPECT_EQ(salvaged.items.keys(), c.salvaged);
        for (const QByteArray& key : c.salvaged)
            EXPECT_EQ(salvaged.items[key].value, key == "000001" ? one
                                                 : key == "000003"
                                                     ? three
                                                     : item(2, 25, 7, false, "/home/u/fir.png", " fir ", QByteArray()))
                << key.toStdString();
        EXPECT_EQ(salvaged.admin["MAX_SEQ_NO"].value, le32(3));
        EXPECT_EQ(runCli(dir.path(), "list").status, 0);
        EXPECT_EQ(runCli(dir.path(), "salvage").output,
                  QStringLiteral("Every one of the %1 image records of %2 can be read; nothing was changed.\n")
                      .arg(c.salvaged.size())
                      .arg(storeFile)
                      .toStdString());
    }
}

TEST_F(CatalogCli, ADamagedStoreIsAReportedFailure)
{
    writeFile(dir / "Default.idb", "not a store");
    const CliRun run = runCli(dir.path(), "list");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("is not a valid QDB file"), std::string::npos) << run.output;
}

} // namespace
} // namespace glimmora
