#pragma once
// Delayed calls for the simulated module. The module never waits: it asks
// its scheduler to call it back later (finger delay, scan time-out). Tests
// drive a virtual clock; the pseudo-terminal transport a real one.
#include <cstdint>
#include <functional>
#include <map>
#include <utility>

class ISimScheduler {
public:
    using TimerId = std::uint64_t;
    virtual ~ISimScheduler() = default;
    virtual std::int64_t NowMs() const = 0;
    // Calls fn once, delayMs from now (0: at the next run). Never calls it
    // from inside After itself.
    virtual TimerId After(std::int64_t delayMs, std::function<void()> fn) = 0;
    // Forgets a call that has not run yet; unknown ids are ignored.
    virtual void Cancel(TimerId id) = 0;
};

// Timer queue with either a virtual clock (moved by Advance) or a real one
// (a clock function, with RunDue called by the owner's thread).
class CSimTimerQueue : public ISimScheduler {
public:
    explicit CSimTimerQueue(std::function<std::int64_t()> clock = {});

    std::int64_t NowMs() const override;
    TimerId After(std::int64_t delayMs, std::function<void()> fn) override;
    void Cancel(TimerId id) override;

    // Runs every call due by now, in time order, including calls that become
    // due because a handler scheduled them with delay 0. Returns the count.
    std::size_t RunDue();
    // Virtual clock: moves forward by ms, running every call on the way at its
    // own time.
    void Advance(std::int64_t ms);
    // Virtual clock: jumps to the next call and runs everything due then.
    bool AdvanceToNext();

    // Due time of the earliest call, or -1 when none is pending.
    std::int64_t NextDue() const;
    std::size_t Pending() const { return m_Calls.size(); }

private:
    using Key = std::pair<std::int64_t, TimerId>;  // due time, then creation order
    std::function<std::int64_t()> m_Clock;
    std::int64_t m_Now = 0;  // virtual clock
    TimerId m_NextId = 1;
    std::map<Key, std::function<void()>> m_Calls;
    std::map<TimerId, std::int64_t> m_DueById;
};
