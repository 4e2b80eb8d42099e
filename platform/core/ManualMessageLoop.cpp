#include "platform/core/ManualMessageLoop.h"

#include <chrono>

CManualMessageLoop::CManualMessageLoop() = default;
CManualMessageLoop::~CManualMessageLoop() = default;

void CManualMessageLoop::Enqueue(PostedMessage&& message) {
    {
        std::lock_guard<std::mutex> lock(m_QueueLock);
        m_Queue.push_back(std::move(message));
    }
    m_QueueSignal.notify_all();
}

std::size_t CManualMessageLoop::PendingCount() const {
    std::lock_guard<std::mutex> lock(m_QueueLock);
    return m_Queue.size();
}

bool CManualMessageLoop::RunOne() {
    PostedMessage message;
    {
        std::lock_guard<std::mutex> lock(m_QueueLock);
        if (m_Queue.empty()) return false;
        message = std::move(m_Queue.front());
        m_Queue.pop_front();
    }
    Deliver(message);
    return true;
}

std::size_t CManualMessageLoop::RunPending() {
    std::size_t delivered = 0;
    for (;;) {
        PostedMessage message;
        {
            std::lock_guard<std::mutex> lock(m_QueueLock);
            if (m_Queue.empty()) break;
            message = std::move(m_Queue.front());
            m_Queue.pop_front();
        }
        Deliver(message);
        ++delivered;
    }
    return delivered;
}

bool CManualMessageLoop::RunUntil(const std::function<bool()>& done, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        RunPending();
        if (done()) return true;
        std::unique_lock<std::mutex> lock(m_QueueLock);
        if (!m_QueueSignal.wait_until(lock, deadline, [this] { return !m_Queue.empty(); })) {
            lock.unlock();
            RunPending();
            return done();
        }
    }
}

void CManualMessageLoop::SetTimer(CMsgTarget* target, UINT id, unsigned ms) {
    m_Timers[{target->Handle(), id}] = Timer{static_cast<std::int64_t>(ms), m_Now + ms};
}

void CManualMessageLoop::KillTimer(CMsgTarget* target, UINT id) {
    m_Timers.erase({target->Handle(), id});
}

bool CManualMessageLoop::IsTimerRunning(const CMsgTarget* target, UINT id) const {
    return m_Timers.count({target->Handle(), id}) != 0;
}

std::uint64_t CManualMessageLoop::CallLater(CMsgTarget* owner, unsigned ms, std::function<void()> fn) {
    std::uint64_t token = m_NextToken++;
    m_Calls.emplace(token, Call{owner ? owner->Handle() : 0, m_Now + ms, std::move(fn)});
    return token;
}

void CManualMessageLoop::CancelCall(std::uint64_t token) { m_Calls.erase(token); }

void CManualMessageLoop::ForgetTarget(std::uint64_t handle) {
    for (auto it = m_Timers.begin(); it != m_Timers.end();) {
        it = it->first.first == handle ? m_Timers.erase(it) : std::next(it);
    }
    for (auto it = m_Calls.begin(); it != m_Calls.end();) {
        it = it->second.owner == handle ? m_Calls.erase(it) : std::next(it);
    }
}

std::int64_t CManualMessageLoop::NextDue() const {
    std::int64_t next = -1;
    for (const auto& t : m_Timers) {
        if (next < 0 || t.second.due < next) next = t.second.due;
    }
    for (const auto& c : m_Calls) {
        if (next < 0 || c.second.due < next) next = c.second.due;
    }
    return next;
}

// Fires the earliest event due at or before limit. Ties go to delayed calls
// first, then timers, each in creation order.
bool CManualMessageLoop::FireNextUntil(std::int64_t limit) {
    auto call = m_Calls.end();
    for (auto it = m_Calls.begin(); it != m_Calls.end(); ++it) {
        if (it->second.due <= limit && (call == m_Calls.end() || it->second.due < call->second.due)) call = it;
    }
    auto timer = m_Timers.end();
    for (auto it = m_Timers.begin(); it != m_Timers.end(); ++it) {
        if (it->second.due <= limit && (timer == m_Timers.end() || it->second.due < timer->second.due)) timer = it;
    }
    if (call == m_Calls.end() && timer == m_Timers.end()) return false;

    if (call != m_Calls.end() && (timer == m_Timers.end() || call->second.due <= timer->second.due)) {
        m_Now = call->second.due;
        std::function<void()> fn = std::move(call->second.fn);
        std::uint64_t owner = call->second.owner;
        m_Calls.erase(call);
        if (owner == 0 || IsAlive(owner)) fn();
    } else {
        m_Now = timer->second.due;
        auto key = timer->first;
        timer->second.due += timer->second.period > 0 ? timer->second.period : 1;
        Deliver(PostedMessage{key.first, WM_TIMER, key.second, 0, {}});
    }
    RunPending();
    return true;
}

void CManualMessageLoop::AdvanceTo(std::int64_t when) {
    RunPending();
    while (FireNextUntil(when)) {
    }
    if (when > m_Now) m_Now = when;
    RunPending();
}

void CManualMessageLoop::Advance(std::int64_t ms) { AdvanceTo(m_Now + ms); }

bool CManualMessageLoop::AdvanceToNext() {
    std::int64_t next = NextDue();
    if (next < 0) return false;
    RunPending();
    FireNextUntil(next);
    return true;
}
