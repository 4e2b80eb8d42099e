#pragma once
// Circular receive queue shared by the serial watch thread (producer) and the
// user-interface thread (consumer). Every operation holds one lock.
#include <cstdint>
#include <mutex>

class CQueue {
public:
    static constexpr int QUEUE_SIZE = 8192;  // holds at most 8191 bytes

    CQueue();

    void ClearQueue();
    int GetCount() const;
    bool PutByte(std::uint8_t b);
    bool GetByte(std::uint8_t& b);

    // Puts all n bytes when the free space (QUEUE_SIZE - count) is greater
    // than n, else nothing. Returns whether they were queued.
    bool PutChunk(const std::uint8_t* bytes, int n);
    // Copies up to max queued bytes without taking them; returns the count
    // and the clear generation they belong to.
    int Peek(std::uint8_t* out, int max, std::uint32_t& generation) const;
    // Takes n bytes that Peek returned, unless the queue was cleared since.
    void Discard(int n, std::uint32_t generation);
    // Changes on every ClearQueue.
    std::uint32_t Generation() const;

private:
    int CountLocked() const { return (m_iHead - m_iTail + QUEUE_SIZE) % QUEUE_SIZE; }

    mutable std::mutex m_Lock;
    std::uint8_t m_Buff[QUEUE_SIZE];
    int m_iHead;  // write index: next free slot
    int m_iTail;  // read index: next byte to take
    std::uint32_t m_Generation = 0;  // counts ClearQueue calls
};
