#include "base/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>

#include "base/Format.h"

namespace w20 {
namespace {

constexpr std::size_t BlockSize = 64 * 1024;
constexpr char CtrlZ = '\x1a';

[[noreturn]] void RaiseErrno() {
    throw EInOutError(IoErrorCodeFromErrno(errno));
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Export files are often links into the charting program's folder: write through the link, also
// when its target does not exist yet, so that the link stays a link. Relative targets count from
// the link's folder.
std::string ResolveLink(const std::string& name) {
    std::string path = name;
    for (int depth = 0; depth < 40; ++depth) {
        char target[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
        if (length < 0)
            return path;
        const std::string text(target, static_cast<std::size_t>(length));
        path = text.front() == '/' ? text : DirectoryOf(path) + text;
    }
    return path;  // a loop of links: the open below reports it
}

std::string RandomSuffix() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    return Format("%016llx", static_cast<unsigned long long>(generator()));
}

}  // namespace

std::string IoErrorMessage(int code) {
    switch (code) {
        case 2:
            return "File not found";
        case 3:
            return "Invalid filename";
        case 4:
            return "Too many open files";
        case 5:
            return "File access denied";
        case 100:
            return "Read beyond end of file";
        case 101:
            return "Disk full";
        case 106:
            return "Invalid numeric input";
        default:
            return Format("I/O error %d", code);
    }
}

int IoErrorCodeFromErrno(int error) {
    switch (error) {
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
            return 1117;  // the platform's generic device I/O error
    }
}

EInOutError::EInOutError(int code) : Exception(IoErrorMessage(code)), code_(code) {}

TextFileReader::TextFileReader(const std::string& name) {
    fd_ = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        RaiseErrno();
    struct stat info {};
    if (fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
        close(fd_);
        fd_ = -1;
        throw EInOutError(IoErrorCodeFromErrno(EISDIR));
    }
}

TextFileReader::~TextFileReader() {
    if (fd_ >= 0)
        close(fd_);
}

bool TextFileReader::Fill() {
    if (ended_)
        return false;
    if (next_ < buffer_.size())
        return true;
    buffer_.resize(BlockSize);
    next_ = 0;
    ssize_t got;
    do {
        got = read(fd_, buffer_.data(), buffer_.size());
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        buffer_.clear();
        RaiseErrno();
    }
    buffer_.resize(static_cast<std::size_t>(got));
    if (got == 0)
        ended_ = true;
    return got > 0;
}

bool TextFileReader::Eof() {
    return !Fill() || buffer_[next_] == CtrlZ;
}

std::string TextFileReader::ReadLine() {
    std::string line;
    while (Fill()) {
        const std::size_t start = next_;
        while (next_ < buffer_.size() && buffer_[next_] != '\r' && buffer_[next_] != CtrlZ)
            ++next_;
        line.append(buffer_, start, next_ - start);
        if (next_ == buffer_.size())
            continue;
        if (buffer_[next_] == CtrlZ) {
            ended_ = true;
            break;
        }
        ++next_;  // the CR; a LF right after it belongs to the same line end
        if (Fill() && buffer_[next_] == '\n')
            ++next_;
        break;
    }
    return line;
}

void TextFileReader::Close() {
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0)
        RaiseErrno();
}

TextFileWriter::TextFileWriter(const std::string& name) : target_(ResolveLink(name)) {
    // A target that may not be written stays refused, as when it was overwritten in place.
    // Another name of the same file (a hard link) must see the new lines: such a file is
    // rewritten in place.
    const int probe = open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    struct stat info {};
    if (probe >= 0) {
        inPlace_ = fstat(probe, &info) == 0 && info.st_nlink > 1;
        close(probe);
    } else if (errno != ENOENT) {
        RaiseErrno();
    }
    const std::string base = target_.substr(DirectoryOf(target_).size());
    for (int attempt = 0; fd_ < 0 && !inPlace_; ++attempt) {
        temporary_ = DirectoryOf(target_) + "." + base + "." + RandomSuffix() + ".tmp";
        fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0)
            break;
        const int error = errno;
        temporary_.clear();
        // A folder that takes no new file still lets a writable file be rewritten in place.
        if (error == EACCES || error == EPERM || error == EROFS) {
            inPlace_ = true;
        } else if (error != EEXIST || attempt == 8) {
            throw EInOutError(IoErrorCodeFromErrno(error));
        }
    }
    if (inPlace_) {
        fd_ = open(target_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ < 0)
            RaiseErrno();
    }
}

TextFileWriter::~TextFileWriter() {
    Discard();
}

void TextFileWriter::WriteLine(std::string_view line) {
    if (fd_ < 0)
        throw EInOutError(103);  // "file not open"
    pending_.append(line);
    pending_.append("\r\n");
    // In place, the old content stays untouched until Close.
    if (pending_.size() >= BlockSize && !inPlace_)
        Flush();
}

void TextFileWriter::Flush() {
    std::size_t done = 0;
    while (done < pending_.size()) {
        const ssize_t put = write(fd_, pending_.data() + done, pending_.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0) {
            const int error = errno;
            Discard();
            throw EInOutError(IoErrorCodeFromErrno(error));
        }
        done += static_cast<std::size_t>(put);
    }
    pending_.clear();
}

void TextFileWriter::Close() {
    if (fd_ < 0)
        throw EInOutError(103);
    if (inPlace_ && ftruncate(fd_, 0) != 0) {
        const int error = errno;
        Discard();
        throw EInOutError(IoErrorCodeFromErrno(error));
    }
    Flush();
    struct stat old {};
    if (!inPlace_ && stat(target_.c_str(), &old) == 0)
        fchmod(fd_, old.st_mode & 07777);
    const int fd = fd_;
    fd_ = -1;
    int error = fsync(fd) == 0 ? 0 : errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && !inPlace_ && rename(temporary_.c_str(), target_.c_str()) != 0)
        error = errno;
    if (error != 0) {
        Discard();
        throw EInOutError(IoErrorCodeFromErrno(error));
    }
    temporary_.clear();
}

void TextFileWriter::Discard() noexcept {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        unlink(temporary_.c_str());
    temporary_.clear();
    pending_.clear();
}

}  // namespace w20
