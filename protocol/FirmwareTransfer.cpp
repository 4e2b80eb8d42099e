#include "protocol/FirmwareTransfer.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "protocol/HexDigit.h"
#include "protocol/Packet.h"

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

std::FILE* CFirmwareTransfer::OpenFile(const std::string& fileName) const {
    return m_Open ? m_Open(fileName) : std::fopen(fileName.c_str(), "rb");
}

bool CFirmwareTransfer::HexRecord(const std::string& fileName, std::uint32_t& position, std::uint32_t record,
                                  SRequest& out) {
    FilePtr file(OpenFile(fileName));
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
    std::uint32_t upper = m_UpperAddress;
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

    m_UpperAddress = upper;
    position = pos;
    out = req::General(CMD_UPGRADE_HEX, param1, record);
    out.data.resize(10 + length);
    PutBE32(out.data.data(), m_UpperAddress);
    PutBE32(out.data.data() + 4, address);
    PutBE16(out.data.data() + 8, static_cast<std::uint16_t>(length));
    std::memcpy(out.data.data() + 10, data, length);
    return true;
}

bool CFirmwareTransfer::BinChunk(const std::string& fileName, std::uint32_t fileSize, std::uint32_t lastChunk,
                                 std::uint32_t chunk, SRequest& out) {
    const std::uint64_t offset = static_cast<std::uint64_t>(chunk) * FW_BIN_CHUNK;
    std::uint64_t count = 0;
    if (offset < fileSize) count = std::min<std::uint64_t>(fileSize - offset, FW_BIN_CHUNK);

    SRequest r = req::General(CMD_UPGRADE_BIN, 0, chunk * 256u + lastChunk);
    // The end of the last chunk lies beyond the file: zeros there.
    r.data.assign(4 + FW_BIN_CHUNK, 0);
    PutBE32(r.data.data(), fileSize);
    FilePtr file(OpenFile(fileName));
    if (!file || std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0) return false;
    if (std::fread(r.data.data() + 4, 1, count, file.get()) != count) return false;
    out = std::move(r);
    return true;
}
