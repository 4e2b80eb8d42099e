// The serial devices present (the same list as `pravik --list-ports`), and a
// port name from the command line made into the path to open.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "cli/Jobs.h"
#include "platform/core/SerialPorts.h"

namespace {

const char kById[] = "/dev/serial/by-id";

}  // namespace

std::string DescribePortsPresent(CValues& values) {
    const std::vector<SSerialPortInfo> ports = ListSerialPorts();
    std::string json = "[", text;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const SSerialPortInfo& port = ports[i];
        CValues one;
        one.Text("path", port.StablePath());
        one.Text("device", port.devicePath);
        if (!port.maker.empty()) one.Text("maker", port.maker);
        if (!port.product.empty()) one.Text("product", port.product);
        if (!port.serial.empty()) one.Text("serial", port.serial);
        json += (i ? "," : "") + one.Json();
        text += "\n  " + SerialPortListLine(port);
    }
    values.Raw("ports", json + "]");
    if (ports.empty()) return "No serial port found.";
    return std::to_string(ports.size()) + (ports.size() == 1 ? " serial port:" : " serial ports:") + text;
}

std::string ResolvePortName(const std::string& port) {
    if (port.find('/') != std::string::npos) return port;
    const std::string byId = std::string(kById) + "/" + port;
    struct stat info;
    if (stat(byId.c_str(), &info) == 0) return byId;
    return port;
}
