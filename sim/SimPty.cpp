#include "sim/SimPty.h"

#include "platform/core/SerialDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t SIM_READ_CHUNK = 4096;
constexpr int SIM_IDLE_WAIT_MS = 1000;  // the thread wakes at least this often
// Paced output: the thread sleeps at least this long between writes, so that
// a long answer goes out in small bursts rather than one wake-up a byte; the
// last burst of an answer still goes exactly when its last byte has crossed.
constexpr double SIM_TX_MIN_GAP_S = 0.001;

}  // namespace

CSimPty::CSimPty() : m_Epoch(std::chrono::steady_clock::now()) {
    m_Timers = std::make_unique<CSimTimerQueue>([this] { return static_cast<std::int64_t>(Seconds() * 1000.0); });
    m_Module = std::make_unique<CSimModule>(*m_Timers, SimOptions{});
}

CSimPty::~CSimPty() { Stop(); }

double CSimPty::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_Epoch).count();
}

bool CSimPty::Fail(const std::string& what) {
    m_strError = what + ": " + std::strerror(errno);
    CloseAll();
    return false;
}

void CSimPty::CloseAll() {
    if (m_Master >= 0) close(m_Master);
    if (m_Slave >= 0) close(m_Slave);
    if (m_WakeFd >= 0) close(m_WakeFd);
    m_Master = m_Slave = m_WakeFd = -1;
}

bool CSimPty::Start(const SimOptions& options) {
    Stop();
    m_strError.clear();
    if (TermiosSpeedOf(options.baud) == B0) {
        m_strError = "unsupported baud rate " + std::to_string(options.baud);
        return false;
    }

    m_Master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_Master < 0) return Fail("posix_openpt");
    if (grantpt(m_Master) != 0 || unlockpt(m_Master) != 0) return Fail("grantpt/unlockpt");
    char name[128];
    if (ptsname_r(m_Master, name, sizeof name) != 0) return Fail("ptsname");
    m_strSlavePath = name;
    fcntl(m_Master, F_SETFL, fcntl(m_Master, F_GETFL) | O_NONBLOCK);
    // A program started meanwhile (a test runs the command-line program) must
    // not hold the terminal open: when the simulator stops, the console's end
    // has to see the hang-up.
    fcntl(m_Master, F_SETFD, FD_CLOEXEC);

    // Our own slave descriptor: without one, the terminal would hang up
    // whenever the console closes its port. It also sets raw mode at the
    // module's speed until the console sets its own.
    m_Slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_Slave < 0) return Fail(std::string("open ") + name);
    termios t{};
    if (tcgetattr(m_Slave, &t) != 0) return Fail("tcgetattr");
    cfmakeraw(&t);
    cfsetispeed(&t, TermiosSpeedOf(options.baud));
    cfsetospeed(&t, TermiosSpeedOf(options.baud));
    if (tcsetattr(m_Slave, TCSANOW, &t) != 0) return Fail("tcsetattr");

    m_WakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_WakeFd < 0) return Fail("eventfd");

    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_bThrottle = options.throttle;
        m_Out.clear();
        m_In.clear();
        m_TxNext = m_RxFree = m_TxLast = 0;
        m_Line = SimLineStats{};
        m_Module.reset();
        m_Timers = std::make_unique<CSimTimerQueue>([this] { return static_cast<std::int64_t>(Seconds() * 1000.0); });
        m_Module = std::make_unique<CSimModule>(*m_Timers, options);
        m_Module->SetOutput([this](const std::uint8_t* frame, std::size_t size, int baud) {
            // Called on the serving thread, or inside RunLocked, with the lock held.
            if (m_Out.empty()) m_TxNext = std::max(m_TxNext, Seconds());
            m_Out.push_back(SOutChunk{std::vector<std::uint8_t>(frame, frame + size), 0, baud});
        });
    }
    m_bStop = false;
    m_Thread = std::thread(&CSimPty::ThreadMain, this);
    return true;
}

void CSimPty::Stop() {
    if (m_Thread.joinable()) {
        m_bStop = true;
        std::uint64_t one = 1;
        (void)!write(m_WakeFd, &one, sizeof one);
        m_Thread.join();
    }
    CloseAll();
}

void CSimPty::RunLocked(const std::function<void(CSimModule&)>& fn) {
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        fn(*m_Module);
    }
    if (m_WakeFd >= 0) {  // it may have queued output or timers
        std::uint64_t one = 1;
        (void)!write(m_WakeFd, &one, sizeof one);
    }
}

void CSimPty::SetFinger(int finger) {
    RunLocked([finger](CSimModule& m) { m.SetFinger(finger); });
}

void CSimPty::SetLowVoltage(bool low) {
    RunLocked([low](CSimModule& m) { m.SetLowVoltage(low); });
}

SimStats CSimPty::Stats() {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Module->Stats();
}

SimLineStats CSimPty::LineStats() {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Line;
}

int CSimPty::LineBaud() const {
    termios t{};
    if (tcgetattr(m_Master, &t) != 0) return 0;
    return BaudOfTermiosSpeed(cfgetospeed(&t));
}

double CSimPty::NextWait(double now) {
    // Sub-millisecond: at 115200 bit/s a request crosses the line in 2.2 ms,
    // and rounding each step up to whole milliseconds would add a third to it.
    double wait = SIM_IDLE_WAIT_MS / 1000.0;
    std::int64_t due = m_Timers->NextDue();
    if (due >= 0) wait = std::min(wait, due / 1000.0 - now);
    if (!m_In.empty()) wait = std::min(wait, m_In.front().due - now);
    if (!m_Out.empty() && !m_bWantWrite) {
        const SOutChunk& chunk = m_Out.front();
        double next = m_TxNext;
        if (m_bThrottle && chunk.baud > 0) {
            // A byte is there once its 10 bits have crossed: the first one
            // after a byte time, then bursts at most every SIM_TX_MIN_GAP_S,
            // the last at the end of the answer's last byte.
            const double byteTime = 10.0 / chunk.baud;
            const double end = m_TxNext + static_cast<double>(chunk.bytes.size() - chunk.sent) * byteTime;
            next = std::min(std::max(m_TxNext + byteTime, m_TxLast + SIM_TX_MIN_GAP_S), end);
        }
        wait = std::min(wait, next - now);
    }
    return wait > 0 ? wait : 0;
}

void CSimPty::ThreadMain() {
    while (!m_bStop) {
        double wait;
        short masterEvents = POLLIN;
        {
            std::lock_guard<std::mutex> lock(m_Lock);
            wait = NextWait(Seconds());
            if (m_bWantWrite) masterEvents |= POLLOUT;
        }
        pollfd fds[2] = {{m_Master, masterEvents, 0}, {m_WakeFd, POLLIN, 0}};
        const auto nanoseconds = static_cast<long long>(wait * 1e9);
        const timespec timeout{static_cast<time_t>(nanoseconds / 1000000000),
                               static_cast<long>(nanoseconds % 1000000000)};
        int n = ppoll(fds, 2, &timeout, nullptr);
        if (n < 0 && errno != EINTR) break;
        if (m_bStop) break;
        if (n > 0 && (fds[1].revents & POLLIN)) {
            std::uint64_t count;
            (void)!read(m_WakeFd, &count, sizeof count);
        }
        if (n > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) ReadConsole();

        std::lock_guard<std::mutex> lock(m_Lock);
        DeliverInput(Seconds());
        m_Timers->RunDue();
        FlushOutput(Seconds());
    }
}

void CSimPty::DeliverInput(double now) {
    while (!m_In.empty() && m_In.front().due <= now) {
        SInChunk chunk = std::move(m_In.front());
        m_In.pop_front();
        m_Module->Receive(chunk.bytes.data(), chunk.bytes.size(), chunk.baud);
    }
}

void CSimPty::ReadConsole() {
    std::uint8_t buffer[SIM_READ_CHUNK];
    for (;;) {
        ssize_t got = read(m_Master, buffer, sizeof buffer);
        if (got <= 0) {
            // EAGAIN: all read. EIO only when no slave is open, which our own
            // descriptor prevents; wait a little rather than spin.
            if (got < 0 && errno == EIO) usleep(10000);
            return;
        }
        // The speed the console's port is set to now is the speed these
        // bytes were sent at.
        const int baud = LineBaud();
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Line.bytesIn += static_cast<std::uint64_t>(got);
        if (!m_bThrottle || baud == 0) {
            m_Module->Receive(buffer, static_cast<std::size_t>(got), baud);
            continue;
        }
        // Paced line: the module sees the bytes once they would have
        // crossed a real line after the earlier ones.
        double now = Seconds();
        m_RxFree = std::max(m_RxFree, now) + got * 10.0 / baud;
        m_In.push_back(SInChunk{m_RxFree, std::vector<std::uint8_t>(buffer, buffer + got), baud});
    }
}

void CSimPty::FlushOutput(double now) {
    m_bWantWrite = false;
    while (!m_Out.empty()) {
        SOutChunk& chunk = m_Out.front();
        if (m_TxNext > now) return;  // the line (or the burst limit) holds the next bytes back
        std::size_t left = chunk.bytes.size() - chunk.sent;
        std::size_t allowed;
        const bool paced = m_bThrottle && chunk.baud > 0;
        if (paced) {
            // The bytes whose last bit has crossed the line by now (a tiny
            // margin keeps a wake-up at the exact end from missing a byte).
            double bytesPerSecond = chunk.baud / 10.0;
            allowed = std::min<std::size_t>(left, static_cast<std::size_t>((now - m_TxNext) * bytesPerSecond + 1e-6));
            if (allowed == 0) return;
        } else {
            allowed = std::min(left, SIM_BURST_BYTES);
        }
        ssize_t written = write(m_Master, chunk.bytes.data() + chunk.sent, allowed);
        if (written <= 0) {
            if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                m_bWantWrite = true;  // the console is not reading: wait until it does
            else
                m_Out.clear();  // the terminal is gone: nobody will read these answers
            return;
        }
        chunk.sent += static_cast<std::size_t>(written);
        m_TxLast = now;
        m_Line.bytesOut += static_cast<std::uint64_t>(written);
        if (paced)
            m_TxNext += written * 10.0 / chunk.baud;
        else
            m_TxNext = now + written / (SIM_BURST_BYTES * 1000.0);  // SIM_BURST_BYTES per millisecond
        if (chunk.sent == chunk.bytes.size()) m_Out.pop_front();
    }
}
