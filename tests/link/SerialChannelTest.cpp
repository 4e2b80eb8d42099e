// The serial channel over a real pseudo-terminal: the test holds the master
// end and plays the module; the channel opens the slave path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include "link/SerialChannel.h"
#include "platform/core/ManualMessageLoop.h"
#include "link/CommMessages.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

int CountEntries(const char* dir) {
    DIR* d = ::opendir(dir);
    int n = 0;
    while (dirent* e = d ? ::readdir(d) : nullptr) n += e->d_name[0] != '.';
    if (d) ::closedir(d);
    return n;
}
int ThreadCount() { return CountEntries("/proc/self/task"); }
int FdCount() { return CountEntries("/proc/self/fd"); }
long long UsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
}

// A joined thread may stay listed a moment until the kernel releases it.
bool WaitForThreadCount(int atMost) {
    const auto deadline = Clock::now() + milliseconds(2000);
    while (ThreadCount() > atMost && Clock::now() < deadline) std::this_thread::sleep_for(milliseconds(2));
    return ThreadCount() <= atMost;
}

// The count once stable, after a first thread (the thread sanitizer's helper starts with it).
int SettledThreadCount() {
    std::thread([] {}).join();
    int last = -1;
    for (int i = 0; i < 200 && ThreadCount() != last; ++i) {
        last = ThreadCount();
        std::this_thread::sleep_for(milliseconds(5));
    }
    return last;
}

// The module's end of the line (blocking: a write returns once all is taken).
struct CPtyMaster {
    CPtyMaster() : m_Fd(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        char name[128] = {};
        if (m_Fd >= 0 && ::grantpt(m_Fd) == 0 && ::unlockpt(m_Fd) == 0 && ::ptsname_r(m_Fd, name, sizeof name) == 0)
            m_strSlave = name;
    }
    ~CPtyMaster() { ::close(m_Fd); }
    void Write(const std::string& b) {
        EXPECT_EQ(::write(m_Fd, b.data(), b.size()), static_cast<ssize_t>(b.size())) << std::strerror(errno);
    }
    int m_Fd;
    std::string m_strSlave;
};

// Records what the channel posts to its owner.
class CRecorder : public CMsgTarget {
public:
    explicit CRecorder(IMessageLoop& loop) : CMsgTarget(loop) {}
    struct Record { UINT msg; WPARAM wParam; std::string text; };
    std::vector<Record> m_Records;
    int Count(UINT msg) const {
        int n = 0;
        for (const auto& r : m_Records) n += r.msg == msg;
        return n;
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        static const MessageEntry<CRecorder> table[] = {
            {WM_COMM_READ, &CRecorder::On<WM_COMM_READ>},
            {WM_COMM_PORT_LOST, &CRecorder::On<WM_COMM_PORT_LOST>},
            {WM_COMM_ALERT, &CRecorder::On<WM_COMM_ALERT>},
        };
        if (!DispatchMessage(this, table, msg, wParam, lParam)) ADD_FAILURE() << "unexpected message " << msg;
        return 0;
    }

private:
    template <UINT MSG>
    LRESULT On(WPARAM w, LPARAM l) {  // an alert's text travels in lParam
        m_Records.push_back({MSG, w, MSG == WM_COMM_ALERT ? *reinterpret_cast<const std::string*>(l) : ""});
        return 0;
    }
};

// The calls at close, recorded in order, on a virtual clock; the driver's
// output queue empties by `drainPerPoll` bytes at every look (0: a dead
// adapter). The descriptor itself is closed for real.
class CLineOpsRecorder : public ISerialLineOps {
public:
    int queued = 0;
    int drainPerPoll = 0;
    std::int64_t now = 0;
    std::vector<std::string> calls;

    int OutputQueued(int) override {
        calls.push_back("outq " + std::to_string(queued));
        int result = queued;
        queued = std::max(0, queued - drainPerPoll);
        return result;
    }
    void Drain(int) override { calls.push_back("drain"); }
    void Flush(int, int queues) override {
        calls.push_back(queues == TCIFLUSH ? "flush in" : queues == TCIOFLUSH ? "flush in+out" : "flush out");
    }
    void CloseFd(int fd) override {
        calls.push_back("close");
        ::close(fd);
    }
    std::int64_t NowMs() override { return now; }
    void SleepMs(int ms) override { now += ms; }
    std::vector<std::string> Without(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c.compare(0, prefix.size(), prefix) != 0) out.push_back(c);
        return out;
    }
};

class SerialChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_Pty.m_strSlave.empty()) << "no pseudo-terminal: " << std::strerror(errno);
        m_Comm.SetOwner(&m_Owner);
    }
    void Open(int baud = 115200, std::uint16_t wake = 0) {
        ASSERT_TRUE(m_Comm.OpenPort(m_Pty.m_strSlave, baud, wake)) << m_Comm.LastError();
    }
    bool WaitForQueued(int count) {
        return m_Loop.RunUntil([&] { return m_Comm.m_QueueRead.GetCount() >= count; }, 3000);
    }
    std::string Drain() {
        std::string out;
        for (std::uint8_t b = 0; m_Comm.m_QueueRead.GetByte(b);) out.push_back(static_cast<char>(b));
        return out;
    }

    CPtyMaster m_Pty;
    CManualMessageLoop m_Loop;
    CRecorder m_Owner{m_Loop};
    CSerialChannel m_Comm;  // declared last: closed before its owner goes
};

}  // namespace

TEST_F(SerialChannelTest, BytesFromTheModuleAreQueuedAndWakeTheOwner) {
    ASSERT_TRUE(m_Comm.m_QueueRead.PutByte('K'));  // opening and closing leave the queue alone
    m_Pty.Write("STALE");                         // arrived while closed: discarded at open
    m_Comm.m_PortMap.Set("COM3", m_Pty.m_strSlave);
    ASSERT_TRUE(m_Comm.OpenPort("COM3", 115200, 7)) << m_Comm.LastError();
    EXPECT_FALSE(m_Comm.SetRts(true));  // a pseudo-terminal has no RTS line, yet the port opened

    // Bytes a cooked terminal would eat or translate, then several read chunks.
    std::string sent("\x7E\x00\x0D\x0A\x03\x11\x13\x1A\x04\x7F\xFF", 11);
    for (int i = 0; i < 6000; ++i) sent.push_back(static_cast<char>(i * 31 % 256));
    m_Pty.Write(sent);
    ASSERT_TRUE(WaitForQueued(1 + static_cast<int>(sent.size())));
    const std::string got = Drain();
    EXPECT_TRUE(got == "K" + sent) << got.substr(0, 8) << "... " << got.size() << " bytes";

    // A chunk that does not fit whole is dropped with an alert; reading goes on.
    std::vector<std::uint8_t> fill(8150, 0xAB);
    ASSERT_TRUE(m_Comm.m_QueueRead.PutChunk(fill.data(), 8150));  // 41 more would fit
    m_Pty.Write(std::string(100, 'Z'));
    ASSERT_TRUE(m_Loop.RunUntil([&] { return m_Owner.Count(WM_COMM_ALERT) == 1; }));
    EXPECT_EQ(m_Comm.m_QueueRead.GetCount(), 8150);
    m_Comm.m_QueueRead.ClearQueue();
    m_Pty.Write("next");
    ASSERT_TRUE(WaitForQueued(4));
    m_Comm.ClosePort();
    EXPECT_EQ(Drain(), "next");
    EXPECT_EQ(m_Owner.Count(WM_COMM_READ) + 1, static_cast<int>(m_Owner.m_Records.size()));
    for (const auto& r : m_Owner.m_Records) {
        EXPECT_EQ(r.wParam, r.msg == WM_COMM_ALERT ? COMM_ALERT_QUEUE_FULL : 7u);
        EXPECT_EQ(r.text, r.msg == WM_COMM_ALERT ? "m_QueueRead FULL!" : "");
    }
}

// Every byte value, over far more than the terminal buffers hold (partial writes, EAGAIN).
TEST_F(SerialChannelTest, WrittenBytesArriveExactly) {
    std::vector<std::uint8_t> sent(300000), received(sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<std::uint8_t>(i * 13 % 256);
    EXPECT_EQ(m_Comm.WriteComm(sent.data(), 2), 0u);  // closed: nothing written
    Open(57600);
    std::thread reader([&] {
        pollfd p{m_Pty.m_Fd, POLLIN, 0};
        for (std::size_t got = 0; got < sent.size() && ::poll(&p, 1, 2000) > 0;) {
            const ssize_t n = ::read(m_Pty.m_Fd, &received[got], std::min<std::size_t>(4096, sent.size() - got));
            if (n <= 0) break;
            got += n;
        }
    });
    EXPECT_EQ(m_Comm.WriteComm(sent.data(), sent.size()), sent.size());
    reader.join();
    EXPECT_TRUE(received == sent);
}

// A request written just before the port closes (the rate change) must reach
// the line: the driver's queue is drained, the transmitter emptied, and only
// then is the input discarded and the port closed.
TEST_F(SerialChannelTest, ClosingLetsWrittenBytesReachTheLineBeforeDiscardingInput) {
    CLineOpsRecorder ops;
    m_Comm.SetLineOps(&ops);
    Open(9600);
    const std::vector<std::uint8_t> frame(25, 0x7E);
    ASSERT_EQ(m_Comm.WriteComm(frame.data(), frame.size()), 25u);
    ops.queued = 25;  // as a UART would still hold them at 9600 bit/s
    ops.drainPerPoll = 2;
    m_Comm.ClosePort();
    EXPECT_EQ(ops.calls.front(), "outq 25");
    EXPECT_EQ(ops.Without("outq"), (std::vector<std::string>{"drain", "flush in", "close"}));
    EXPECT_EQ(ops.calls[ops.calls.size() - 4], "outq 0");
    EXPECT_LE(ops.now, 30);  // 25 bytes take 26 ms at 9600 bit/s
    EXPECT_FALSE(m_Comm.IsOpen());
}

// A dead adapter never empties its queue: the close gives up after the time
// the bytes need plus a margin, discards both directions and closes.
TEST_F(SerialChannelTest, ClosingGivesUpOnALineThatDoesNotMove) {
    CLineOpsRecorder ops;
    m_Comm.SetLineOps(&ops);
    for (int queued : {25, 4125, 1 << 20}) {
        SCOPED_TRACE(queued);
        Open(9600);
        ops.calls.clear();
        ops.now = 0;
        ops.queued = queued;
        ops.drainPerPoll = 0;
        // The waiting goes through the line operations' clock (virtual here).
        m_Comm.ClosePort();
        const std::int64_t bound = std::min<std::int64_t>(
            CSerialDevice::DRAIN_MARGIN_MS + queued * 10000LL / 9600, CSerialDevice::DRAIN_LIMIT_MS);
        EXPECT_GE(ops.now, bound);
        EXPECT_LE(ops.now, bound + 2);
        EXPECT_EQ(ops.Without("outq"), (std::vector<std::string>{"flush in+out", "close"}));
    }
}

TEST_F(SerialChannelTest, WriteToAStalledPeerEndsAfterTheLimit) {
    CSerialDevice device;  // the master never reads: the terminal buffers fill up
    ASSERT_TRUE(device.Open(m_Pty.m_strSlave, 9600)) << device.error();
    device.SetWriteStallLimit(150);
    std::vector<std::uint8_t> big(1 << 20, 0x55);
    const auto start = Clock::now();
    const std::size_t written = device.Write(big.data(), big.size());
    EXPECT_TRUE(written > 0 && written < big.size()) << written;
    // Not before the limit; how soon after it is measured by make bench
    // (BM_StalledWriteEnds).
    EXPECT_GE(UsSince(start), 140000);
}

// Raw 8N1 at each rate; reopening replaces the watch thread; closing joins it at once.
TEST_F(SerialChannelTest, OpenCloseCyclesAtEachRateLeakNoThreadOrDescriptor) {
    const int threads = SettledThreadCount();
    const int fds = FdCount();
    const std::pair<int, speed_t> rates[] = {{9600, B9600}, {19200, B19200}, {38400, B38400},
                                             {57600, B57600}, {115200, B115200}};
    for (const auto& [baud, speed] : rates) {
        SCOPED_TRACE(baud);
        Open(baud);
        termios tio{};  // the master reads the slave's settings
        ASSERT_EQ(::tcgetattr(m_Pty.m_Fd, &tio), 0);
        EXPECT_TRUE(::cfgetospeed(&tio) == speed && ::cfgetispeed(&tio) == speed);
        EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD), tcflag_t(CS8 | CLOCAL | CREAD));
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);  // input and output processing: see the data tests
    }
    EXPECT_TRUE(WaitForThreadCount(threads + 1));
    EXPECT_EQ(ThreadCount(), threads + 1);
    m_Pty.Write("z");
    ASSERT_TRUE(WaitForQueued(1));
    // Joined, not merely told to stop; how fast is measured by make bench
    // (BM_ClosePortJoinsTheWatchThread).
    m_Comm.ClosePort();
    EXPECT_TRUE(WaitForThreadCount(threads));

    const auto start = Clock::now();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(m_Comm.OpenPort(m_Pty.m_strSlave, 38400, 0)) << "cycle " << i << ": " << m_Comm.LastError();
        if (i % 100 == 0) {  // the new watch thread really reads
            m_Pty.Write("p");
            ASSERT_TRUE(WaitForQueued(1)) << "cycle " << i;
            m_Comm.m_QueueRead.ClearQueue();
        }
        m_Comm.ClosePort();
    }
    std::printf("[ measured ] 1000 open/close cycles: %lld ms\n", UsSince(start) / 1000);
    EXPECT_TRUE(WaitForThreadCount(threads)) << ThreadCount() << " threads, expected " << threads;
    EXPECT_EQ(FdCount(), fds);
}

TEST_F(SerialChannelTest, HangUpEndsTheWatchThreadWithoutSpinningAndReportsPortLost) {
    const int threads = SettledThreadCount();
    const int fds = FdCount();
    Open(115200, 5);
    const std::clock_t cpu0 = std::clock();  // the whole process's CPU time
    ::close(std::exchange(m_Pty.m_Fd, -1));  // the adapter is pulled out
    ASSERT_TRUE(m_Loop.RunUntil([&] { return m_Owner.Count(WM_COMM_PORT_LOST) == 1; }));
    EXPECT_TRUE(WaitForThreadCount(threads)) << "the watch thread did not end";
    std::this_thread::sleep_for(milliseconds(100));  // a spinning thread would burn all of it
    const double cpuMs = (std::clock() - cpu0) * 1000.0 / CLOCKS_PER_SEC;
    std::printf("[ measured ] CPU time from hang-up to thread end + 100 ms: %.2f ms\n", cpuMs);
    EXPECT_LT(cpuMs, 50.0);
    EXPECT_TRUE(m_Comm.IsPortLost());
    EXPECT_EQ(m_Owner.m_Records.size(), 1u);
    EXPECT_EQ(m_Owner.m_Records.back().wParam, 5u);
    m_Comm.ClosePort();
    EXPECT_EQ(FdCount(), fds - 1);  // the master end is gone as well
}

// Failed opens leave nothing open and the holder undisturbed; closing frees the port.
TEST_F(SerialChannelTest, OpenFailuresNameThePathAndTheReason) {
    // Someone else keeps the terminal alive (as the simulated module does).
    const int keeper = ::open(m_Pty.m_strSlave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(keeper, 0);
    Open(9600);
    const int fds = FdCount();
    const std::string pty = m_Pty.m_strSlave, rates = " (use 9600, 19200, 38400, 57600 or 115200)";
    struct Case { std::string path; int baud; std::string reason; };
    CSerialChannel other;
    // The holder is this process, which is not named as another program.
    for (const Case& c : {Case{pty, 9600, "The port is in use by another program."},
                          Case{"/dev/pravik-no-such-port", 9600,
                               "The port is not there: the adapter is unplugged or the device does not exist."},
                          Case{"/dev/null", 9600, "It is not a serial port."},
                          Case{pty, 230400, "unsupported baud rate 230400" + rates}}) {
        EXPECT_FALSE(other.OpenPort(c.path, c.baud, 0));
        EXPECT_EQ(other.DevicePath(), c.path);
        EXPECT_EQ(other.LastReason(), c.reason);
        EXPECT_EQ(other.LastError(), c.path + ": " + c.reason);
        other.ClosePort();  // harmless after a failed open
    }
    EXPECT_EQ(FdCount(), fds);
    // No permission: how to join the group that grants it (dialout unless
    // the device's node names another).
    EXPECT_EQ(FormatSerialError("/dev/pravik-no-such-port", EACCES),
              "/dev/pravik-no-such-port: No permission to use the port: add yourself to the group dialout: "
              "sudo adduser $USER dialout, then log in again.");
    int excl = -1;
    EXPECT_TRUE(::ioctl(keeper, TIOCGEXCL, &excl) == 0 && excl == 1);
    m_Pty.Write("mine");
    ASSERT_TRUE(WaitForQueued(4));
    EXPECT_EQ(Drain(), "mine");

    m_Comm.ClosePort();  // clears exclusive mode for the next user of the kept terminal
    EXPECT_TRUE(::ioctl(keeper, TIOCGEXCL, &excl) == 0 && excl == 0);
    ::close(keeper);
    ASSERT_TRUE(other.OpenPort(pty, 9600, 0)) << other.LastError();
    EXPECT_TRUE(other.LastError().empty());
}

TEST(PortNames, ComNamesMapToSerialDevicesUnlessOverridden) {
    CPortMap map;
    map.Set("COM2", "/dev/ttyUSB0");
    map.Set("COM2", "/dev/ttyUSB1");  // a later override wins
    EXPECT_EQ(map.Resolve("COM2"), "/dev/ttyUSB1");
    map.Clear();
    const char* names[][2] = {{"COM1", "/dev/ttyS0"}, {"COM2", "/dev/ttyS1"}, {"COM12", "/dev/ttyS11"},
                              {"/dev/pts/3", "/dev/pts/3"}, {"ttyUSB0", "/dev/ttyUSB0"}};
    for (const auto& [name, path] : names) EXPECT_EQ(map.Resolve(name), path) << name;
}
