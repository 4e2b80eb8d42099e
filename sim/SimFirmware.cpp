#include "sim/SimFirmware.h"

#include <algorithm>

#include "protocol/CommandCatalog.h"
#include "protocol/Packet.h"

CSimFirmware::Answer CSimFirmware::OnHexRecord(const CPacket& rq) {
    const std::uint32_t number = rq.m_Param2;
    const bool eof = rq.m_Param1 == 1;
    if (rq.m_DataSize < 10 || rq.m_Param1 > 1) return {RES_INVALID_PARAM, number, false};
    const std::uint32_t upper = GetBE32(rq.m_Data);
    const std::uint32_t load = GetBE32(rq.m_Data + 4);
    const std::uint32_t length = GetBE16(rq.m_Data + 8);
    if (rq.m_DataSize != 10 + length || length > 255 || (eof && length != 0)) return {RES_INVALID_PARAM, number, false};

    if (number == 0) {
        // The first record of an upgrade: forget an earlier transfer.
        m_HexRecords.clear();
        m_HexNext = 0;
        m_bHexStarted = true;
        m_bHexComplete = false;
    } else if (!m_bHexStarted) {
        return {RES_FAIL, number, false};
    }

    if (number + 1 == m_HexNext) {
        // Its answer was lost and the console sent it again: it is stored
        // already (same bytes at the same address).
        return {eof ? std::uint32_t(RES_SUCCESS) : 0u, m_HexNext, false};
    }
    if (number != m_HexNext || m_bHexComplete) return {RES_FAIL, number, false};

    ++m_HexNext;
    if (eof) {
        m_bHexComplete = true;
        bool anyData = std::any_of(m_HexRecords.begin(), m_HexRecords.end(),
                                   [](const auto& r) { return !r.second.empty(); });
        if (anyData) ++m_nCompleted;
        return {RES_SUCCESS, m_HexNext, anyData};
    }
    if (length > 0) {
        std::uint32_t address = (upper << 16) + (load & 0xFFFF);
        m_HexRecords.emplace_back(address, std::vector<std::uint8_t>(rq.m_Data + 10, rq.m_Data + 10 + length));
    }
    return {0, m_HexNext, false};
}

std::map<std::uint32_t, std::vector<std::uint8_t>> CSimFirmware::HexImage() const {
    // Byte by byte first (later records win), then runs of consecutive addresses.
    std::map<std::uint32_t, std::uint8_t> bytes;
    for (const auto& record : m_HexRecords)
        for (std::size_t i = 0; i < record.second.size(); ++i) bytes[record.first + std::uint32_t(i)] = record.second[i];
    std::map<std::uint32_t, std::vector<std::uint8_t>> runs;
    std::uint32_t runStart = 0, expected = 0;
    bool open = false;
    for (const auto& [address, value] : bytes) {
        if (!open || address != expected) {
            runStart = address;
            open = true;
        }
        runs[runStart].push_back(value);
        expected = address + 1;
    }
    return runs;
}

CSimFirmware::Answer CSimFirmware::OnBinChunk(const CPacket& rq) {
    const std::uint32_t chunk = rq.m_Param2 >> 8;
    const std::uint32_t last = rq.m_Param2 & 0xFF;
    if (rq.m_DataSize != 4 + SIM_FW_BIN_CHUNK) return {RES_INVALID_PARAM, rq.m_Param2, false};
    const std::uint32_t size = GetBE32(rq.m_Data);
    if (size == 0 || size > SIM_FW_BIN_CHUNK * SIM_FW_BIN_MAX_CHUNKS || (size - 1) / SIM_FW_BIN_CHUNK != last ||
        chunk > last)
        return {RES_INVALID_PARAM, rq.m_Param2, false};

    if (chunk == 0) {
        m_BinImage.assign(size, 0xFF);
        m_BinSize = size;
        m_BinLast = last;
        m_BinNext = 0;
        m_bBinStarted = true;
        m_bBinComplete = false;
    } else if (!m_bBinStarted || size != m_BinSize || last != m_BinLast) {
        return {RES_FAIL, rq.m_Param2, false};
    }

    const bool repeat = chunk + 1 == m_BinNext;
    if (!repeat && chunk != m_BinNext) return {RES_FAIL, rq.m_Param2, false};

    std::uint32_t offset = chunk * SIM_FW_BIN_CHUNK;
    std::uint32_t count = std::min(SIM_FW_BIN_CHUNK, size - offset);
    std::copy(rq.m_Data + 4, rq.m_Data + 4 + count, m_BinImage.begin() + offset);
    if (repeat) return {RES_SUCCESS, rq.m_Param2, false};

    ++m_BinNext;
    bool completed = chunk == last;
    if (completed) {
        m_bBinComplete = true;
        ++m_nCompleted;
    }
    return {RES_SUCCESS, rq.m_Param2, completed};
}
