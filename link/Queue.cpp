#include "link/Queue.h"

#include <algorithm>
#include <cstring>

CQueue::CQueue() { ClearQueue(); }

void CQueue::ClearQueue() {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_iHead = m_iTail = 0;
    std::memset(m_Buff, 0, sizeof m_Buff);
    ++m_Generation;
}

int CQueue::GetCount() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return CountLocked();
}

bool CQueue::PutByte(std::uint8_t b) {
    std::lock_guard<std::mutex> lock(m_Lock);
    if (CountLocked() == QUEUE_SIZE - 1) return false;
    m_Buff[m_iHead] = b;
    m_iHead = (m_iHead + 1) % QUEUE_SIZE;
    return true;
}

bool CQueue::GetByte(std::uint8_t& b) {
    std::lock_guard<std::mutex> lock(m_Lock);
    if (CountLocked() == 0) return false;
    b = m_Buff[m_iTail];
    m_iTail = (m_iTail + 1) % QUEUE_SIZE;
    return true;
}

bool CQueue::PutChunk(const std::uint8_t* bytes, int n) {
    if (n <= 0) return true;
    std::lock_guard<std::mutex> lock(m_Lock);
    if (QUEUE_SIZE - CountLocked() <= n) return false;
    int first = std::min(n, QUEUE_SIZE - m_iHead);
    std::memcpy(m_Buff + m_iHead, bytes, first);
    std::memcpy(m_Buff, bytes + first, n - first);
    m_iHead = (m_iHead + n) % QUEUE_SIZE;
    return true;
}

int CQueue::Peek(std::uint8_t* out, int max, std::uint32_t& generation) const {
    std::lock_guard<std::mutex> lock(m_Lock);
    generation = m_Generation;
    int n = std::min(max, CountLocked());
    int first = std::min(n, QUEUE_SIZE - m_iTail);
    std::memcpy(out, m_Buff + m_iTail, first);
    std::memcpy(out + first, m_Buff, n - first);
    return n;
}

void CQueue::Discard(int n, std::uint32_t generation) {
    std::lock_guard<std::mutex> lock(m_Lock);
    if (generation != m_Generation) return;
    n = std::min(n, CountLocked());
    m_iTail = (m_iTail + n) % QUEUE_SIZE;
}

std::uint32_t CQueue::Generation() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Generation;
}
