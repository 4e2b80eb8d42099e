#include "platform/core/PosixMessageLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

CPosixMessageLoop::CPosixMessageLoop() { m_WakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

CPosixMessageLoop::~CPosixMessageLoop() {
    if (m_WakeFd >= 0) close(m_WakeFd);
}

std::int64_t CPosixMessageLoop::MonotonicMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---------------------------------------------------------------- posting

void CPosixMessageLoop::Enqueue(PostedMessage&& message) {
    bool wasEmpty;
    {
        std::lock_guard<std::mutex> lock(m_QueueLock);
        wasEmpty = m_Queue.empty();
        m_Queue.push_back(std::move(message));
    }
    // The first message behind an empty queue wakes the loop; later ones
    // find it awake already: it waits again only once the queue is empty,
    // and the signal stays pending until it has read it.
    if (wasEmpty) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(m_WakeFd, &one, sizeof one);
    }
}

bool CPosixMessageLoop::DeliverOne() {
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

void CPosixMessageLoop::Quit() {
    m_bQuit = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(m_WakeFd, &one, sizeof one);
}

// ---------------------------------------------------------------- timers and calls

void CPosixMessageLoop::SetTimer(CMsgTarget* target, UINT id, unsigned ms) {
    if (target) m_Schedule.SetTimer(target->Handle(), id, static_cast<std::int64_t>(ms) * 1000, NowMicros());
}

void CPosixMessageLoop::KillTimer(CMsgTarget* target, UINT id) {
    if (target) m_Schedule.KillTimer(target->Handle(), id);
}

bool CPosixMessageLoop::IsTimerRunning(const CMsgTarget* target, UINT id) const {
    return target && m_Schedule.IsTimerRunning(target->Handle(), id);
}

std::uint64_t CPosixMessageLoop::CallLater(CMsgTarget* owner, unsigned ms, std::function<void()> fn) {
    return m_Schedule.AddCall(owner ? owner->Handle() : 0, NowMicros() + static_cast<std::int64_t>(ms) * 1000,
                              std::move(fn));
}

void CPosixMessageLoop::CancelCall(std::uint64_t token) { m_Schedule.CancelCall(token); }

void CPosixMessageLoop::ForgetTarget(std::uint64_t handle) { m_Schedule.Forget(handle); }

// A timer behind by more than a period (the loop was busy) fires once, with
// no burst of catch-up ticks: its period runs on from now.
bool CPosixMessageLoop::FireDue(std::int64_t now) {
    CTimerSchedule::SDue event;
    if (!m_Schedule.TakeDue(now, false, event)) return false;
    if (!event.isCall) {
        Deliver(PostedMessage{event.target, WM_TIMER, event.id, 0, {}});
    } else if (event.owner == 0 || IsAlive(event.owner)) {
        event.fn();
    }
    return true;
}

// ---------------------------------------------------------------- watching and waiting

void CPosixMessageLoop::Watch(int fd, std::function<void()> fn) {
    Unwatch(fd);
    m_Watches.push_back(SWatch{fd, std::move(fn)});
}

void CPosixMessageLoop::Unwatch(int fd) {
    for (auto it = m_Watches.begin(); it != m_Watches.end(); ++it) {
        if (it->fd == fd) {
            m_Watches.erase(it);
            return;
        }
    }
}

void CPosixMessageLoop::Wait(std::int64_t dueUs) {
    std::vector<pollfd> fds;
    fds.reserve(m_Watches.size() + 1);
    fds.push_back(pollfd{m_WakeFd, POLLIN, 0});
    for (const SWatch& w : m_Watches) fds.push_back(pollfd{w.fd, POLLIN, 0});
    timespec timeout{};
    timespec* limit = nullptr;
    if (dueUs >= 0) {
        std::int64_t wait = dueUs - NowMicros();
        if (wait < 0) wait = 0;
        timeout.tv_sec = static_cast<time_t>(wait / 1000000);
        timeout.tv_nsec = static_cast<long>(wait % 1000000) * 1000;
        limit = &timeout;
    }
    const int n = ppoll(fds.data(), fds.size(), limit, nullptr);
    if (n <= 0) return;  // time is up, or a signal: the caller looks again
    if (fds[0].revents) {
        std::uint64_t count;
        [[maybe_unused]] ssize_t r = read(m_WakeFd, &count, sizeof count);
    }
    // A callback may watch or unwatch: call by descriptor, from a copy.
    std::vector<int> ready;
    for (std::size_t i = 1; i < fds.size(); ++i) {
        if (fds[i].revents) ready.push_back(fds[i].fd);
    }
    for (int fd : ready) {
        for (const SWatch& w : m_Watches) {
            if (w.fd == fd) {
                std::function<void()> fn = w.fn;
                fn();
                break;
            }
        }
    }
}

// ---------------------------------------------------------------- running

bool CPosixMessageLoop::RunUntil(const std::function<bool()>& done, int timeoutMs) {
    const std::int64_t deadline = timeoutMs < 0 ? -1 : NowMicros() + static_cast<std::int64_t>(timeoutMs) * 1000;
    for (;;) {
        // A quit ends this run and is used up by it.
        if (m_bQuit.exchange(false)) break;
        if (DeliverOne()) {
            if (done && done()) return true;
            continue;
        }
        const std::int64_t now = NowMicros();
        if (FireDue(now)) {
            if (done && done()) return true;
            continue;
        }
        if (done && done()) return true;
        if (deadline >= 0 && now >= deadline) break;
        std::int64_t due = m_Schedule.NextDue();
        if (deadline >= 0 && (due < 0 || deadline < due)) due = deadline;
        Wait(due);
    }
    return done && done();
}

void CPosixMessageLoop::Run() { RunUntil(nullptr, -1); }
