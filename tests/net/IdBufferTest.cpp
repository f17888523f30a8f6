#include "net/IdBuffer.h"

#include <cstring>
#include <random>

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

TEST(SimpleBuffer, MovesBytesOnEveryRemoval) {
    TIdSimpleBuffer buffer;
    buffer.Append("0123456789");
    buffer.DropFront(4);
    EXPECT_EQ(buffer.Bytes(), "456789");
    EXPECT_EQ(buffer.TakeFront(2), "45");
    EXPECT_EQ(buffer.Bytes(), "6789");
}

TEST(SimpleBuffer, StreamReadsAndWrites) {
    TIdSimpleBuffer buffer;
    buffer.Write("hello", 5);
    EXPECT_EQ(buffer.Position(), 5u);
    buffer.SetPosition(1);
    buffer.Write("EL", 2);
    EXPECT_EQ(buffer.Bytes(), "hELlo");
    buffer.SetPosition(4);
    buffer.Write(" world", 6);  // over the end
    EXPECT_EQ(buffer.Bytes(), "hELl world");

    char out[16] = {};
    buffer.SetPosition(100);  // clipped
    EXPECT_EQ(buffer.Position(), 10u);
    EXPECT_EQ(buffer.Read(out, sizeof out), 0u);
    buffer.SetPosition(6);
    EXPECT_EQ(buffer.Read(out, sizeof out), 4u);
    EXPECT_EQ(std::string(out, 4), "orld");

    buffer.SetSize(3);
    EXPECT_EQ(buffer.Bytes(), "hEL");
    EXPECT_EQ(buffer.Position(), 3u);
    buffer.SetSize(5);
    EXPECT_EQ(buffer.Bytes(), std::string("hEL\0\0", 5));

    // Removal from the front keeps the position on the same byte.
    buffer.SetPosition(4);
    buffer.DropFront(2);
    EXPECT_EQ(buffer.Position(), 2u);
    buffer.DropFront(3);
    EXPECT_EQ(buffer.Position(), 0u);
}

TEST(ManagedBuffer, ReceiveIntoTheEndAfterConsumedPrefix) {
    // The way a receive block is used: size it, fill it in place, cut it to what arrived.
    TIdManagedBuffer buffer;
    buffer.Append("abcdef");
    buffer.DropFront(2);
    buffer.SetSize(buffer.Size() + 8);
    std::memcpy(buffer.Memory() + 4, "XYZ", 3);
    buffer.SetSize(4 + 3);
    EXPECT_EQ(buffer.Bytes(), "cdefXYZ");
    EXPECT_EQ(buffer.ConsumedCount(), 2u);
}

}  // namespace
}  // namespace w20

namespace w20 {
namespace {

// Random operations on a buffer and on a plain string that models it, with sizes that cross into
// mapped blocks and back: the two must always hold the same bytes and position.
TEST(SimpleBuffer, AgreesWithAModelAcrossBlockKinds) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        const auto below = [&random](std::size_t n) {
            return std::uniform_int_distribution<std::size_t>(0, n)(random);
        };
        TIdManagedBuffer managed;
        TIdSimpleBuffer simple;
        TIdSimpleBuffer& buffer = seed % 2 == 0 ? managed : simple;
        std::string model;
        std::size_t position = 0;
        for (int step = 0; step < 300; ++step) {
            const std::string bytes = Pattern(below(3 * TIdSimpleBuffer::MappedBlockSize / 2) + 1);
            switch (below(5)) {
                case 0:
                    buffer.Append(bytes);
                    model += bytes;
                    break;
                case 1: {
                    buffer.SetPosition(below(model.size()));
                    position = buffer.Position();
                    buffer.Write(bytes.data(), bytes.size());
                    model.replace(position, std::min(bytes.size(), model.size() - position), bytes);
                    position += bytes.size();
                    break;
                }
                case 2: {
                    const std::size_t n = below(model.size());
                    buffer.DropFront(n);
                    model.erase(0, n);
                    position = position > n ? position - n : 0;
                    break;
                }
                case 3: {
                    const std::size_t size = below(model.size() + bytes.size());
                    buffer.SetSize(size);
                    model.resize(size, '\0');
                    position = std::min(position, size);
                    break;
                }
                case 4: {
                    buffer.Reserve(model.size() + bytes.size());
                    char* room = buffer.Extend(bytes.size());
                    const std::size_t used = below(bytes.size());
                    std::memcpy(room, bytes.data(), used);
                    buffer.SetSize(model.size() + used);
                    model += bytes.substr(0, used);
                    break;
                }
            }
            ASSERT_EQ(buffer.Size(), model.size()) << "step " << step;
            ASSERT_TRUE(buffer.Bytes() == model) << "step " << step;
            ASSERT_EQ(buffer.Position(), position) << "step " << step;
        }
    }
}

}  // namespace
}  // namespace w20
