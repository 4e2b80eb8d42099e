// The serial channel over a real pseudo-terminal: the test holds the master
// end and plays the module; the channel opens the slave path.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "link/CommThread.h"
#include "platform/core/ManualMessageLoop.h"
#include "protocol/Notifications.h"

namespace {

using Clock = std::chrono::steady_clock;

int CountEntries(const char* dir) {
    DIR* d = ::opendir(dir);
    if (!d) return -1;
    int n = 0;
    while (dirent* e = ::readdir(d)) {
        if (e->d_name[0] != '.') ++n;
    }
    ::closedir(d);
    return n;
}
int ThreadCount() { return CountEntries("/proc/self/task"); }
int FdCount() { return CountEntries("/proc/self/fd"); }

double ProcessCpuMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// Threads that were joined a moment ago may still be listed until the
// kernel has released them; wait for them to go.
bool WaitForThreadCount(int atMost, int timeoutMs = 2000) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (ThreadCount() > atMost) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The thread count once it has stopped changing. A first thread is made and
// joined so that helper threads a runtime starts with the first thread (the
// thread sanitizer's) are already counted.
int SettledThreadCount() {
    std::thread([] {}).join();
    int last = ThreadCount();
    for (int stable = 0, i = 0; stable < 5 && i < 500; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        int now = ThreadCount();
        stable = now == last ? stable + 1 : 0;
        last = now;
    }
    return last;
}

// The module's end of the line.
class CPtyMaster {
public:
    CPtyMaster() {
        m_Fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_Fd < 0 || ::grantpt(m_Fd) != 0 || ::unlockpt(m_Fd) != 0) return;
        char name[128] = {};
        if (::ptsname_r(m_Fd, name, sizeof name) == 0) m_strSlave = name;
        ::fcntl(m_Fd, F_SETFL, ::fcntl(m_Fd, F_GETFL) | O_NONBLOCK);
    }
    ~CPtyMaster() { Close(); }

    bool Ok() const { return m_Fd >= 0 && !m_strSlave.empty(); }
    int Fd() const { return m_Fd; }
    const std::string& Slave() const { return m_strSlave; }
    void Close() {
        if (m_Fd >= 0) ::close(m_Fd);
        m_Fd = -1;
    }

    void Write(const std::string& text) { Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()); }
    void Write(const std::uint8_t* bytes, std::size_t n) {
        std::size_t done = 0;
        while (done < n) {
            ssize_t r = ::write(m_Fd, bytes + done, n - done);
            if (r > 0) {
                done += r;
            } else if (r < 0 && errno == EAGAIN) {
                pollfd p{m_Fd, POLLOUT, 0};
                ::poll(&p, 1, 100);
            } else {
                ADD_FAILURE() << "write to the master failed: " << std::strerror(errno);
                return;
            }
        }
    }

    // Reads until n bytes came or nothing came for timeoutMs.
    std::vector<std::uint8_t> Read(std::size_t n, int timeoutMs = 2000) {
        std::vector<std::uint8_t> out;
        std::uint8_t buf[4096];
        while (out.size() < n) {
            pollfd p{m_Fd, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0) break;
            ssize_t r = ::read(m_Fd, buf, std::min(sizeof buf, n - out.size()));
            if (r > 0) {
                out.insert(out.end(), buf, buf + r);
            } else if (r < 0 && errno == EAGAIN) {
                continue;
            } else {
                break;
            }
        }
        return out;
    }

private:
    int m_Fd = -1;
    std::string m_strSlave;
};

// Records what the channel posts to its owner.
class CRecorder : public CMsgTarget {
public:
    explicit CRecorder(IMessageLoop& loop) : CMsgTarget(loop) {}

    struct Record {
        UINT msg;
        WPARAM wParam;
        std::string text;
    };
    std::vector<Record> m_Records;

    int Count(UINT msg) const {
        int n = 0;
        for (const auto& r : m_Records) n += r.msg == msg;
        return n;
    }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        static const MessageEntry<CRecorder> table[] = {
            {WM_COMM_READ, &CRecorder::OnRead},
            {WM_COMM_PORT_LOST, &CRecorder::OnPortLost},
            {WM_COMM_ALERT, &CRecorder::OnAlert},
        };
        LRESULT result = 0;
        if (!DispatchMessage(this, table, msg, wParam, lParam, &result)) {
            ADD_FAILURE() << "unexpected message " << msg;
        }
        return result;
    }

private:
    LRESULT OnRead(WPARAM w, LPARAM l) {
        EXPECT_EQ(l, 0);
        m_Records.push_back({WM_COMM_READ, w, {}});
        return 0;
    }
    LRESULT OnPortLost(WPARAM w, LPARAM) {
        m_Records.push_back({WM_COMM_PORT_LOST, w, {}});
        return 0;
    }
    LRESULT OnAlert(WPARAM w, LPARAM l) {
        const auto* text = reinterpret_cast<const std::string*>(l);
        m_Records.push_back({WM_COMM_ALERT, w, text ? *text : std::string()});
        return 0;
    }
};

std::string Drain(CQueue& queue) {
    std::string out;
    std::uint8_t b = 0;
    while (queue.GetByte(b)) out.push_back(static_cast<char>(b));
    return out;
}

class CommThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Pty.Ok()) << "no pseudo-terminal: " << std::strerror(errno);
        m_Comm.SetOwner(&m_Owner);
    }

    bool WaitForQueued(int count, int timeoutMs = 3000) {
        return m_Loop.RunUntil([&] { return m_Comm.m_QueueRead.GetCount() >= count; }, timeoutMs);
    }

    CPtyMaster m_Pty;
    CManualMessageLoop m_Loop;
    CRecorder m_Owner{m_Loop};
    CCommThread m_Comm;  // declared last: closed before its owner goes
};

}  // namespace

// ---- receiving -----------------------------------------------------------

TEST_F(CommThreadTest, BytesFromTheModuleAreQueuedAndWakeTheOwner) {
    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 115200, 7)) << m_Comm.LastError();
    EXPECT_TRUE(m_Comm.IsConnected());
    EXPECT_EQ(m_Comm.DevicePath(), m_Pty.Slave());

    m_Pty.Write("hello");
    ASSERT_TRUE(m_Loop.RunUntil([&] {
        return m_Comm.m_QueueRead.GetCount() >= 5 && m_Owner.Count(WM_COMM_READ) >= 1;
    }));
    EXPECT_EQ(Drain(m_Comm.m_QueueRead), "hello");
    for (const auto& r : m_Owner.m_Records) {
        EXPECT_EQ(r.msg, WM_COMM_READ);
        EXPECT_EQ(r.wParam, 7u);  // the wake-up parameter
    }

    // Binary data, including bytes a cooked terminal would eat or translate.
    const std::uint8_t raw[] = {0x7E, 0x00, 0x0D, 0x0A, 0x03, 0x11, 0x13, 0x1A, 0x04, 0x7F, 0xFF};
    m_Pty.Write(raw, sizeof raw);
    ASSERT_TRUE(WaitForQueued(sizeof raw));
    EXPECT_EQ(Drain(m_Comm.m_QueueRead), std::string(reinterpret_cast<const char*>(raw), sizeof raw));
}

TEST_F(CommThreadTest, LargeAnswerArrivesWholeOverSeveralWakeUps) {
    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 115200, 0)) << m_Comm.LastError();
    std::vector<std::uint8_t> image(6000);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 31 % 256);
    m_Pty.Write(image.data(), image.size());

    ASSERT_TRUE(m_Loop.RunUntil([&] {
        return m_Comm.m_QueueRead.GetCount() >= 6000 && m_Owner.Count(WM_COMM_READ) >= 1;
    }));
    std::string got = Drain(m_Comm.m_QueueRead);
    EXPECT_EQ(got, std::string(image.begin(), image.end()));
}

TEST_F(CommThreadTest, BytesThatArrivedWhileClosedAreDiscardedAtOpen) {
    m_Pty.Write("STALE");
    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 9600, 0)) << m_Comm.LastError();
    m_Pty.Write("FRESH");
    ASSERT_TRUE(WaitForQueued(5));
    EXPECT_EQ(Drain(m_Comm.m_QueueRead), "FRESH");
}

TEST_F(CommThreadTest, OpenAndCloseLeaveTheQueueAsItIs) {
    const std::uint8_t kept[] = {1, 2, 3};
    ASSERT_TRUE(m_Comm.m_QueueRead.PutChunk(kept, 3));
    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 9600, 0)) << m_Comm.LastError();
    EXPECT_EQ(m_Comm.m_QueueRead.GetCount(), 3);
    m_Comm.ClosePort();
    EXPECT_EQ(m_Comm.m_QueueRead.GetCount(), 3);
}

TEST_F(CommThreadTest, ChunkThatDoesNotFitIsDroppedWithAnAlert) {
    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 115200, 0)) << m_Comm.LastError();
    std::vector<std::uint8_t> fill(8150, 0xAB);
    ASSERT_TRUE(m_Comm.m_QueueRead.PutChunk(fill.data(), 8150));  // 42 bytes free

    m_Pty.Write(std::string(100, 'Z'));
    ASSERT_TRUE(m_Loop.RunUntil([&] {
        return m_Owner.Count(WM_COMM_ALERT) >= 1 && m_Owner.Count(WM_COMM_READ) >= 1;
    }));
    EXPECT_EQ(m_Comm.m_QueueRead.GetCount(), 8150);  // the whole chunk was lost
    const auto& alert = m_Owner.m_Records.front();
    EXPECT_EQ(alert.msg, WM_COMM_ALERT);
    EXPECT_EQ(alert.wParam, COMM_ALERT_QUEUE_FULL);
    EXPECT_EQ(alert.text, "m_QueueRead FULL!");

    // The thread goes on: once the queue is drained, new bytes arrive.
    m_Comm.m_QueueRead.ClearQueue();
    m_Pty.Write("next");
    ASSERT_TRUE(WaitForQueued(4));
    EXPECT_EQ(Drain(m_Comm.m_QueueRead), "next");
}

// ---- line settings and writing ------------------------------------------

TEST_F(CommThreadTest, LineIsRaw8N1AtEachStandardRate) {
    const std::pair<int, speed_t> rates[] = {
        {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
    for (const auto& [baud, speed] : rates) {
        ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), baud, 0)) << m_Comm.LastError();
        // Terminal settings ioctls on the master act on the slave's settings.
        termios tio{};
        ASSERT_EQ(::tcgetattr(m_Pty.Fd(), &tio), 0);
        EXPECT_EQ(::cfgetospeed(&tio), speed) << baud;
        EXPECT_EQ(::cfgetispeed(&tio), speed) << baud;
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        m_Comm.ClosePort();
    }
}

TEST_F(CommThreadTest, WrittenBytesArriveAtTheModuleExactly) {
    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 115200, 0)) << m_Comm.LastError();

    const std::uint8_t frame[] = {0x7E, 0x0A, 0x0D, 0x00, 0x11, 0x13, 0xFF, 0x03};
    EXPECT_EQ(m_Comm.WriteComm(frame, sizeof frame), sizeof frame);
    EXPECT_EQ(m_Pty.Read(sizeof frame), std::vector<std::uint8_t>(frame, frame + sizeof frame));

    // Much more than the terminal buffers hold: the write must loop over
    // partial writes and EAGAIN while the module reads slowly.
    std::vector<std::uint8_t> big(300000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 13 % 256);
    std::vector<std::uint8_t> received;
    std::thread reader([&] { received = m_Pty.Read(big.size()); });
    EXPECT_EQ(m_Comm.WriteComm(big.data(), big.size()), big.size());
    reader.join();
    EXPECT_TRUE(received == big) << "received " << received.size() << " bytes";
}

TEST_F(CommThreadTest, WriteTapSeesEveryWriteAndClosedChannelWritesNothing) {
    std::string tapped;
    m_Comm.m_WriteTap = [&](const std::uint8_t* b, std::size_t n) {
        tapped.append(reinterpret_cast<const char*>(b), n);
    };
    const std::uint8_t before[] = {'a', 'b'};
    EXPECT_EQ(m_Comm.WriteComm(before, 2), 0u);

    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 57600, 0)) << m_Comm.LastError();
    const std::uint8_t during[] = {'c', 'd', 'e'};
    EXPECT_EQ(m_Comm.WriteComm(during, 3), 3u);
    EXPECT_EQ(m_Pty.Read(3), std::vector<std::uint8_t>(during, during + 3));
    EXPECT_EQ(tapped, "abcde");
}

TEST(SerialDeviceWrite, StalledPeerEndsTheWriteAfterTheLimit) {
    CPtyMaster pty;  // never read: the terminal buffers fill up
    ASSERT_TRUE(pty.Ok());
    CSerialDevice device;
    ASSERT_TRUE(device.Open(pty.Slave(), 9600)) << device.error();
    device.SetWriteStallLimit(150);
    std::vector<std::uint8_t> big(1 << 20, 0x55);
    auto start = Clock::now();
    std::size_t written = device.Write(big.data(), big.size());
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, big.size());
    EXPECT_GE(ms, 140);
    EXPECT_LT(ms, 2000);
}

// ---- RTS -----------------------------------------------------------------

TEST_F(CommThreadTest, PseudoTerminalRefusesRtsYetOpens) {
    EXPECT_FALSE(m_Comm.SetRts(true));  // closed
    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 19200, 0)) << m_Comm.LastError();
    EXPECT_FALSE(m_Comm.SetRts(true));
    EXPECT_FALSE(m_Comm.SetRts(false));
    EXPECT_TRUE(m_Comm.IsConnected());
    // Still fully working.
    m_Pty.Write("ok");
    ASSERT_TRUE(WaitForQueued(2));
}

// ---- closing, reopening, exclusive use ------------------------------------

TEST_F(CommThreadTest, ClosePortReleasesTheWatchThreadAtOnce) {
    const int threads = SettledThreadCount();
    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 115200, 0)) << m_Comm.LastError();
    EXPECT_EQ(ThreadCount(), threads + 1);
    // Let the watch thread settle in its wait.
    m_Pty.Write("x");
    ASSERT_TRUE(WaitForQueued(1));

    auto start = Clock::now();
    m_Comm.ClosePort();
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    std::printf("[ measured ] ClosePort returned after %lld us\n", static_cast<long long>(us));
    EXPECT_LT(us, 100000);
    EXPECT_FALSE(m_Comm.IsConnected());
    EXPECT_TRUE(WaitForThreadCount(threads));  // joined, not merely told to stop

    m_Comm.ClosePort();  // on a closed channel: nothing happens
    EXPECT_FALSE(m_Comm.IsConnected());
}

TEST_F(CommThreadTest, ThousandOpenCloseCyclesLeakNoThreadOrDescriptor) {
    const int threads = SettledThreadCount();
    const int fds = FdCount();
    auto start = Clock::now();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 38400, 0)) << "cycle " << i << ": " << m_Comm.LastError();
        if (i % 100 == 0) {
            // Every hundredth cycle proves the new watch thread really reads.
            m_Pty.Write("p");
            ASSERT_TRUE(WaitForQueued(1)) << "cycle " << i;
            m_Comm.m_QueueRead.ClearQueue();
        }
        m_Comm.ClosePort();
    }
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    std::printf("[ measured ] 1000 open/close cycles took %lld ms\n", static_cast<long long>(ms));
    EXPECT_TRUE(WaitForThreadCount(threads)) << ThreadCount() << " threads, expected " << threads;
    EXPECT_EQ(FdCount(), fds);
}

TEST_F(CommThreadTest, SecondOpenOfAnOpenPortFailsAndReopenAfterCloseWorks) {
    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 9600, 0)) << m_Comm.LastError();
    const int fds = FdCount();

    CCommThread other;
    other.SetOwner(&m_Owner);
    EXPECT_FALSE(other.OpenPort(m_Pty.Slave(), 9600, 0));
    EXPECT_FALSE(other.IsConnected());
    EXPECT_EQ(other.LastError(), m_Pty.Slave() + ": Device or resource busy (the port is in use by another program)");
    EXPECT_EQ(FdCount(), fds);

    // The failed attempt did not disturb the holder.
    m_Pty.Write("mine");
    ASSERT_TRUE(WaitForQueued(4));
    EXPECT_EQ(Drain(m_Comm.m_QueueRead), "mine");

    m_Comm.ClosePort();
    ASSERT_TRUE(other.OpenPort(m_Pty.Slave(), 9600, 0)) << other.LastError();
    m_Pty.Write("theirs");
    ASSERT_TRUE(m_Loop.RunUntil([&] { return other.m_QueueRead.GetCount() >= 6; }));
    EXPECT_EQ(Drain(other.m_QueueRead), "theirs");
    other.ClosePort();

    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 9600, 0)) << m_Comm.LastError();
}

TEST_F(CommThreadTest, ExclusiveModeIsClearedForTheNextUserOfAKeptTerminal) {
    // Someone else keeps the terminal alive (as the simulated module does).
    int keeper = ::open(m_Pty.Slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(keeper, 0);
    int excl = -1;

    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 9600, 0)) << m_Comm.LastError();
    ASSERT_EQ(::ioctl(keeper, TIOCGEXCL, &excl), 0);
    EXPECT_EQ(excl, 1);
    m_Comm.ClosePort();
    ASSERT_EQ(::ioctl(keeper, TIOCGEXCL, &excl), 0);
    EXPECT_EQ(excl, 0);
    ::close(keeper);
}

TEST_F(CommThreadTest, OpeningAnOpenChannelAgainReplacesTheOldWatchThread) {
    const int threads = SettledThreadCount();
    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 9600, 0)) << m_Comm.LastError();
    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 115200, 3)) << m_Comm.LastError();
    // The first watch thread was joined; only the new one runs.
    EXPECT_TRUE(WaitForThreadCount(threads + 1));
    EXPECT_EQ(ThreadCount(), threads + 1);
    m_Pty.Write("z");
    ASSERT_TRUE(m_Loop.RunUntil([&] { return m_Owner.Count(WM_COMM_READ) >= 1; }));
    EXPECT_EQ(m_Owner.m_Records.back().wParam, 3u);
}

// ---- the device goes away --------------------------------------------------

TEST_F(CommThreadTest, HangUpEndsTheWatchThreadWithoutSpinningAndReportsPortLost) {
    const int threads = SettledThreadCount();
    const int fds = FdCount();
    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 115200, 5)) << m_Comm.LastError();
    ASSERT_EQ(ThreadCount(), threads + 1);

    const double cpuBefore = ProcessCpuMs();
    m_Pty.Close();  // the adapter is pulled out
    ASSERT_TRUE(m_Loop.RunUntil([&] { return m_Owner.Count(WM_COMM_PORT_LOST) == 1; }));
    EXPECT_TRUE(WaitForThreadCount(threads)) << "the watch thread did not end";
    // Stay a while: a spinning thread would burn this whole time.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    std::printf("[ measured ] CPU time from hang-up to thread end + 100 ms: %.2f ms\n", cpuMs);
    EXPECT_LT(cpuMs, 50.0);

    EXPECT_TRUE(m_Comm.IsPortLost());
    EXPECT_EQ(m_Owner.m_Records.back().msg, WM_COMM_PORT_LOST);
    EXPECT_EQ(m_Owner.m_Records.back().wParam, 5u);
    EXPECT_EQ(m_Owner.Count(WM_COMM_PORT_LOST), 1);

    const std::uint8_t frame[] = {1, 2, 3};
    EXPECT_LT(m_Comm.WriteComm(frame, 3), 3u);  // a write to a dead line does not hang

    m_Comm.ClosePort();
    EXPECT_FALSE(m_Comm.IsConnected());
    EXPECT_EQ(FdCount(), fds - 1);  // the master end is gone as well
}

// ---- open failures -------------------------------------------------------

TEST_F(CommThreadTest, UnsupportedBaudRateFailsWithAClearError) {
    const int fds = FdCount();
    const int threads = SettledThreadCount();
    for (int baud : {0, 4800, 12345, 230400}) {
        EXPECT_FALSE(m_Comm.OpenPort(m_Pty.Slave(), baud, 0));
        EXPECT_EQ(m_Comm.LastError(), m_Pty.Slave() + ": unsupported baud rate " + std::to_string(baud) +
                                          " (use 9600, 19200, 38400, 57600 or 115200)");
        EXPECT_FALSE(m_Comm.IsConnected());
    }
    EXPECT_EQ(FdCount(), fds);
    EXPECT_LE(ThreadCount(), threads);
    ASSERT_TRUE(m_Comm.OpenPort(m_Pty.Slave(), 9600, 0)) << m_Comm.LastError();
    EXPECT_TRUE(m_Comm.LastError().empty());
}

TEST_F(CommThreadTest, MissingDeviceFailsWithPathAndReason) {
    const int fds = FdCount();
    EXPECT_FALSE(m_Comm.OpenPort("/dev/pravik-no-such-port", 9600, 0));
    EXPECT_EQ(m_Comm.DevicePath(), "/dev/pravik-no-such-port");
    EXPECT_EQ(m_Comm.LastError(), "/dev/pravik-no-such-port: No such file or directory");
    EXPECT_FALSE(m_Comm.IsConnected());
    EXPECT_EQ(FdCount(), fds);
    m_Comm.ClosePort();  // harmless after a failed open
}

TEST_F(CommThreadTest, FileThatIsNotATerminalIsRefused) {
    const int fds = FdCount();
    EXPECT_FALSE(m_Comm.OpenPort("/dev/null", 9600, 0));
    EXPECT_EQ(m_Comm.LastError(), "/dev/null: Inappropriate ioctl for device (not a serial port)");
    EXPECT_EQ(FdCount(), fds);
}

TEST(SerialDeviceErrors, TextsNameThePathTheReasonAndAHint) {
    EXPECT_EQ(FormatSerialError("/dev/ttyS0", EACCES), "/dev/ttyS0: Permission denied (add yourself to the dialout group)");
    EXPECT_EQ(FormatSerialError("/dev/ttyUSB0", EBUSY),
              "/dev/ttyUSB0: Device or resource busy (the port is in use by another program)");
    EXPECT_EQ(FormatSerialError("/dev/ttyS3", ENOENT), "/dev/ttyS3: No such file or directory");
}

TEST(SerialDeviceErrors, PortWithoutPermissionNamesTheDialoutGroup) {
    CPtyMaster pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_EQ(::chmod(pty.Slave().c_str(), 0), 0);  // nobody but root may open it now
    auto tryOpen = [&] {
        CSerialDevice device;
        return device.Open(pty.Slave(), 9600) ? std::string("opened") : device.error();
    };
    std::string error;
    if (::geteuid() != 0) {
        error = tryOpen();
    } else {
        // Root passes any permission check: try as an ordinary user instead.
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(fds[0]);
            std::string text = "could not drop privileges";
            if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0) text = tryOpen();
            ssize_t w = ::write(fds[1], text.data(), text.size());
            ::_exit(w == static_cast<ssize_t>(text.size()) ? 0 : 1);
        }
        ::close(fds[1]);
        char buf[512];
        ssize_t n;
        while ((n = ::read(fds[0], buf, sizeof buf)) > 0) error.append(buf, n);
        ::close(fds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(error, pty.Slave() + ": Permission denied (add yourself to the dialout group)");
}

// ---- port names ----------------------------------------------------------

TEST(PortNames, ComNamesMapToSerialDevicesAndPathsStayAsTheyAre) {
    ClearPortOverrides();
    EXPECT_EQ(ResolvePortName("COM1"), "/dev/ttyS0");
    EXPECT_EQ(ResolvePortName("COM2"), "/dev/ttyS1");
    EXPECT_EQ(ResolvePortName("COM4"), "/dev/ttyS3");
    EXPECT_EQ(ResolvePortName("COM12"), "/dev/ttyS11");
    EXPECT_EQ(ResolvePortName("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortName("/tmp/pravik-sim-port"), "/tmp/pravik-sim-port");
    EXPECT_EQ(ResolvePortName("ttyACM0"), "/dev/ttyACM0");
}

TEST(PortNames, OverridesReplaceTheMappingUntilCleared) {
    ClearPortOverrides();
    SetPortOverride("COM2", "/dev/ttyUSB0");
    SetPortOverride("COM3", "/dev/pts/9");
    EXPECT_EQ(ResolvePortName("COM2"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortName("COM3"), "/dev/pts/9");
    EXPECT_EQ(ResolvePortName("COM1"), "/dev/ttyS0");
    SetPortOverride("COM2", "/dev/ttyUSB1");  // a later override wins
    EXPECT_EQ(ResolvePortName("COM2"), "/dev/ttyUSB1");
    ClearPortOverrides();
    EXPECT_EQ(ResolvePortName("COM2"), "/dev/ttyS1");
    EXPECT_EQ(ResolvePortName("COM3"), "/dev/ttyS2");
}

TEST(PortNames, OverridesMayChangeWhileAnotherThreadResolves) {
    ClearPortOverrides();
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::thread resolver([&] {
        while (!stop) {
            std::string path = ResolvePortName("COM1");
            if (path != "/dev/ttyS0" && path != "/dev/pts/1") ++bad;
        }
    });
    for (int i = 0; i < 2000; ++i) {
        SetPortOverride("COM1", "/dev/pts/1");
        ClearPortOverrides();
    }
    stop = true;
    resolver.join();
    EXPECT_EQ(bad, 0);
}

TEST_F(CommThreadTest, OpenByComNameUsesItsOverride) {
    SetPortOverride("COM3", m_Pty.Slave());
    ASSERT_TRUE(m_Comm.OpenPort("COM3", 9600, 0)) << m_Comm.LastError();
    ClearPortOverrides();
    EXPECT_EQ(m_Comm.PortName(), "COM3");
    EXPECT_EQ(m_Comm.DevicePath(), m_Pty.Slave());
    m_Pty.Write("via COM3");
    ASSERT_TRUE(WaitForQueued(8));
    EXPECT_EQ(Drain(m_Comm.m_QueueRead), "via COM3");
}
