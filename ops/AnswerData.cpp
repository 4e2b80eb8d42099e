#include "ops/AnswerData.h"

#include <algorithm>

#include "ops/FpList.h"
#include "ops/LogData.h"
#include "protocol/CommandCatalog.h"

namespace {

// Bytes before the records in an answer to CMD_GET_LOG_EX: the record count
// and a value the console does not use, both 16-bit.
constexpr std::uint32_t LOG_EX_HEADER_SIZE = 4;

}  // namespace

std::string IdentifiedIdText(const CPacket& answer) {
    // Only the data the answer carried counts: bytes behind it belong to no
    // answer and must not be shown as part of the ID.
    const std::size_t size = std::min<std::size_t>(answer.m_DataSize, ID_FIELD_SIZE - 1);
    const auto* data = reinterpret_cast<const char*>(answer.m_Data);
    const std::size_t length = std::find(data, data + size, '\0') - data;
    return std::string(data, length);
}

int OlderListCount(const CPacket& answer) {
    const std::uint32_t held = std::min<std::uint32_t>(answer.m_DataSize, PACKET_DATA_SIZE) / FP_RECORD_SIZE;
    return static_cast<int>(std::min(answer.m_Param2, held));
}

int NewerListCount(const CPacket& answer) {
    const std::uint32_t size = std::min<std::uint32_t>(answer.m_DataSize, PACKET_DATA_SIZE);
    return size < LIST_EX_HEADER_SIZE ? 0 : static_cast<int>((size - LIST_EX_HEADER_SIZE) / FP_RECORD_SIZE);
}

SLogBlock DecodeLogBlock(const CPacket& answer) {
    SLogBlock b;
    b.block = answer.m_Param1;
    b.lastBlock = LOG_LAST_BLOCK;
    if (answer.m_DataSize == 0) return b;
    b.count = answer.m_Param2;
    if (answer.m_DataSize / LOG_RECORD_SIZE != b.count) {
        b.kind = SLogBlock::BAD_DATA;
        return b;
    }
    b.kind = SLogBlock::RECORDS;
    b.records = answer.m_Data;
    return b;
}

SLogBlock DecodeLogExBlock(const CPacket& answer) {
    SLogBlock b;
    b.block = answer.m_Param2 >> 8;
    b.lastBlock = answer.m_Param2 & 0xFF;
    if (answer.m_DataSize == 0) return b;
    b.count = answer.m_DataSize >= 2 ? (std::uint32_t{answer.m_Data[0]} << 8) | answer.m_Data[1] : 0;
    if (answer.m_DataSize < LOG_EX_HEADER_SIZE ||
        (answer.m_DataSize - LOG_EX_HEADER_SIZE) / LOG_RECORD_SIZE < b.count || b.block > b.lastBlock) {
        b.kind = SLogBlock::BAD_DATA;
        return b;
    }
    b.kind = SLogBlock::RECORDS;
    b.records = answer.m_Data + LOG_EX_HEADER_SIZE;
    return b;
}
