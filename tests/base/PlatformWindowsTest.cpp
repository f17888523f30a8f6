#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/DateTime.h"
#include "base/Format.h"
#include "base/Platform.h"
#include "base/TextFile.h"
#include "tests/support/TempDir.h"

// The file calls and the clock of Windows.
namespace w20 {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(WindowsFiles, SystemCodesBecomeRuntimeCodes) {
    const std::pair<DWORD, int> table[] = {
        {ERROR_FILE_NOT_FOUND, 2}, {ERROR_PATH_NOT_FOUND, 3},     {ERROR_TOO_MANY_OPEN_FILES, 4},
        {ERROR_ACCESS_DENIED, 5},  {ERROR_DISK_FULL, 101},        {ERROR_HANDLE_DISK_FULL, 101},
        {ERROR_INVALID_NAME, 3},   {ERROR_SHARING_VIOLATION, 32}, {ERROR_ALREADY_EXISTS, 80},
    };
    for (const auto& [system, code] : table)
        EXPECT_EQ(platform::IoErrorCodeFromSystem(static_cast<int>(system)), code) << system;
}

int FailureCode(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const EInOutError& error) {
        return error.ErrorCode();
    }
    return 0;
}

TEST(WindowsFiles, FailedCallsCarryTheirCode) {
    TempDir dir;
    CreateDirectoryA(dir.File("folder.txt").c_str(), nullptr);
    const auto read = [](const std::string& path) { return [path] { TextFileReader reader(path); }; };
    const auto write = [](const std::string& path) {
        return [path] {
            TextFileWriter writer(path);
            writer.WriteLine("x");
            writer.Close();
        };
    };
    EXPECT_EQ(FailureCode(read(dir.File("missing.txt"))), 2);
    EXPECT_EQ(FailureCode(read(dir.File("missing\\x.txt"))), 3);
    EXPECT_EQ(FailureCode(read(dir.File("folder.txt"))), 5);
    EXPECT_EQ(FailureCode(write(dir.File("folder.txt"))), 5);
    EXPECT_EQ(FailureCode(write(dir.File("missing\\x.txt"))), 3);
    EXPECT_EQ(test::ListFolder(dir.Path()), "folder.txt");
}

// A rename onto an existing name fails on Windows: the replacement must still take the old file's
// place, with backslashes in the path as well.
TEST(WindowsFiles, ACompleteFileReplacesTheOldOne) {
    TempDir dir;
    const std::string path = dir.Path() + "\\vor5.txt";
    WriteFileBytes(path, "old\r\nlonger than the new content\r\n");
    for (const char* line : {"first", "second"}) {
        TextFileWriter writer(path);
        writer.WriteLine(line);
        writer.WriteLine("a\nb");
        writer.Close();
        EXPECT_EQ(ReadFileBytes(path), std::string(line) + "\r\na\nb\r\n");
    }
    EXPECT_EQ(test::ListFolder(dir.Path()), "vor5.txt");
}

TEST(WindowsFiles, AFileWithASecondNameIsRewrittenInPlace) {
    TempDir dir;
    WriteFileBytes(dir.File("vor5.txt"), "old\r\n");
    if (!CreateHardLinkA(dir.File("charts.txt").c_str(), dir.File("vor5.txt").c_str(), nullptr))
        GTEST_SKIP() << "no hard links on this file system";
    TextFileWriter writer(dir.File("vor5.txt"));
    writer.WriteLine("new");
    writer.Close();
    EXPECT_EQ(ReadFileBytes(dir.File("charts.txt")), "new\r\n");
}

// Messages are formatted with the standard forms, not the Microsoft runtime's.
TEST(WindowsRuntime, FormatsTheStandardForms) {
    EXPECT_EQ(Format("%zu of %lld, %s", std::size_t{7}, 8LL, "x"), "7 of 8, x");
}

// The offset follows the system's zone and the state it reports (the tests run in Warsaw's zone).
TEST(WindowsClock, OffsetFollowsTheZoneState) {
    TIME_ZONE_INFORMATION zone{};
    const DWORD state = GetTimeZoneInformation(&zone);
    ASSERT_NE(state, TIME_ZONE_ID_INVALID);
    long secondsEast = 0;
    ASSERT_TRUE(LocalUtcOffset(std::time(nullptr), secondsEast));
    EXPECT_EQ(secondsEast, state == TIME_ZONE_ID_DAYLIGHT ? 7200 : 3600);
}

}  // namespace
}  // namespace w20
