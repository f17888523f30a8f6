#include "net/IdStream.h"

#include <algorithm>
#include <bit>
#include <cstring>
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

char* TIdStringStream::Room(std::size_t count, bool grow) {
    const std::size_t end = position_ + count;
    if (end > text_.capacity() && !grow)
        return nullptr;
    Grow(end, false);
    // The new bytes are left as they are: the receive that asked for them writes them next, and
    // the content is cut back to the bytes written.
    if (end > text_.size())
        text_.resize_and_overwrite(end, [](char*, std::size_t size) { return size; });
    return text_.data() + position_;
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
