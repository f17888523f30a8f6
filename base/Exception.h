#pragma once

#include <exception>
#include <string>
#include <utility>

namespace w20 {

// Root of every failure the tool reports. The message is an 8-bit text (Windows-1250) and is
// shown to the user as it stands, so derived classes build it from the system's exact texts.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}

    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// A text that does not read as the number asked for.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace w20
