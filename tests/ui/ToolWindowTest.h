#pragma once
// Helpers shared by the tests of the View-menu tool windows.
#include <memory>
#include <string>
#include <vector>

#include "sim/SimPty.h"
#include "tests/ui/ConsoleFixture.h"

namespace console_test {

// The lines of a text whose lines end in CR LF; false in ok when a line end
// is anything else or the last line has no line end.
inline std::vector<std::string> CrLfLines(const std::string& text, bool& ok) {
    std::vector<std::string> lines;
    ok = true;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ok = false;
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        if (lines.back().find('\n') != std::string::npos) ok = false;
        start = end + 2;
    }
    return lines;
}

// A General answer packet (on the heap: its data area is 64 KB).
inline std::unique_ptr<CPacket> MakeAnswer(std::uint32_t command, std::uint32_t param1, std::uint32_t param2,
                                           const std::vector<std::uint8_t>& data = {}) {
    auto packet = std::make_unique<CPacket>();
    packet->m_Command = command;
    packet->m_Param1 = param1;
    packet->m_Param2 = param2;
    packet->m_DataSize = static_cast<std::uint32_t>(data.size());
    std::copy(data.begin(), data.end(), packet->m_Data);
    return packet;
}

}  // namespace console_test
