#pragma once

#include <cstddef>
#include <functional>
#include <string>

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
    // Writes at the position through the stream's own memory, so that a receive can put the bytes
    // there without a copy: fill gets room for count bytes and returns how many it wrote there
    // (at most count); the content then ends after them and the position moves past them. A fill
    // that raises leaves the content ending at the position, and the exception goes on. False,
    // without calling fill, when the stream has no such memory, or when it would have to grow its
    // storage and grow is clear: Write then.
    using LandFill = std::function<std::size_t(char* room, std::size_t count)>;
    virtual bool Land(std::size_t count, bool grow, const LandFill& fill) {
        static_cast<void>(count);
        static_cast<void>(grow);
        static_cast<void>(fill);
        return false;
    }

    // The rule by which a stream's storage grows when its content must reach end bytes and its
    // size was not reserved ahead: to the next power of two, and past LargeStep at once to at
    // least LargeRoom. Content that large whose end nobody announced is likely to be larger still;
    // room never written costs address space (on some systems committed memory), while every
    // doubling would copy the whole content and touch as much fresh memory again.
    static constexpr std::size_t LargeStep = std::size_t{1} << 20;
    static constexpr std::size_t LargeRoom = std::size_t{256} << 20;
    static std::size_t GrownRoom(std::size_t end);
};

// A stream over a text of its own, which TakeText hands over without a copy.
//
// The text lies in one block, which asks for large pages before anything is copied in. An empty
// stream reserves exactly what it is told; one that holds bytes grows by GrownRoom.
class TIdStringStream : public TIdStream {
public:
    std::size_t Size() const override { return text_.size(); }
    void SetSize(std::size_t size) override;
    std::size_t Position() const override { return position_; }
    void SetPosition(std::size_t position) override;
    std::size_t Read(void* destination, std::size_t count) override;
    void Write(const void* source, std::size_t count) override;
    void Reserve(std::size_t size) override;
    bool Land(std::size_t count, bool grow, const LandFill& fill) override;

    const std::string& Text() const { return text_; }
    // The content, moved out; the stream is empty afterwards.
    std::string TakeText();

private:
    // Makes room for at least end bytes: exactly that many, or by GrownRoom.
    void Grow(std::size_t end, bool exact);

    std::string text_;
    std::size_t position_ = 0;
};

}  // namespace w20
