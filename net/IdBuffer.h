#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace w20 {

// A growable in-memory byte stream with removal from the front.
class TIdSimpleBuffer {
public:
    TIdSimpleBuffer() = default;
    virtual ~TIdSimpleBuffer() = default;
    TIdSimpleBuffer(const TIdSimpleBuffer&) = delete;
    TIdSimpleBuffer& operator=(const TIdSimpleBuffer&) = delete;

    // The owner's notice of every removal from the front, with the byte count.
    std::function<void(std::size_t count)> OnRemoved;

    std::size_t Size() const { return data_.size() - start_; }
    // Cuts the content or grows it with zero bytes; the position stays within the content.
    void SetSize(std::size_t size);
    std::size_t Position() const { return position_; }
    void SetPosition(std::size_t position);
    // Reads at most count bytes from the position on and moves past them; returns how many.
    std::size_t Read(void* destination, std::size_t count);
    // Writes at the position, over the content and beyond its end, and moves past the bytes.
    void Write(const void* source, std::size_t count);
    // Adds bytes at the end; the position stays.
    void Append(std::string_view bytes);
    void Clear();

    std::string_view Bytes() const { return std::string_view(data_).substr(start_); }
    // The content, writable in place (for a receive straight into the buffer).
    char* Memory() { return data_.data() + start_; }

    // The first count bytes, removed; raises EIdNotEnoughDataInBuffer, changing nothing, when
    // fewer are held.
    std::string TakeFront(std::size_t count);
    void DropFront(std::size_t count);

protected:
    // Removes count bytes of the content, which holds at least that many, by the buffer's rule.
    virtual void RemoveFront(std::size_t count);

    std::string data_;
    std::size_t start_ = 0;     // bytes before the content that are already consumed
    std::size_t position_ = 0;  // counted from the start of the content
};

// The input queue of a connection: removal from the front only counts the consumed bytes, and
// moves the rest to the front once PackThreshold bytes have been consumed.
class TIdManagedBuffer : public TIdSimpleBuffer {
public:
    static constexpr std::size_t PackThreshold = 32768;

    std::size_t ConsumedCount() const { return start_; }

protected:
    void RemoveFront(std::size_t count) override;
};

}  // namespace w20
