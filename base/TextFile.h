#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/Exception.h"

// The text-file facility: files named without a path live in the current working directory;
// the bytes are 8-bit text and pass unchanged.
namespace w20 {

// A failed file operation. The code follows the runtime's numbering (2 file not found,
// 5 access denied, 101 disk full, ...) and chooses the message.
class EInOutError : public Exception {
public:
    explicit EInOutError(int code);
    int ErrorCode() const noexcept { return code_; }

private:
    int code_;
};

// "File not found", "Disk full", ..., or "I/O error %d" for a code without a text of its own.
std::string IoErrorMessage(int code);

// Reads lines: a line ends at CR LF or at a lone CR, and a lone LF stays inside the line.
// A Ctrl-Z byte ends the file; reading past the end gives empty lines.
class TextFileReader {
public:
    explicit TextFileReader(const std::string& name);
    ~TextFileReader();
    TextFileReader(const TextFileReader&) = delete;
    TextFileReader& operator=(const TextFileReader&) = delete;

    std::string ReadLine();
    bool Eof();
    void Close();

private:
    bool Fill();  // false at the end of the data

    std::intptr_t file_ = -1;
    std::string buffer_;
    std::size_t next_ = 0;
    bool ended_ = false;
};

// Writes a file anew, every line followed by CR LF. The lines go to a temporary file beside the
// target, which replaces the target only when Close succeeds: a failed or abandoned write leaves
// the previous file exactly as it was, and no temporary file behind. Links are written through.
// A file with other names (hard links), or in a folder that takes no new file, is rewritten in
// place at Close instead, so that an abandoned write still leaves it as it was.
class TextFileWriter {
public:
    explicit TextFileWriter(const std::string& name);
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    void WriteLine(std::string_view line);
    void Close();

private:
    void Flush();
    [[noreturn]] void Fail(int code);
    void Discard() noexcept;

    std::string target_;
    std::string temporary_;
    std::intptr_t file_ = -1;
    bool inPlace_ = false;
    std::string pending_;
};

}  // namespace w20
