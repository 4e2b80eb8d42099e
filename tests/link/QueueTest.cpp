// The receive queue at its boundary and under two threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "link/Queue.h"

namespace {

std::vector<std::uint8_t> Pattern(int n, int seed = 0) {
    std::vector<std::uint8_t> bytes(n);
    for (int i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>((i + seed) * 7 % 251);
    return bytes;
}

void Fill(CQueue& queue, int n) {
    auto bytes = Pattern(n);
    ASSERT_TRUE(queue.PutChunk(bytes.data(), n));
    ASSERT_EQ(queue.GetCount(), n);
}

}  // namespace

TEST(QueueBoundary, ChunkThatLeavesTheLastSlotFreeFits) {
    CQueue queue;
    Fill(queue, 8100);
    auto chunk = Pattern(91, 5);
    EXPECT_TRUE(queue.PutChunk(chunk.data(), 91));
    EXPECT_EQ(queue.GetCount(), 8191);
    // Full now: a single byte is refused as well.
    EXPECT_FALSE(queue.PutByte(0x55));
    EXPECT_FALSE(queue.PutChunk(chunk.data(), 1));
    EXPECT_EQ(queue.GetCount(), 8191);
}

TEST(QueueBoundary, ChunkThatWouldFillTheLastSlotIsRefusedWhole) {
    CQueue queue;
    Fill(queue, 8100);
    auto chunk = Pattern(92, 9);
    EXPECT_FALSE(queue.PutChunk(chunk.data(), 92));
    EXPECT_EQ(queue.GetCount(), 8100);
    // Nothing of the refused chunk went in: the queue holds the old bytes only.
    auto old = Pattern(8100);
    for (int i = 0; i < 8100; ++i) {
        std::uint8_t b = 0;
        ASSERT_TRUE(queue.GetByte(b));
        ASSERT_EQ(b, old[i]) << "at " << i;
    }
    std::uint8_t b = 0;
    EXPECT_FALSE(queue.GetByte(b));
}

TEST(QueueBoundary, PutByteStopsAt8191) {
    CQueue queue;
    for (int i = 0; i < 8191; ++i) ASSERT_TRUE(queue.PutByte(static_cast<std::uint8_t>(i)));
    EXPECT_FALSE(queue.PutByte(0xAA));
    EXPECT_EQ(queue.GetCount(), 8191);
    std::uint8_t b = 0xFF;
    ASSERT_TRUE(queue.GetByte(b));
    EXPECT_EQ(b, 0);
    EXPECT_TRUE(queue.PutByte(0xAA));  // one slot freed, one byte fits
    EXPECT_FALSE(queue.PutByte(0xAB));
}

TEST(QueueOrder, WrapAroundKeepsOrderForChunksPeekAndGet) {
    CQueue queue;
    // Move both indexes close to the end of the buffer.
    Fill(queue, 8000);
    std::uint8_t b = 0;
    for (int i = 0; i < 8000; ++i) ASSERT_TRUE(queue.GetByte(b));
    ASSERT_EQ(queue.GetCount(), 0);

    auto chunk = Pattern(1000, 3);
    ASSERT_TRUE(queue.PutChunk(chunk.data(), 1000));  // crosses the end
    ASSERT_EQ(queue.GetCount(), 1000);

    std::vector<std::uint8_t> peeked(1000);
    std::uint32_t generation = 0;
    ASSERT_EQ(queue.Peek(peeked.data(), 1000, generation), 1000);
    EXPECT_EQ(peeked, chunk);
    EXPECT_EQ(queue.GetCount(), 1000);  // peeking takes nothing

    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(queue.GetByte(b));
        ASSERT_EQ(b, chunk[i]) << "at " << i;
    }
    EXPECT_FALSE(queue.GetByte(b));
}

TEST(QueueOrder, PeekIsLimitedByCountAndMax) {
    CQueue queue;
    Fill(queue, 10);
    std::uint8_t out[32] = {};
    std::uint32_t generation = 0;
    EXPECT_EQ(queue.Peek(out, 4, generation), 4);
    EXPECT_EQ(queue.Peek(out, 32, generation), 10);
    EXPECT_EQ(queue.PutChunk(out, 0), true);  // an empty chunk is a no-op
    EXPECT_EQ(queue.GetCount(), 10);
}

TEST(QueueClear, ClearEmptiesAndTheQueueStaysUsable) {
    CQueue queue;
    Fill(queue, 500);
    queue.ClearQueue();
    EXPECT_EQ(queue.GetCount(), 0);
    std::uint8_t b = 0;
    EXPECT_FALSE(queue.GetByte(b));
    ASSERT_TRUE(queue.PutByte('x'));
    ASSERT_TRUE(queue.GetByte(b));
    EXPECT_EQ(b, 'x');
}

TEST(QueueClear, DiscardTakesThePeekedBytes) {
    CQueue queue;
    Fill(queue, 10);
    std::uint8_t out[4];
    std::uint32_t generation = 0;
    ASSERT_EQ(queue.Peek(out, 4, generation), 4);
    queue.Discard(4, generation);
    EXPECT_EQ(queue.GetCount(), 6);
    std::uint8_t b = 0;
    ASSERT_TRUE(queue.GetByte(b));
    EXPECT_EQ(b, Pattern(10)[4]);
}

TEST(QueueClear, DiscardAfterAClearTakesNothing) {
    CQueue queue;
    const std::uint8_t old[] = {'a', 'b', 'c'};
    ASSERT_TRUE(queue.PutChunk(old, 3));
    std::uint8_t out[3];
    std::uint32_t generation = 0;
    ASSERT_EQ(queue.Peek(out, 3, generation), 3);

    // The consumer's view is stale: a send emptied the queue and new bytes came.
    queue.ClearQueue();
    const std::uint8_t fresh[] = {'x', 'y', 'z', 'w'};
    ASSERT_TRUE(queue.PutChunk(fresh, 4));
    queue.Discard(3, generation);

    EXPECT_EQ(queue.GetCount(), 4);
    std::uint8_t b = 0;
    ASSERT_TRUE(queue.GetByte(b));
    EXPECT_EQ(b, 'x');
}

TEST(QueueThreads, ProducerAndConsumerMoveMegabytesInOrder) {
    CQueue queue;
    constexpr int TOTAL = 2 * 1024 * 1024;
    std::atomic<bool> producerDone{false};
    std::atomic<bool> consumerGaveUp{false};

    std::thread producer([&] {
        std::vector<std::uint8_t> chunk(2048);
        int sent = 0;
        int size = 1;
        while (sent < TOTAL) {
            // Chunk sizes vary so that the write index lands everywhere.
            size = size % 2048 + 1 + (size * 13) % 97;
            if (size > 2048) size = 2048;
            int n = std::min(size, TOTAL - sent);
            for (int i = 0; i < n; ++i) chunk[i] = static_cast<std::uint8_t>((sent + i) % 251);
            while (!queue.PutChunk(chunk.data(), n)) {
                if (consumerGaveUp) return;
                std::this_thread::yield();
            }
            sent += n;
        }
        producerDone = true;
    });

    int received = 0;
    bool inOrder = true;
    while (received < TOTAL) {
        std::uint8_t b = 0;
        if (!queue.GetByte(b)) {
            if (producerDone && queue.GetCount() == 0) break;
            std::this_thread::yield();
            continue;
        }
        if (b != static_cast<std::uint8_t>(received % 251)) {
            inOrder = false;
            break;
        }
        ++received;
    }
    consumerGaveUp = true;
    producer.join();
    EXPECT_TRUE(inOrder) << "wrong byte at " << received;
    EXPECT_EQ(received, TOTAL);
    EXPECT_EQ(queue.GetCount(), 0);
}
