// Feeds arbitrary files to the Intel HEX reader and checks what it sends. The
// file is the input itself, opened as an in-memory stream for every record as
// the reader opens its file.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/core/ManualMessageLoop.h"
#include "protocol/PacketManagerWnd.h"

namespace {

struct SConsole {
    // User-provided, so that emplace() does not zero the 200 kB first.
    SConsole() {}
    CManualMessageLoop loop;
    CScriptedOperator op;
    CPacketManagerWnd pm{loop, op};
};

std::size_t g_Written = 0;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;  // an empty stream cannot be opened
    static std::optional<SConsole> s_Console;
    CPacketManagerWnd& pm = s_Console.emplace().pm;
    pm.m_FwOpen = [data, size](const std::string&) {
        return fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    };
    pm.m_Comm.m_WriteTap = [](const std::uint8_t* bytes, std::size_t n) {
        g_Written += n;
        // Every frame is a complete CMD_UPGRADE_HEX request of at most 255 data bytes.
        if (n < 35 || n > 255 + 10 + 29 || bytes[0] != 0x7E || GetBE32(bytes + 1) != CMD_UPGRADE_HEX) __builtin_trap();
        if (GetBE32(bytes + 13) + 29 != n) __builtin_trap();
    };

    std::uint32_t position = 0;
    for (std::uint32_t record = 0; record < 4096; ++record) {
        std::uint32_t before = position;
        bool sent = pm.SendHexRecord("firmware.hex", position, record);
        if (!sent) {
            if (position != before) __builtin_trap();  // a failed read leaves the position alone
            break;
        }
        if (position <= before || position > size) __builtin_trap();
        if (pm.ResendHexRecord() != true) __builtin_trap();
    }
    s_Console.reset();
    return 0;
}
