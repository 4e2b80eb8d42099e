#pragma once
// Receiving side of the firmware upgrade: Intel HEX records (CMD_UPGRADE_HEX)
// and raw image chunks (CMD_UPGRADE_BIN). It checks each request, keeps what
// it received so it can be compared byte for byte, and says what to answer.
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

class CPacket;

constexpr std::uint32_t SIM_FW_BIN_CHUNK = 2048;
constexpr std::uint32_t SIM_FW_BIN_MAX_CHUNKS = 256;  // the chunk numbers fit 8 bits

class CSimFirmware {
public:
    struct Answer {
        std::uint32_t result;  // m_Param1
        std::uint32_t param2;
        bool completed;        // this request finished an upgrade
    };

    // A HEX record: m_Param1 1 for the end-of-file record, m_Param2 the record
    // number, data: upper address, load address (big-endian 32-bit each),
    // length LL (big-endian 16-bit), LL bytes. A record taken is answered 0
    // with the next record number; a repeated record (its answer was lost) is
    // taken again without harm; record 0 starts a new upgrade; any other
    // number out of turn is RES_FAIL; a malformed record RES_INVALID_PARAM.
    // The end-of-file record answers RES_SUCCESS.
    Answer OnHexRecord(const CPacket& request);

    // A BIN chunk: m_Param2 = chunk x 256 + last chunk, data: image size
    // (big-endian 32-bit) and 2048 bytes. Chunk 0 starts a new upgrade, the
    // next chunk or a repeat of the last one is taken (RES_SUCCESS with
    // m_Param2 echoed), any other chunk is RES_FAIL; sizes that do not agree
    // are RES_INVALID_PARAM.
    Answer OnBinChunk(const CPacket& request);

    // Everything received by HEX records, merged into runs of consecutive
    // addresses (later writes win): start address -> bytes.
    std::map<std::uint32_t, std::vector<std::uint8_t>> HexImage() const;
    std::uint32_t HexRecordsTaken() const { return m_HexNext; }
    bool HexComplete() const { return m_bHexComplete; }

    // The raw image received by BIN chunks (its announced size).
    const std::vector<std::uint8_t>& BinImage() const { return m_BinImage; }
    bool BinComplete() const { return m_bBinComplete; }

    int UpgradesCompleted() const { return m_nCompleted; }

private:
    // HEX: records in arrival order (absolute address, bytes).
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> m_HexRecords;
    std::uint32_t m_HexNext = 0;  // record number expected next
    bool m_bHexStarted = false;
    bool m_bHexComplete = false;

    std::vector<std::uint8_t> m_BinImage;
    std::uint32_t m_BinSize = 0;
    std::uint32_t m_BinLast = 0;
    std::uint32_t m_BinNext = 0;  // chunk expected next
    bool m_bBinStarted = false;
    bool m_bBinComplete = false;

    int m_nCompleted = 0;
};
