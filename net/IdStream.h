#pragma once

#include <cstddef>

namespace w20 {

// A seekable byte stream: where a connection reads a body to, or sends one from.
class TIdStream {
public:
    TIdStream() = default;
    virtual ~TIdStream() = default;
    TIdStream(const TIdStream&) = delete;
    TIdStream& operator=(const TIdStream&) = delete;

    virtual std::size_t Size() const = 0;
    // Cuts the content or grows it with zero bytes; the position stays within the content.
    virtual void SetSize(std::size_t size) = 0;
    virtual std::size_t Position() const = 0;
    // A position beyond the content is clipped to its end.
    virtual void SetPosition(std::size_t position) = 0;
    // Reads at most count bytes from the position on and moves past them; returns how many.
    virtual std::size_t Read(void* destination, std::size_t count) = 0;
    // Writes at the position, over the content and beyond its end, and moves past the bytes.
    virtual void Write(const void* source, std::size_t count) = 0;
    // A hint that the content will reach size bytes; changes neither content nor position.
    virtual void Reserve(std::size_t size) { static_cast<void>(size); }
};

}  // namespace w20
