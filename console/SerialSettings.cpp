#include "console/SerialSettings.h"

#include "platform/core/ProfileFile.h"
#include "platform/core/SerialDevice.h"

void CSerialSettings::SetFile(const std::string& path) { m_strFile = ResolveProfilePath(path); }

void CSerialSettings::LoadSettings() {
    CProfileFile file(m_strFile);
    file.Load();  // an unreadable file reads as missing: the defaults apply
    m_nType = file.GetInt(SETTINGS_SECTION, "Type", 0);
    m_nComPort = file.GetInt(SETTINGS_SECTION, "COM Port", 1);
    m_nBaudRate = file.GetInt(SETTINGS_SECTION, "Baudrate", 9600);
    m_nProtocol = file.GetInt(SETTINGS_SECTION, "Protocol", 0);
    m_nBaudIndex = BaudIndexFromRate(m_nBaudRate);
}

bool CSerialSettings::SaveSettings() const {
    CProfileFile file(m_strFile);
    // Never replace a file that exists but cannot be read: its other
    // sections would be lost.
    if (!file.Load()) return false;
    file.SetInt(SETTINGS_SECTION, "Type", m_nType);
    file.SetInt(SETTINGS_SECTION, "COM Port", m_nComPort);
    file.SetInt(SETTINGS_SECTION, "Baudrate", m_nBaudRate);
    file.SetInt(SETTINGS_SECTION, "Protocol", m_nProtocol);
    return file.Save();
}

std::string CSerialSettings::PortPath(int port) const {
    std::string def = "/dev/ttyS" + std::to_string(port - 1);
    CProfileFile file(m_strFile);
    if (!file.Load()) return def;
    std::string path = file.GetString(PORTS_SECTION, "COM" + std::to_string(port), def);
    return path.empty() ? def : path;
}

void CSerialSettings::ApplyPortMap(CPortMap& map) const {
    CProfileFile file(m_strFile);
    file.Load();
    for (int port = 1; port <= PORT_COUNT; ++port) {
        std::string name = "COM" + std::to_string(port);
        std::string path = file.GetString(PORTS_SECTION, name, "");
        map.Set(name, path.empty() ? "/dev/ttyS" + std::to_string(port - 1) : path);
    }
}

bool CSerialSettings::SavePortPath(int port, const std::string& path) const {
    CProfileFile file(m_strFile);
    if (!file.Load()) return false;
    file.SetString(PORTS_SECTION, "COM" + std::to_string(port), path);
    return file.Save();
}
