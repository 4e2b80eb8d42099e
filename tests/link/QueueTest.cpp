// The receive queue at its boundary, across the end of its buffer and under two threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "link/Queue.h"

namespace {
using Bytes = std::vector<std::uint8_t>;
Bytes TakeAll(CQueue& queue) {
    Bytes out;
    for (std::uint8_t b = 0; queue.GetByte(b);) out.push_back(b);
    return out;
}
}  // namespace

// 8191 bytes at most: with 8100 queued, 91 more fit and 92 are refused whole.
// Then chunks, Peek and GetByte cross the end of the buffer, and a consumer
// that peeked before a clear does not discard the bytes that came after it.
TEST(Queue, BoundaryWrapAndDiscardAfterAClear) {
    for (int extra : {91, 92}) {
        SCOPED_TRACE(extra);
        const bool fits = extra == 91;
        CQueue queue;
        Bytes expected(8100, 0x11);
        const Bytes chunk(extra, 0x22);
        ASSERT_TRUE(queue.PutChunk(expected.data(), 8100));
        EXPECT_EQ(queue.PutChunk(chunk.data(), extra), fits);
        if (fits) expected.insert(expected.end(), chunk.begin(), chunk.end());
        EXPECT_EQ(queue.PutByte(0x33), !fits);  // full at 8191: a single byte is refused too
        if (!fits) expected.push_back(0x33);
        EXPECT_EQ(TakeAll(queue), expected);  // nothing of a refused chunk went in

        const std::uint8_t old[] = {'a', 'b', 'c', 'd'}, fresh[] = {'x', 'y', 'z'};
        std::uint8_t out[8];
        std::uint32_t generation = 0;
        ASSERT_TRUE(queue.PutChunk(old, 4));  // crosses the end (after 91)
        ASSERT_EQ(queue.Peek(out, 8, generation), 4);
        EXPECT_EQ(Bytes(out, out + 4), Bytes(old, old + 4));
        queue.Discard(1, generation);
        EXPECT_EQ(TakeAll(queue), Bytes(old + 1, old + 4));
        ASSERT_TRUE(queue.PutChunk(old, 2));
        ASSERT_EQ(queue.Peek(out, 8, generation), 2);
        queue.ClearQueue();  // a send emptied the queue, then new bytes came
        ASSERT_TRUE(queue.PutChunk(fresh, 3));
        queue.Discard(2, generation);
        EXPECT_EQ(TakeAll(queue), Bytes(fresh, fresh + 3));
    }
}

// The watch thread puts chunks of varied sizes while the user-interface
// thread peeks and discards, as the packet manager does.
TEST(Queue, ProducerAndConsumerThreadsKeepEveryByteInOrder) {
    CQueue queue;
    constexpr int TOTAL = 256 * 1024;
    std::atomic<bool> stop{false};
    std::thread producer([&] {
        std::uint8_t chunk[2048];
        for (int sent = 0, size = 1; sent < TOTAL && !stop; sent += size) {
            size = std::min(size * 13 % 2039 + 1, TOTAL - sent);
            for (int i = 0; i < size; ++i) chunk[i] = static_cast<std::uint8_t>((sent + i) % 251);
            while (!queue.PutChunk(chunk, size) && !stop) std::this_thread::yield();
        }
    });
    std::uint8_t buffer[3000];
    int received = 0, wrong = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (received < TOTAL && std::chrono::steady_clock::now() < deadline) {
        std::uint32_t generation = 0;
        const int n = queue.Peek(buffer, 1 + received % 3000, generation);
        for (int i = 0; i < n; ++i) wrong += buffer[i] != static_cast<std::uint8_t>((received + i) % 251);
        queue.Discard(n, generation);
        received += n;
        if (n == 0) std::this_thread::yield();
    }
    stop = true;
    producer.join();
    EXPECT_EQ(received, TOTAL);
    EXPECT_EQ(wrong, 0);
}
