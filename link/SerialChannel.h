#pragma once
// The serial channel: one port, a watch thread that moves received bytes into
// m_QueueRead and wakes the packet manager with WM_COMM_READ (1025).
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "link/Queue.h"
#include "platform/core/MessageLoop.h"
#include "platform/core/SerialDevice.h"

class CSerialChannel {
public:
    CSerialChannel();
    ~CSerialChannel();

    // Where the watch thread posts WM_COMM_READ, WM_COMM_PORT_LOST and
    // WM_COMM_ALERT. Set once by the owner before the first OpenPort.
    void SetOwner(CMsgTarget* owner) { m_pOwner = owner; }

    // portName: "COM1".."COM4" (resolved through m_PortMap) or a device path.
    bool OpenPort(const std::string& portName, int baudRate, std::uint16_t wakeParam);
    // Stops and joins the watch thread, lets what was written reach the line
    // (bounded), then closes the device. Does nothing when closed.
    void ClosePort();
    std::size_t WriteComm(const std::uint8_t* bytes, std::size_t count);
    std::size_t ReadComm(std::uint8_t* buffer, std::size_t maxCount);
    bool SetRts(bool on);
    // How long a write waits for a device that takes no bytes (10 s).
    void SetWriteStallLimit(int ms) { m_Device.SetWriteStallLimit(ms); }
    // The seam under the device's close (tests).
    void SetLineOps(ISerialLineOps* ops) { m_Device.SetLineOps(ops); }

    bool IsConnected() const { return m_bConnected.load(); }
    // The device is open (user-interface thread).
    bool IsOpen() const { return m_Device.IsOpen(); }
    // True once the watch thread saw the device hang up or fail and stopped
    // (WM_COMM_PORT_LOST was posted). The port stays open until ClosePort.
    bool IsPortLost() const { return m_bPortLost.load(); }
    const std::string& PortName() const { return m_strPortName; }
    // The device path the last OpenPort used and, when it failed, why:
    // "<path>: <reason>", and the reason alone.
    const std::string& DevicePath() const { return m_strDevicePath; }
    const std::string& LastError() const { return m_strLastError; }
    const std::string& LastReason() const { return m_strLastReason; }

    static void ThreadWatchComm(CSerialChannel* comm);

    // Received bytes dropped because the queue was full, since the port was
    // opened. "m_QueueRead FULL!" is posted for the first drop only, and
    // again after the owner reports the box closed.
    std::uint64_t DroppedBytes() const { return m_DroppedBytes.load(); }
    void QueueFullAlertClosed() { m_bFullAlertOpen = false; }

    CQueue m_QueueRead;
    // Where the port names lead for this channel.
    CPortMap m_PortMap;

    // Sees every WriteComm call, whether or not the port is open (tests and
    // tools that record the traffic).
    std::function<void(const std::uint8_t*, std::size_t)> m_WriteTap;

private:
    CSerialDevice m_Device;
    std::string m_strPortName;
    std::string m_strDevicePath;
    std::string m_strLastError;
    std::string m_strLastReason;
    std::atomic<bool> m_bConnected{false};
    std::atomic<bool> m_bPortLost{false};
    std::atomic<std::uint64_t> m_DroppedBytes{0};
    std::atomic<bool> m_bFullAlertOpen{false};
    std::thread m_WatchThread;
    int m_WakeFd = -1;  // eventfd that releases the watch thread's poll
    std::uint16_t m_wWakeParam = 0;
    CMsgTarget* m_pOwner = nullptr;
};
