#include <fcntl.h>
#include <gtest/gtest.h>

#include "platform/file_stream.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using test::TempDir;

std::u16string u16(const std::string& s) { return from_utf8(s); }

TEST(FileStream, ReadModeNeedsAnExistingFile) {
    TempDir dir;
    FileStream missing(u16(dir.file("none.bin")), OpenMode::Read);
    EXPECT_FALSE(missing.is_open());
    test::write_file(dir.file("a.bin"), "hello");
    FileStream file(u16(dir.file("a.bin")), 0);
    ASSERT_TRUE(file.is_open());
    EXPECT_EQ(file.size(), 5u);
    char buffer[8] = {};
    EXPECT_EQ(file.read(buffer, 8), 5u);
    EXPECT_STREQ(buffer, "hello");
    EXPECT_EQ(file.write("x", 1), 0u);  // a read-only stream writes nothing
}

TEST(FileStream, WriteModeTruncatesAndAppendModeAddsAtTheEnd) {
    TempDir dir;
    const std::string path = dir.file("b.txt");
    test::write_file(path, "old contents");
    {
        FileStream file(u16(path), OpenMode::Write);
        ASSERT_TRUE(file.is_open());
        EXPECT_EQ(file.size(), 0u);
        EXPECT_EQ(file.write("abc", 3), 3u);
    }
    {
        FileStream file(u16(path), 2);
        ASSERT_TRUE(file.is_open());
        EXPECT_EQ(file.position(), 3u);
        file.write("def", 3);
    }
    EXPECT_EQ(test::read_file_bytes(path), "abcdef");
    FileStream created(u16(dir.file("new.txt")), OpenMode::Append);
    EXPECT_TRUE(created.is_open());
}

TEST(FileStream, OtherModesReadAndWriteWithoutTruncating) {
    TempDir dir;
    const std::string path = dir.file("c.txt");
    test::write_file(path, "0123456789");
    FileStream file(u16(path), 7);
    ASSERT_TRUE(file.is_open());
    EXPECT_TRUE(file.seek(4));
    file.write("xy", 2);
    EXPECT_TRUE(file.seek(0));
    char buffer[10];
    EXPECT_EQ(file.read(buffer, 10), 10u);
    EXPECT_EQ(std::string(buffer, 10), "0123xy6789");
    FileStream fresh(u16(dir.file("d.txt")), OpenMode::ReadWrite);
    EXPECT_TRUE(fresh.is_open());
}

TEST(FileStream, SkipMovesNoFurtherThanTheEnd) {
    TempDir dir;
    test::write_file(dir.file("e.bin"), std::string(100, 'z'));
    FileStream file(u16(dir.file("e.bin")), OpenMode::Read);
    EXPECT_EQ(file.skip(40), 40u);
    EXPECT_EQ(file.skip(100), 60u);
    EXPECT_EQ(file.skip(1), 0u);
    EXPECT_EQ(file.position(), 100u);
}

TEST(FileStream, ClosedStreamsAndZeroCountsGiveZero) {
    FileStream closed;
    char c = 0;
    EXPECT_FALSE(closed.is_open());
    EXPECT_EQ(closed.read(&c, 1), 0u);
    EXPECT_EQ(closed.write(&c, 1), 0u);
    EXPECT_EQ(closed.skip(1), 0u);
    EXPECT_EQ(closed.size(), 0u);
    EXPECT_FALSE(closed.seek(0));
    TempDir dir;
    FileStream file(u16(dir.file("f.bin")), OpenMode::Write);
    EXPECT_EQ(file.write(&c, 0), 0u);
}

TEST(FileStream, FoldersAndImpossiblePathsDoNotOpen) {
    TempDir dir;
    EXPECT_FALSE(FileStream(dir.u16(), OpenMode::Read).is_open());
    EXPECT_FALSE(FileStream(u16(dir.file("no/such/folder/x")), OpenMode::Write).is_open());
    EXPECT_FALSE(FileStream(u16(dir.str() + "/" + std::string(5000, 'n')), OpenMode::Write).is_open());
    EXPECT_FALSE(FileStream(u"", OpenMode::Read).is_open());
}

TEST(FileStream, TheDescriptorHasOneOwnerThroughMovesAndIsClosedOnce) {
    TempDir dir;
    test::write_file(dir.file("m.bin"), "abc");
    FileStream first(u16(dir.file("m.bin")), OpenMode::Read);
    const int fd = first.descriptor();
    ASSERT_GE(fd, 0);
    FileStream second(std::move(first));
    EXPECT_FALSE(first.is_open());
    EXPECT_EQ(second.descriptor(), fd);
    FileStream third;
    third = std::move(second);
    EXPECT_FALSE(second.is_open());
    char c = 0;
    EXPECT_EQ(third.read(&c, 1), 1u);
    // Reopening closes the old descriptor before taking the new one.
    ASSERT_TRUE(third.open(u16(dir.file("m.bin")), OpenMode::Read));
    third.close();
    EXPECT_FALSE(third.is_open());
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
}

TEST(MemoryStream, ReadsBackWhatWasWrittenAfterRewind) {
    MemoryStream stream;
    EXPECT_EQ(stream.write("abcdef", 6), 6u);
    EXPECT_EQ(stream.size(), 6u);
    char buffer[4] = {};
    EXPECT_EQ(stream.read(buffer, 4), 0u);  // at the end
    stream.rewind();
    EXPECT_EQ(stream.skip(2), 2u);
    EXPECT_EQ(stream.read(buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "cdef");
    EXPECT_TRUE(stream.seek(1));
    stream.write("Z", 1);
    EXPECT_EQ(std::string(stream.bytes().begin(), stream.bytes().end()), "aZcdef");
    EXPECT_FALSE(stream.seek(7));
    stream.clear();
    EXPECT_EQ(stream.size(), 0u);
    EXPECT_EQ(stream.position(), 0u);
}

TEST(ReadFile, RefusesFilesAboveTheLimit) {
    TempDir dir;
    test::write_file(dir.file("g.bin"), std::string(64, 'q'));
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(read_file(u16(dir.file("g.bin")), bytes));
    EXPECT_EQ(bytes.size(), 64u);
    EXPECT_FALSE(read_file(u16(dir.file("g.bin")), bytes, 63));
    EXPECT_FALSE(read_file(u16(dir.file("missing")), bytes));
}

}  // namespace
}  // namespace vistrel
