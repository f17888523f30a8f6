#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/TextFile.h"
#include "tests/support/TempDir.h"

// The file rules every platform shares: lines, line ends, Ctrl-Z, error texts, replacement.
namespace w20 {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::vector<std::string> ReadLines(const std::string& path, int count) {
    TextFileReader reader(path);
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back(reader.ReadLine());
    reader.Close();
    return lines;
}

TEST(TextFileReader, SplitsLinesAtCrLfAndLoneCr) {
    const struct {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b", ""}},
        {"a\rb\r\rc", {"a", "b", "", "c", ""}},
        {"a\nb\r\nc", {"a\nb", "c", ""}},  // a lone LF stays in the value
        {"a\r\n\nb\r\n", {"a", "\nb", ""}},
        {"  x  \r\n", {"  x  ", ""}},  // no trimming
        {"a\r\nb\x1a"
         "c\r\nd\r\n",
         {"a", "b", "", ""}},  // Ctrl-Z ends the file
        {"\x1a"
         "a\r\n",
         {"", ""}},
        {"", {"", "", ""}},  // past the end: empty lines
        {std::string("n\0l\r\n\xB9\xEA\r\n", 8), {std::string("n\0l", 3), "\xB9\xEA", ""}},
        {"a\r", {"a", ""}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFileBytes(dir.File("data.txt"), c.bytes);
        EXPECT_EQ(ReadLines(dir.File("data.txt"), static_cast<int>(c.lines.size())), c.lines);
    }
}

TEST(TextFileReader, LineEndsAcrossBlockBoundaries) {
    TempDir dir;
    // The CR of a CR LF at the very end of a 64 KiB block, the LF at the start of the next.
    const std::string first(65535, 'x');
    const std::string second(100000, 'y');
    WriteFileBytes(dir.File("long.txt"), first + "\r\n" + second + "\r\nz");
    EXPECT_EQ(ReadLines(dir.File("long.txt"), 4), (std::vector<std::string>{first, second, "z", ""}));
}

TEST(TextFileReader, EofSeesCtrlZAndTheEnd) {
    TempDir dir;
    WriteFileBytes(dir.File("f.txt"),
                   "a\r\n\x1a"
                   "b");
    TextFileReader reader(dir.File("f.txt"));
    EXPECT_FALSE(reader.Eof());
    EXPECT_EQ(reader.ReadLine(), "a");
    EXPECT_TRUE(reader.Eof());
}

TEST(TextFileErrors, MessagesFollowTheCode) {
    const std::pair<int, const char*> table[] = {
        {2, "File not found"},
        {3, "Invalid filename"},
        {4, "Too many open files"},
        {5, "File access denied"},
        {100, "Read beyond end of file"},
        {101, "Disk full"},
        {106, "Invalid numeric input"},
        {32, "I/O error 32"},
        {0, "I/O error 0"},
    };
    for (const auto& [code, message] : table) {
        EInOutError error(code);
        EXPECT_EQ(error.ErrorCode(), code);
        EXPECT_EQ(error.Message(), message);
    }
}

TEST(TextFileWriter, WritesEveryLineWithCrLf) {
    TempDir dir;
    TextFileWriter writer(dir.File("out.txt"));
    writer.WriteLine("W20[VOR],5,1");
    writer.WriteLine("");
    writer.WriteLine(std::string("a\0\xB9\r", 4));
    writer.Close();
    EXPECT_EQ(ReadFileBytes(dir.File("out.txt")), std::string("W20[VOR],5,1\r\n\r\na\0\xB9\r\r\n", 22));
    EXPECT_EQ(test::ListFolder(dir.Path()), "out.txt");
}

TEST(TextFileWriter, ReplacesTheOldFileOnlyWhenClosed) {
    TempDir dir;
    WriteFileBytes(dir.File("vor5.txt"), "old\r\n");
    {
        TextFileWriter writer(dir.File("vor5.txt"));
        writer.WriteLine(std::string(200000, 'n'));  // more than one block is written out
        EXPECT_EQ(ReadFileBytes(dir.File("vor5.txt")), "old\r\n");
    }  // abandoned: the old file stays, the temporary one goes
    EXPECT_EQ(ReadFileBytes(dir.File("vor5.txt")), "old\r\n");
    EXPECT_EQ(test::ListFolder(dir.Path()), "vor5.txt");

    TextFileWriter writer(dir.File("vor5.txt"));
    writer.Close();
    EXPECT_EQ(ReadFileBytes(dir.File("vor5.txt")), "");
}

}  // namespace
}  // namespace w20
