// Over a real pseudo-terminal with the console's packet manager: scans,
// images, database, log, user data, options and firmware, in the answer
// layouts the console reads.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>

#include "sim/PtyHarness.h"
#include "sim/SimImage.h"
#include "sim/SimLog.h"

namespace {

constexpr std::uint32_t OK = RES_SUCCESS;

std::string IdText(const SViewMessage& m, std::size_t offset = 0) {
    return std::string(reinterpret_cast<const char*>(m.packet->m_Data + offset), strnlen(reinterpret_cast<const char*>(m.packet->m_Data + offset), 10));
}

class SimScans : public CSimLinkTest {
protected:
    void SetUp() override {
        StartLink();
        pm.SendEnterMasterEx(3);
        ASSERT_EQ(Next(WM_RX_ENTER_MASTER_EX).Result(), OK);
    }
};

TEST_F(SimScans, EnrolInAllThreeFormsThenIdentify) {
    sim.SetFinger(1);
    pm.SendEnroll(0, "7");
    SViewMessage first = Next(WM_RX_ENROLL);
    EXPECT_EQ(first.Result(), OK);
    pm.SendEnroll2(0);
    SViewMessage second = Next(WM_RX_ENROLL2);
    EXPECT_EQ(second.Result(), OK);
    EXPECT_EQ(second.Param2(), 1u);

    sim.SetFinger(2);
    pm.SendEnrollEx(1, 0, "12", "abc");
    SViewMessage ex0 = Next(WM_RX_ENROLL_EX);
    EXPECT_EQ(ex0.Result(), OK);
    EXPECT_EQ(ex0.Param2(), 0u);
    pm.SendEnrollEx(1, 1);
    SViewMessage ex1 = Next(WM_RX_ENROLL_EX);
    EXPECT_EQ(ex1.Result(), OK);
    EXPECT_EQ(ex1.Param2(), 2u);

    sim.SetFinger(3);
    pm.SendMiniEnroll(0);
    EXPECT_EQ(Next(WM_RX_MINI_ENROLL).mini[3], RES_SUCCESS);
    pm.SendMiniEnroll(1);
    EXPECT_EQ(Next(WM_RX_MINI_ENROLL).mini[3], RES_SUCCESS);

    pm.SendEnroll(0, "7");
    EXPECT_EQ(Next(WM_RX_ENROLL).Result(), std::uint32_t(RES_USED_ID));

    sim.SetFinger(2);
    pm.SendIdentify();
    SViewMessage id = Next(WM_RX_IDENTIFY);
    EXPECT_EQ(id.Result(), OK);
    EXPECT_EQ(IdText(id), "12");
    pm.SendVerify(0, "12");
    EXPECT_EQ(Next(WM_RX_VERIFY).Result(), OK);
    pm.SendVerify(1, "12", "abc");
    EXPECT_EQ(Next(WM_RX_VERIFY).Result(), OK);
    pm.SendVerify(0, "7");
    EXPECT_EQ(Next(WM_RX_VERIFY).Result(), std::uint32_t(RES_FAIL));
    sim.SetFinger(3);
    pm.SendMiniIdentify();
    SViewMessage mini = Next(WM_RX_MINI_IDENTIFY);
    EXPECT_EQ(mini.mini[3], RES_SUCCESS);
    EXPECT_EQ(mini.mini[4], 1) << "the module named the Minimized record 1";
    sim.SetFinger(9);
    pm.SendIdentify();
    EXPECT_EQ(Next(WM_RX_IDENTIFY).Result(), std::uint32_t(RES_FAIL));
}

TEST_F(SimScans, MinutiaeRoundTripAndInstantMatch) {
    sim.SetFinger(5);
    pm.SendGetMinutiae();
    SViewMessage m = Next(WM_RX_GET_MINUTIAE);
    EXPECT_EQ(m.Result(), OK);
    ASSERT_EQ(m.packet->m_DataSize, 400u);
    std::vector<std::uint8_t> minutiae = m.Data();
    EXPECT_EQ(minutiae, SimFingerMinutiae(5));
    pm.SendInstantMatch(minutiae.data());
    EXPECT_EQ(Next(WM_RX_INSTANT_MATCH).Result(), OK);
    sim.SetFinger(6);
    pm.SendInstantMatch(minutiae.data());
    EXPECT_EQ(Next(WM_RX_INSTANT_MATCH).Result(), std::uint32_t(RES_FAIL));
}

TEST_F(SimScans, DatabaseListsAndDeletion) {
    sim.RunLocked([](CSimModule& m) {
        m.AddRecord({"9", 1, false, ""});
        m.AddRecord({"10", 2, true, ""});
        m.AddRecord({"1", 3, false, ""});
    });
    pm.SendGetFpList();
    SViewMessage fp = Next(WM_RX_GET_FP_LIST);
    EXPECT_EQ(fp.Result(), OK);
    ASSERT_EQ(fp.Param2(), 3u);
    EXPECT_EQ(fp.packet->m_DataSize, 30u);
    EXPECT_EQ(IdText(fp, 10), "10");
    pm.SendGetMasterList();
    SViewMessage ml = Next(WM_RX_GET_MASTER_LIST);
    EXPECT_EQ(ml.Param2(), 1u);
    EXPECT_EQ(IdText(ml), "10");
    pm.SendGetFpListEx();
    SViewMessage fpx = Next(WM_RX_GET_FP_LIST_EX);
    EXPECT_EQ((fpx.packet->m_DataSize - 4) / 10, 3u);
    EXPECT_EQ(IdText(fpx, 4), "9");
    pm.SendGetMasterListEx();
    SViewMessage mlx = Next(WM_RX_GET_MASTER_LIST_EX);
    EXPECT_EQ(mlx.packet->m_DataSize, 14u);
    EXPECT_EQ(IdText(mlx, 4), "10");

    pm.SendSetMaster(1, "9");
    EXPECT_EQ(Next(WM_RX_SET_MASTER).Result(), OK);
    pm.SendSetMaster(1, "nope");
    EXPECT_EQ(Next(WM_RX_SET_MASTER).Result(), std::uint32_t(RES_INVALID_ID));
    pm.SendDelete("1");
    SViewMessage del = Next(WM_RX_DELETE);
    EXPECT_EQ(del.Result(), OK);
    EXPECT_EQ(del.Param2(), 2u);
    pm.SendDelete("1");
    EXPECT_EQ(Next(WM_RX_DELETE).Result(), std::uint32_t(RES_INVALID_ID));
    pm.SendDeleteAll(2);
    SViewMessage all = Next(WM_RX_DELETE_ALL);
    EXPECT_EQ(all.Result(), OK);
    EXPECT_EQ(all.Param2(), 0u) << "both records were masters by now";
    pm.SendMiniDeleteAll();
    EXPECT_EQ(Next(WM_RX_MINI_DELETE_ALL).mini[3], RES_SUCCESS);
}

TEST_F(SimScans, UserDataAndOptions) {
    pm.SendWriteUserData(100, 5, "HELLO");
    EXPECT_EQ(Next(WM_RX_WRITE_USER_DATA).Result(), OK);
    pm.SendReadUserData(99, 7);
    SViewMessage r = Next(WM_RX_READ_USER_DATA);
    EXPECT_EQ(r.Result(), OK);
    EXPECT_EQ(r.Param2(), 7u);
    EXPECT_EQ(r.Data(), (std::vector<std::uint8_t>{0, 'H', 'E', 'L', 'L', 'O', 0}));
    pm.SendReadUserData(0, 8192);  // the whole area: an 8221-byte answer
    SViewMessage whole = Next(WM_RX_READ_USER_DATA);
    EXPECT_EQ(whole.Param2(), 8192u);
    ASSERT_EQ(whole.packet->m_DataSize, 8192u);
    EXPECT_EQ(whole.packet->m_Data[104], 'O');
    EXPECT_TRUE(op.boxes.empty()) << "the console's receive queue kept up";
    pm.SendReadUserData(8000, 193);
    EXPECT_EQ(Next(WM_RX_READ_USER_DATA).Result(), std::uint32_t(RES_INVALID_PARAM));
    pm.SendEraseUserData();
    EXPECT_EQ(Next(WM_RX_ERASE_USER_DATA).Result(), OK);

    pm.SendSetOppOption(15, 100, 3);
    EXPECT_EQ(Next(WM_RX_SET_OPP_OPTION).Result(), OK);
    pm.SendGetOppOption();
    EXPECT_EQ(Next(WM_RX_GET_OPP_OPTION).Param2(), 0x000F6403u);
    pm.SendSetSecurityLevel(5, 8);
    EXPECT_EQ(Next(WM_RX_SET_SECURITY_LEVEL).Result(), OK);
    pm.SendGetSecurityLevel();
    EXPECT_EQ(Next(WM_RX_GET_SECURITY_LEVEL).Param2(), 0x00050008u);
    pm.SendSetLatentOption(0);
    EXPECT_EQ(Next(WM_RX_SET_LATENT_OPTION).Result(), OK);
    pm.SendGetLatentOption();
    EXPECT_EQ(Next(WM_RX_GET_LATENT_OPTION).Param2(), 0u);
    pm.SendSetLogOption(1);
    EXPECT_EQ(Next(WM_RX_SET_LOG_OPTION).Result(), OK);
    pm.SendGetLogOption();
    EXPECT_EQ(Next(WM_RX_GET_LOG_OPTION).Param2(), 1u);
    pm.SendSetDbInitOption(1);
    EXPECT_EQ(Next(WM_RX_SET_DB_INIT_OPTION).Result(), OK);
    pm.SendGetDbInitOption();
    EXPECT_EQ(Next(WM_RX_GET_DB_INIT_OPTION).Param2(), 1u);
    pm.SendSetCapturePeriod(256);
    EXPECT_EQ(Next(WM_RX_SET_CAPTURE_PERIOD).Result(), std::uint32_t(RES_INVALID_PARAM));
    pm.SendGetCapturePeriod();
    EXPECT_EQ(Next(WM_RX_GET_CAPTURE_PERIOD).Param2(), 5u);
}

// ---- log ----

TEST_F(SimScans, LogReadInSeveralBlocksBothForms) {
    sim.RunLocked([](CSimModule& m) {
        m.Log().Clear();
        for (int i = 0; i < 27; ++i) m.Log().AddCommand(SIM_LOG_IDENTIFY, std::to_string(i), RES_SUCCESS);
        m.Log().AddError("Sensor fault");
    });
    std::vector<std::uint32_t> blocks;
    std::vector<std::uint8_t> records;
    pm.SendGetLog(0);
    for (int guard = 0; guard < 10; ++guard) {
        SViewMessage a = Next(WM_RX_GET_LOG);
        blocks.push_back(a.packet->m_Param1);
        ASSERT_EQ(a.packet->m_DataSize, a.Param2() * 28);
        records.insert(records.end(), a.packet->m_Data, a.packet->m_Data + a.packet->m_DataSize);
        if (a.packet->m_Param1 == 0xFFFF) break;
        pm.SendGetLog(a.packet->m_Param1 + 1);
    }
    EXPECT_EQ(blocks, (std::vector<std::uint32_t>{0, 1, 0xFFFF}));
    ASSERT_EQ(records.size(), 28u * 28);
    EXPECT_EQ(GetBE32(&records[27 * 28]), GetBE32(&records[0]) + 27) << "indices count up";
    EXPECT_EQ(records[5], SIM_LOG_IDENTIFY);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&records[26 * 28 + 6])), "26");
    EXPECT_EQ(records[27 * 28 + 4], SIM_LOG_TYPE_ERROR);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&records[27 * 28 + 5])), "Sensor fault");

    for (std::uint32_t type : {3u, 4u}) {
        std::vector<std::uint32_t> param2s;
        std::size_t count = 0;
        pm.SendGetLogEx(type, 0);
        for (int guard = 0; guard < 10; ++guard) {
            SViewMessage a = Next(WM_RX_GET_LOG_EX);
            ASSERT_EQ(a.Result(), OK);
            param2s.push_back(a.Param2());
            std::uint32_t r = GetBE16(a.packet->m_Data);
            ASSERT_EQ(a.packet->m_DataSize, 4 + r * 28);
            count += r;
            if ((a.Param2() >> 8) == (a.Param2() & 0xFF)) break;
            pm.SendGetLogEx(type, (a.Param2() >> 8) + 1);
        }
        EXPECT_EQ(param2s, (std::vector<std::uint32_t>{0x0002, 0x0102, 0x0202})) << "type " << type;
        EXPECT_EQ(count, 28u);
    }
    pm.SendGetLogEx(1, 0);
    EXPECT_EQ(Next(WM_RX_GET_LOG_EX).packet->m_DataSize, 0u) << "type 4 read everything";
    pm.SendGetLogEx(0, 2);
    SViewMessage nth = Next(WM_RX_GET_LOG_EX);
    EXPECT_EQ(nth.Param2(), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(nth.packet->m_Data + 4 + 6)), "25");
}

// ---- images ----

std::vector<std::uint8_t> Assemble(std::vector<std::uint8_t>& image, const SViewMessage& a, std::size_t offset) {
    if (image.size() < offset + a.packet->m_DataSize) image.resize(offset + a.packet->m_DataSize);
    std::copy(a.packet->m_Data, a.packet->m_Data + a.packet->m_DataSize, image.begin() + offset);
    return image;
}

using SimImages = CSimLinkTest;

TEST_F(SimImages, BothMethodsReassembleTheWholeImage) {
    StartLink();
    sim.SetFinger(4);
    std::vector<std::uint8_t> image;
    pm.SendGetImage(0);
    for (int pieces = 1;; ++pieces) {
        SViewMessage a = Next(WM_RX_GET_IMAGE);
        ASSERT_EQ(a.Result(), OK);
        std::uint32_t p = a.Param2();
        Assemble(image, a, p * 2048);
        if (p * 2048 + a.packet->m_DataSize >= 72416) {
            EXPECT_EQ(pieces, 36);
            EXPECT_EQ(a.packet->m_DataSize, 736u);
            break;
        }
        ASSERT_LT(pieces, 40);
        pm.SendGetImage(p + 1);
    }
    EXPECT_EQ(image.size(), 72416u);
    EXPECT_EQ(image, SimFingerImage(4));

    sim.SetFinger(7);
    std::vector<std::uint8_t> image2;
    pm.SendGetImage2(0);
    for (int pieces = 1;; ++pieces) {
        SViewMessage a = Next(WM_RX_GET_IMAGE2);
        ASSERT_EQ(a.Result(), OK);
        std::uint32_t i = (a.Param2() >> 8) & 0xFF, last = a.Param2() & 0xFF;
        Assemble(image2, a, i * 512);
        if (i >= last) {
            EXPECT_EQ(pieces, 142);
            break;
        }
        ASSERT_LT(pieces, 150);
        pm.SendGetImage2(i + 1);
    }
    EXPECT_EQ(image2.size(), 72416u);
    EXPECT_EQ(image2, SimFingerImage(7));
}

TEST_F(SimImages, CaptureWithoutFingerTimesOut) {
    SimOptions o = Fast();
    o.finger = 0;
    o.imageTimeoutMs = 200;  // real time here
    StartLink(o);
    pm.SendGetImage2(0);
    SViewMessage a = Next(WM_RX_GET_IMAGE2);
    EXPECT_EQ(a.Result(), std::uint32_t(RES_TIMEOUT));
    pm.SendGetImage(0);
    EXPECT_EQ(Next(WM_RX_GET_IMAGE).Result(), std::uint32_t(RES_TIMEOUT));
}

TEST_F(SimImages, LostPiecesAreAskedAgainAndTheImageIsStillExact) {
    SimOptions o = Fast();
    o.drop = 0.25;
    o.seed = 3;
    StartLink(o);
    std::vector<std::uint8_t> image;
    std::uint32_t piece = 0;
    int resends = 0;
    std::uint64_t answers = 0, dropped = 0;
    std::size_t got = 0;
    auto mark = [&] {  // before anything is sent: the answer may be in before the send returns
        answers = sim.Stats().answers;
        dropped = sim.Stats().dropped;
        got = view.Count(WM_RX_GET_IMAGE2);
    };
    mark();
    pm.SendGetImage2(0);
    while (true) {
        ASSERT_TRUE(WaitFor([&] { return sim.Stats().answers > answers; }));
        if (sim.Stats().dropped > dropped) {
            mark();
            loop.Advance(TIMEOUT_GET_IMAGE2);  // the packet manager asks again
            ++resends;
            continue;
        }
        ASSERT_TRUE(WaitFor([&] { return view.Count(WM_RX_GET_IMAGE2) > got; })) << "piece " << piece;
        SViewMessage a = Next(WM_RX_GET_IMAGE2);
        std::uint32_t i = (a.Param2() >> 8) & 0xFF, last = a.Param2() & 0xFF;
        ASSERT_EQ(i, piece);
        Assemble(image, a, i * 512);
        if (i >= last) break;
        mark();
        pm.SendGetImage2(++piece);
    }
    EXPECT_GT(resends, 10);
    EXPECT_TRUE(op.boxes.empty()) << "never ten losses in a row";
    EXPECT_EQ(image, SimFingerImage(1));
}

TEST_F(SimImages, ThrottledTransferTakesItsLineTime) {
    SimOptions o = Fast();
    o.throttle = true;
    o.baud = 115200;
    StartLink(o);
    std::vector<std::uint8_t> image;
    std::size_t lineBytes = 0;
    auto start = std::chrono::steady_clock::now();
    for (std::uint32_t p = 0; p < 36; ++p) {
        pm.SendGetImage(p);
        SViewMessage a = Next(WM_RX_GET_IMAGE);
        ASSERT_EQ(a.Param2(), p);
        Assemble(image, a, p * 2048);
        lineBytes += 25 + a.packet->FrameSize();
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double expected = lineBytes * 10.0 / 115200;  // 10 bits a byte, both directions in turn
    EXPECT_EQ(image, SimFingerImage(1));
    EXPECT_EQ(lineBytes, 36u * 25 + 35u * 2077 + 765);
    EXPECT_NEAR(seconds, expected, expected * 0.10) << "measured " << seconds << " s, line time " << expected << " s";
    RecordProperty("seconds", std::to_string(seconds));
    RecordProperty("line_seconds", std::to_string(expected));
    std::printf("throttled image: %.3f s measured, %.3f s line time\n", seconds, expected);
}

// ---- firmware ----

std::string HexLine(int type, std::uint16_t address, const std::vector<std::uint8_t>& data) {
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    char head[16];
    std::snprintf(head, sizeof head, ":%02X%04X%02X", static_cast<unsigned>(data.size()), address, type);
    std::string line = head;
    for (std::uint8_t b : data) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
        sum += b;
    }
    char cs[3];
    std::snprintf(cs, sizeof cs, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + cs + "\r\n";
}

using SimUpgrade = CSimLinkTest;

TEST_F(SimUpgrade, HexFileReceivedByteForByte) {
    StartLink();
    std::string path = ::testing::TempDir() + "pravik-sim-test-" + std::to_string(getpid()) + ".hex";
    std::vector<std::uint8_t> low(71), high(20);
    for (std::size_t i = 0; i < low.size(); ++i) low[i] = static_cast<std::uint8_t>(i * 3 + 1);
    for (std::size_t i = 0; i < high.size(); ++i) high[i] = static_cast<std::uint8_t>(0xA0 + i);
    {
        std::ofstream f(path, std::ios::binary);
        f << HexLine(4, 0, {0x08, 0x00});
        for (std::size_t at = 0; at < low.size(); at += 16)
            f << HexLine(0, static_cast<std::uint16_t>(0x100 + at),
                         std::vector<std::uint8_t>(low.begin() + at, low.begin() + std::min(low.size(), at + 16)));
        f << HexLine(4, 0, {0x08, 0x01});
        f << HexLine(0, 0x0000, high);
        f << HexLine(1, 0, {});
    }
    std::uint32_t position = 0, record = 0;
    int records = 0;
    sim.RunLocked([](CSimModule& m) { m.DropNext(1); });  // one answer lost on the way
    std::uint64_t answers = 0, dropped = 0;
    auto mark = [&] {
        answers = sim.Stats().answers;
        dropped = sim.Stats().dropped;
    };
    mark();
    ASSERT_TRUE(pm.SendHexRecord(path, position, record));
    for (;;) {
        ASSERT_TRUE(WaitFor([&] { return sim.Stats().answers > answers; }));
        if (sim.Stats().dropped > dropped) {
            mark();
            loop.Advance(TIMEOUT_UPGRADE);  // the same record again
            continue;
        }
        SViewMessage a = Next(WM_RX_UPGRADE);
        ++records;
        if (a.Result() == OK) break;
        ASSERT_EQ(a.Result(), 0u);
        ASSERT_EQ(a.packet->m_ErrCode, 0u);
        record = a.Param2();
        mark();
        ASSERT_TRUE(pm.SendHexRecord(path, position, record));
        ASSERT_LT(records, 20);
    }
    EXPECT_EQ(records, 9) << "one answer per record; the lost one came with the re-send";
    std::map<std::uint32_t, std::vector<std::uint8_t>> image;
    sim.RunLocked([&](CSimModule& m) { image = m.FirmwareReceiver().HexImage(); });
    std::map<std::uint32_t, std::vector<std::uint8_t>> expected{{0x08000100u, low}, {0x08010000u, high}};
    EXPECT_EQ(image, expected);
    pm.SendGetVersion();
    EXPECT_EQ(Next(WM_RX_GET_VERSION).packet->m_Param1, 0x0106u) << "the new firmware's version";
    std::remove(path.c_str());
}

TEST_F(SimUpgrade, BinImageReceivedByteForByte) {
    SimOptions o = Fast();
    o.type = 3;
    StartLink(o);
    std::string path = ::testing::TempDir() + "pravik-sim-test-" + std::to_string(getpid()) + ".bin";
    std::vector<std::uint8_t> file(2 * 2048 + 905);
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>((i * 31) ^ (i >> 7));
    {
        std::ofstream f(path, std::ios::binary);
        f.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }
    pm.m_FwFileSize = static_cast<std::uint32_t>(file.size());
    pm.m_FwLastChunk = (pm.m_FwFileSize - 1) / 2048;
    ASSERT_EQ(pm.m_FwLastChunk, 2u);
    ASSERT_TRUE(pm.SendBinChunk(path, 0));
    std::vector<std::uint32_t> acknowledged;
    for (;;) {
        SViewMessage a = Next(WM_RX_UPGRADE);
        ASSERT_EQ(a.Result(), OK);
        EXPECT_EQ(a.Param2() & 0xFF, 2u);
        std::uint32_t chunk = a.Param2() >> 8;
        acknowledged.push_back(chunk);
        if (chunk == pm.m_FwLastChunk) break;
        ASSERT_TRUE(pm.SendBinChunk(path, chunk + 1));
    }
    EXPECT_EQ(acknowledged, (std::vector<std::uint32_t>{0, 1, 2}));
    std::vector<std::uint8_t> received;
    sim.RunLocked([&](CSimModule& m) { received = m.FirmwareReceiver().BinImage(); });
    EXPECT_EQ(received, file);
    pm.SendGetVersionEx();
    EXPECT_EQ(Next(WM_RX_GET_VERSION_EX).Param2(), 0x0106u);

    ASSERT_TRUE(pm.SendBinChunk(path, 2));  // the last chunk again (as after a lost answer)
    EXPECT_EQ(Next(WM_RX_UPGRADE).Result(), OK);
    ASSERT_TRUE(pm.SendBinChunk(path, 1));  // out of turn: a new upgrade starts with chunk 0
    EXPECT_EQ(Next(WM_RX_UPGRADE).Result(), std::uint32_t(RES_FAIL));
    std::remove(path.c_str());
}

}  // namespace
