// Feeds arbitrary files to the Intel HEX reader and checks the requests it
// builds. The file is the input itself, opened as an in-memory stream for
// every record as the reader opens its file.
#include <cstdint>
#include <cstdio>
#include <string>

#include "protocol/FirmwareTransfer.h"
#include "protocol/Packet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;  // an empty stream cannot be opened
    CFirmwareTransfer transfer;
    transfer.m_Open = [data, size](const std::string&) {
        return fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    };
    std::uint32_t position = 0;
    for (std::uint32_t record = 0; record < 4096; ++record) {
        const std::uint32_t before = position;
        const std::uint32_t upper = transfer.UpperAddress();
        SRequest request;
        if (!transfer.HexRecord("firmware.hex", position, record, request)) {
            // A failed read leaves the position and the upper address alone.
            if (position != before || transfer.UpperAddress() != upper) __builtin_trap();
            break;
        }
        if (position <= before || position > size) __builtin_trap();
        // A complete CMD_UPGRADE_HEX request of at most 255 record bytes.
        if (request.command != CMD_UPGRADE_HEX || request.param2 != record || request.param1 > 1) __builtin_trap();
        if (request.data.size() < 10 || request.data.size() > 10 + FW_HEX_MAX_RECORD) __builtin_trap();
        if (GetBE16(request.data.data() + 8) + 10u != request.data.size()) __builtin_trap();
        // Read again from where it was found, the record is the same.
        std::uint32_t again = before;
        SRequest second;
        if (!transfer.HexRecord("firmware.hex", again, record, second)) __builtin_trap();
        if (again != position || second.data != request.data || second.param1 != request.param1) __builtin_trap();
    }
    return 0;
}
