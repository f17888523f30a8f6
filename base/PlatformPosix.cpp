#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>

#include "base/LargePages.h"
#include "base/Platform.h"

namespace w20::platform {
namespace {

int LastError() {
    return IoErrorCodeFromSystem(errno);
}

int Descriptor(FileHandle file) {
    return static_cast<int>(file);
}

}  // namespace

int IoErrorCodeFromSystem(int code) {
    switch (code) {
        case ENOENT:
            return 2;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EINVAL:
            return 3;
        case EMFILE:
        case ENFILE:
            return 4;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            return 5;
        case EBADF:
            return 6;
        case ENOMEM:
            return 8;
        case EXDEV:
            return 17;
        case EBUSY:
            return 32;
        case EEXIST:
            return 80;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return 101;
        default:
            return 1117;  // the generic device I/O error
    }
}

int OpenToRead(const std::string& name, FileHandle& file) {
    const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return LastError();
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        close(fd);
        return IoErrorCodeFromSystem(EISDIR);
    }
    file = fd;
    return 0;
}

int ReadSome(FileHandle file, char* buffer, std::size_t size, std::size_t& got) {
    ssize_t result;
    do {
        result = read(Descriptor(file), buffer, size);
    } while (result < 0 && errno == EINTR);
    if (result < 0)
        return LastError();
    got = static_cast<std::size_t>(result);
    return 0;
}

int WriteAll(FileHandle file, const char* bytes, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = write(Descriptor(file), bytes + done, size - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return LastError();
        done += static_cast<std::size_t>(put);
    }
    return 0;
}

int Commit(FileHandle file) {
    return fsync(Descriptor(file)) == 0 ? 0 : LastError();
}

int CloseFile(FileHandle file) {
    return close(Descriptor(file)) == 0 ? 0 : LastError();
}

// Relative link targets count from the link's folder.
std::string FollowLinks(const std::string& name) {
    std::string path = name;
    for (int depth = 0; depth < 40; ++depth) {
        char target[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
        if (length <= 0)
            return path;
        const std::string text(target, static_cast<std::size_t>(length));
        path = text.front() == '/' ? text : FolderOf(path) + text;
    }
    return path;  // a loop of links: opening it reports the loop
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int ProbeWritable(const std::string& path, bool& exists, bool& otherNames) {
    exists = false;
    otherNames = false;
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? 0 : LastError();
    exists = true;
    struct stat info {};
    otherNames = fstat(fd, &info) == 0 && info.st_nlink > 1;
    close(fd);
    return 0;
}

int CreateNew(const std::string& path, FileHandle& file) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return LastError();
    file = fd;
    return 0;
}

int OpenInPlace(const std::string& path, FileHandle& file) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return LastError();
    file = fd;
    return 0;
}

int TruncateToZero(FileHandle file) {
    return ftruncate(Descriptor(file), 0) == 0 ? 0 : LastError();
}

int ReplaceWith(const std::string& complete, const std::string& target) {
    struct stat old {};
    if (stat(target.c_str(), &old) == 0)
        chmod(complete.c_str(), old.st_mode & 07777);
    return rename(complete.c_str(), target.c_str()) == 0 ? 0 : LastError();
}

void RemoveQuietly(const std::string& path) {
    unlink(path.c_str());
}

ClockReading ReadLocalClock() {
    using namespace std::chrono;
    const auto since = system_clock::now().time_since_epoch();
    const std::time_t seconds = duration_cast<std::chrono::seconds>(since).count();
    const int millis = static_cast<int>(duration_cast<milliseconds>(since).count() % 1000);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        gmtime_r(&seconds, &local);
    return ClockReading{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                        local.tm_min,         local.tm_sec,     millis};
}

bool LocalOffsetSeconds(std::time_t moment, long& secondsEast) {
    std::tm local{};
    if (localtime_r(&moment, &local) == nullptr)
        return false;
    secondsEast = local.tm_gmtoff;
    return true;
}

}  // namespace w20::platform

namespace w20 {

void AskForLargePages(void* block, std::size_t size) {
    // Large pages are 2 MiB here. Only the whole ones inside the block are asked for, so that the
    // advice never reaches memory the block shares with others.
    constexpr std::uintptr_t LargePage = std::uintptr_t{2} << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + LargePage - 1) & ~(LargePage - 1);
    const std::uintptr_t last = (start + size) & ~(LargePage - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace w20
