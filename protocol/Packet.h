#pragma once
// One General packet in host byte order, and the six-byte Minimized frame.
//
// General frame on the wire (all 32-bit fields big-endian):
//   0x7E | command | param1 | param2 | data size N | error code | header checksum
//   [ N data bytes | data checksum ]   (only when N > 0)
// The header checksum is the byte sum of the 20 bytes command..error code; the
// data checksum the byte sum of the data. Minimized frame:
//   0x7E 0x5A command arg1 arg2 checksum, checksum = sum of bytes 0..4 mod 256.
#include <cstddef>
#include <cstdint>

constexpr std::uint8_t PACKET_START = 0x7E;
constexpr std::uint8_t MINI_MARKER = 0x5A;
constexpr std::size_t PACKET_DATA_SIZE = 65536;
constexpr std::size_t PACKET_HEADER_SIZE = 25;   // frame without data
constexpr std::size_t PACKET_TX_BUFFER = 6144;   // outgoing frames are assembled here
constexpr std::size_t PACKET_MAX_TX_DATA = PACKET_TX_BUFFER - PACKET_HEADER_SIZE - 4;  // 6115
constexpr std::size_t MINI_FRAME_SIZE = 6;

class CPacket {
public:
    CPacket() { Reset(); }
    CPacket(const CPacket& other) { CopyFrom(other); }
    CPacket& operator=(const CPacket& other) {
        if (this != &other) CopyFrom(other);
        return *this;
    }
    virtual ~CPacket() = default;

    std::uint8_t m_Start;
    std::uint32_t m_Command;
    std::uint32_t m_Param1;
    std::uint32_t m_Param2;
    std::uint32_t m_DataSize;
    std::uint32_t m_ErrCode;
    std::uint32_t m_HeaderChecksum;
    std::uint8_t m_Data[PACKET_DATA_SIZE];
    std::uint32_t m_DataChecksum;

    // Start byte 0x7E and every 32-bit member 0; the data area is kept.
    void Reset();
    // Start byte, the six header words, the whole data area and the data checksum.
    void CopyFrom(const CPacket& source);
    // The same, but only the first m_DataSize bytes of the data area (at most
    // its size): what a receiver of the packet can rely on.
    void CopyUsedFrom(const CPacket& source);

    // Sum of the four bytes of value, 0..1020.
    static std::uint32_t ByteSum(std::uint32_t value) {
        return (value & 0xFF) + ((value >> 8) & 0xFF) + ((value >> 16) & 0xFF) + (value >> 24);
    }
    std::uint32_t ComputeHeaderChecksum() const {
        return ByteSum(m_Command) + ByteSum(m_Param1) + ByteSum(m_Param2) + ByteSum(m_DataSize) + ByteSum(m_ErrCode);
    }
    // Sum of the first m_DataSize data bytes (at most the data area).
    std::uint32_t ComputeDataChecksum() const;

    void PrepareForSend();
    bool IsHeaderChecksumOK() const { return ComputeHeaderChecksum() == m_HeaderChecksum; }
    bool IsDataChecksumOK() const { return ComputeDataChecksum() == m_DataChecksum; }

    // Writes the General frame and returns its length (25, or N + 29). The
    // buffer must hold that many bytes; returns 0 when capacity is too small.
    std::size_t Serialize(std::uint8_t* buffer, std::size_t capacity = PACKET_TX_BUFFER) const;
    std::size_t FrameSize() const { return m_DataSize ? m_DataSize + PACKET_HEADER_SIZE + 4 : PACKET_HEADER_SIZE; }

private:
    void CopyPart(const CPacket& source, std::size_t dataBytes);
};

// Byte sum of the first five bytes of a Minimized frame, modulo 256.
inline std::uint8_t MiniChecksum(const std::uint8_t* frame) {
    return static_cast<std::uint8_t>(frame[0] + frame[1] + frame[2] + frame[3] + frame[4]);
}
// Stores the checksum of bytes 0..4 into byte 5.
inline void MakeMiniChecksum(std::uint8_t* frame) { frame[5] = MiniChecksum(frame); }
// Fills a whole Minimized frame: 0x7E 0x5A command arg1 arg2 checksum.
inline void BuildMiniFrame(std::uint8_t* frame, std::uint8_t command, std::uint8_t arg1, std::uint8_t arg2) {
    frame[0] = PACKET_START;
    frame[1] = MINI_MARKER;
    frame[2] = command;
    frame[3] = arg1;
    frame[4] = arg2;
    MakeMiniChecksum(frame);
}
inline bool IsMiniChecksumOK(const std::uint8_t* frame) { return MiniChecksum(frame) == frame[5]; }

// Big-endian helpers for data areas.
inline void PutBE32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}
inline std::uint32_t GetBE32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}
inline void PutBE16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
inline std::uint16_t GetBE16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
