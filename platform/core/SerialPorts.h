#pragma once
// The serial ports this machine has, as the udev database describes them
// (libudev): USB adapters, CDC-ACM devices and the built-in UARTs that are
// really there. A monitor reports adapters as they come and go, through a
// descriptor the caller polls. Also: which programs hold a port open.
//
// No window system here: the console's dialog, `pravik --list-ports` and the
// command-line tool share this list.
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

struct SSerialPortInfo {
    std::string kernelName;  // "ttyUSB0"
    std::string devicePath;  // "/dev/ttyUSB0"
    std::string byIdPath;    // "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", or empty
    std::string maker;       // "FTDI", or empty
    std::string product;     // "FT232R USB UART", or empty
    std::string serial;      // "A50285BI", or empty
    std::string driver;      // "ftdi_sio", or empty

    // The name to open and to store: the by-id path, which survives
    // re-plugging into another socket, else the device path.
    const std::string& StablePath() const { return byIdPath.empty() ? devicePath : byIdPath; }
    // The by-id name without its folder, or empty.
    std::string ByIdName() const;
    // "FTDI FT232R USB UART" (either part may be missing).
    std::string MakerAndProduct() const;
};

// Every serial port present, ordered by kernel name (ttyACM0, ttyS0, ttyUSB2,
// ttyUSB10). Virtual terminals and pseudo-terminals are not serial ports and
// are left out, and so are the placeholder UARTs the kernel lists without
// hardware behind them. Empty when udev cannot be asked.
std::vector<SSerialPortInfo> ListSerialPorts();

// One line that lets a person recognise the port:
// "ttyUSB0: FTDI FT232R USB UART (usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0)".
std::string DescribeSerialPort(const SSerialPortInfo& port);
// The line of `pravik --list-ports`: the path to open, then the description,
// the serial number and the driver where known.
std::string SerialPortListLine(const SSerialPortInfo& port);

// The port of list that path names (its device path, its by-id path, or a
// link that leads to the same device); nullptr when none does.
const SSerialPortInfo* FindSerialPort(const std::vector<SSerialPortInfo>& list, const std::string& path);

// Serial devices coming and going. Start() opens the udev monitor; Fd() is
// readable when something happened; TakeChanges() reads what is waiting and
// returns true when a serial port was added or removed (the caller then
// lists the ports again).
class CSerialPortMonitor {
public:
    CSerialPortMonitor() = default;
    ~CSerialPortMonitor() { Stop(); }
    CSerialPortMonitor(const CSerialPortMonitor&) = delete;
    CSerialPortMonitor& operator=(const CSerialPortMonitor&) = delete;

    bool Start();
    void Stop();
    int Fd() const;
    bool TakeChanges();

private:
    struct udev* m_pUdev = nullptr;
    struct udev_monitor* m_pMonitor = nullptr;
};

// What path finally leads to (links followed), as fstat on a descriptor that
// only names it (O_PATH) reports: that opens no device and needs no right to
// it. False when path leads nowhere.
bool StatDevice(const std::string& path, struct stat& info);

// A process that has a device open.
struct SPortHolder {
    pid_t pid = 0;
    std::string name;  // its command name, as /proc/PID/comm gives it
};

// The other processes that hold path (any name of the same device) open, as
// far as this user may see them (/proc/PID/fd of other users' processes is
// closed to a normal user).
std::vector<SPortHolder> FindPortHolders(const std::string& path);
