#include "net/IdBuffer.h"

#include <algorithm>
#include <cstring>

#include "net/IdExceptions.h"

namespace w20 {

void TIdSimpleBuffer::SetSize(std::size_t size) {
    data_.resize(start_ + size);
    position_ = std::min(position_, size);
}

void TIdSimpleBuffer::SetPosition(std::size_t position) {
    position_ = std::min(position, Size());
}

std::size_t TIdSimpleBuffer::Read(void* destination, std::size_t count) {
    const std::size_t n = std::min(count, Size() - position_);
    if (n > 0) std::memcpy(destination, data_.data() + start_ + position_, n);
    position_ += n;
    return n;
}

void TIdSimpleBuffer::Write(const void* source, std::size_t count) {
    if (count == 0) return;
    const std::size_t end = start_ + position_ + count;
    if (end > data_.size()) data_.resize(end);
    std::memcpy(data_.data() + start_ + position_, source, count);
    position_ += count;
}

void TIdSimpleBuffer::Append(std::string_view bytes) {
    data_.append(bytes);
}

void TIdSimpleBuffer::Clear() {
    data_.clear();
    start_ = 0;
    position_ = 0;
}

std::string TIdSimpleBuffer::TakeFront(std::size_t count) {
    if (count > Size()) throw EIdNotEnoughDataInBuffer();
    std::string front(Bytes().substr(0, count));
    DropFront(count);
    return front;
}

void TIdSimpleBuffer::DropFront(std::size_t count) {
    if (count > Size()) throw EIdNotEnoughDataInBuffer();
    if (count == 0) return;
    RemoveFront(count);
    position_ = position_ > count ? position_ - count : 0;
    if (OnRemoved) OnRemoved(count);
}

void TIdSimpleBuffer::RemoveFront(std::size_t count) {
    data_.erase(0, count);
}

void TIdManagedBuffer::RemoveFront(std::size_t count) {
    if (count == Size()) {
        data_.clear();
        start_ = 0;
        return;
    }
    start_ += count;
    if (start_ >= PackThreshold) {
        data_.erase(0, start_);
        start_ = 0;
    }
}

}  // namespace w20
