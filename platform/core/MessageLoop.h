#pragma once
// Numbered messages, per-target timers and delayed calls.
//
// A target (CMsgTarget) registers with one loop for its whole life. Messages
// may be posted to it from any thread; they are delivered on the loop's
// thread through the target's WindowProc, and dropped if the target has been
// destroyed meanwhile. Timers are periodic like window timers: they fire
// every period until killed, and starting a timer with an ID that runs
// already restarts it with the new period.
//
// Two implementations: CQtMessageLoop (platform/qt) runs on Qt's event loop
// for the program; CManualMessageLoop keeps a queue and a virtual clock for
// tests.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/core/Messages.h"

class CMsgTarget;

struct PostedMessage {
    std::uint64_t target = 0;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    // Kept alive until the handler has returned (for example the copy of an
    // answer packet that wParam points at).
    std::shared_ptr<const void> payload;
};

class IMessageLoop {
public:
    virtual ~IMessageLoop() = default;

    // Thread-safe. Returns false when the target no longer exists.
    bool Post(CMsgTarget* target, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0,
              std::shared_ptr<const void> payload = {});
    // The same for a target known by its handle: one that may be gone by now
    // is no danger, the message is dropped.
    bool PostTo(std::uint64_t handle, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0,
                std::shared_ptr<const void> payload = {});
    // Loop thread only: runs the target's handler at once and returns its result.
    LRESULT Send(CMsgTarget* target, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

    // Loop thread only.
    virtual void SetTimer(CMsgTarget* target, UINT id, unsigned ms) = 0;
    virtual void KillTimer(CMsgTarget* target, UINT id) = 0;
    virtual bool IsTimerRunning(const CMsgTarget* target, UINT id) const = 0;
    // One-shot call after ms milliseconds; dropped when the owner is destroyed
    // or the returned token is cancelled.
    virtual std::uint64_t CallLater(CMsgTarget* owner, unsigned ms, std::function<void()> fn) = 0;
    virtual void CancelCall(std::uint64_t token) = 0;
    // The loop's monotonic clock in microseconds (the virtual clock of the
    // test loop), the time base of its timers.
    virtual std::int64_t NowMicros() const = 0;

protected:
    friend class CMsgTarget;
    std::uint64_t Register(CMsgTarget* target);
    void Unregister(CMsgTarget* target);
    // Called after a target left the registry: drop its timers and calls.
    virtual void ForgetTarget(std::uint64_t handle) = 0;
    // Thread-safe: store the message for delivery on the loop thread.
    virtual void Enqueue(PostedMessage&& message) = 0;
    // Loop thread: deliver to the target if it still exists.
    void Deliver(const PostedMessage& message);
    bool IsAlive(std::uint64_t handle) const;

private:
    mutable std::mutex m_RegistryLock;
    std::unordered_map<std::uint64_t, CMsgTarget*> m_Targets;
    std::uint64_t m_NextHandle = 1;
};

// Base of every class that receives messages.
class CMsgTarget {
public:
    explicit CMsgTarget(IMessageLoop& loop);
    virtual ~CMsgTarget();
    CMsgTarget(const CMsgTarget&) = delete;
    CMsgTarget& operator=(const CMsgTarget&) = delete;

    IMessageLoop& Loop() const { return m_Loop; }
    std::uint64_t Handle() const { return m_Handle; }

    bool PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return m_Loop.Post(this, msg, wParam, lParam);
    }
    void SetTimer(UINT id, unsigned ms) { m_Loop.SetTimer(this, id, ms); }
    void KillTimer(UINT id) { m_Loop.KillTimer(this, id); }

    // Every message for this target arrives here, on the loop thread.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) = 0;

private:
    IMessageLoop& m_Loop;
    std::uint64_t m_Handle;
};

// One table from message number (or control ID) to handler per class:
//   static const MessageEntry<CFoo> table[] = {{WM_TIMER, &CFoo::OnTimer}, ...};
//   return DispatchMessage(this, table, msg, w, l);
template <class T>
struct MessageEntry {
    UINT msg;
    LRESULT (T::*handler)(WPARAM, LPARAM);
};

template <class T, std::size_t N>
bool DispatchMessage(T* self, const MessageEntry<T> (&table)[N], UINT msg, WPARAM w, LPARAM l,
                     LRESULT* result = nullptr) {
    for (const auto& entry : table) {
        if (entry.msg == msg) {
            LRESULT r = (self->*entry.handler)(w, l);
            if (result) *result = r;
            return true;
        }
    }
    return false;
}
