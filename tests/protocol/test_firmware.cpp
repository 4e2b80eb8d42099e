// Reading Intel HEX records and raw image chunks into requests, framing them,
// and the upgrade session that sends them one reply at a time.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <vector>

#include <unistd.h>

#include "ClientHarness.h"
#include "protocol/FirmwareTransfer.h"
#include "protocol/UpgradeSession.h"

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
    ClientHarness h;
    CFirmwareTransfer transfer;

    // Reads every record of the file, sends each and returns the frames.
    std::vector<CPacket> SendAll(const std::string& path, int expected) {
        std::uint32_t pos = 0;
        for (int i = 0; i < expected; ++i) {
            SRequest r;
            EXPECT_TRUE(transfer.HexRecord(path, pos, static_cast<std::uint32_t>(i), r)) << "record " << i;
            h.Send(r);
        }
        return h.TakeRequests();
    }
};

const char* kImage =
    ":020000040800F2\n"
    ":10000000000102030405060708090A0B0C0D0E0F78\n"
    ":0400100010203040F4\n"
    ":00000001FF\n";

// The same records with every checksum right: an upgrade checks the file first.
const char* kCheckedImage =
    ":020000040800F2\n"
    ":10000000000102030405060708090A0B0C0D0E0F78\n"
    ":04001000102030404C\n"
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
    EXPECT_EQ(transfer.UpperAddress(), 0x0800u);
}

TEST_F(HexReader, PositionStopsOnTheChecksumOfAnAddressRecord) {
    std::string path = WriteFile("b.hex", kImage);
    std::uint32_t pos = 0;
    SRequest r;
    ASSERT_TRUE(transfer.HexRecord(path, pos, 0, r));
    EXPECT_EQ(pos, 13u) << "':' + 8 header characters + 4 address characters";
    EXPECT_EQ(r.param2, 0u);
}

TEST_F(HexReader, CrLfAndLfFilesGiveTheSameRequests) {
    std::string lf = kImage;
    std::string crlf;
    for (char c : lf) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    auto a = SendAll(WriteFile("lf.hex", lf), 4);
    transfer = CFirmwareTransfer();
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

TEST_F(HexReader, ReadingFromTheSamePositionGivesTheSameRecordAgain) {
    std::string path = WriteFile("c.hex", kImage);
    std::uint32_t pos = 0;
    SRequest first, sent, again;
    ASSERT_TRUE(transfer.HexRecord(path, pos, 0, first));
    const std::uint32_t at = pos;
    ASSERT_TRUE(transfer.HexRecord(path, pos, 1, sent));
    std::uint32_t back = at;
    ASSERT_TRUE(transfer.HexRecord(path, back, 1, again));
    EXPECT_EQ(back, pos);
    EXPECT_EQ(again.param2, 1u);
    EXPECT_EQ(again.data, sent.data);
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
        SRequest r;
        EXPECT_FALSE(transfer.HexRecord(path, pos, 0, r)) << text;
        EXPECT_EQ(pos, 0u);
        EXPECT_EQ(transfer.UpperAddress(), 0u);
    }
    std::uint32_t pos = 0;
    SRequest r;
    EXPECT_FALSE(transfer.HexRecord(::testing::TempDir() + "/does-not-exist.hex", pos, 0, r));
}

TEST_F(HexReader, TheFileEndingAfterTheLastRecordFailsTheNextRead) {
    std::string path = WriteFile("e.hex", ":00000001FF\n");
    std::uint32_t pos = 0;
    SRequest r;
    EXPECT_TRUE(transfer.HexRecord(path, pos, 0, r));
    EXPECT_FALSE(transfer.HexRecord(path, pos, 1, r));
}

std::string Image(const std::string& name, std::size_t size) {
    std::string contents(size, '\0');
    for (std::size_t i = 0; i < size; ++i) contents[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    return WriteFile(name, contents);
}

class BinReader : public ::testing::Test {
protected:
    ClientHarness h;
    CFirmwareTransfer transfer;
    std::uint32_t size = 0, last = 0;

    void Prepare(std::size_t bytes) {
        size = static_cast<std::uint32_t>(bytes);
        last = static_cast<std::uint32_t>((bytes - 1) / 2048);
    }
    bool SendChunk(const std::string& path, std::uint32_t n) {
        SRequest r;
        if (!transfer.BinChunk(path, size, last, n, r)) return false;
        return h.Send(r) == ESendResult::Sent;
    }
};

TEST_F(BinReader, ImageOfWholeChunks) {
    const std::size_t fileSize = 2048 * 3;
    std::string path = Image("k.bin", fileSize);
    Prepare(fileSize);
    ASSERT_EQ(last, 2u);
    Bytes received;
    for (std::uint32_t n = 0; n <= 2; ++n) {
        ASSERT_TRUE(SendChunk(path, n));
        Bytes frame = h.TakeWritten();
        ASSERT_EQ(frame.size(), 2081u);
        CPacket p = ParseFrames(frame).at(0);
        EXPECT_EQ(p.m_Command, static_cast<std::uint32_t>(CMD_UPGRADE_BIN));
        EXPECT_EQ(p.m_Param1, 0u);
        EXPECT_EQ(p.m_Param2, n * 256 + 2);
        EXPECT_EQ(p.m_DataSize, 2052u);
        EXPECT_EQ(GetBE32(p.m_Data), fileSize);
        received.insert(received.end(), p.m_Data + 4, p.m_Data + 2052);
    }
    std::ifstream in(path, std::ios::binary);
    Bytes original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(received, original);
}

TEST_F(BinReader, ImageOf2049BytesHasALastChunkOfOneByte) {
    std::string path = Image("2049.bin", 2049);
    Prepare(2049);
    EXPECT_EQ(last, 1u);
    ASSERT_TRUE(SendChunk(path, 1));
    CPacket p = h.TakeRequests().at(0);
    EXPECT_EQ(p.m_Param2, 0x101u);
    EXPECT_EQ(p.m_DataSize, 2052u);
    EXPECT_EQ(p.m_Data[4], static_cast<std::uint8_t>((2048 * 31 + 7) & 0xFF));
    EXPECT_EQ(p.m_Data[5], 0) << "filler beyond the file is zero";
}

TEST_F(BinReader, UnreadableFileSendsNothing) {
    Prepare(4096);
    EXPECT_FALSE(SendChunk(::testing::TempDir() + "/missing.bin", 0));
    std::string path = Image("short.bin", 100);  // shorter than the size the caller gave
    EXPECT_FALSE(SendChunk(path, 0));
    EXPECT_TRUE(h.writes.empty());
}


// ---------------------------------------------------------------- the session

// A flow that hands every reply to its upgrade session and records what the
// session made of it.
class CUpgradeRunner : public CMsgTarget {
public:
    explicit CUpgradeRunner(ClientHarness& h) : CMsgTarget(h.loop), session(h.client, *this) {}
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM) override {
        if (msg == WM_EXCHANGE_ENDED) answers.push_back(session.OnReply(*reinterpret_cast<const CReply*>(wParam)));
        return 0;
    }
    CUpgradeSession session;
    std::vector<CUpgradeSession::EAnswer> answers;
};

class UpgradeSession : public ::testing::Test {
protected:
    ClientHarness h;
    CUpgradeRunner runner{h};
    CUpgradeSession& session = runner.session;

    // The record numbers and parameters of what went out since the last call.
    std::vector<CPacket> Sent() { return h.TakeRequests(); }
};

TEST_F(UpgradeSession, AHexUpgradeSendsEachRecordOnceInTurnAndCompletes) {
    ASSERT_TRUE(session.Prepare(EUpgradeFormat::Hex, WriteFile("s1.hex", kCheckedImage)));
    EXPECT_EQ(session.Range(), 4);
    ASSERT_TRUE(session.SendFirst());
    for (std::uint32_t record = 0; record < 3; ++record) {
        auto sent = Sent();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].m_Param2, record);
        h.Arrive(GeneralFrame(CMD_UPGRADE_HEX, 0, record + 1));
        EXPECT_EQ(runner.answers.back(), CUpgradeSession::ANSWER_NEXT);
    }
    auto last = Sent();
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].m_Param1, 1u) << "the end-of-file record";
    h.Arrive(GeneralFrame(CMD_UPGRADE_HEX, RES_SUCCESS, 4));
    EXPECT_EQ(runner.answers.back(), CUpgradeSession::ANSWER_COMPLETE);
    EXPECT_FALSE(session.IsRunning());
    EXPECT_TRUE(Sent().empty());
}

// A record answered slowly is re-sent; both acknowledgements come. Only the
// first sends the next record: records never go out under the previous
// record's number.
TEST_F(UpgradeSession, TwoAcknowledgementsOfARecordSendOneNextRecord) {
    ASSERT_TRUE(session.Prepare(EUpgradeFormat::Hex, WriteFile("s2.hex", kCheckedImage)));
    ASSERT_TRUE(session.SendFirst());
    h.Arrive(GeneralFrame(CMD_UPGRADE_HEX, 0, 1));
    Sent();
    h.loop.Advance(TIMEOUT_UPGRADE);  // record 1 re-sent by the client
    ASSERT_EQ(Sent().size(), 1u);
    h.Arrive(GeneralFrame(CMD_UPGRADE_HEX, 0, 2));
    h.Arrive(GeneralFrame(CMD_UPGRADE_HEX, 0, 2));
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].m_Param2, 2u);
    EXPECT_EQ(runner.answers.size(), 2u);
    EXPECT_EQ(h.client.StaleAnswers(), 1u);
}

// The module refusing a record (RES_FAIL, RES_INVALID_PARAM, RES_CANCELED or
// any code but 0 and 1) ends the upgrade with the record and the result:
// nothing more would ever come.
TEST_F(UpgradeSession, ARefusedHexRecordEndsTheUpgradeNamingTheRecordAndTheResult) {
    for (std::int32_t result : {std::int32_t{RES_FAIL}, std::int32_t{RES_INVALID_PARAM}, std::int32_t{RES_CANCELED}, 77}) {
        SCOPED_TRACE(result);
        ClientHarness c;
        CUpgradeRunner r(c);
        ASSERT_TRUE(r.session.Prepare(EUpgradeFormat::Hex, WriteFile("s3.hex", kCheckedImage)));
        ASSERT_TRUE(r.session.SendFirst());
        c.Arrive(GeneralFrame(CMD_UPGRADE_HEX, 0, 1));
        c.Arrive(GeneralFrame(CMD_UPGRADE_HEX, static_cast<std::uint32_t>(result), 1));
        ASSERT_EQ(r.answers.size(), 2u);
        EXPECT_EQ(r.answers[1], CUpgradeSession::ANSWER_FAILED);
        EXPECT_EQ(r.session.Error().code, SUpgradeError::PIECE_REFUSED);
        EXPECT_EQ(r.session.Error().piece, 1u);
        EXPECT_EQ(r.session.Error().result, result);
        EXPECT_FALSE(r.session.IsRunning());
        c.TakeWritten();
        c.loop.Advance(60000);
        EXPECT_TRUE(c.TakeWritten().empty());
    }
}

TEST_F(UpgradeSession, AChunkTheModuleKeepsFailingIsSentTenTimesThenTheUpgradeStops) {
    ASSERT_TRUE(session.Prepare(EUpgradeFormat::Bin, Image("s4.bin", 5000)));
    ASSERT_TRUE(session.SendFirst());
    for (int send = 1; send < FW_MAX_SENDS; ++send) {
        h.Arrive(GeneralFrame(CMD_UPGRADE_BIN, RES_FAIL, 0));
        EXPECT_EQ(runner.answers.back(), CUpgradeSession::ANSWER_RESENT);
    }
    h.Arrive(GeneralFrame(CMD_UPGRADE_BIN, RES_FAIL, 0));
    EXPECT_EQ(runner.answers.back(), CUpgradeSession::ANSWER_FAILED);
    EXPECT_EQ(session.Error().code, SUpgradeError::REFUSED_TOO_OFTEN);
    EXPECT_EQ(Sent().size(), static_cast<std::size_t>(FW_MAX_SENDS));
}

TEST_F(UpgradeSession, NoAnswerOrEveryChecksumRefusedIsALostLink) {
    ASSERT_TRUE(session.Prepare(EUpgradeFormat::Bin, Image("s5.bin", 5000)));
    ASSERT_TRUE(session.SendFirst());
    for (int i = 0; i < MAX_SENDS; ++i) h.Arrive(GeneralFrame(CMD_UPGRADE_BIN, RES_SUCCESS, 0, {}, ERR_CHECKSUM));
    ASSERT_EQ(runner.answers.size(), 1u);
    EXPECT_EQ(runner.answers[0], CUpgradeSession::ANSWER_LOST);
    EXPECT_EQ(Sent().size(), static_cast<std::size_t>(MAX_SENDS));
    // The same after ten time-outs.
    ASSERT_TRUE(session.SendFirst());
    h.loop.Advance(MAX_SENDS * TIMEOUT_UPGRADE);
    EXPECT_EQ(runner.answers.back(), CUpgradeSession::ANSWER_LOST);
}

TEST_F(UpgradeSession, AbandoningAnUpgradeDropsTheAnswerToThePieceUnderWay) {
    ASSERT_TRUE(session.Prepare(EUpgradeFormat::Bin, Image("s6.bin", 5000)));
    ASSERT_TRUE(session.SendFirst());
    session.End();
    h.loop.RunPending();
    h.Arrive(GeneralFrame(CMD_UPGRADE_BIN, RES_SUCCESS, 2));
    EXPECT_EQ(h.client.StaleAnswers(), 1u);
    EXPECT_EQ(Sent().size(), 1u);
}

TEST_F(UpgradeSession, FilesAreJudgedByTheirMetadataBeforeAByteIsRead) {
    EXPECT_FALSE(session.Prepare(EUpgradeFormat::Bin, "/dev/zero"));
    EXPECT_EQ(session.Error().code, SUpgradeError::NOT_A_FILE);
    EXPECT_FALSE(session.Prepare(EUpgradeFormat::Hex, ::testing::TempDir()));
    EXPECT_EQ(session.Error().code, SUpgradeError::IS_FOLDER);
    // A sparse file of 4 GB: refused by its size, not read.
    const std::string huge = WriteFile("huge.bin", "");
    ASSERT_EQ(truncate(huge.c_str(), 4LL << 30), 0);
    EXPECT_FALSE(session.Prepare(EUpgradeFormat::Bin, huge));
    EXPECT_EQ(session.Error().code, SUpgradeError::TOO_LARGE);
    EXPECT_EQ(session.Error().size, 4ULL << 30);
    EXPECT_FALSE(session.Prepare(EUpgradeFormat::Hex, huge));
    EXPECT_EQ(session.Error().code, SUpgradeError::TOO_LARGE);
    EXPECT_FALSE(session.Prepare(EUpgradeFormat::Bin, ::testing::TempDir() + "/none.bin"));
    EXPECT_EQ(session.Error().code, SUpgradeError::CANNOT_OPEN);
    EXPECT_EQ(session.Error().systemError, ENOENT);
    EXPECT_TRUE(h.writes.empty());
}

TEST_F(UpgradeSession, NothingStartsWithoutALink) {
    ASSERT_TRUE(session.Prepare(EUpgradeFormat::Bin, Image("s7.bin", 100)));
    h.client.Close();
    EXPECT_FALSE(session.SendFirst());
    EXPECT_EQ(session.Error().code, SUpgradeError::NOT_SENT);
    EXPECT_FALSE(session.IsRunning());
}

}  // namespace
