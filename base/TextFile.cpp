#include "base/TextFile.h"

#include <random>

#include "base/Format.h"
#include "base/Platform.h"

namespace w20 {
namespace {

constexpr std::size_t BlockSize = 64 * 1024;
constexpr char CtrlZ = '\x1a';
constexpr int FileExists = 80;
constexpr int AccessDenied = 5;

void Check(int code) {
    if (code != 0)
        throw EInOutError(code);
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

EInOutError::EInOutError(int code) : Exception(IoErrorMessage(code)), code_(code) {}

TextFileReader::TextFileReader(const std::string& name) {
    Check(platform::OpenToRead(name, file_));
}

TextFileReader::~TextFileReader() {
    if (file_ != platform::NoFile)
        platform::CloseFile(file_);
}

bool TextFileReader::Fill() {
    if (ended_)
        return false;
    if (next_ < buffer_.size())
        return true;
    buffer_.resize(BlockSize);
    next_ = 0;
    std::size_t got = 0;
    if (const int code = platform::ReadSome(file_, buffer_.data(), buffer_.size(), got)) {
        buffer_.clear();
        throw EInOutError(code);
    }
    buffer_.resize(got);
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
    if (file_ == platform::NoFile)
        return;
    const platform::FileHandle file = file_;
    file_ = platform::NoFile;
    Check(platform::CloseFile(file));
}

TextFileWriter::TextFileWriter(const std::string& name) : target_(platform::FollowLinks(name)) {
    // A target that may not be written stays refused, as when it was overwritten in place.
    // Another name of the same file (a hard link) must see the new lines: such a file is
    // rewritten in place.
    bool exists = false;
    Check(platform::ProbeWritable(target_, exists, inPlace_));
    const std::string folder = platform::FolderOf(target_);
    const std::string base = target_.substr(folder.size());
    for (int attempt = 0; !inPlace_; ++attempt) {
        temporary_ = folder + "." + base + "." + RandomSuffix() + ".tmp";
        const int code = platform::CreateNew(temporary_, file_);
        if (code == 0)
            return;
        temporary_.clear();
        // A folder that takes no new file still lets a writable file be rewritten in place.
        if (code == AccessDenied) {
            inPlace_ = true;
        } else if (code != FileExists || attempt == 8) {
            throw EInOutError(code);
        }
    }
    Check(platform::OpenInPlace(target_, file_));
}

TextFileWriter::~TextFileWriter() {
    Discard();
}

void TextFileWriter::WriteLine(std::string_view line) {
    if (file_ == platform::NoFile)
        throw EInOutError(103);  // "file not open"
    pending_.append(line);
    pending_.append("\r\n");
    // In place, the old content stays untouched until Close.
    if (pending_.size() >= BlockSize && !inPlace_)
        Flush();
}

void TextFileWriter::Fail(int code) {
    Discard();
    throw EInOutError(code);
}

void TextFileWriter::Flush() {
    if (const int code = platform::WriteAll(file_, pending_.data(), pending_.size()))
        Fail(code);
    pending_.clear();
}

void TextFileWriter::Close() {
    if (file_ == platform::NoFile)
        throw EInOutError(103);
    if (inPlace_) {
        if (const int code = platform::TruncateToZero(file_))
            Fail(code);
    }
    Flush();
    const platform::FileHandle file = file_;
    file_ = platform::NoFile;
    int code = platform::Commit(file);
    if (const int closed = platform::CloseFile(file); code == 0)
        code = closed;
    if (code == 0 && !inPlace_)
        code = platform::ReplaceWith(temporary_, target_);
    if (code != 0)
        Fail(code);
    temporary_.clear();
}

void TextFileWriter::Discard() noexcept {
    if (file_ != platform::NoFile)
        platform::CloseFile(file_);
    file_ = platform::NoFile;
    if (!temporary_.empty())
        platform::RemoveQuietly(temporary_);
    temporary_.clear();
    pending_.clear();
}

}  // namespace w20
