#pragma once
// The timers and delayed calls of a message loop, kept by due time on the
// loop's own clock (the virtual milliseconds of CManualMessageLoop, the
// steady microseconds of CPosixMessageLoop). A target's timers and calls go
// with it (Forget).
#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "platform/core/Messages.h"

class CTimerSchedule {
public:
    // An event taken out of the schedule: a delayed call (its function and
    // owner, 0 for none) or a tick of a timer (its target and ID).
    struct SDue {
        bool isCall = false;
        std::int64_t due = 0;
        std::uint64_t owner = 0;
        std::function<void()> fn;
        std::uint64_t target = 0;
        UINT id = 0;
    };

    // A timer of target with this ID: first due at now + period, then every
    // period; an ID that runs already restarts with the new period.
    void SetTimer(std::uint64_t target, UINT id, std::int64_t period, std::int64_t now) {
        m_Timers[{target, id}] = STimer{period, now + period};
    }
    void KillTimer(std::uint64_t target, UINT id) { m_Timers.erase({target, id}); }
    bool IsTimerRunning(std::uint64_t target, UINT id) const { return m_Timers.count({target, id}) != 0; }

    std::uint64_t AddCall(std::uint64_t owner, std::int64_t due, std::function<void()> fn) {
        const std::uint64_t token = m_NextToken++;
        m_Calls.emplace(token, SCall{owner, due, std::move(fn)});
        return token;
    }
    void CancelCall(std::uint64_t token) { m_Calls.erase(token); }

    // Drops the timers and calls of a target that is gone.
    void Forget(std::uint64_t handle);
    // The due time of the next event, or -1 when nothing is scheduled.
    std::int64_t NextDue() const;

    // Takes the earliest event due at or before limit; false when none is.
    // Ties go to delayed calls first, then timers, each in the order they
    // were made. A timer taken is scheduled for its next tick: with
    // catchUp, one period after this one (a virtual clock that jumps fires
    // every tick on the way); without, never at or before limit (a real
    // clock that fell behind fires once and goes on from now).
    bool TakeDue(std::int64_t limit, bool catchUp, SDue& event);

private:
    struct STimer {
        std::int64_t period;
        std::int64_t due;
    };
    struct SCall {
        std::uint64_t owner;
        std::int64_t due;
        std::function<void()> fn;
    };
    std::map<std::pair<std::uint64_t, UINT>, STimer> m_Timers;
    std::map<std::uint64_t, SCall> m_Calls;  // by token, tokens grow with time of creation
    std::uint64_t m_NextToken = 1;
};
