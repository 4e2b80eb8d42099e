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
    while (RunOne()) ++delivered;
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
    m_Schedule.SetTimer(target->Handle(), id, static_cast<std::int64_t>(ms), m_Now);
}

void CManualMessageLoop::KillTimer(CMsgTarget* target, UINT id) { m_Schedule.KillTimer(target->Handle(), id); }

bool CManualMessageLoop::IsTimerRunning(const CMsgTarget* target, UINT id) const {
    return m_Schedule.IsTimerRunning(target->Handle(), id);
}

std::uint64_t CManualMessageLoop::CallLater(CMsgTarget* owner, unsigned ms, std::function<void()> fn) {
    return m_Schedule.AddCall(owner ? owner->Handle() : 0, m_Now + ms, std::move(fn));
}

void CManualMessageLoop::CancelCall(std::uint64_t token) { m_Schedule.CancelCall(token); }

void CManualMessageLoop::ForgetTarget(std::uint64_t handle) { m_Schedule.Forget(handle); }

std::int64_t CManualMessageLoop::NextDue() const { return m_Schedule.NextDue(); }

// Fires the earliest event due at or before limit, the clock moved to it;
// a timer that falls due again before limit fires again on the way.
bool CManualMessageLoop::FireNextUntil(std::int64_t limit) {
    CTimerSchedule::SDue event;
    if (!m_Schedule.TakeDue(limit, true, event)) return false;
    m_Now = event.due;
    if (!event.isCall) {
        Deliver(PostedMessage{event.target, WM_TIMER, event.id, 0, {}});
    } else if (event.owner == 0 || IsAlive(event.owner)) {
        event.fn();
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
