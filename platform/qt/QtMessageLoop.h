#pragma once
// IMessageLoop on Qt's event loop: the program's message loop.
//
// Posted messages travel as queued calls to this object, so they may come
// from any thread and are delivered on the thread that owns the loop (the
// user-interface thread), in posting order. Timers and delayed calls are
// QTimers owned by the loop; a target's timers and calls are dropped when the
// target is destroyed. Timers, delayed calls and nested modal loops
// (QDialog::exec) work together: all run on the same Qt event loop.
#include <QObject>
#include <map>

#include "platform/core/MessageLoop.h"

class QTimer;

class CQtMessageLoop : public QObject, public IMessageLoop {
    Q_OBJECT
public:
    explicit CQtMessageLoop(QObject* parent = nullptr);
    ~CQtMessageLoop() override;

    void SetTimer(CMsgTarget* target, UINT id, unsigned ms) override;
    void KillTimer(CMsgTarget* target, UINT id) override;
    bool IsTimerRunning(const CMsgTarget* target, UINT id) const override;
    std::uint64_t CallLater(CMsgTarget* owner, unsigned ms, std::function<void()> fn) override;
    void CancelCall(std::uint64_t token) override;
    std::int64_t NowMicros() const override;

    // Number of timers and pending delayed calls (for diagnostics and tests).
    std::size_t TimerCount() const { return m_Timers.size(); }
    std::size_t CallCount() const { return m_Calls.size(); }

protected:
    void ForgetTarget(std::uint64_t handle) override;
    void Enqueue(PostedMessage&& message) override;

private:
    using TimerKey = std::pair<std::uint64_t, UINT>;
    struct Call {
        std::uint64_t owner;
        QTimer* timer;
        std::function<void()> fn;
    };
    void OnTimerFired(TimerKey key);
    void OnCallDue(std::uint64_t token);
    static void Discard(QTimer* timer);

    std::map<TimerKey, QTimer*> m_Timers;
    std::map<std::uint64_t, Call> m_Calls;
    std::uint64_t m_NextToken = 1;
};
