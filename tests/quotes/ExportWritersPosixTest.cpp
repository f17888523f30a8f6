#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <functional>
#include <optional>

#include "base/TextFile.h"
#include "quotes/ExportWriters.h"
#include "tests/quotes/ExportWritersCases.h"

// Export files that cannot be written, made so with POSIX file modes, users and size limits.
namespace w20::test {
namespace {

// A file size limit makes writing fail part of the way through, as a full disk does.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) : previousHandler_(signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~ScopedFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int);
};

// The file facility raises the error, the old file stays and nothing else of the call is written.
struct FailureCase {
    const char* name;
    Format format;
    std::function<void(const TempDir&)> prepare;
    bool unprivileged;
    rlim_t sizeLimit;  // 0: none
    std::string message;
    Files after;
};

TEST(ExportWriters, AFailedFileKeepsTheOldOneAndEndsTheWriting) {
    const std::string oneIndexLine = Lines({"20020926,0935,1235.00,1237.00,1234.50,1236.00,900"});
    const FailureCase cases[] = {
        {"MetaStock: a read-only file in a read-only folder",
         Format::MetaStock,
         [](const TempDir& dir) {
             WriteFileBytes(dir.File("vor5.txt"), "old\r\n");
             chmod(dir.File("vor5.txt").c_str(), 0444);
             chmod(dir.Path().c_str(), 0555);
         },
         true,
         0,
         "File access denied",
         {{"vor5.txt", "old\r\n"}}},
        {"Omega: read-only files in a read-only folder",
         Format::Omega,
         [](const TempDir& dir) {
             WriteFileBytes(dir.File("w20vor5.txt"), "i\r\n");
             WriteFileBytes(dir.File("fw20vor5.txt"), "f\r\n");
             chmod(dir.File("w20vor5.txt").c_str(), 0444);
             chmod(dir.File("fw20vor5.txt").c_str(), 0444);
             chmod(dir.Path().c_str(), 0555);
         },
         true,
         0,
         "File access denied",
         {{"w20vor5.txt", "i\r\n"}, {"fw20vor5.txt", "f\r\n"}}},
        {"Omega with a locked index file: the future file is not written",
         Format::Omega,
         [](const TempDir& dir) {
             WriteFileBytes(dir.File("w20vor5.txt"), "i\r\n");
             chmod(dir.File("w20vor5.txt").c_str(), 0444);
             chmod(dir.Path().c_str(), 0777);  // the future file could be created
         },
         true,
         0,
         "File access denied",
         {{"w20vor5.txt", "i\r\n"}}},
        {"Omega with a folder in the future file's place",
         Format::Omega,
         [](const TempDir& dir) { mkdir(dir.File("fw20vor5.txt").c_str(), 0755); },
         false,
         0,
         "File access denied",
         {{"w20vor5.txt", oneIndexLine}, {"fw20vor5.txt", "<folder>"}}},
        {"MetaStock: disk full half-way",
         Format::MetaStock,
         [](const TempDir& dir) { WriteFileBytes(dir.File("vor5.txt"), "old\r\n"); },
         false,
         100000,
         "Disk full",
         {{"vor5.txt", "old\r\n"}}},
        {"Omega: disk full half-way through the index file",
         Format::Omega,
         [](const TempDir& dir) {
             WriteFileBytes(dir.File("w20vor5.txt"), "i\r\n");
             WriteFileBytes(dir.File("fw20vor5.txt"), "f\r\n");
         },
         false,
         100000,
         "Disk full",
         {{"w20vor5.txt", "i\r\n"}, {"fw20vor5.txt", "f\r\n"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        test::ScopedWorkingDirectory cwd(dir.Path());
        c.prepare(dir);
        FakeWindow window;
        // A text that fits a file only without a size limit; the first line is never in an Omega file.
        std::string text = Lines({Index1, Index2});
        for (int i = 0; i < (c.sizeLimit > 0 ? 4000 : 0); ++i)
            text += Lines({Index1, Future1});
        window.setText(text);
        std::string message;
        {
            std::optional<test::ScopedUnprivileged> unprivileged;
            if (c.unprivileged)
                unprivileged.emplace();
            std::optional<ScopedFileSizeLimit> limit;
            if (c.sizeLimit > 0)
                limit.emplace(c.sizeLimit);
            try {
                Write(c.format, window, Mode(""));
            } catch (const EInOutError& error) {
                message = error.Message();
            }
        }
        chmod(dir.Path().c_str(), 0755);
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(FolderFiles(dir.Path()), c.after);  // no temporary file either
        // A file refused at once has shown no line.
        if (c.sizeLimit == 0) {
            EXPECT_EQ(window.lastFuturesLine, "FW20 - last");
        }
    }
}

}  // namespace
}  // namespace w20::test
