#pragma once
// IMessageLoop in real time without any GUI: the command-line program's loop.
//
// One thread runs the loop (Run, RunUntil); it waits in ppoll on an eventfd
// that other threads signal when they post (a serial watch thread), on the
// descriptors it was asked to watch, and until the next timer or delayed
// call is due (steady clock, to the microsecond). Posted messages are
// delivered in posting order; after them, due timers and calls fire one at a
// time, earliest first, each followed by the messages it posted. Timers are
// periodic like window timers; one that fell behind fires once and resumes
// its period from then. A target's timers and calls end with the target.
//
// Several module clients and their jobs can share one loop: everything they
// do runs on its thread, one handler at a time.
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "platform/core/MessageLoop.h"
#include "platform/core/TimerSchedule.h"

class CPosixMessageLoop : public IMessageLoop {
public:
    CPosixMessageLoop();
    ~CPosixMessageLoop() override;

    // Runs until Quit().
    void Run();
    // Runs until done() holds (tested after every message, timer and call)
    // or timeoutMs has passed (-1: no limit); returns done(). Also ends on Quit().
    bool RunUntil(const std::function<bool()>& done, int timeoutMs = -1);
    // Thread-safe: ends Run or RunUntil once the handler under way returns;
    // made while no run is under way, it ends the next one at once. Each
    // quit ends one run.
    void Quit();

    // Calls fn on the loop thread whenever fd is readable, hung up or in
    // error, until Unwatch(fd). fd stays the caller's.
    void Watch(int fd, std::function<void()> fn);
    void Unwatch(int fd);

    // Microseconds on the loop's steady clock.
    static std::int64_t MonotonicMicros();
    std::int64_t NowMicros() const override { return MonotonicMicros(); }

    void SetTimer(CMsgTarget* target, UINT id, unsigned ms) override;
    void KillTimer(CMsgTarget* target, UINT id) override;
    bool IsTimerRunning(const CMsgTarget* target, UINT id) const override;
    std::uint64_t CallLater(CMsgTarget* owner, unsigned ms, std::function<void()> fn) override;
    void CancelCall(std::uint64_t token) override;

protected:
    void ForgetTarget(std::uint64_t handle) override;
    void Enqueue(PostedMessage&& message) override;

private:
    struct SWatch {
        int fd;
        std::function<void()> fn;
    };

    // Delivers the oldest posted message; false when none is waiting.
    bool DeliverOne();
    // Fires the earliest timer or call due by now; true when one fired.
    bool FireDue(std::int64_t now);
    // Waits for a post, a watched descriptor or until dueUs (-1: no limit).
    void Wait(std::int64_t dueUs);

    int m_WakeFd = -1;
    std::atomic<bool> m_bQuit{false};
    mutable std::mutex m_QueueLock;
    std::deque<PostedMessage> m_Queue;
    CTimerSchedule m_Schedule;  // in microseconds of NowMicros
    std::vector<SWatch> m_Watches;
};
