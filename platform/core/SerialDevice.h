#pragma once
// A serial device on POSIX termios: raw 8N1 at the five standard rates,
// opened exclusively.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

// What the device does to an open descriptor when it closes, behind a seam:
// a pseudo-terminal passes bytes on at once, so a test sees the order of
// these calls instead of timing a real line.
class ISerialLineOps {
public:
    virtual ~ISerialLineOps() = default;
    // Bytes written but not yet sent by the driver (TIOCOUTQ); -1 unknown.
    virtual int OutputQueued(int fd) = 0;
    // Waits until the transmitter is empty (tcdrain).
    virtual void Drain(int fd) = 0;
    // tcflush with TCIFLUSH, TCOFLUSH or TCIOFLUSH.
    virtual void Flush(int fd, int queues) = 0;
    virtual void CloseFd(int fd) = 0;
    // A monotonic clock and a pause, for the bound of the drain.
    virtual std::int64_t NowMs() = 0;
    virtual void SleepMs(int ms) = 0;
};

// The calls on the real descriptor.
ISerialLineOps& PosixSerialLineOps();

class CSerialDevice {
public:
    CSerialDevice() = default;
    ~CSerialDevice() { Close(); }
    CSerialDevice(const CSerialDevice&) = delete;
    CSerialDevice& operator=(const CSerialDevice&) = delete;

    // Opens path exclusively (O_NONBLOCK, flock, TIOCEXCL), sets raw 8N1 at
    // baudRate (9600, 19200, 38400, 57600 or 115200), purges, raises RTS.
    // A device without modem-control lines still opens. On failure returns
    // false and error() says why.
    bool Open(const std::string& path, int baudRate);
    void Close();
    // Lets what was written reach the line first (a request written just
    // before the port closes, such as a rate change, must not be thrown away
    // in the driver), then discards the input and closes. The wait is bounded
    // by the time the queued bytes need at the port's rate plus a margin, at
    // most DRAIN_LIMIT_MS, so a dead adapter cannot hang the console; what is
    // still queued then is discarded (else a close would wait for it).
    // Returns false when it gave up.
    bool DrainAndClose();
    static constexpr int DRAIN_LIMIT_MS = 1000;
    static constexpr int DRAIN_MARGIN_MS = 100;
    // The seam for the calls DrainAndClose makes (nullptr: the real ones).
    void SetLineOps(ISerialLineOps* ops) { m_pOps = ops; }
    bool IsOpen() const { return m_Fd >= 0; }
    int Fd() const { return m_Fd; }

    // Reads what has arrived, up to max bytes; 0 when nothing; -1 on error or
    // hang-up.
    long Read(std::uint8_t* buffer, std::size_t max);
    // Writes everything, looping on partial writes and EAGAIN. Returns the
    // count written.
    std::size_t Write(const std::uint8_t* bytes, std::size_t count);
    void Purge();
    // RTS on or off; false when the device refuses (a pseudo-terminal).
    bool SetRts(bool on);

    // Why the last Open failed: "<path>: <reason>", and the reason alone (a
    // sentence that says what to do where that is known).
    const std::string& error() const { return m_Error; }
    const std::string& reason() const { return m_Reason; }

    // How long Write waits for the device to take more bytes before it gives
    // up and returns the count written so far. A real port without flow
    // control always drains (4 KB at 9600 bit/s take about 4 s), so this only
    // ends writes to a peer that stopped reading.
    static constexpr int SERIAL_WRITE_STALL_MS = 10000;
    void SetWriteStallLimit(int ms) { m_nStallMs = ms; }

private:
    bool Fail(const std::string& path, const std::string& reason);
    bool FailErrno(const std::string& path, int err);

    int m_Fd = -1;
    bool m_bExclusive = false;  // we set TIOCEXCL and must clear it on close
    int m_nStallMs = SERIAL_WRITE_STALL_MS;
    int m_nBaudRate = 9600;
    ISerialLineOps* m_pOps = nullptr;
    ISerialLineOps& Ops() { return m_pOps ? *m_pOps : PosixSerialLineOps(); }
    std::string m_Error;
    std::string m_Reason;
};

// Why opening path failed with err, as a sentence for the operator. The usual
// causes say what to do: no permission names the group that grants it and
// how to join it; a port in use names the programs that hold it (where this
// user may see them); a port that has gone says it is not there. Other errors
// give the system's text.
std::string SerialOpenReason(const std::string& path, int err);
// "<path>: <reason>".
std::string FormatSerialError(const std::string& path, int err);

// The termios speed constant of a standard rate (B0 for any other rate) and back
// (0 for a speed that is not one of the five).
unsigned TermiosSpeedOf(int baudRate);
int BaudOfTermiosSpeed(unsigned speed);

// Where the port names lead: "COMn" -> its override, else /dev/ttyS(n-1); a
// path is used as it is; any other name is a device under /dev. One map per
// serial channel, filled by its owner (settings file, command line,
// simulated module) on the user-interface thread before the port opens.
class CPortMap {
public:
    std::string Resolve(const std::string& name) const;
    // A later override of the same name wins.
    void Set(const std::string& name, const std::string& path) { m_Overrides[name] = path; }
    void Clear() { m_Overrides.clear(); }

private:
    std::map<std::string, std::string> m_Overrides;
};
