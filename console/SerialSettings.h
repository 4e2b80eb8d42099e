#pragma once
// The console's settings record and its file "VESKA.INI".
//
// Section "Option" holds four decimal keys, written in this order: "Type"
// (board type), "COM Port" (n of "COMn"), "Baudrate" (bit/s) and "Protocol"
// (0 General, 1 Minimized). Section "Ports" maps "COM1".."COM4" to device
// paths; a device chosen from the list of ports is written there, as the
// path of the COM port that was current.
#include <string>

#include "platform/core/SerialDevice.h"
#include "protocol/CommandCatalog.h"

constexpr const char* SETTINGS_FILE_NAME = "VESKA.INI";
constexpr const char* SETTINGS_SECTION = "Option";
constexpr const char* PORTS_SECTION = "Ports";
constexpr int PORT_COUNT = 4;

// The five link rates by index (BaudRateFromIndex, BaudIndexFromRate):
// 0 115200, 1 57600, 2 38400, 3 19200, 4 9600.
constexpr int BAUD_RATE_COUNT = 5;

class CSerialSettings {
public:
    CSerialSettings() = default;
    // path: the settings file; a bare name is resolved in the profile directory.
    explicit CSerialSettings(const std::string& path) { SetFile(path); }

    void SetFile(const std::string& path);
    const std::string& File() const { return m_strFile; }

    // Reads Type, COM Port, Baudrate and Protocol (each with its default when
    // the file or the key is missing) and derives the baud index.
    void LoadSettings();
    // Writes the four keys in their order; keeps the rest of the file.
    // Returns false when the file could not be written.
    bool SaveSettings() const;

    // The device path of "COMn" from section "Ports", default /dev/ttyS(n-1).
    std::string PortPath(int port) const;
    // Points "COM1".."COM4" of map at their paths from section "Ports".
    void ApplyPortMap(CPortMap& map) const;
    // Writes path as the device of "COMn" in section "Ports"; keeps the rest
    // of the file. False when the file could not be written.
    bool SavePortPath(int port, const std::string& path) const;

    int m_nType = 0;
    int m_nComPort = 1;
    int m_nBaudRate = 9600;
    int m_nProtocol = 0;
    int m_nBaudIndex = 4;

private:
    std::string m_strFile;
};
