#include "net/IdBuffer.h"

#include <cstring>
#include <random>
#include <stdexcept>

#include <gtest/gtest.h>

#include "net/IdExceptions.h"

namespace w20 {
namespace {

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}

TEST(Buffers, RemovingMoreThanHeldChangesNothing) {
    TIdSimpleBuffer simple;
    TIdManagedBuffer managed;
    for (TIdSimpleBuffer* buffer : {&simple, static_cast<TIdSimpleBuffer*>(&managed)}) {
        std::vector<std::size_t> notices;
        buffer->OnRemoved = [&](std::size_t n) { notices.push_back(n); };
        buffer->Append("abcdef");
        buffer->DropFront(1);
        const struct {
            std::size_t count;
            bool take;
        } cases[] = {{6, true}, {6, false}, {100, true}, {static_cast<std::size_t>(-1), false}};
        for (const auto& c : cases) {
            try {
                if (c.take) {
                    buffer->TakeFront(c.count);
                } else {
                    buffer->DropFront(c.count);
                }
                ADD_FAILURE() << "no exception for " << c.count;
            } catch (const EIdNotEnoughDataInBuffer& e) {
                EXPECT_EQ(e.Message(), "Not enough data in buffer.");
            }
            EXPECT_EQ(buffer->Bytes(), "bcdef");
        }
        EXPECT_EQ(buffer->TakeFront(5), "bcdef");
        EXPECT_EQ(buffer->TakeFront(0), "");
        EXPECT_EQ(buffer->Size(), 0u);
        EXPECT_EQ(notices, (std::vector<std::size_t>{1, 5}));
    }
}

TEST(ManagedBuffer, MovesNoBytesUntilThresholdConsumed) {
    TIdManagedBuffer buffer;
    const std::string content = Pattern(40000);
    buffer.Append(content);
    const char* const base = buffer.Memory();

    std::size_t consumed = 0;
    while (consumed + 1000 < TIdManagedBuffer::PackThreshold) {
        EXPECT_EQ(buffer.TakeFront(1000), content.substr(consumed, 1000));
        consumed += 1000;
        EXPECT_EQ(buffer.ConsumedCount(), consumed);
        EXPECT_EQ(buffer.Memory(), base + consumed) << "bytes were moved after " << consumed;
        EXPECT_EQ(buffer.Size(), content.size() - consumed);
    }
    EXPECT_EQ(consumed, 32000u);
    buffer.DropFront(768);  // reaches 32768 exactly
    EXPECT_EQ(buffer.ConsumedCount(), 0u);
    EXPECT_EQ(buffer.Size(), content.size() - 32768);
    EXPECT_EQ(buffer.Bytes(), content.substr(32768));

    buffer.Append("tail");  // always at the end
    EXPECT_EQ(buffer.Bytes(), content.substr(32768) + "tail");
}

TEST(ManagedBuffer, ConsumingEverythingClearsAtOnce) {
    TIdManagedBuffer buffer;
    buffer.Append(Pattern(100));
    buffer.DropFront(40);
    EXPECT_EQ(buffer.ConsumedCount(), 40u);
    buffer.DropFront(60);
    EXPECT_EQ(buffer.ConsumedCount(), 0u);
    EXPECT_EQ(buffer.Size(), 0u);
    buffer.Append("new");
    EXPECT_EQ(buffer.Bytes(), "new");
    EXPECT_EQ(buffer.Position(), 0u);
}

// Random operations on a stream and on a plain string that models it: the two must always hold
// the same bytes and position, also when a managed buffer keeps a consumed prefix. The buffers'
// own operations (appending, removal from the front) are mixed in where the stream has them.
TEST(Streams, AgreeWithAModel) {
    for (unsigned seed = 1; seed <= 9; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        const auto below = [&random](std::size_t n) {
            return std::uniform_int_distribution<std::size_t>(0, n)(random);
        };
        TIdManagedBuffer managed;
        TIdSimpleBuffer simple;
        TIdStringStream text;
        TIdStream* const streams[] = {&simple, &managed, &text};
        TIdStream& stream = *streams[seed % 3];
        TIdSimpleBuffer* const buffer = dynamic_cast<TIdSimpleBuffer*>(&stream);
        const auto memory = [&] { return buffer != nullptr ? buffer->Memory() : text.Text().data(); };
        std::string model;
        std::size_t position = 0;
        for (int step = 0; step < 300; ++step) {
            const std::string bytes = Pattern(below(100000) + 1);
            switch (below(buffer != nullptr ? 6 : 3)) {
                case 0: {
                    stream.SetPosition(below(model.size()));
                    position = stream.Position();
                    stream.Write(bytes.data(), bytes.size());
                    model.replace(position, std::min(bytes.size(), model.size() - position), bytes);
                    position += bytes.size();
                    break;
                }
                case 1: {
                    // Memory lent at the position and written in part; a fill that raises keeps
                    // nothing past the position. Without leave to grow, the stream may refuse,
                    // and then nothing changes.
                    stream.SetPosition(below(model.size()));
                    position = stream.Position();
                    stream.Reserve(below(model.size() + 2 * bytes.size()));
                    const std::size_t used = below(bytes.size());
                    const bool raises = below(3) == 0;
                    char* lent = nullptr;
                    const auto fill = [&](char* room, std::size_t) {
                        lent = room;
                        std::memcpy(room, bytes.data(), used);
                        if (raises)
                            throw std::runtime_error("fill");
                        return used;
                    };
                    bool landed = false;
                    bool thrown = false;
                    try {
                        landed = stream.Land(bytes.size(), below(1) == 1, fill);
                    } catch (const std::runtime_error&) {
                        thrown = true;
                    }
                    ASSERT_EQ(landed, lent != nullptr && !raises) << "step " << step;
                    ASSERT_EQ(thrown, lent != nullptr && raises) << "step " << step;
                    if (lent == nullptr)
                        break;  // refused: the checks below find nothing changed
                    ASSERT_EQ(lent, memory() + position) << "step " << step;
                    const std::size_t kept = raises ? 0 : used;
                    model.resize(position);
                    model += bytes.substr(0, kept);
                    position += kept;
                    break;
                }
                case 2: {
                    const std::size_t size = below(model.size() + bytes.size());
                    stream.SetSize(size);
                    model.resize(size, '\0');
                    position = std::min(position, size);
                    break;
                }
                case 3: {
                    const std::size_t asked = below(model.size() + 10);
                    stream.SetPosition(asked);  // beyond the end: clipped
                    position = std::min(asked, model.size());
                    ASSERT_EQ(stream.Position(), position) << "step " << step;
                    std::string out(below(bytes.size()), '\0');
                    const std::size_t n = stream.Read(out.data(), out.size());
                    ASSERT_EQ(n, std::min(out.size(), model.size() - position)) << "step " << step;
                    ASSERT_TRUE(out.compare(0, n, model, position, n) == 0) << "step " << step;
                    position += n;
                    break;
                }
                case 4:
                    buffer->Append(bytes);
                    model += bytes;
                    break;
                case 5: {
                    const std::size_t n = below(model.size());
                    buffer->DropFront(n);
                    model.erase(0, n);
                    position = position > n ? position - n : 0;
                    break;
                }
                case 6: {
                    char* room = buffer->Extend(bytes.size());
                    const std::size_t used = below(bytes.size());
                    std::memcpy(room, bytes.data(), used);
                    buffer->SetSize(model.size() + used);
                    model += bytes.substr(0, used);
                    break;
                }
            }
            ASSERT_EQ(stream.Size(), model.size()) << "step " << step;
            ASSERT_TRUE(std::string_view(memory(), stream.Size()) == model) << "step " << step;
            ASSERT_EQ(stream.Position(), position) << "step " << step;
        }
        if (buffer == nullptr) {
            EXPECT_EQ(text.TakeText(), model);
            EXPECT_EQ(text.Size(), 0u);
            EXPECT_EQ(text.Position(), 0u);
        }
    }
}

}  // namespace
}  // namespace w20
