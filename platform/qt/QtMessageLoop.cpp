#include "platform/qt/QtMessageLoop.h"

#include <chrono>

#include <QMetaObject>
#include <QTimer>

CQtMessageLoop::CQtMessageLoop(QObject* parent) : QObject(parent) {}

CQtMessageLoop::~CQtMessageLoop() {
    // The timers are children of this object and go with it; the calls'
    // functions are dropped unrun.
    m_Timers.clear();
    m_Calls.clear();
}

void CQtMessageLoop::Enqueue(PostedMessage&& message) {
    // A queued call is thread-safe and runs on this object's thread. Pending
    // calls die with the loop object.
    QMetaObject::invokeMethod(
        this, [this, message = std::move(message)]() { Deliver(message); }, Qt::QueuedConnection);
}

// A timer may be stopped from inside its own timeout handler: stop it at once
// and delete it when control is back in the event loop.
void CQtMessageLoop::Discard(QTimer* timer) {
    timer->stop();
    timer->disconnect();
    timer->deleteLater();
}

void CQtMessageLoop::SetTimer(CMsgTarget* target, UINT id, unsigned ms) {
    if (!target) return;
    TimerKey key{target->Handle(), id};
    auto it = m_Timers.find(key);
    if (it != m_Timers.end()) {
        // Same ID: restart with the new period.
        it->second->start(static_cast<int>(ms));
        return;
    }
    auto* timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, key]() { OnTimerFired(key); });
    m_Timers.emplace(key, timer);
    timer->start(static_cast<int>(ms));
}

void CQtMessageLoop::KillTimer(CMsgTarget* target, UINT id) {
    if (!target) return;
    auto it = m_Timers.find({target->Handle(), id});
    if (it == m_Timers.end()) return;
    Discard(it->second);
    m_Timers.erase(it);
}

bool CQtMessageLoop::IsTimerRunning(const CMsgTarget* target, UINT id) const {
    return target && m_Timers.count({target->Handle(), id}) != 0;
}

void CQtMessageLoop::OnTimerFired(TimerKey key) {
    if (m_Timers.count(key) == 0) return;  // killed meanwhile
    Deliver(PostedMessage{key.first, WM_TIMER, key.second, 0, {}});
}

std::uint64_t CQtMessageLoop::CallLater(CMsgTarget* owner, unsigned ms, std::function<void()> fn) {
    std::uint64_t token = m_NextToken++;
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, token]() { OnCallDue(token); });
    m_Calls.emplace(token, Call{owner ? owner->Handle() : 0, timer, std::move(fn)});
    timer->start(static_cast<int>(ms));
    return token;
}

void CQtMessageLoop::CancelCall(std::uint64_t token) {
    auto it = m_Calls.find(token);
    if (it == m_Calls.end()) return;
    Discard(it->second.timer);
    m_Calls.erase(it);
}

void CQtMessageLoop::OnCallDue(std::uint64_t token) {
    auto it = m_Calls.find(token);
    if (it == m_Calls.end()) return;
    std::function<void()> fn = std::move(it->second.fn);
    std::uint64_t owner = it->second.owner;
    Discard(it->second.timer);
    m_Calls.erase(it);
    if (owner == 0 || IsAlive(owner)) fn();
}

void CQtMessageLoop::ForgetTarget(std::uint64_t handle) {
    for (auto it = m_Timers.begin(); it != m_Timers.end();) {
        if (it->first.first == handle) {
            Discard(it->second);
            it = m_Timers.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = m_Calls.begin(); it != m_Calls.end();) {
        if (it->second.owner == handle) {
            Discard(it->second.timer);
            it = m_Calls.erase(it);
        } else {
            ++it;
        }
    }
}

std::int64_t CQtMessageLoop::NowMicros() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
