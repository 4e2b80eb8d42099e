// Frame formats and checksums, byte for byte.
#include <gtest/gtest.h>

#include "ClientHarness.h"

namespace {

Bytes Serialize(const CPacket& p) {
    Bytes out(PACKET_TX_BUFFER);
    out.resize(p.Serialize(out.data(), out.size()));
    return out;
}

TEST(PacketFrames, WorkedExamples) {
    CPacket connect;
    connect.m_Command = CMD_CONNECT;
    connect.PrepareForSend();
    EXPECT_EQ(Serialize(connect),
              (Bytes{0x7E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01}));

    CPacket answer;
    answer.m_Command = CMD_CONNECT;
    answer.m_Param1 = 1;
    answer.m_Param2 = 3;
    answer.PrepareForSend();
    EXPECT_EQ(Serialize(answer),
              (Bytes{0x7E, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x05}));

    CPacket withData;
    withData.m_Command = 0x2C;
    withData.m_Param2 = 4;
    withData.m_DataSize = 4;
    const std::uint8_t data[] = {1, 2, 3, 4};
    std::memcpy(withData.m_Data, data, 4);
    withData.PrepareForSend();
    EXPECT_EQ(Serialize(withData), (Bytes{0x7E, 0, 0, 0, 0x2C, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 4,
                                          0,    0, 0, 0,    0, 0, 0, 0x34, 1, 2, 3, 4, 0, 0, 0, 0x0A}));
}

TEST(PacketFrames, DataSizeNGivesNPlus29Bytes) {
    CPacket p;
    for (std::uint32_t n : {1u, 400u, 2052u, 6115u}) {
        p.m_DataSize = n;
        p.PrepareForSend();
        Bytes frame = Serialize(p);
        ASSERT_EQ(frame.size(), n + 29);
        EXPECT_EQ(GetBE32(&frame[25 + n]), p.m_DataChecksum);
    }
}

TEST(PacketFrames, FrameLargerThanTheSendBufferIsRefused) {
    CPacket p;
    p.m_DataSize = PACKET_MAX_TX_DATA + 1;
    std::uint8_t buffer[PACKET_TX_BUFFER];
    EXPECT_EQ(p.Serialize(buffer, sizeof buffer), 0u);
}

TEST(PacketChecksums, HeaderSumKeepsItsCarry) {
    CPacket p;
    p.m_Command = 255;
    p.m_Param2 = 255;
    p.PrepareForSend();
    EXPECT_EQ(p.m_HeaderChecksum, 510u);
    Bytes frame = Serialize(p);
    EXPECT_EQ(Bytes(frame.begin() + 21, frame.begin() + 25), (Bytes{0x00, 0x00, 0x01, 0xFE}));
}

TEST(PacketChecksums, HeaderSumAtItsMaximum) {
    CPacket p;
    p.m_Command = p.m_Param1 = p.m_Param2 = p.m_ErrCode = 0xFFFFFFFF;
    p.m_DataSize = 0xFFFFFFFF;
    EXPECT_EQ(p.ComputeHeaderChecksum(), 5100u);
    EXPECT_EQ(CPacket::ByteSum(0xFFFFFFFF), 1020u);
    EXPECT_EQ(CPacket::ByteSum(0x01020304), 10u);
}

TEST(PacketChecksums, DataSumOfAFullAreaDoesNotOverflow) {
    CPacket p;
    p.m_DataSize = PACKET_DATA_SIZE;
    std::memset(p.m_Data, 0xFF, PACKET_DATA_SIZE);
    p.PrepareForSend();
    EXPECT_EQ(p.m_DataChecksum, 65536u * 255u);
    EXPECT_TRUE(p.IsDataChecksumOK());
    p.m_Data[100] ^= 1;
    EXPECT_FALSE(p.IsDataChecksumOK());
}

TEST(PacketChecksums, DataChecksumIsOnlyComputedWithData) {
    CPacket p;
    p.m_DataChecksum = 1234;
    p.PrepareForSend();
    EXPECT_EQ(p.m_DataChecksum, 1234u);
}

TEST(MiniFrames, WorkedExamples) {
    EXPECT_EQ(MiniFrame(MINI_CONNECT, 0), (Bytes{0x7E, 0x5A, 0x01, 0x00, 0x00, 0xD9}));
    EXPECT_EQ(MiniFrame(MINI_CONNECT, 1), (Bytes{0x7E, 0x5A, 0x01, 0x01, 0x00, 0xDA}));
    EXPECT_EQ(MiniFrame(MINI_SET_BAUDRATE, 1), (Bytes{0x7E, 0x5A, 0x02, 0x01, 0x00, 0xDB}));
}

TEST(MiniFrames, ChecksumWrapsAt256) {
    Bytes f = MiniFrame(0xFF, 0xFF, 0xFF);
    EXPECT_EQ(f[5], static_cast<std::uint8_t>(0x7E + 0x5A + 3 * 0xFF));
    EXPECT_TRUE(IsMiniChecksumOK(f.data()));
    f[4] ^= 0x10;
    EXPECT_FALSE(IsMiniChecksumOK(f.data()));
}

}  // namespace
