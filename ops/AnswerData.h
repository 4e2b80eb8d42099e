#pragma once
// Reading the data areas of the answers that carry more than a result: the
// identified ID, the records of the fingerprint and master lists, and the
// records of a log block. Only the bytes the answer carried count; a count
// that reaches past them is either cut to them (lists) or refused (logs).
#include <cstdint>
#include <string>

#include "protocol/Packet.h"

// The identified ID of a successful identification answer: the text at the
// start of its data, ending at the first zero, at the ninth character or at
// the end of the data the answer carried (8-bit text, as the module keeps it).
std::string IdentifiedIdText(const CPacket& answer);

// Records of an older list answer (CMD_GET_FP_LIST, CMD_GET_MASTER_LIST):
// m_Param2 names the count, never more than the data holds.
int OlderListCount(const CPacket& answer);
// Records of a newer list answer (48/49): 4 leading bytes, then as many
// whole records as the data holds.
int NewerListCount(const CPacket& answer);
// Where the records of a newer list answer begin.
constexpr std::uint32_t LIST_EX_HEADER_SIZE = 4;

// Block number of the older log request's last block.
constexpr std::uint32_t LOG_LAST_BLOCK = 0xFFFF;

struct SLogBlock {
    enum EKind {
        RECORDS,   // records..records + count * 28
        NO_DATA,   // the answer carried no data: "There is no log data."
        BAD_DATA,  // the count does not fit the data or the block numbering: "Packet data error"
    };
    EKind kind = NO_DATA;
    std::uint32_t block = 0;
    std::uint32_t lastBlock = 0;
    const std::uint8_t* records = nullptr;
    std::uint32_t count = 0;
};
// An answer to CMD_GET_LOG: m_Param1 is the block (LOG_LAST_BLOCK the last),
// m_Param2 the record count, which must match the data exactly.
SLogBlock DecodeLogBlock(const CPacket& answer);
// A successful answer to CMD_GET_LOG_EX: m_Param2 holds the block (bits
// 8-15) and the last block (bits 0-7); the data starts with the record count
// (16 bits) and a value of no use, then the records. The count must lie
// within the data and the block may not come after the last one.
SLogBlock DecodeLogExBlock(const CPacket& answer);
