#include "store/IndexSection.h"

#include "store/FileFormat.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace glimmora::store {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string le32(std::uint32_t v)
{
    return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24 & 0xFF)};
}

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

struct Record {
    std::string key;
    TIndex entry;
    bool operator==(const Record&) const = default;
};

// Every entry of a section, or nothing when it is damaged.
std::optional<std::vector<Record>> readAll(const Bytes& section)
{
    IndexSectionReader reader(section);
    const auto count = reader.count();
    if (!count)
        return std::nullopt;
    std::vector<Record> records;
    for (std::int32_t i = 0; i < *count; ++i) {
        std::string_view key;
        TIndex entry;
        if (!reader.next(key, entry))
            return std::nullopt;
        records.push_back({std::string(key), entry});
    }
    return records;
}

std::string entryBytes(const std::string& key, std::int32_t position, std::int32_t length, std::uint32_t flags)
{
    return key + std::string(1, '\0') + le32(std::uint32_t(position)) + le32(std::uint32_t(length)) + le32(flags);
}

TEST(IndexSection, WritesCountAndEntriesAndReadsThemBack)
{
    Bytes section;
    appendIndexCount(section, 3);
    appendIndexEntry(section, "MAX_SEQ_NO", TIndex{0, 4, format::ifAdmin});
    appendIndexEntry(section, std::string(300, 'k'), TIndex{-1, 7, format::ifCompressed}); // cut to 255
    appendIndexEntry(section, "", TIndex{4, 0, 0});
    EXPECT_EQ(section, bytesOf(le32(3) + entryBytes("MAX_SEQ_NO", 0, 4, 1) + entryBytes(std::string(255, 'k'), -1, 7, 2)
                               + entryBytes("", 4, 0, 0)));

    section.push_back(0); // trailing bytes are no entry
    EXPECT_EQ(readAll(section), (std::vector<Record>{{"MAX_SEQ_NO", {0, 4, format::ifAdmin}},
                                                     {std::string(255, 'k'), {-1, 7, format::ifCompressed}},
                                                     {"", {4, 0, 0}}}));
}

TEST(IndexSection, AKeyTooLongInAFileIsCutAndTheNextEntryStillRead)
{
    const auto section = bytesOf(le32(2) + entryBytes(std::string(400, 'x'), 1, 2, 0) + entryBytes("y", 3, 4, 0));
    EXPECT_EQ(readAll(section), (std::vector<Record>{{std::string(255, 'x'), {1, 2, 0}}, {"y", {3, 4, 0}}}));
}

TEST(IndexSection, DamagedSectionsAreRefused)
{
    const std::string one = entryBytes("key", 0, 1, 0);
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"count cut off", "\1\0"},
        {"negative count", le32(0xFFFFFFFF)},
        {"count beyond the section", le32(2) + one},
        {"huge count", le32(0x7FFFFFFF) + one},
        {"ends inside a key", le32(1) + "ke"},
        {"ends inside the numbers", le32(1) + one.substr(0, one.size() - 1)},
    };
    for (const auto& [what, bytes] : cases)
        EXPECT_FALSE(readAll(bytesOf(bytes))) << what;
    EXPECT_EQ(readAll(bytesOf(le32(0))), std::vector<Record>{});
}

} // namespace
} // namespace glimmora::store
