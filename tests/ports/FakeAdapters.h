#pragma once
// USB-serial adapters faked with umockdev: udev lists them with their parent
// USB device, their /dev/serial/by-id link and their names, sends "add" and
// "remove" as they are plugged in and pulled out, and their tty leads to a
// real pseudo-terminal that the test serves (the simulated module, or a raw
// terminal). The program must run under umockdev-wrapper; Problem() says so
// when it does not, and every test that needs the fakes fails with it.
#include <map>
#include <string>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;

namespace ports_test {

struct SFakeAdapter {
    std::string kernelName;  // "ttyUSB0"; a re-plugged adapter comes back under a new one
    std::string byIdName;    // the name under /dev/serial/by-id/
    std::string maker;       // the USB device's own strings
    std::string product;
    std::string serial;
    std::string driver = "ftdi_sio";
    std::string ttyPath;     // the pseudo-terminal the tty leads to
    // Only udev properties (as a CDC-ACM device without strings has): the
    // maker and product come from the hardware database's names.
    bool propertiesOnly = false;
};

class CFakeAdapters {
public:
    CFakeAdapters();
    ~CFakeAdapters();
    CFakeAdapters(const CFakeAdapters&) = delete;
    CFakeAdapters& operator=(const CFakeAdapters&) = delete;

    // Empty when the fakes work; else what is wrong (not under
    // umockdev-wrapper, no testbed).
    const std::string& Problem() const { return m_strProblem; }
    // The folder that stands for / under the preload library.
    std::string Root() const;

    // Plugs the adapter in: udev has it, and an "add" event goes out.
    bool Plug(const SFakeAdapter& adapter);
    // Pulls it out: the "remove" event, then the device, its node and its
    // link are gone. (The terminal behind it hangs up when the test stops
    // serving it.)
    bool Unplug(const std::string& kernelName);
    // A built-in UART; type "0" is a placeholder without hardware behind it.
    bool AddUart(const std::string& kernelName, const std::string& type, const std::string& ttyPath);
    // A virtual terminal (no device behind it).
    bool AddVirtualTerminal(const std::string& kernelName);

private:
    struct SPlugged {
        std::string ttySysPath;
        std::string usbSysPath;
        std::string byIdPath;  // "/dev/serial/by-id/..."
    };
    bool AddTty(const std::string& description, const std::string& kernelName, const std::string& ttyPath,
                const std::string& byIdName);
    void RemovePath(const std::string& path);

    UMockdevTestbed* m_pTestbed = nullptr;
    UMockdevIoctlBase* m_pIoctl = nullptr;  // runs each ioctl on the real terminal
    std::map<std::string, SPlugged> m_Plugged;
    int m_nNextUsb = 1;
    int m_nNextMinor = 0;
    std::string m_strProblem;
};

}  // namespace ports_test
