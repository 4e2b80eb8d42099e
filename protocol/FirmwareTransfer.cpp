// Firmware transfer: Intel HEX records (CMD_UPGRADE_HEX) and raw image chunks
// (CMD_UPGRADE_BIN). The file is reopened for every piece, so a re-send just
// reads the same piece again.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "protocol/HexDigit.h"
#include "protocol/PacketManagerWnd.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Reads `digits` hexadecimal characters; false at the end of the file or on a
// character that is not hexadecimal.
bool ReadHex(std::FILE* f, int digits, std::uint32_t& value, std::uint32_t& position) {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        int d = HexDigit(std::fgetc(f));
        if (d < 0) return false;
        value = (value << 4) | static_cast<std::uint32_t>(d);
        ++position;
    }
    return true;
}

}  // namespace

std::FILE* CPacketManagerWnd::OpenFirmware(const std::string& fileName) const {
    return m_FwOpen ? m_FwOpen(fileName) : std::fopen(fileName.c_str(), "rb");
}

bool CPacketManagerWnd::SendHexRecord(const std::string& fileName, std::uint32_t& position, std::uint32_t record) {
    m_FwFileName = fileName;
    m_FwFileOffset = position;
    m_FwIndex = record;

    FilePtr file(OpenFirmware(fileName));
    if (!file || std::fseek(file.get(), static_cast<long>(position), SEEK_SET) != 0) return false;

    // Skip everything up to the record mark: line ends, blanks and the
    // checksum of a record that was not read to its end.
    std::uint32_t pos = position;
    for (;;) {
        int c = std::fgetc(file.get());
        if (c == EOF) return false;
        ++pos;
        if (c == ':') break;
    }

    std::uint32_t length = 0, address = 0, type = 0;
    if (!ReadHex(file.get(), 2, length, pos) || !ReadHex(file.get(), 4, address, pos) ||
        !ReadHex(file.get(), 2, type, pos)) {
        return false;
    }

    std::uint8_t data[FW_HEX_MAX_RECORD];
    std::uint32_t param1 = 0;
    std::uint32_t upper = m_FwUpperAddress;
    switch (type) {
        case 0x00: {
            for (std::uint32_t i = 0; i < length; ++i) {
                std::uint32_t byte = 0;
                if (!ReadHex(file.get(), 2, byte, pos)) return false;
                data[i] = static_cast<std::uint8_t>(byte);
            }
            std::uint32_t checksum = 0;  // read past, never compared
            if (!ReadHex(file.get(), 2, checksum, pos)) return false;
            break;
        }
        case 0x01:
            param1 = 1;
            length = 0;
            break;
        case 0x04:
            if (!ReadHex(file.get(), 4, upper, pos)) return false;
            length = 0;
            break;
        default:
            // Segment and start addresses (02, 03, 05) mean nothing to the
            // module: they go out as records of length 0, so the record
            // numbering stays in step with the count of ':' in the file.
            length = 0;
            break;
    }
    file.reset();

    m_FwUpperAddress = upper;
    position = pos;

    Begin(CMD_UPGRADE_HEX, param1, record, length + 10);
    PutBE32(m_TxPacket.m_Data, m_FwUpperAddress);
    PutBE32(m_TxPacket.m_Data + 4, address);
    PutBE16(m_TxPacket.m_Data + 8, static_cast<std::uint16_t>(length));
    std::memcpy(m_TxPacket.m_Data + 10, data, length);
    m_TxPacket.PrepareForSend();
    SendGuarded(TIMEOUT_UPGRADE);
    SendPacket(m_TxPacket);
    return true;
}

bool CPacketManagerWnd::ResendHexRecord() {
    std::uint32_t position = m_FwFileOffset;
    std::string fileName = m_FwFileName;
    return SendHexRecord(fileName, position, m_FwIndex);
}

bool CPacketManagerWnd::SendBinChunk(const std::string& fileName, std::uint32_t chunk) {
    m_FwFileName = fileName;
    m_FwIndex = chunk;

    std::uint64_t offset = static_cast<std::uint64_t>(chunk) * FW_BIN_CHUNK;
    std::uint64_t count = 0;
    if (offset < m_FwFileSize) count = std::min<std::uint64_t>(m_FwFileSize - offset, FW_BIN_CHUNK);

    Begin(CMD_UPGRADE_BIN, 0, chunk * 256u + m_FwLastChunk, 4 + FW_BIN_CHUNK);
    PutBE32(m_TxPacket.m_Data, m_FwFileSize);
    FilePtr file(OpenFirmware(fileName));
    if (!file || std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0) return false;
    if (std::fread(m_TxPacket.m_Data + 4, 1, count, file.get()) != count) return false;
    // The end of the last chunk lies beyond the file: send zeros there.
    std::memset(m_TxPacket.m_Data + 4 + count, 0, FW_BIN_CHUNK - count);
    file.reset();

    m_TxPacket.PrepareForSend();
    SendGuarded(TIMEOUT_UPGRADE);
    SendPacket(m_TxPacket);
    return true;
}
