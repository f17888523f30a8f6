#include "net/IdStream.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <utility>

#include "base/LargePages.h"

namespace w20 {

std::size_t TIdStream::GrownRoom(std::size_t end) {
    return std::max(std::bit_ceil(end), end > LargeStep ? LargeRoom : 0);
}

void TIdStringStream::SetSize(std::size_t size) {
    Grow(size, false);
    text_.resize(size);
    position_ = std::min(position_, size);
}

void TIdStringStream::SetPosition(std::size_t position) {
    position_ = std::min(position, text_.size());
}

std::size_t TIdStringStream::Read(void* destination, std::size_t count) {
    const std::size_t n = std::min(count, text_.size() - position_);
    if (n > 0)
        std::memcpy(destination, text_.data() + position_, n);
    position_ += n;
    return n;
}

void TIdStringStream::Write(const void* source, std::size_t count) {
    Grow(position_ + count, false);
    const char* const bytes = static_cast<const char*>(source);
    const std::size_t over = std::min(count, text_.size() - position_);
    if (over > 0)
        std::memcpy(text_.data() + position_, bytes, over);
    text_.append(bytes + over, count - over);
    position_ += count;
}

void TIdStringStream::Reserve(std::size_t size) {
    Grow(size, text_.empty());
}

bool TIdStringStream::Land(std::size_t count, bool grow, const LandFill& fill) {
    const std::size_t start = position_;
    const std::size_t end = start + count;
    if (end > text_.capacity() && !grow)
        return false;
    Grow(end, false);
    // The text keeps exactly the bytes the callback returns, all of them written: those before
    // the position and what fill wrote. No exception may leave the callback, so a failure is
    // carried past it, with the content cut back to the position.
    std::exception_ptr failure;
    std::size_t written = 0;
    text_.resize_and_overwrite(end, [&](char* data, std::size_t) noexcept {
        try {
            written = std::min(fill(data + start, count), count);
        } catch (...) {
            failure = std::current_exception();
        }
        return start + written;
    });
    if (failure)
        std::rethrow_exception(failure);
    position_ = start + written;
    return true;
}

void TIdStringStream::Grow(std::size_t end, bool exact) {
    if (end <= text_.capacity())
        return;
    std::string grown;
    grown.reserve(exact ? end : GrownRoom(end));
    AskForLargePages(grown.data(), grown.capacity());
    grown.append(text_);
    text_.swap(grown);
}

std::string TIdStringStream::TakeText() {
    position_ = 0;
    return std::exchange(text_, std::string());
}

}  // namespace w20
