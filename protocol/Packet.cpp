#include "protocol/Packet.h"

#include <algorithm>
#include <cstring>
#include <numeric>

void CPacket::Reset() {
    m_Start = PACKET_START;
    m_Command = m_Param1 = m_Param2 = m_DataSize = m_ErrCode = m_HeaderChecksum = 0;
    m_DataChecksum = 0;
}

void CPacket::CopyFrom(const CPacket& source) { CopyPart(source, sizeof m_Data); }

void CPacket::CopyUsedFrom(const CPacket& source) { CopyPart(source, source.m_DataSize); }

void CPacket::CopyPart(const CPacket& source, std::size_t dataBytes) {
    m_Start = source.m_Start;
    m_Command = source.m_Command;
    m_Param1 = source.m_Param1;
    m_Param2 = source.m_Param2;
    m_DataSize = source.m_DataSize;
    m_ErrCode = source.m_ErrCode;
    m_HeaderChecksum = source.m_HeaderChecksum;
    std::memcpy(m_Data, source.m_Data, std::min(dataBytes, sizeof m_Data));
    m_DataChecksum = source.m_DataChecksum;
}

std::uint32_t CPacket::ComputeDataChecksum() const {
    std::size_t n = std::min<std::size_t>(m_DataSize, sizeof m_Data);
    return std::accumulate(m_Data, m_Data + n, std::uint32_t{0});
}

void CPacket::PrepareForSend() {
    m_HeaderChecksum = ComputeHeaderChecksum();
    if (m_DataSize > 0) m_DataChecksum = ComputeDataChecksum();
}

std::size_t CPacket::Serialize(std::uint8_t* buffer, std::size_t capacity) const {
    std::size_t size = FrameSize();
    if (m_DataSize > sizeof m_Data || size > capacity) return 0;
    buffer[0] = m_Start;
    PutBE32(buffer + 1, m_Command);
    PutBE32(buffer + 5, m_Param1);
    PutBE32(buffer + 9, m_Param2);
    PutBE32(buffer + 13, m_DataSize);
    PutBE32(buffer + 17, m_ErrCode);
    PutBE32(buffer + 21, m_HeaderChecksum);
    if (m_DataSize > 0) {
        std::memcpy(buffer + 25, m_Data, m_DataSize);
        PutBE32(buffer + 25 + m_DataSize, m_DataChecksum);
    }
    return size;
}
