#include "platform/core/TimerSchedule.h"

void CTimerSchedule::Forget(std::uint64_t handle) {
    for (auto it = m_Timers.begin(); it != m_Timers.end();) {
        it = it->first.first == handle ? m_Timers.erase(it) : std::next(it);
    }
    for (auto it = m_Calls.begin(); it != m_Calls.end();) {
        it = it->second.owner == handle ? m_Calls.erase(it) : std::next(it);
    }
}

std::int64_t CTimerSchedule::NextDue() const {
    std::int64_t next = -1;
    for (const auto& t : m_Timers) {
        if (next < 0 || t.second.due < next) next = t.second.due;
    }
    for (const auto& c : m_Calls) {
        if (next < 0 || c.second.due < next) next = c.second.due;
    }
    return next;
}

bool CTimerSchedule::TakeDue(std::int64_t limit, bool catchUp, SDue& event) {
    auto call = m_Calls.end();
    for (auto it = m_Calls.begin(); it != m_Calls.end(); ++it) {
        if (it->second.due <= limit && (call == m_Calls.end() || it->second.due < call->second.due)) call = it;
    }
    auto timer = m_Timers.end();
    for (auto it = m_Timers.begin(); it != m_Timers.end(); ++it) {
        if (it->second.due <= limit && (timer == m_Timers.end() || it->second.due < timer->second.due)) timer = it;
    }
    if (call == m_Calls.end() && timer == m_Timers.end()) return false;
    event = SDue{};
    if (call != m_Calls.end() && (timer == m_Timers.end() || call->second.due <= timer->second.due)) {
        event.isCall = true;
        event.due = call->second.due;
        event.owner = call->second.owner;
        event.fn = std::move(call->second.fn);
        m_Calls.erase(call);
        return true;
    }
    STimer& t = timer->second;
    event.due = t.due;
    event.target = timer->first.first;
    event.id = timer->first.second;
    const std::int64_t step = t.period > 0 ? t.period : 1;
    t.due += step;
    if (!catchUp && t.due <= limit) t.due = limit + step;
    return true;
}
