#include "link/SerialChannel.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

#include "link/CommMessages.h"

namespace {

constexpr std::size_t COMM_READ_CHUNK = 2048;

// Posts an alert for the operator; the text travels with the message
// (lParam points at it while the handler runs).
void PostAlert(CMsgTarget* owner, WPARAM kind, const std::string& text) {
    if (!owner) return;
    auto payload = std::make_shared<const std::string>(text);
    owner->Loop().Post(owner, WM_COMM_ALERT, kind, reinterpret_cast<LPARAM>(payload.get()),
                       payload);
}

}  // namespace

CSerialChannel::CSerialChannel() = default;

CSerialChannel::~CSerialChannel() { ClosePort(); }

bool CSerialChannel::OpenPort(const std::string& portName, int baudRate, std::uint16_t wakeParam) {
    // The console always closes first; a second open on a running channel
    // must not leave the old watch thread and descriptor behind.
    ClosePort();

    m_bConnected = false;
    m_bPortLost = false;
    m_DroppedBytes = 0;
    m_bFullAlertOpen = false;
    m_wWakeParam = wakeParam;
    m_strPortName = portName;
    m_strDevicePath = m_PortMap.Resolve(portName);
    m_strLastError.clear();
    m_strLastReason.clear();

    // Opens exclusively, sets the line, raises RTS (a pseudo-terminal's
    // refusal is tolerated) and discards whatever arrived while nothing was
    // connected.
    if (!m_Device.Open(m_strDevicePath, baudRate)) {
        m_strLastError = m_Device.error();
        m_strLastReason = m_Device.reason();
        return false;
    }

    m_WakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_WakeFd < 0) {
        m_strLastReason = std::string("cannot create the wake-up event: ") + std::strerror(errno);
        m_strLastError = m_strDevicePath + ": " + m_strLastReason;
        m_Device.Close();
        return false;
    }

    m_bConnected = true;
    try {
        m_WatchThread = std::thread(&CSerialChannel::ThreadWatchComm, this);
    } catch (const std::system_error& e) {
        m_strLastReason = std::string("cannot start the watch thread: ") + e.what();
        m_strLastError = m_strDevicePath + ": " + m_strLastReason;
        ClosePort();
        return false;
    }
    return true;
}

void CSerialChannel::ClosePort() {
    if (!m_Device.IsOpen() && !m_WatchThread.joinable() && m_WakeFd < 0) return;
    m_bConnected = false;
    // poll on a pseudo-terminal is not released when another thread closes
    // the descriptor, and the number could be reused at once: wake the
    // thread through its event, wait for it, and only then close.
    if (m_WakeFd >= 0) {
        std::uint64_t one = 1;
        ssize_t r;
        do {
            r = ::write(m_WakeFd, &one, sizeof one);
        } while (r < 0 && errno == EINTR);
    }
    if (m_WatchThread.joinable()) m_WatchThread.join();
    if (m_WakeFd >= 0) {
        ::close(m_WakeFd);
        m_WakeFd = -1;
    }
    // A request written just before the close (the rate change) still has
    // to reach the module: drain, then discard the input and close.
    m_Device.DrainAndClose();
}

std::size_t CSerialChannel::WriteComm(const std::uint8_t* bytes, std::size_t count) {
    if (m_WriteTap) m_WriteTap(bytes, count);
    if (!m_Device.IsOpen() || count == 0) return 0;
    return m_Device.Write(bytes, count);
}

std::size_t CSerialChannel::ReadComm(std::uint8_t* buffer, std::size_t maxCount) {
    if (!m_Device.IsOpen() || maxCount == 0) return 0;
    long n = m_Device.Read(buffer, maxCount);
    if (n < 0) {
        m_bPortLost = true;
        return 0;
    }
    return static_cast<std::size_t>(n);
}

bool CSerialChannel::SetRts(bool on) { return m_Device.SetRts(on); }

void CSerialChannel::ThreadWatchComm(CSerialChannel* comm) {
    CMsgTarget* owner = comm->m_pOwner;
    const WPARAM wake = comm->m_wWakeParam;
    auto post = [owner](UINT msg, WPARAM w) {
        if (owner) owner->Loop().Post(owner, msg, w, 0);
    };

    std::uint8_t buffer[COMM_READ_CHUNK];
    while (comm->m_bConnected) {
        pollfd fds[2] = {{comm->m_Device.Fd(), POLLIN, 0}, {comm->m_WakeFd, POLLIN, 0}};
        int r = ::poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            // The wait itself failed: nothing can be received any more.
            PostAlert(owner, COMM_ALERT_WATCH_FAILED,
                      "Error while creating ThreadWatchComm, " + comm->m_strPortName);
            return;
        }
        if (fds[1].revents != 0 || !comm->m_bConnected) break;  // ClosePort
        const short events = fds[0].revents;
        if (events & (POLLHUP | POLLERR | POLLNVAL)) {
            comm->m_bPortLost = true;
            post(WM_COMM_PORT_LOST, wake);
            return;
        }
        if (!(events & POLLIN)) continue;

        // Take everything that has arrived; a chunk that does not fit whole
        // is dropped and reported.
        bool queued = false;
        for (;;) {
            std::size_t n = comm->ReadComm(buffer, sizeof buffer);
            if (n == 0) break;
            if (comm->m_QueueRead.PutChunk(buffer, static_cast<int>(n))) {
                queued = true;
            } else {
                comm->m_DroppedBytes += n;
                // One box at a time: a stalled consumer must not collect a
                // stack of modal boxes, one per chunk.
                if (!comm->m_bFullAlertOpen.exchange(true)) {
                    PostAlert(owner, COMM_ALERT_QUEUE_FULL, "m_QueueRead FULL!");
                }
            }
        }
        if (comm->m_bPortLost) {
            // Readable, yet the read found end of file or an error: the
            // device is gone. Hand over what was queued, then stop.
            if (queued) post(WM_COMM_READ, wake);
            post(WM_COMM_PORT_LOST, wake);
            return;
        }
        post(WM_COMM_READ, wake);
    }
}
