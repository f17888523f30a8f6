#include "base/TextFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <functional>
#include <string>

#include "base/Platform.h"
#include "tests/support/TempDir.h"

// The file rules that meet POSIX itself: modes, users, links and size limits.
namespace w20 {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(TextFileErrors, ErrnoValuesBecomeRuntimeCodes) {
    const std::pair<int, int> table[] = {
        {ENOENT, 2}, {ENAMETOOLONG, 3}, {EMFILE, 4}, {EACCES, 5}, {EROFS, 5}, {ENOSPC, 101}, {EDQUOT, 101},
    };
    for (const auto& [error, code] : table)
        EXPECT_EQ(platform::IoErrorCodeFromSystem(error), code) << error;
}

int OpenFailureCode(const std::string& path) {
    try {
        TextFileReader reader(path);
    } catch (const EInOutError& error) {
        return error.ErrorCode();
    }
    return 0;
}

TEST(TextFileReader, OpenFailuresCarryTheirCode) {
    TempDir dir;
    EXPECT_EQ(OpenFailureCode(dir.File("missing.txt")), 2);
    mkdir(dir.File("folder.txt").c_str(), 0755);
    EXPECT_EQ(OpenFailureCode(dir.File("folder.txt")), 5);
    EXPECT_EQ(OpenFailureCode(dir.File(std::string(5000, 'n'))), 3);
    WriteFileBytes(dir.File("secret.txt"), "x");
    chmod(dir.File("secret.txt").c_str(), 0);
    test::ScopedUnprivileged unprivileged;
    EXPECT_EQ(OpenFailureCode(dir.File("secret.txt")), 5);
}

TEST(TextFileWriter, KeepsTheModeOfTheFileItReplaces) {
    TempDir dir;
    WriteFileBytes(dir.File("f.txt"), "old");
    chmod(dir.File("f.txt").c_str(), 0640);
    TextFileWriter writer(dir.File("f.txt"));
    writer.WriteLine("new");
    writer.Close();
    struct stat info {};
    ASSERT_EQ(stat(dir.File("f.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(TextFileWriter, WritesThroughALink) {
    TempDir dir;
    mkdir(dir.File("charts").c_str(), 0755);
    WriteFileBytes(dir.File("charts/vor5.txt"), "old");
    ASSERT_EQ(symlink("charts/vor5.txt", dir.File("vor5.txt").c_str()), 0);
    TextFileWriter writer(dir.File("vor5.txt"));
    writer.WriteLine("new");
    writer.Close();
    EXPECT_EQ(ReadFileBytes(dir.File("charts/vor5.txt")), "new\r\n");
    EXPECT_EQ(test::ListFolder(dir.File("charts")), "vor5.txt");
}

// Where the file cannot be replaced by a new one, the same file is rewritten: the names that
// lead to it all show the new lines.
TEST(TextFileWriter, RewritesInPlaceWhereReplacingWouldLoseTheFile) {
    const struct {
        const char* name;
        std::function<void(const TempDir&)> prepare;
        const char* written;     // the name the writer is given
        const char* seen;        // another way to the same file
        const char* folder;      // the folder that must hold no temporary file
        std::string folderList;  // its names afterwards
    } cases[] = {
        {"a writable file in a folder that takes no new file",
         [](const TempDir& dir) {
             mkdir(dir.File("ro").c_str(), 0755);
             WriteFileBytes(dir.File("ro/vor5.txt"), "old\r\n");
             chmod(dir.File("ro/vor5.txt").c_str(), 0666);
             chmod(dir.File("ro").c_str(), 0555);
         },
         "ro/vor5.txt", "ro/vor5.txt", "ro", "vor5.txt"},
        {"a file with a second name",
         [](const TempDir& dir) {
             WriteFileBytes(dir.File("vor5.txt"), "old\r\n");
             chmod(dir.File("vor5.txt").c_str(), 0666);
             ASSERT_EQ(link(dir.File("vor5.txt").c_str(), dir.File("charts.txt").c_str()), 0);
         },
         "vor5.txt", "charts.txt", ".", "charts.txt vor5.txt"},
        {"a link whose file does not exist yet",
         [](const TempDir& dir) {
             mkdir(dir.File("charts").c_str(), 0777);
             chmod(dir.File("charts").c_str(), 0777);
             ASSERT_EQ(symlink("charts/vor5.txt", dir.File("vor5.txt").c_str()), 0);
         },
         "vor5.txt", "charts/vor5.txt", "charts", "vor5.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        c.prepare(dir);
        const bool wasLink = test::IsSymbolicLink(dir.File(c.written));
        {
            test::ScopedUnprivileged unprivileged;
            {
                TextFileWriter abandoned(dir.File(c.written));
                abandoned.WriteLine("lost");
            }
            TextFileWriter writer(dir.File(c.written));
            writer.WriteLine(std::string(70000, 'n'));  // more than a block
            writer.WriteLine("new");
            writer.Close();
        }
        EXPECT_EQ(ReadFileBytes(dir.File(c.seen)), std::string(70000, 'n') + "\r\nnew\r\n");
        EXPECT_EQ(ReadFileBytes(dir.File(c.written)), ReadFileBytes(dir.File(c.seen)));
        EXPECT_EQ(test::IsSymbolicLink(dir.File(c.written)), wasLink);
        EXPECT_EQ(test::ListFolder(dir.File(c.folder)), c.folderList);
    }
}

TEST(TextFileWriter, AnAbandonedRewriteInPlaceKeepsTheOldLines) {
    TempDir dir;
    WriteFileBytes(dir.File("vor5.txt"), "old\r\n");
    ASSERT_EQ(link(dir.File("vor5.txt").c_str(), dir.File("charts.txt").c_str()), 0);
    {
        TextFileWriter writer(dir.File("vor5.txt"));
        writer.WriteLine(std::string(200000, 'n'));
    }
    EXPECT_EQ(ReadFileBytes(dir.File("charts.txt")), "old\r\n");
    EXPECT_EQ(test::ListFolder(dir.Path()), "charts.txt vor5.txt");
}

int CreateFailureCode(const std::string& path) {
    try {
        TextFileWriter writer(path);
        writer.WriteLine("x");
        writer.Close();
    } catch (const EInOutError& error) {
        return error.ErrorCode();
    }
    return 0;
}

TEST(TextFileWriter, RefusedFilesLeaveEverythingAsItWas) {
    TempDir dir;
    mkdir(dir.File("ro").c_str(), 0755);
    WriteFileBytes(dir.File("ro/vor5.txt"), "old\r\n");
    chmod(dir.File("ro/vor5.txt").c_str(), 0444);
    chmod(dir.File("ro").c_str(), 0555);
    WriteFileBytes(dir.File("locked.txt"), "kept");
    chmod(dir.File("locked.txt").c_str(), 0444);
    mkdir(dir.File("folder.txt").c_str(), 0755);
    {
        test::ScopedUnprivileged unprivileged;
        EXPECT_EQ(CreateFailureCode(dir.File("ro/vor5.txt")), 5);
        EXPECT_EQ(CreateFailureCode(dir.File("ro/new.txt")), 5);
        EXPECT_EQ(CreateFailureCode(dir.File("locked.txt")), 5);
    }
    EXPECT_EQ(CreateFailureCode(dir.File("folder.txt")), 5);
    EXPECT_EQ(CreateFailureCode(dir.File("missing/x.txt")), 2);
    EXPECT_EQ(ReadFileBytes(dir.File("ro/vor5.txt")), "old\r\n");
    EXPECT_EQ(ReadFileBytes(dir.File("locked.txt")), "kept");
    EXPECT_EQ(test::ListFolder(dir.File("ro")), "vor5.txt");
    EXPECT_EQ(test::ListFolder(dir.Path()), "folder.txt locked.txt ro");
}

TEST(TextFileWriter, AWriteFailingHalfWayKeepsTheOldFile) {
    TempDir dir;
    WriteFileBytes(dir.File("vor5.txt"), "old\r\n");
    // A file size limit makes the write fail part of the way through, as a full disk does.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 100000;
    setrlimit(RLIMIT_FSIZE, &limited);
    int code = 0;
    try {
        TextFileWriter writer(dir.File("vor5.txt"));
        for (int i = 0; i < 10000; ++i)
            writer.WriteLine(std::string(98, 'x'));
        writer.Close();
    } catch (const EInOutError& error) {
        code = error.ErrorCode();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(code, 101);
    EXPECT_EQ(ReadFileBytes(dir.File("vor5.txt")), "old\r\n");
    EXPECT_EQ(test::ListFolder(dir.Path()), "vor5.txt");
}

}  // namespace
}  // namespace w20