// The serial devices present: the names under /dev/serial/by-id (the stable
// names of USB adapters) and the devices /dev/ttyS*, /dev/ttyUSB* and
// /dev/ttyACM*. One function, so that a fuller listing can take its place.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/Jobs.h"

namespace {

const char kById[] = "/dev/serial/by-id";

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::vector<std::string> ListSerialPorts() {
    std::vector<std::string> ports;
    for (const std::string& name : Entries(kById)) ports.push_back(std::string(kById) + "/" + name);
    for (const std::string& name : Entries("/dev")) {
        if (StartsWith(name, "ttyS") || StartsWith(name, "ttyUSB") || StartsWith(name, "ttyACM")) {
            ports.push_back("/dev/" + name);
        }
    }
    return ports;
}

std::string ResolvePortName(const std::string& port) {
    if (port.find('/') != std::string::npos) return port;
    const std::string byId = std::string(kById) + "/" + port;
    struct stat info;
    if (stat(byId.c_str(), &info) == 0) return byId;
    return port;
}
