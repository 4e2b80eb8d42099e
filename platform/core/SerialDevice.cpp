#include "platform/core/SerialDevice.h"

#include "platform/core/SerialPorts.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <map>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

unsigned TermiosSpeedOf(int baudRate) {
    switch (baudRate) {
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        default: return B0;
    }
}

int BaudOfTermiosSpeed(unsigned speed) {
    switch (speed) {
        case B9600: return 9600;
        case B19200: return 19200;
        case B38400: return 38400;
        case B57600: return 57600;
        case B115200: return 115200;
        default: return 0;
    }
}

namespace {

class CPosixSerialLineOps : public ISerialLineOps {
public:
    int OutputQueued(int fd) override {
        int queued = 0;
        return ::ioctl(fd, TIOCOUTQ, &queued) == 0 ? queued : -1;
    }
    void Drain(int fd) override {
        while (::tcdrain(fd) != 0 && errno == EINTR) {
        }
    }
    void Flush(int fd, int queues) override { ::tcflush(fd, queues); }
    void CloseFd(int fd) override { ::close(fd); }
    std::int64_t NowMs() override {
        timespec ts{};
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    }
    void SleepMs(int ms) override {
        timespec ts{ms / 1000, (ms % 1000) * 1000000L};
        while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
        }
    }
};

}  // namespace

ISerialLineOps& PosixSerialLineOps() {
    static CPosixSerialLineOps ops;
    return ops;
}

std::string SerialOpenReason(const std::string& path, int err) {
    if (err == EACCES || err == EPERM) {
        // The group that may use the device (dialout on Debian), when its
        // node says so; dialout otherwise.
        std::string groupName = "dialout";
        struct stat node {};
        if (StatDevice(path, node) && node.st_gid != 0 && (node.st_mode & 060) == 060) {
            if (const struct group* entry = ::getgrgid(node.st_gid)) groupName = entry->gr_name;
        }
        return "No permission to use the port: add yourself to the group " + groupName + ": sudo adduser $USER " +
               groupName + ", then log in again.";
    }
    if (err == EBUSY) {
        std::string text = "The port is in use by another program";
        const std::vector<SPortHolder> holders = FindPortHolders(path);
        for (std::size_t i = 0; i < holders.size(); ++i) {
            text += (i == 0 ? ": " : ", ") + holders[i].name + " (process " + std::to_string(holders[i].pid) + ")";
        }
        return text + ".";
    }
    if (err == ENOENT || err == ENODEV || err == ENXIO) {
        return "The port is not there: the adapter is unplugged or the device does not exist.";
    }
    if (err == ENOTTY) return "It is not a serial port.";
    return std::string(std::strerror(err)) + ".";
}

std::string FormatSerialError(const std::string& path, int err) { return path + ": " + SerialOpenReason(path, err); }

bool CSerialDevice::Fail(const std::string& path, const std::string& reason) {
    m_Error = path + ": " + reason;
    m_Reason = reason;
    Close();
    return false;
}

bool CSerialDevice::FailErrno(const std::string& path, int err) { return Fail(path, SerialOpenReason(path, err)); }

bool CSerialDevice::Open(const std::string& path, int baudRate) {
    Close();
    m_Error.clear();
    m_Reason.clear();
    m_nBaudRate = baudRate;

    const speed_t speed = TermiosSpeedOf(baudRate);
    if (speed == B0) {
        return Fail(path, "unsupported baud rate " + std::to_string(baudRate) +
                              " (use 9600, 19200, 38400, 57600 or 115200)");
    }

    m_Fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_Fd < 0) return FailErrno(path, errno);
    // Exclusive use: the advisory lock also keeps out root, which TIOCEXCL
    // does not.
    if (::flock(m_Fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        return FailErrno(path, err == EWOULDBLOCK ? EBUSY : err);
    }
    if (::ioctl(m_Fd, TIOCEXCL) != 0) return FailErrno(path, errno);
    m_bExclusive = true;
    termios tio{};
    if (::tcgetattr(m_Fd, &tio) != 0) return FailErrno(path, errno);

    // Raw 8N1, receiver on, modem status lines ignored, no flow control of
    // any kind. VMIN 1 with O_NONBLOCK: a read returns what has arrived, fails
    // with EAGAIN when nothing has, and returns 0 only at a hang-up.
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    tio.c_cc[VSTART] = 0;
    tio.c_cc[VSTOP] = 0;
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0 ||
        ::tcsetattr(m_Fd, TCSANOW, &tio) != 0) {
        return FailErrno(path, errno);
    }
    // tcsetattr succeeds when any part of the change was taken; check the rate.
    termios check{};
    if (::tcgetattr(m_Fd, &check) != 0) return FailErrno(path, errno);
    if (::cfgetospeed(&check) != speed || ::cfgetispeed(&check) != speed) {
        return Fail(path, "the driver refused the baud rate " + std::to_string(baudRate));
    }

    // RTS powers the module. A device without modem-control lines (a
    // pseudo-terminal) refuses with ENOTTY or EINVAL and is still usable.
    int rts = TIOCM_RTS;
    if (::ioctl(m_Fd, TIOCMBIS, &rts) != 0 && errno != ENOTTY && errno != EINVAL) {
        int err = errno;
        return Fail(path, std::string("cannot raise RTS: ") + std::strerror(err));
    }

    Purge();
    return true;
}

void CSerialDevice::Close() {
    if (m_Fd < 0) return;
    // Clear exclusive mode first: the terminal outlives this descriptor when
    // someone else holds it open (the simulated module keeps its
    // pseudo-terminal alive), and the next open must not find it locked.
    if (m_bExclusive) ::ioctl(m_Fd, TIOCNXCL);
    m_bExclusive = false;
    Ops().CloseFd(m_Fd);  // also releases the flock
    m_Fd = -1;
}

bool CSerialDevice::DrainAndClose() {
    if (m_Fd < 0) return true;
    ISerialLineOps& ops = Ops();
    int queued = ops.OutputQueued(m_Fd);
    // Ten bits a byte at the port's rate, plus a margin for the driver.
    std::int64_t limit = DRAIN_MARGIN_MS;
    if (queued > 0) limit += static_cast<std::int64_t>(queued) * 10000 / (m_nBaudRate > 0 ? m_nBaudRate : 9600);
    if (limit > DRAIN_LIMIT_MS) limit = DRAIN_LIMIT_MS;
    const std::int64_t deadline = ops.NowMs() + limit;
    bool drained = true;
    while (queued > 0) {
        if (ops.NowMs() >= deadline) {
            drained = false;  // the line does not move: discard the rest
            break;
        }
        ops.SleepMs(2);
        queued = ops.OutputQueued(m_Fd);
    }
    // The driver's queue is empty: wait for the last bytes in the transmitter.
    if (drained) ops.Drain(m_Fd);
    ops.Flush(m_Fd, drained ? TCIFLUSH : TCIOFLUSH);
    Close();
    return drained;
}

long CSerialDevice::Read(std::uint8_t* buffer, std::size_t max) {
    if (m_Fd < 0) return -1;
    for (;;) {
        ssize_t n = ::read(m_Fd, buffer, max);
        if (n > 0) return static_cast<long>(n);
        if (n == 0) return -1;  // hang-up (VMIN 1: an empty read is end of file)
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

std::size_t CSerialDevice::Write(const std::uint8_t* bytes, std::size_t count) {
    if (m_Fd < 0) return 0;
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(m_Fd, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd pfd{m_Fd, POLLOUT, 0};
            int r = ::poll(&pfd, 1, m_nStallMs);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;  // the device took nothing for the whole limit
            if (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) break;
            continue;
        }
        break;  // EIO after a hang-up and the like
    }
    return done;
}

void CSerialDevice::Purge() {
    if (m_Fd >= 0) ::tcflush(m_Fd, TCIOFLUSH);
}

bool CSerialDevice::SetRts(bool on) {
    if (m_Fd < 0) return false;
    int rts = TIOCM_RTS;
    return ::ioctl(m_Fd, on ? TIOCMBIS : TIOCMBIC, &rts) == 0;
}

std::string CPortMap::Resolve(const std::string& name) const {
    if (!name.empty() && name[0] == '/') return name;
    auto it = m_Overrides.find(name);
    if (it != m_Overrides.end()) return it->second;
    if (name.size() > 3 && name.size() <= 6 && name.compare(0, 3, "COM") == 0 &&
        name.find_first_not_of("0123456789", 3) == std::string::npos) {
        int n = std::stoi(name.substr(3));
        if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
    }
    // Anything else names a device under /dev (for example "ttyUSB0").
    return "/dev/" + name;
}
