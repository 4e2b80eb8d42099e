// Feeds arbitrary files to the Intel HEX reader and checks what it sends.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/core/ManualMessageLoop.h"
#include "protocol/PacketManagerWnd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/pravik-fuzz-hex-" + std::to_string(getpid()) + ".hex";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    CManualMessageLoop loop;
    CScriptedOperator op;
    CPacketManagerWnd pm(loop, op);
    std::size_t written = 0;
    std::size_t frames = 0;
    pm.m_Comm.m_WriteTap = [&](const std::uint8_t* bytes, std::size_t n) {
        written += n;
        ++frames;
        // Every frame is a complete CMD_UPGRADE_HEX request of at most 255 data bytes.
        if (n < 35 || n > 255 + 10 + 29 || bytes[0] != 0x7E || GetBE32(bytes + 1) != CMD_UPGRADE_HEX) __builtin_trap();
        if (GetBE32(bytes + 13) + 29 != n) __builtin_trap();
    };

    std::uint32_t position = 0;
    for (std::uint32_t record = 0; record < 4096; ++record) {
        std::uint32_t before = position;
        bool sent = pm.SendHexRecord(path, position, record);
        if (!sent) {
            if (position != before) __builtin_trap();  // a failed read leaves the position alone
            break;
        }
        if (position <= before || position > size) __builtin_trap();
        if (pm.ResendHexRecord() != true) __builtin_trap();
    }
    (void)written;
    (void)frames;
    return 0;
}
