#include "store/BFStream.h"

#include "store/QDBErrors.h"
#include "tests/support/Scratch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

namespace glimmora::store {
namespace {

using test::readFile;
using test::ScratchDir;
using test::writeFile;

std::string path(const ScratchDir& dir, const char* name) { return (dir / name).string(); }

TBFStream readerOf(const std::string& file, std::int64_t bufferLength = TBFStream::kFileLength)
{
    return TBFStream(SeamFile::open(file, SeamFile::Mode::Read), bufferLength);
}

std::string le32(std::uint32_t v)
{
    return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24 & 0xFF)};
}

TEST(TBFStream, WritesKeysAndInt32sAsTheIndexSectionHoldsThem)
{
    ScratchDir dir;
    const std::string target = path(dir, "index");
    writeFile(target, "old contents");
    {
        TTempBFStream out(target);
        EXPECT_EQ(seam::namePart(out.temporaryName()).substr(0, 3), "QDT");
        EXPECT_EQ(out.bufferLength(), 32768u);
        out.writeInt32(2);
        out.writeKey("MAX_SEQ_NO");
        out.writeInt32(0);
        out.writeInt32(4);
        out.writeInt32(1);
        out.writeKey(std::string(300, 'k')); // cut to 255
        out.writeInt32(-1);
        EXPECT_EQ(readFile(target), "old contents"); // nothing replaced before the commit
        out.commit();
    }
    EXPECT_EQ(readFile(target), le32(2) + "MAX_SEQ_NO" + std::string(1, '\0') + le32(0) + le32(4) + le32(1)
                                    + std::string(255, 'k') + std::string(1, '\0') + le32(0xFFFFFFFF));
}

TEST(TBFStream, RoundTripAcrossManyBuffers)
{
    ScratchDir dir;
    const std::string file = path(dir, "many");
    constexpr int kEntries = 20000; // about 600 KB: several writer blocks and reader refills
    {
        TTempBFStream out(file);
        for (int i = 0; i < kEntries; ++i) {
            out.writeKey(std::string(std::size_t(i % 256), char('a' + i % 26)));
            out.writeInt32(i * 7919);
        }
        out.commit();
    }
    for (const std::int64_t bufferLength : {TBFStream::kFileLength, std::int64_t(1024), std::int64_t(3000)}) {
        TBFStream in = readerOf(file, bufferLength);
        for (int i = 0; i < kEntries; ++i) {
            std::string key;
            std::int32_t value = 0;
            ASSERT_TRUE(in.readKey(key)) << i;
            ASSERT_EQ(key, std::string(std::size_t(i % 256), char('a' + i % 26))) << i;
            ASSERT_TRUE(in.readInt32(value)) << i;
            ASSERT_EQ(value, i * 7919) << i;
        }
        std::string key = "unchanged";
        std::int32_t value = 99;
        EXPECT_FALSE(in.readKey(key));
        EXPECT_FALSE(in.readInt32(value));
        EXPECT_EQ(key, "unchanged");
        EXPECT_EQ(value, 99);
    }
}

TEST(TBFStream, BufferIsTheFileLengthClamped)
{
    ScratchDir dir;
    const std::pair<std::size_t, std::size_t> cases[] = {{0, 1024}, {100, 1024}, {5000, 5000}, {600000, 524288}};
    for (const auto& [fileLength, bufferLength] : cases) {
        const std::string file = path(dir, "sized");
        writeFile(file, std::string(fileLength, 'x'));
        EXPECT_EQ(readerOf(file).bufferLength(), bufferLength) << fileLength;
    }
}

TEST(TBFStream, ShortReadsReturnFalse)
{
    ScratchDir dir;
    struct Case {
        const char* name;
        std::string bytes;
        bool keyRead;
        bool intRead;
    };
    const Case cases[] = {
        {"empty file", "", false, false},
        {"a key without its zero byte", "abc", false, false},
        {"a key, then 3 bytes", std::string("k\0", 2) + "123", true, false},
        {"a key, then 4 bytes", std::string("k\0", 2) + "1234", true, true},
        {"an empty key", std::string(1, '\0') + "1234", true, true},
    };
    for (const auto& c : cases) {
        const std::string file = path(dir, "short");
        writeFile(file, c.bytes);
        TBFStream in = readerOf(file);
        std::string key = "before";
        std::int32_t value = 5;
        EXPECT_EQ(in.readKey(key), c.keyRead) << c.name;
        if (!c.keyRead) {
            EXPECT_EQ(key, "before") << c.name;
        }
        EXPECT_EQ(in.readInt32(value), c.intRead) << c.name;
        if (!c.intRead) {
            EXPECT_EQ(value, 5) << c.name;
        }
    }
}

TEST(TBFStream, AKeyLongerThanTheBufferIsCutAndSkipped)
{
    ScratchDir dir;
    const std::string file = path(dir, "damaged");
    writeFile(file, std::string(5000, 'x') + std::string(1, '\0') + le32(77));
    TBFStream in = readerOf(file, 1024);
    std::string key;
    std::int32_t value = 0;
    ASSERT_TRUE(in.readKey(key));
    EXPECT_EQ(key, std::string(255, 'x'));
    ASSERT_TRUE(in.readInt32(value));
    EXPECT_EQ(value, 77);
}

TEST(TBFStream, SeekWritesOutAndGivesBackReadAhead)
{
    ScratchDir dir;
    const std::string file = path(dir, "seek");
    writeFile(file, "");
    {
        TBFStream stream(SeamFile::open(file, SeamFile::Mode::ReadWrite), 1024);
        stream.writeInt32(1);
        stream.writeInt32(2);
        EXPECT_EQ(stream.seek(4), 4);
        std::int32_t value = 0;
        ASSERT_TRUE(stream.readInt32(value));
        EXPECT_EQ(value, 2);
        EXPECT_EQ(stream.seek(0), 0);
        ASSERT_TRUE(stream.readInt32(value));
        EXPECT_EQ(value, 1);
        stream.writeInt32(3); // lands after the value just read, not after the read-ahead
        stream.close();
    }
    EXPECT_EQ(readFile(file), le32(1) + le32(3));
}

TEST(TTempBFStream, WithoutACommitTheTargetStaysAndTheTemporaryGoes)
{
    ScratchDir dir;
    const std::string target = path(dir, "index");
    writeFile(target, "good index");
    std::string temporary;
    {
        TTempBFStream out(target);
        temporary = out.temporaryName();
        out.writeKey("half written");
    }
    EXPECT_EQ(readFile(target), "good index");
    EXPECT_FALSE(std::filesystem::exists(temporary));
}

TEST(TTempBFStream, AFailedWriteIsReportedAndReplacesNothing)
{
    ScratchDir dir;
    const std::string target = path(dir, "index");
    writeFile(target, "good index");
    std::string temporary;
    {
        TTempBFStream out(target);
        temporary = out.temporaryName();
        ScopedFaultHook diskFull(
            [](FileOperation operation, const std::string&) { return operation == FileOperation::Write ? ENOSPC : 0; });
        int written = 0;
        try {
            for (; written < 10000; ++written) // 40 KB: more than one block
                out.writeInt32(written);
            ADD_FAILURE() << "no error on a full disk";
        } catch (const EQDBFileError& error) {
            EXPECT_STREQ(error.what(), "The drive is full");
        }
        EXPECT_EQ(written, 32767 / 4) << "the first full block goes out with the next value";
    }
    EXPECT_EQ(readFile(target), "good index");
    EXPECT_FALSE(std::filesystem::exists(temporary));

    TTempBFStream out(target);
    out.writeKey("k");
    ScopedFaultHook diskFull(
        [](FileOperation operation, const std::string&) { return operation == FileOperation::Write ? ENOSPC : 0; });
    try {
        out.commit();
        ADD_FAILURE() << "commit succeeded on a full disk";
    } catch (const EQDBFileError& error) {
        EXPECT_STREQ(error.what(), "The drive is full");
    }
    EXPECT_EQ(readFile(target), "good index");
}

TEST(TTempBFStream, NoTemporaryFileIsAnIndexError)
{
    ScratchDir dir;
    ScopedFaultHook noFiles(
        [](FileOperation operation, const std::string&) { return operation == FileOperation::Open ? EACCES : 0; });
    try {
        TTempBFStream out(path(dir, "index"));
        ADD_FAILURE() << "created a temporary file";
    } catch (const EQDBIndexError& error) {
        EXPECT_STREQ(error.what(), "Could not create a necessary temporary file");
    }
}

} // namespace
} // namespace glimmora::store
