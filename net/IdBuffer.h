#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "net/IdStream.h"

namespace w20 {

// A growable in-memory byte stream with removal from the front.
//
// The bytes live in one block of the C heap rather than in a string, so that room reserved ahead
// is not cleared. An empty buffer reserves exactly what it is told; one that holds bytes grows by
// GrownRoom.
class TIdSimpleBuffer : public TIdStream {
public:
    TIdSimpleBuffer() = default;
    ~TIdSimpleBuffer() override;

    // The owner's notice of every removal from the front, with the byte count.
    std::function<void(std::size_t count)> OnRemoved;

    std::size_t Size() const override { return length_ - start_; }
    void SetSize(std::size_t size) override;
    std::size_t Position() const override { return position_; }
    void SetPosition(std::size_t position) override;
    std::size_t Read(void* destination, std::size_t count) override;
    void Write(const void* source, std::size_t count) override;
    void Reserve(std::size_t size) override;
    bool Land(std::size_t count, bool grow, const LandFill& fill) override;
    // Adds bytes at the end; the position stays.
    void Append(std::string_view bytes);
    // Adds count bytes of no particular value at the end and returns where they begin: room for
    // a receive straight into the buffer, cut to what arrived with SetSize afterwards.
    char* Extend(std::size_t count);
    void Clear();

    std::string_view Bytes() const { return std::string_view(data_ + start_, Size()); }
    // The content, writable in place.
    char* Memory() { return data_ + start_; }

    // The first count bytes, removed; raises EIdNotEnoughDataInBuffer, changing nothing, when
    // fewer are held.
    std::string TakeFront(std::size_t count);
    void DropFront(std::size_t count);

protected:
    // Removes count bytes of the content, which holds at least that many, by the buffer's rule.
    virtual void RemoveFront(std::size_t count);
    // Moves the content to the start of the block, forgetting the consumed bytes before it.
    void Pack();

    std::size_t start_ = 0;  // bytes before the content that are already consumed

private:
    // Makes room for length bytes in all, consumed prefix included.
    void Grow(std::size_t length, bool exact);

    char* data_ = nullptr;
    std::size_t length_ = 0;  // bytes in use, consumed prefix included
    std::size_t capacity_ = 0;
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
