#include "platform/core/SerialPorts.h"

#include <dirent.h>
#include <fcntl.h>
#include <libudev.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <memory>

namespace {

constexpr const char* BY_ID_FOLDER = "/dev/serial/by-id/";

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <class T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string Text(const char* value) { return value ? value : ""; }

// udev writes the device's own strings with "\x20" for a blank and the like
// in the *_ENC properties.
std::string DecodeUdevText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Trim(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
    return text.substr(start);
}

// The first of: the USB device's own string, the hardware database's name,
// the encoded property, the plain property (blanks written as '_').
std::string NameOf(udev_device* tty, udev_device* usb, const char* attr, const char* db, const char* enc,
                   const char* plain) {
    if (usb) {
        std::string own = Trim(Text(udev_device_get_sysattr_value(usb, attr)));
        if (!own.empty()) return own;
    }
    std::string name = Text(udev_device_get_property_value(tty, db));
    if (name.empty()) name = DecodeUdevText(Text(udev_device_get_property_value(tty, enc)));
    if (name.empty()) {
        name = Text(udev_device_get_property_value(tty, plain));
        std::replace(name.begin(), name.end(), '_', ' ');
    }
    return Trim(name);
}

// The by-id link among the device's links: the udev database lists them
// (DEVLINKS holds the same list, blank-separated, where only the properties
// were recorded).
std::string ByIdLinkOf(udev_device* tty) {
    for (udev_list_entry* link = udev_device_get_devlinks_list_entry(tty); link; link = udev_list_entry_get_next(link)) {
        std::string name = Text(udev_list_entry_get_name(link));
        if (name.rfind(BY_ID_FOLDER, 0) == 0) return name;
    }
    std::string links = Text(udev_device_get_property_value(tty, "DEVLINKS"));
    std::size_t pos = 0;
    while (pos < links.size()) {
        std::size_t end = links.find(' ', pos);
        if (end == std::string::npos) end = links.size();
        std::string name = links.substr(pos, end - pos);
        if (name.rfind(BY_ID_FOLDER, 0) == 0) return name;
        pos = end + 1;
    }
    return {};
}

// The driver behind the port: the USB driver udev recorded, else the first
// driver up the device chain (serial for a built-in UART; the serial core's
// own port and controller devices in between say nothing).
std::string DriverOf(udev_device* tty) {
    std::string driver = Text(udev_device_get_property_value(tty, "ID_USB_DRIVER"));
    for (udev_device* dev = udev_device_get_parent(tty); driver.empty() && dev; dev = udev_device_get_parent(dev)) {
        const char* subsystem = udev_device_get_subsystem(dev);
        if (subsystem && std::strcmp(subsystem, "serial-base") == 0) continue;
        driver = Text(udev_device_get_driver(dev));
    }
    return driver;
}

bool IsSerialPort(udev_device* tty) {
    // Virtual terminals, the console and the like have no device behind them.
    if (!udev_device_get_parent(tty) || !udev_device_get_devnode(tty)) return false;
    // The 8250 driver lists a fixed number of ports; those without a UART
    // behind them have the type 0 (unknown).
    const char* type = udev_device_get_sysattr_value(tty, "type");
    return !(type && std::strcmp(type, "0") == 0);
}

// ttyUSB2 before ttyUSB10: the name's letters, then its number.
bool KernelNameLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& name) {
        std::size_t digits = name.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
        long number = digits < name.size() && name.size() - digits < 10 ? std::stol(name.substr(digits)) : -1;
        return std::make_pair(name.substr(0, digits), number);
    };
    return split(a) < split(b);
}

bool SameDevice(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    if (!StatDevice(a, sa) || !StatDevice(b, sb)) return false;
    if (S_ISCHR(sa.st_mode) && S_ISCHR(sb.st_mode)) return sa.st_rdev == sb.st_rdev;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

bool StatDevice(const std::string& path, struct stat& info) {
    const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fstat(fd, &info) == 0;
    ::close(fd);
    return ok;
}

std::string SSerialPortInfo::ByIdName() const {
    return byIdPath.rfind(BY_ID_FOLDER, 0) == 0 ? byIdPath.substr(std::strlen(BY_ID_FOLDER)) : byIdPath;
}

std::string SSerialPortInfo::MakerAndProduct() const {
    if (maker.empty()) return product;
    if (product.empty()) return maker;
    return maker + " " + product;
}

std::vector<SSerialPortInfo> ListSerialPorts() {
    std::vector<SSerialPortInfo> ports;
    UdevPtr<udev> context(udev_new());
    if (!context) return ports;
    UdevPtr<udev_enumerate> scan(udev_enumerate_new(context.get()));
    if (!scan || udev_enumerate_add_match_subsystem(scan.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(scan.get()) < 0) {
        return ports;
    }
    for (udev_list_entry* entry = udev_enumerate_get_list_entry(scan.get()); entry;
         entry = udev_list_entry_get_next(entry)) {
        UdevPtr<udev_device> tty(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!tty || !IsSerialPort(tty.get())) continue;
        // Owned by tty, not to be released.
        udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty.get(), "usb", "usb_device");
        SSerialPortInfo port;
        port.kernelName = Text(udev_device_get_sysname(tty.get()));
        port.devicePath = Text(udev_device_get_devnode(tty.get()));
        port.byIdPath = ByIdLinkOf(tty.get());
        port.maker = NameOf(tty.get(), usb, "manufacturer", "ID_VENDOR_FROM_DATABASE", "ID_VENDOR_ENC", "ID_VENDOR");
        port.product = NameOf(tty.get(), usb, "product", "ID_MODEL_FROM_DATABASE", "ID_MODEL_ENC", "ID_MODEL");
        port.serial = Text(udev_device_get_property_value(tty.get(), "ID_SERIAL_SHORT"));
        if (port.serial.empty() && usb) port.serial = Trim(Text(udev_device_get_sysattr_value(usb, "serial")));
        port.driver = DriverOf(tty.get());
        ports.push_back(std::move(port));
    }
    std::sort(ports.begin(), ports.end(), [](const SSerialPortInfo& a, const SSerialPortInfo& b) {
        return KernelNameLess(a.kernelName, b.kernelName);
    });
    return ports;
}

std::string DescribeSerialPort(const SSerialPortInfo& port) {
    std::string text = port.kernelName;
    const std::string names = port.MakerAndProduct();
    if (!names.empty()) text += ": " + names;
    if (!port.byIdPath.empty()) text += " (" + port.ByIdName() + ")";
    return text;
}

std::string SerialPortListLine(const SSerialPortInfo& port) {
    std::string line = port.StablePath() + "  " + port.kernelName;
    const std::string names = port.MakerAndProduct();
    if (!names.empty()) line += "  " + names;
    std::string details;
    if (!port.serial.empty()) details += "serial " + port.serial;
    if (!port.driver.empty()) details += (details.empty() ? "" : ", ") + std::string("driver ") + port.driver;
    if (!details.empty()) line += "  (" + details + ")";
    return line;
}

const SSerialPortInfo* FindSerialPort(const std::vector<SSerialPortInfo>& list, const std::string& path) {
    for (const SSerialPortInfo& port : list) {
        if (path == port.devicePath || (!port.byIdPath.empty() && path == port.byIdPath)) return &port;
    }
    for (const SSerialPortInfo& port : list) {
        if (SameDevice(path, port.devicePath)) return &port;
    }
    return nullptr;
}

// ------------------------------------------------------------------ monitor

bool CSerialPortMonitor::Start() {
    Stop();
    m_pUdev = udev_new();
    if (!m_pUdev) return false;
    m_pMonitor = udev_monitor_new_from_netlink(m_pUdev, "udev");
    if (!m_pMonitor || udev_monitor_filter_add_match_subsystem_devtype(m_pMonitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_pMonitor) < 0) {
        Stop();
        return false;
    }
    return true;
}

void CSerialPortMonitor::Stop() {
    if (m_pMonitor) udev_monitor_unref(m_pMonitor);
    if (m_pUdev) udev_unref(m_pUdev);
    m_pMonitor = nullptr;
    m_pUdev = nullptr;
}

int CSerialPortMonitor::Fd() const { return m_pMonitor ? udev_monitor_get_fd(m_pMonitor) : -1; }

bool CSerialPortMonitor::TakeChanges() {
    if (!m_pMonitor) return false;
    bool changed = false;
    // The monitor's socket does not block: NULL when nothing is waiting.
    while (udev_device* device = udev_monitor_receive_device(m_pMonitor)) {
        const char* action = udev_device_get_action(device);
        if (action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0 ||
                       std::strcmp(action, "change") == 0)) {
            changed = true;
        }
        udev_device_unref(device);
    }
    return changed;
}

// ------------------------------------------------------------------ holders

std::vector<SPortHolder> FindPortHolders(const std::string& path) {
    std::vector<SPortHolder> holders;
    struct stat target {};
    if (!StatDevice(path, target)) return holders;
    DIR* proc = ::opendir("/proc");
    if (!proc) return holders;
    const pid_t self = ::getpid();
    while (dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self) continue;
        const std::string fdFolder = std::string("/proc/") + entry->d_name + "/fd";
        DIR* fds = ::opendir(fdFolder.c_str());
        if (!fds) continue;  // gone meanwhile, or another user's
        bool holds = false;
        while (dirent* fd = ::readdir(fds)) {
            if (fd->d_name[0] == '.') continue;
            struct stat open {};
            if (::stat((fdFolder + "/" + fd->d_name).c_str(), &open) != 0) continue;
            if (S_ISCHR(target.st_mode) ? (S_ISCHR(open.st_mode) && open.st_rdev == target.st_rdev)
                                        : (open.st_dev == target.st_dev && open.st_ino == target.st_ino)) {
                holds = true;
                break;
            }
        }
        ::closedir(fds);
        if (!holds) continue;
        std::string name;
        std::getline(std::ifstream(std::string("/proc/") + entry->d_name + "/comm"), name);
        holders.push_back({static_cast<pid_t>(pid), name});
    }
    ::closedir(proc);
    std::sort(holders.begin(), holders.end(), [](const SPortHolder& a, const SPortHolder& b) { return a.pid < b.pid; });
    return holders;
}
