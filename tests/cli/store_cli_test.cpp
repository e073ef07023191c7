// store-dump and store-copy run as the user runs them, on store files written by the engine.

#include "store/FileFormat.h"
#include "store/Password.h"
#include "store/QDB.h"

#include "Scratch.h"

// Qt
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

// POSIX

namespace glimmora::test {
namespace {

using store::TQDB;

using CliRun = test::ToolRun;

CliRun runCli(const std::string& arguments) { return test::runTool(arguments); }

QJsonObject jsonOf(const CliRun& run)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(run.output)).object();
}

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

std::int32_t int32At(const std::string& bytes, std::size_t offset)
{
    return store::format::readInt32(reinterpret_cast<const unsigned char*>(bytes.data()) + offset);
}

// A store with an admin entry, a short item that does not compress and a long one that does.
void writeSource(const std::string& name)
{
    TQDB db;
    db.setFileName(name);
    const std::string small = "abc";
    const std::string big(40000, 'r');
    db.addItem(TQDB::Bytes(big.begin(), big.end()), "b");
    db.addItem(TQDB::Bytes(small.begin(), small.end()), "a");
    db.setAdminInteger("MAX_SEQ_NO", 2);
    db.setFileName("");
}

TEST(CliStore, CompressedProtectedCopyReadsBackIdentically)
{
    ScratchDir dir;
    const auto source = dir / "source.idb";
    const auto copy = dir / "copy.idb";
    writeSource(source.string());

    ASSERT_EQ(runCli("store-copy " + quoted(source) + " " + quoted(copy) + " --compress --password secret").status, 0);
    const auto original = jsonOf(runCli("store-dump " + quoted(source) + " --json"));
    const auto copied = jsonOf(runCli("store-dump " + quoted(copy) + " --password secret --json"));

    EXPECT_EQ(copied["count"].toInt(), 2);
    EXPECT_EQ(copied["admin"], original["admin"]);
    EXPECT_EQ(copied["admin"].toArray().at(0)["key"].toString(), "MAX_SEQ_NO");
    EXPECT_EQ(copied["admin"].toArray().at(0)["hex"].toString(), "02000000");
    const auto before = original["items"].toArray();
    const auto after = copied["items"].toArray();
    ASSERT_EQ(after.size(), 2);
    for (qsizetype i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after.at(i)["key"], before.at(i)["key"]);
        EXPECT_EQ(after.at(i)["hex"], before.at(i)["hex"]) << "expanded as the caller reads it";
        EXPECT_EQ(before.at(i)["flags"].toInt(), 0);
        EXPECT_EQ(after.at(i)["flags"].toInt(), 2);
    }
    EXPECT_EQ(after.at(0)["length"].toInt(), 2 + 4) << "a: one stored block";
    EXPECT_LT(after.at(1)["length"].toInt(), 100) << "b: compressed";

    // Without the password, or with a wrong one, the copy does not open.
    EXPECT_EQ(runCli("store-dump " + quoted(copy)).status, 1);
    EXPECT_EQ(runCli("store-dump " + quoted(copy) + " --password wrong").status, 1);
    EXPECT_EQ(runCli("store-dump").status, 2);
}

TEST(CliStore, CopyFollowsTheProtectedLayout)
{
    ScratchDir dir;
    const auto source = dir / "source.idb";
    const auto copy = dir / "copy.idb";
    writeSource(source.string());
    const auto sourceBytes = readFile(source);
    ASSERT_EQ(runCli("store-copy " + quoted(source) + " " + quoted(copy) + " --compress --password secret").status, 0);
    EXPECT_EQ(readFile(source), sourceBytes) << "the source is only read";

    const auto bytes = readFile(copy);
    const auto key = store::passwordKey("secret");
    const auto check = store::passwordCheckValue(key);
    ASSERT_GE(bytes.size(), 40u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("QDB\0QPW\0", 8));
    EXPECT_EQ(bytes.substr(8, 20), std::string(check.begin(), check.end()));
    const auto dataLength = int32At(bytes, 28);
    ASSERT_GE(dataLength, 0);
    const auto indexAt = 32 + static_cast<std::size_t>(dataLength);
    EXPECT_EQ(bytes.substr(indexAt, 4), std::string("QIX\0", 4));
    const auto indexLength = int32At(bytes, indexAt + 4);
    EXPECT_EQ(bytes.size(), indexAt + 8 + static_cast<std::size_t>(indexLength));

    // Unscrambled, the data section holds the admin entry, then the items in key order.
    std::vector<std::uint8_t> data(bytes.begin() + 32, bytes.begin() + 32 + dataLength);
    store::scrambleSection(data, key);
    const std::vector<std::uint8_t> start{2, 0, 0, 0, 4, 0, 0x80, 'a', 'b', 'c'};
    ASSERT_GE(data.size(), start.size());
    EXPECT_EQ(std::vector<std::uint8_t>(data.begin(), data.begin() + 10), start);

    std::vector<std::uint8_t> index(bytes.begin() + static_cast<std::ptrdiff_t>(indexAt + 8), bytes.end());
    store::scrambleSection(index, key);
    const std::string text(index.begin(), index.end());
    EXPECT_EQ(int32At(text, 0), 3);
    EXPECT_EQ(text.substr(4, 11), std::string("MAX_SEQ_NO\0", 11));
    EXPECT_EQ(text.substr(27, 2), std::string("b\0", 2)) << "items in descending order";
}

TEST(CliStore, PlainDumpListsEntries)
{
    ScratchDir dir;
    const auto source = dir / "source.idb";
    writeSource(source.string());
    const auto run = runCli("store-dump " + quoted(source));
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.output.substr(0, run.output.find('\n')), "count: 2");
    EXPECT_NE(run.output.find("admin MAX_SEQ_NO: 02000000\n"), std::string::npos);
    EXPECT_NE(run.output.find("item a (length 3, flags 0): 616263\n"), std::string::npos);
    EXPECT_EQ(runCli("store-dump " + quoted(dir / "missing.idb")).status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.idb"));
}

// A name without an extension stands for NAME.QDB in the store; a file of the bare name is not
// the store the tools would open, and opening that one must not create it.
TEST(CliStore, NameWithoutExtensionNeverMakesAnEmptyStore)
{
    ScratchDir dir;
    const auto bare = dir / "bare";
    writeSource((dir / "bare.idb").string());
    std::filesystem::rename(dir / "bare.idb", bare);
    const auto made = dir / "bare.QDB";

    EXPECT_EQ(runCli("store-dump " + quoted(bare)).status, 1);
    EXPECT_EQ(runCli("store-copy " + quoted(bare) + " " + quoted(dir / "copy.idb")).status, 1);
    EXPECT_FALSE(std::filesystem::exists(made)) << "no empty store is made under the name opened";
    EXPECT_FALSE(std::filesystem::exists(dir / "copy.idb"));

    // With the store under the name the store opens, the bare name reaches it.
    std::filesystem::rename(bare, made);
    const auto run = runCli("store-dump " + quoted(bare));
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.output.substr(0, run.output.find('\n')), "count: 2");
}

// The copy lies where the store looks for DST: a name without an extension gets the store's,
// and a link is written through to its target and stays a link.
TEST(CliStore, CopyIsNamedAsTheStoreNamesItAndFollowsALink)
{
    ScratchDir dir;
    ScratchDir elsewhere;
    const auto source = dir / "source.idb";
    writeSource(source.string());

    const auto run = runCli("store-copy " + quoted(source) + " " + quoted(dir / "copy"));
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.output, "copied 2 items and 1 admin entries to " + (dir / "copy.QDB").string() + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "copy"));
    const auto dumped = runCli("store-dump " + quoted(dir / "copy"));
    ASSERT_EQ(dumped.status, 0);
    EXPECT_EQ(dumped.output.substr(0, dumped.output.find('\n')), "count: 2");

    const auto link = dir / "linked.idb";
    const auto target = elsewhere / "target.idb";
    writeFile(target, "to be replaced");
    std::filesystem::create_symlink(target, link);
    ASSERT_EQ(runCli("store-copy " + quoted(source) + " " + quoted(link)).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(jsonOf(runCli("store-dump " + quoted(target) + " --json"))["count"].toInt(), 2);
    for (const auto& folder : {dir.path(), elsewhere.path()})
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            EXPECT_EQ(entry.path().string().find(".copy-"), std::string::npos) << entry.path();
}

} // namespace
} // namespace glimmora::test
