// Reading Intel HEX records and raw image chunks and framing them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include <unistd.h>

#include "PmHarness.h"

namespace {

// Files written by the tests, removed when the program ends.
struct SWrittenFiles {
    ~SWrittenFiles() {
        for (const auto& path : paths) std::remove(path.c_str());
    }
    std::vector<std::string> paths;
} g_Written;

std::string WriteFile(const std::string& name, const std::string& contents) {
    std::string path = ::testing::TempDir() + "/" + std::to_string(getpid()) + "-" + name;
    std::ofstream(path, std::ios::binary) << contents;
    g_Written.paths.push_back(path);
    return path;
}

class HexReader : public ::testing::Test {
protected:
    PmHarness h;

    // Sends every record of the file and returns the requests.
    std::vector<CPacket> SendAll(const std::string& path, int expected) {
        std::uint32_t pos = 0;
        for (int i = 0; i < expected; ++i) {
            EXPECT_TRUE(h.pm.SendHexRecord(path, pos, static_cast<std::uint32_t>(i))) << "record " << i;
        }
        return h.TakeRequests();
    }
};

const char* kImage =
    ":020000040800F2\n"
    ":10000000000102030405060708090A0B0C0D0E0F78\n"
    ":0400100010203040F4\n"
    ":00000001FF\n";

TEST_F(HexReader, WorkedExampleExtendedAddressThenData) {
    auto reqs = SendAll(WriteFile("a.hex", kImage), 4);
    ASSERT_EQ(reqs.size(), 4u);
    // Extended linear address: ten bytes carrying the new upper address.
    EXPECT_EQ(reqs[0].m_Command, static_cast<std::uint32_t>(CMD_UPGRADE_HEX));
    EXPECT_EQ(reqs[0].m_Param1, 0u);
    EXPECT_EQ(reqs[0].m_Param2, 0u);
    EXPECT_EQ(reqs[0].m_DataSize, 10u);
    EXPECT_EQ(Bytes(reqs[0].m_Data, reqs[0].m_Data + 10), (Bytes{0, 0, 8, 0, 0, 0, 0, 0, 0, 0}));
    // Sixteen data bytes at load address 0000.
    EXPECT_EQ(reqs[1].m_Param2, 1u);
    ASSERT_EQ(reqs[1].m_DataSize, 26u);
    Bytes expected = {0, 0, 8, 0, 0, 0, 0, 0, 0, 0x10};
    for (int i = 0; i < 16; ++i) expected.push_back(static_cast<std::uint8_t>(i));
    EXPECT_EQ(Bytes(reqs[1].m_Data, reqs[1].m_Data + 26), expected);
    EXPECT_EQ(Bytes(reqs[2].m_Data, reqs[2].m_Data + 14), (Bytes{0, 0, 8, 0, 0, 0, 0, 0x10, 0, 4, 0x10, 0x20, 0x30, 0x40}));
    // End of file: param1 1, ten bytes with the current upper address.
    EXPECT_EQ(reqs[3].m_Param1, 1u);
    EXPECT_EQ(reqs[3].m_DataSize, 10u);
    EXPECT_EQ(Bytes(reqs[3].m_Data, reqs[3].m_Data + 4), (Bytes{0, 0, 8, 0}));
    EXPECT_EQ(h.pm.m_FwUpperAddress, 0x0800u);
}

TEST_F(HexReader, PositionStopsOnTheChecksumOfAnAddressRecord) {
    std::string path = WriteFile("b.hex", kImage);
    std::uint32_t pos = 0;
    ASSERT_TRUE(h.pm.SendHexRecord(path, pos, 0));
    EXPECT_EQ(pos, 13u) << "':' + 8 header characters + 4 address characters";
    EXPECT_EQ(h.pm.m_FwFileOffset, 0u);
    EXPECT_EQ(h.pm.m_FwIndex, 0u);
    EXPECT_EQ(h.pm.m_FwFileName, path);
}

TEST_F(HexReader, CrLfAndLfFilesGiveTheSameRequests) {
    std::string lf = kImage;
    std::string crlf;
    for (char c : lf) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    auto a = SendAll(WriteFile("lf.hex", lf), 4);
    h.pm.m_FwUpperAddress = 0;
    auto b = SendAll(WriteFile("crlf.hex", crlf), 4);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].m_Param1, b[i].m_Param1);
        EXPECT_EQ(a[i].m_Param2, b[i].m_Param2);
        ASSERT_EQ(a[i].m_DataSize, b[i].m_DataSize);
        EXPECT_EQ(0, std::memcmp(a[i].m_Data, b[i].m_Data, a[i].m_DataSize));
    }
}

TEST_F(HexReader, UpperAddressCarriesIntoTheNextUpgrade) {
    SendAll(WriteFile("first.hex", kImage), 4);
    auto reqs = SendAll(WriteFile("second.hex", ":0400000001020304F2\n:00000001FF\n"), 2);
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(Bytes(reqs[0].m_Data, reqs[0].m_Data + 4), (Bytes{0, 0, 8, 0}));
    EXPECT_EQ(Bytes(reqs[1].m_Data, reqs[1].m_Data + 4), (Bytes{0, 0, 8, 0}));
}

TEST_F(HexReader, ResendReadsTheSameRecordAgain) {
    std::string path = WriteFile("c.hex", kImage);
    std::uint32_t pos = 0;
    ASSERT_TRUE(h.pm.SendHexRecord(path, pos, 0));
    ASSERT_TRUE(h.pm.SendHexRecord(path, pos, 1));
    CPacket sent = h.TakeRequests().back();
    ASSERT_TRUE(h.pm.ResendHexRecord());
    CPacket again = h.TakeRequests().at(0);
    EXPECT_EQ(again.m_Param2, 1u);
    ASSERT_EQ(again.m_DataSize, sent.m_DataSize);
    EXPECT_EQ(0, std::memcmp(again.m_Data, sent.m_Data, sent.m_DataSize));
}

TEST_F(HexReader, OtherRecordTypesGoOutWithLengthZero) {
    auto reqs = SendAll(WriteFile("d.hex", ":020000021000EC\n:0400000300003800C1\n:04000005000000CD2A\n"), 3);
    ASSERT_EQ(reqs.size(), 3u);
    for (const auto& r : reqs) {
        EXPECT_EQ(r.m_DataSize, 10u);
        EXPECT_EQ(r.m_Param1, 0u);
        EXPECT_EQ(GetBE16(r.m_Data + 8), 0u);
    }
}

TEST_F(HexReader, LongRecordsAreReadWhole) {
    std::string line = ":FF000000";
    for (int i = 0; i < 255; ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", i);
        line += hex;
    }
    line += "00\n";
    auto reqs = SendAll(WriteFile("long.hex", line), 1);
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].m_DataSize, 265u);
    EXPECT_EQ(reqs[0].m_Data[10 + 254], 254);
}

TEST_F(HexReader, BrokenFilesSendNothing) {
    const char* broken[] = {
        "",                        // ends before the next ':'
        "\r\n\r\n",                // only line ends
        ":10000000000102030405",   // ends inside the data
        ":1G000000000102",         // not hexadecimal
        ":0400100010203Z40F4\n",   // bad data digit
    };
    int i = 0;
    for (const char* text : broken) {
        std::uint32_t pos = 0;
        std::string path = WriteFile("broken" + std::to_string(i++) + ".hex", text);
        EXPECT_FALSE(h.pm.SendHexRecord(path, pos, 0)) << text;
        EXPECT_EQ(pos, 0u);
    }
    std::uint32_t pos = 0;
    EXPECT_FALSE(h.pm.SendHexRecord(::testing::TempDir() + "/does-not-exist.hex", pos, 0));
    EXPECT_TRUE(h.writes.empty());
    EXPECT_FALSE(h.loop.IsTimerRunning(&h.pm, RETRY_TIMER_ID));
}

TEST_F(HexReader, TheFileEndingAfterTheLastRecordFailsTheNextRead) {
    std::string path = WriteFile("e.hex", ":00000001FF\n");
    std::uint32_t pos = 0;
    EXPECT_TRUE(h.pm.SendHexRecord(path, pos, 0));
    EXPECT_FALSE(h.pm.SendHexRecord(path, pos, 1));
}

class BinReader : public ::testing::Test {
protected:
    PmHarness h;

    std::string Image(const std::string& name, std::size_t size) {
        std::string contents(size, '\0');
        for (std::size_t i = 0; i < size; ++i) contents[i] = static_cast<char>((i * 31 + 7) & 0xFF);
        return WriteFile(name, contents);
    }
    void Prepare(std::size_t size) {
        h.pm.m_FwFileSize = static_cast<std::uint32_t>(size);
        h.pm.m_FwLastChunk = static_cast<std::uint32_t>((size - 1) / 2048);
    }
};

TEST_F(BinReader, ImageOfWholeChunks) {
    const std::size_t size = 2048 * 3;
    std::string path = Image("k.bin", size);
    Prepare(size);
    ASSERT_EQ(h.pm.m_FwLastChunk, 2u);
    Bytes received;
    for (std::uint32_t n = 0; n <= 2; ++n) {
        ASSERT_TRUE(h.pm.SendBinChunk(path, n));
        Bytes frame = h.TakeWritten();
        ASSERT_EQ(frame.size(), 2081u);
        CPacket p = ParseFrames(frame).at(0);
        EXPECT_EQ(p.m_Command, static_cast<std::uint32_t>(CMD_UPGRADE_BIN));
        EXPECT_EQ(p.m_Param1, 0u);
        EXPECT_EQ(p.m_Param2, n * 256 + 2);
        EXPECT_EQ(p.m_DataSize, 2052u);
        EXPECT_EQ(GetBE32(p.m_Data), size);
        received.insert(received.end(), p.m_Data + 4, p.m_Data + 2052);
    }
    std::ifstream in(path, std::ios::binary);
    Bytes original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(received, original);
}

TEST_F(BinReader, ImageOf2049BytesHasALastChunkOfOneByte) {
    std::string path = Image("2049.bin", 2049);
    Prepare(2049);
    EXPECT_EQ(h.pm.m_FwLastChunk, 1u);
    ASSERT_TRUE(h.pm.SendBinChunk(path, 1));
    CPacket p = h.TakeRequests().at(0);
    EXPECT_EQ(p.m_Param2, 0x101u);
    EXPECT_EQ(p.m_DataSize, 2052u);
    EXPECT_EQ(p.m_Data[4], static_cast<std::uint8_t>((2048 * 31 + 7) & 0xFF));
    EXPECT_EQ(p.m_Data[5], 0) << "filler beyond the file is zero";
    EXPECT_EQ(h.pm.m_FwIndex, 1u);
}

TEST_F(BinReader, UnreadableFileSendsNothing) {
    Prepare(4096);
    EXPECT_FALSE(h.pm.SendBinChunk(::testing::TempDir() + "/missing.bin", 0));
    std::string path = Image("short.bin", 100);  // shorter than the size the caller gave
    EXPECT_FALSE(h.pm.SendBinChunk(path, 0));
    EXPECT_TRUE(h.writes.empty());
}

}  // namespace
