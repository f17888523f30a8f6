#include "net/IdBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/LargePages.h"
#include "net/IdExceptions.h"

namespace w20 {

TIdSimpleBuffer::~TIdSimpleBuffer() {
    std::free(data_);
}

void TIdSimpleBuffer::Grow(std::size_t length, bool exact) {
    if (length <= capacity_)
        return;
    const std::size_t capacity = exact ? length : std::max(GrownRoom(length), std::size_t{256});
    // A new block rather than realloc, so that it asks for large pages before the bytes are
    // copied in and first touch it.
    char* const grown = static_cast<char*>(std::malloc(capacity));
    if (grown == nullptr)
        throw std::bad_alloc();
    AskForLargePages(grown, capacity);
    if (length_ > 0)
        std::memcpy(grown, data_, length_);
    std::free(data_);
    data_ = grown;
    capacity_ = capacity;
}

void TIdSimpleBuffer::SetSize(std::size_t size) {
    const std::size_t length = start_ + size;
    if (length > length_) {
        Grow(length, false);
        std::memset(data_ + length_, 0, length - length_);
    }
    length_ = length;
    position_ = std::min(position_, size);
}

void TIdSimpleBuffer::SetPosition(std::size_t position) {
    position_ = std::min(position, Size());
}

std::size_t TIdSimpleBuffer::Read(void* destination, std::size_t count) {
    const std::size_t n = std::min(count, Size() - position_);
    if (n > 0)
        std::memcpy(destination, data_ + start_ + position_, n);
    position_ += n;
    return n;
}

void TIdSimpleBuffer::Write(const void* source, std::size_t count) {
    if (count == 0)
        return;
    const std::size_t at = start_ + position_;
    Grow(at + count, false);
    std::memcpy(data_ + at, source, count);
    length_ = std::max(length_, at + count);
    position_ += count;
}

void TIdSimpleBuffer::Reserve(std::size_t size) {
    // Exactly what an empty buffer is told; one that holds bytes grows as when written, so that a
    // hint per piece of a body does not move it piece by piece.
    Grow(start_ + size, Size() == 0);
}

void TIdSimpleBuffer::Append(std::string_view bytes) {
    if (bytes.empty())
        return;
    std::memcpy(Extend(bytes.size()), bytes.data(), bytes.size());
}

bool TIdSimpleBuffer::Land(std::size_t count, bool grow, const LandFill& fill) {
    const std::size_t at = start_ + position_;
    if (at + count > capacity_ && !grow)
        return false;
    Grow(at + count, false);
    // Cut first, so that a fill that raises leaves the content ending at the position.
    length_ = at;
    const std::size_t written = std::min(fill(data_ + at, count), count);
    length_ = at + written;
    position_ += written;
    return true;
}

char* TIdSimpleBuffer::Extend(std::size_t count) {
    Grow(length_ + count, false);
    char* const end = data_ + length_;
    length_ += count;
    return end;
}

void TIdSimpleBuffer::Clear() {
    length_ = 0;
    start_ = 0;
    position_ = 0;
}

std::string TIdSimpleBuffer::TakeFront(std::size_t count) {
    if (count > Size())
        throw EIdNotEnoughDataInBuffer();
    std::string front(Bytes().substr(0, count));
    DropFront(count);
    return front;
}

void TIdSimpleBuffer::DropFront(std::size_t count) {
    if (count > Size())
        throw EIdNotEnoughDataInBuffer();
    if (count == 0)
        return;
    RemoveFront(count);
    position_ = position_ > count ? position_ - count : 0;
    if (OnRemoved)
        OnRemoved(count);
}

void TIdSimpleBuffer::Pack() {
    if (start_ == 0)
        return;
    const std::size_t size = Size();
    if (size > 0)
        std::memmove(data_, data_ + start_, size);
    start_ = 0;
    length_ = size;
}

void TIdSimpleBuffer::RemoveFront(std::size_t count) {
    start_ += count;
    Pack();
}

void TIdManagedBuffer::RemoveFront(std::size_t count) {
    if (count == Size()) {
        Clear();
        return;
    }
    start_ += count;
    if (start_ >= PackThreshold)
        Pack();
}

}  // namespace w20
