// The list of serial ports and the hot-plug monitor against adapters faked
// with umockdev; why an open fails (no permission, held by another program,
// gone); `pravik --list-ports`.
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "platform/core/SerialDevice.h"
#include "platform/core/SerialPorts.h"
#include "tests/ports/PortsTestUtil.h"

using namespace ports_test;

namespace {

std::vector<std::string> KernelNames(const std::vector<SSerialPortInfo>& ports) {
    std::vector<std::string> names;
    for (const SSerialPortInfo& port : ports) names.push_back(port.kernelName);
    return names;
}

// Waits (real time) until the monitor's descriptor is readable.
bool Readable(const CSerialPortMonitor& monitor, int timeoutMs = 3000) {
    pollfd p{monitor.Fd(), POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) == 1;
}

}  // namespace

TEST(PortList, NamesEachAdapterByItsLinkMakerAndProductAndLeavesOutWhatIsNoSerialPort) {
    CFakeAdapters adapters;
    ASSERT_FAKES_WORK(adapters);
    CBackingPty pty;
    ASSERT_TRUE(adapters.Plug(Bridge("ttyUSB0", pty.SlavePath())));
    // A CDC-ACM device that has only the database's names.
    SFakeAdapter modem = Adapter("ttyACM0", "usb-f055_9800-if00", "Kestrel Instruments", "QOR10 Dock", "0042", "");
    modem.driver = "cdc_acm";
    modem.propertiesOnly = true;
    ASSERT_TRUE(adapters.Plug(modem));
    for (const char* name : {"ttyUSB10", "ttyUSB2"}) {
        SFakeAdapter other = Bridge(name, "");
        other.byIdName = std::string("usb-Talven_Spare_") + name + "-if00-port0";
        ASSERT_TRUE(adapters.Plug(other));
    }
    ASSERT_TRUE(adapters.AddUart("ttyS0", "4", ""));  // a 16550A
    ASSERT_TRUE(adapters.AddUart("ttyS1", "0", ""));  // a placeholder without a UART
    ASSERT_TRUE(adapters.AddVirtualTerminal("tty5"));

    const std::vector<SSerialPortInfo> ports = ListSerialPorts();
    EXPECT_EQ(KernelNames(ports), (std::vector<std::string>{"ttyACM0", "ttyS0", "ttyUSB0", "ttyUSB2", "ttyUSB10"}));
    ASSERT_EQ(ports.size(), 5u);

    const SSerialPortInfo& bridge = ports[2];
    EXPECT_EQ(bridge.devicePath, "/dev/ttyUSB0");
    EXPECT_EQ(bridge.byIdPath, BRIDGE_BY_ID);
    EXPECT_EQ(bridge.StablePath(), BRIDGE_BY_ID);
    EXPECT_EQ(bridge.maker, "Talven");
    EXPECT_EQ(bridge.product, "ZEL12 Bridge");
    EXPECT_EQ(bridge.serial, "A1B2C3");
    EXPECT_EQ(bridge.driver, "ftdi_sio");
    EXPECT_EQ(DescribeSerialPort(bridge), "ttyUSB0: Talven ZEL12 Bridge (usb-Talven_ZEL12_Bridge_A1B2C3-if00-port0)");
    EXPECT_EQ(SerialPortListLine(bridge), std::string(BRIDGE_BY_ID) +
                                              "  ttyUSB0  Talven ZEL12 Bridge  (serial A1B2C3, driver ftdi_sio)");

    const SSerialPortInfo& dock = ports[0];
    EXPECT_EQ(dock.MakerAndProduct(), "Kestrel Instruments QOR10 Dock");
    EXPECT_EQ(dock.serial, "0042");
    EXPECT_EQ(dock.driver, "cdc_acm");

    const SSerialPortInfo& uart = ports[1];  // no link: its device path is the one to keep
    EXPECT_EQ(uart.StablePath(), "/dev/ttyS0");
    EXPECT_EQ(DescribeSerialPort(uart), "ttyS0");

    // The port a stored path names: by either name, or through another link.
    EXPECT_EQ(FindSerialPort(ports, BRIDGE_BY_ID), &ports[2]);
    EXPECT_EQ(FindSerialPort(ports, "/dev/ttyUSB0"), &ports[2]);
    ASSERT_EQ(::symlink(pty.SlavePath().c_str(), (adapters.Root() + "/dev/module").c_str()), 0);
    EXPECT_EQ(FindSerialPort(ports, "/dev/module"), &ports[2]);
    EXPECT_EQ(FindSerialPort(ports, "/dev/ttyUSB7"), nullptr);
}

TEST(PortList, TheMonitorReportsAdaptersPluggedInAndPulledOut) {
    CFakeAdapters adapters;
    ASSERT_FAKES_WORK(adapters);
    CSerialPortMonitor monitor;
    ASSERT_TRUE(monitor.Start());
    EXPECT_FALSE(Readable(monitor, 50));
    EXPECT_FALSE(monitor.TakeChanges());

    CBackingPty pty;
    ASSERT_TRUE(adapters.Plug(Bridge("ttyUSB0", pty.SlavePath())));
    ASSERT_TRUE(Readable(monitor));
    EXPECT_TRUE(monitor.TakeChanges());
    EXPECT_FALSE(monitor.TakeChanges());  // taken
    EXPECT_EQ(KernelNames(ListSerialPorts()), std::vector<std::string>{"ttyUSB0"});

    ASSERT_TRUE(adapters.Unplug("ttyUSB0"));
    ASSERT_TRUE(Readable(monitor));
    EXPECT_TRUE(monitor.TakeChanges());
    EXPECT_TRUE(ListSerialPorts().empty());

    // Back in another socket: a new kernel name, the same by-id link.
    ASSERT_TRUE(adapters.Plug(Bridge("ttyUSB1", pty.SlavePath())));
    ASSERT_TRUE(Readable(monitor));
    EXPECT_TRUE(monitor.TakeChanges());
    const std::vector<SSerialPortInfo> ports = ListSerialPorts();
    ASSERT_EQ(KernelNames(ports), std::vector<std::string>{"ttyUSB1"});
    EXPECT_EQ(FindSerialPort(ports, BRIDGE_BY_ID), &ports[0]);
}

// Each reason names the fix: the group to join, the program to close, the
// adapter to plug in.
TEST(PortOpenErrors, NoPermissionNamesTheGroupAndHowToJoinIt) {
    CFakeAdapters adapters;
    ASSERT_FAKES_WORK(adapters);
    CBackingPty pty;
    ASSERT_TRUE(adapters.Plug(Bridge("ttyUSB0", pty.SlavePath())));
    // As root no permission is checked: the open is tried by a child that
    // has become nobody. Everything on the way must be open to it.
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    for (std::filesystem::path dir = adapters.Root(); dir != dir.parent_path(); dir = dir.parent_path()) {
        struct stat info {};
        if (::stat(dir.c_str(), &info) == 0 && (info.st_mode & 01) == 0) ::chmod(dir.c_str(), info.st_mode | 011);
    }
    // umockdev's sockets, through which the terminal calls go.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(adapters.Root() + "/ioctl")) {
        ::chmod(entry.path().c_str(), 0777);
    }
    auto openAsNobody = [&](mode_t mode) {
        ::chmod(pty.SlavePath().c_str(), mode);
        int out[2];
        if (::pipe(out) != 0) return std::string("no pipe");
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(out[0]);
            if (::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)) {
                ::_exit(2);
            }
            CSerialDevice device;
            const std::string reason = device.Open(BRIDGE_BY_ID, 9600) ? "opened" : device.reason();
            (void)!::write(out[1], reason.data(), reason.size());
            ::_exit(0);
        }
        ::close(out[1]);
        std::string reason;
        char buffer[512];
        for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) reason.append(buffer, static_cast<std::size_t>(n));
        ::close(out[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? reason : "the child could not become nobody";
    };
    EXPECT_EQ(openAsNobody(0666), "opened");  // the way is open: only the mode decides
    EXPECT_EQ(openAsNobody(0000),
              "No permission to use the port: add yourself to the group dialout: sudo adduser $USER dialout, then "
              "log in again.");
}

TEST(PortOpenErrors, APortHeldByAnotherProgramNamesItAndAPortPulledOutIsNotThere) {
    CFakeAdapters adapters;
    ASSERT_FAKES_WORK(adapters);
    CBackingPty pty;
    ASSERT_TRUE(adapters.Plug(Bridge("ttyUSB0", pty.SlavePath())));
    CSerialDevice device;
    {
        CPortHolder holder(BRIDGE_BY_ID);
        ASSERT_TRUE(holder.Holding());
        EXPECT_FALSE(device.Open(BRIDGE_BY_ID, 9600));
        EXPECT_EQ(device.reason(),
                  "The port is in use by another program: sleep (process " + std::to_string(holder.Pid()) + ").");
        EXPECT_EQ(device.error(), std::string(BRIDGE_BY_ID) + ": " + device.reason());
        EXPECT_FALSE(device.IsOpen());
    }
    ASSERT_TRUE(device.Open(BRIDGE_BY_ID, 9600)) << device.error();  // free again
    device.Close();
    ASSERT_TRUE(adapters.Unplug("ttyUSB0"));
    EXPECT_FALSE(device.Open(BRIDGE_BY_ID, 9600));
    EXPECT_EQ(device.reason(), "The port is not there: the adapter is unplugged or the device does not exist.");
}

#ifdef PRAVIK_EXE
TEST(ListPortsOption, PrintsOneLinePerPortAndExits) {
    CFakeAdapters adapters;
    ASSERT_FAKES_WORK(adapters);
    auto run = [](std::string& out) {
        out.clear();
        // Without a display: the list needs none.
        FILE* pipe = ::popen("env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY " PRAVIK_EXE " --list-ports 2>&1", "r");
        if (!pipe) return -1;
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        return ::pclose(pipe);
    };
    std::string out;
    EXPECT_EQ(run(out), 0);
    EXPECT_EQ(out, "pravik: no serial port found\n");
    CBackingPty pty;
    ASSERT_TRUE(adapters.Plug(Bridge("ttyUSB0", pty.SlavePath())));
    ASSERT_TRUE(adapters.AddUart("ttyS0", "4", ""));
    EXPECT_EQ(run(out), 0);  // no display needed
    EXPECT_EQ(out, "/dev/ttyS0  ttyS0\n" + std::string(BRIDGE_BY_ID) +
                       "  ttyUSB0  Talven ZEL12 Bridge  (serial A1B2C3, driver ftdi_sio)\n");
}
#endif

#ifdef PRAVIK_CLI_EXE
TEST(CliPortsCommand, ListsTheSameDevicesAsTheConsole) {
    CFakeAdapters adapters;
    ASSERT_FAKES_WORK(adapters);
    auto run = [](const char* args, std::string& out) {
        out.clear();
        FILE* pipe = ::popen((std::string(PRAVIK_CLI_EXE) + " " + args + " 2>&1").c_str(), "r");
        if (!pipe) return -1;
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        return ::pclose(pipe);
    };
    std::string out;
    EXPECT_EQ(run("ports", out), 0);
    EXPECT_EQ(out, "ports: No serial port found.\n");
    CBackingPty pty;
    ASSERT_TRUE(adapters.Plug(Bridge("ttyUSB0", pty.SlavePath())));
    ASSERT_TRUE(adapters.AddUart("ttyS0", "4", ""));
    EXPECT_EQ(run("ports", out), 0);
    EXPECT_EQ(out, "ports: 2 serial ports:\n  /dev/ttyS0  ttyS0\n  " + std::string(BRIDGE_BY_ID) +
                       "  ttyUSB0  Talven ZEL12 Bridge  (serial A1B2C3, driver ftdi_sio)\n");
    EXPECT_EQ(run("--json ports", out), 0);
    EXPECT_NE(out.find(R"("values":{"ports":[{"path":"/dev/ttyS0","device":"/dev/ttyS0"},{"path":")" +
                       std::string(BRIDGE_BY_ID) +
                       R"(","device":"/dev/ttyUSB0","maker":"Talven","product":"ZEL12 Bridge","serial":"A1B2C3"}]})"),
              std::string::npos)
        << out;
}
#endif
