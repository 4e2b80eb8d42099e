#include "sim/SimScheduler.h"

CSimTimerQueue::CSimTimerQueue(std::function<std::int64_t()> clock) : m_Clock(std::move(clock)) {}

std::int64_t CSimTimerQueue::NowMs() const { return m_Clock ? m_Clock() : m_Now; }

ISimScheduler::TimerId CSimTimerQueue::After(std::int64_t delayMs, std::function<void()> fn) {
    TimerId id = m_NextId++;
    std::int64_t due = NowMs() + (delayMs > 0 ? delayMs : 0);
    m_Calls.emplace(Key{due, id}, std::move(fn));
    m_DueById.emplace(id, due);
    return id;
}

void CSimTimerQueue::Cancel(TimerId id) {
    auto it = m_DueById.find(id);
    if (it == m_DueById.end()) return;
    m_Calls.erase(Key{it->second, id});
    m_DueById.erase(it);
}

std::size_t CSimTimerQueue::RunDue() {
    std::size_t count = 0;
    while (!m_Calls.empty()) {
        auto first = m_Calls.begin();
        if (first->first.first > NowMs()) break;
        std::function<void()> fn = std::move(first->second);
        m_DueById.erase(first->first.second);
        m_Calls.erase(first);
        fn();
        ++count;
    }
    return count;
}

void CSimTimerQueue::Advance(std::int64_t ms) {
    std::int64_t target = m_Now + (ms > 0 ? ms : 0);
    while (!m_Calls.empty() && m_Calls.begin()->first.first <= target) {
        if (m_Calls.begin()->first.first > m_Now) m_Now = m_Calls.begin()->first.first;
        RunDue();
    }
    m_Now = target;
    RunDue();
}

bool CSimTimerQueue::AdvanceToNext() {
    if (m_Calls.empty()) return false;
    std::int64_t due = m_Calls.begin()->first.first;
    if (due > m_Now) m_Now = due;
    RunDue();
    return true;
}

std::int64_t CSimTimerQueue::NextDue() const { return m_Calls.empty() ? -1 : m_Calls.begin()->first.first; }
