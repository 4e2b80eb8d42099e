#pragma once
// Message loop for tests: a queue pumped by hand and a virtual clock.
// Ten 80-second time-outs take as long as it takes to run their handlers.
#include <condition_variable>
#include <deque>
#include <map>
#include <vector>

#include "platform/core/MessageLoop.h"
#include "platform/core/TimerSchedule.h"

class CManualMessageLoop : public IMessageLoop {
public:
    CManualMessageLoop();
    ~CManualMessageLoop() override;

    // Virtual time in milliseconds since the loop was made.
    std::int64_t Now() const { return m_Now; }

    // Delivers posted messages, including those posted while it runs, until
    // none is left. Returns how many were delivered.
    std::size_t RunPending();
    // Delivers only the oldest waiting message; false when none waits.
    bool RunOne();

    // Moves the clock forward by ms, firing every timer and delayed call that
    // falls due on the way in time order, and delivering the posted messages
    // after each one.
    void Advance(std::int64_t ms);
    void AdvanceTo(std::int64_t when);

    // Advances the clock to the next timer or delayed call and fires it.
    // Returns false when nothing is scheduled.
    bool AdvanceToNext();

    // Delivers messages posted by other threads (a serial watch thread), waiting
    // in real time up to timeoutMs for done() to become true. The virtual
    // clock does not move. Returns done().
    bool RunUntil(const std::function<bool()>& done, int timeoutMs = 5000);

    std::size_t PendingCount() const;
    // Due time of the next timer or call, or -1 when nothing is scheduled.
    std::int64_t NextDue() const;

    void SetTimer(CMsgTarget* target, UINT id, unsigned ms) override;
    void KillTimer(CMsgTarget* target, UINT id) override;
    bool IsTimerRunning(const CMsgTarget* target, UINT id) const override;
    std::uint64_t CallLater(CMsgTarget* owner, unsigned ms, std::function<void()> fn) override;
    void CancelCall(std::uint64_t token) override;
    std::int64_t NowMicros() const override { return m_Now * 1000; }

protected:
    void ForgetTarget(std::uint64_t handle) override;
    void Enqueue(PostedMessage&& message) override;

private:
    bool FireNextUntil(std::int64_t limit);

    std::int64_t m_Now = 0;
    mutable std::mutex m_QueueLock;
    std::condition_variable m_QueueSignal;
    std::deque<PostedMessage> m_Queue;
    CTimerSchedule m_Schedule;
};
