// The console's module client and serial channel against the simulated module over a pseudo-terminal:
// every command family in both protocols, in the answer layouts the console reads; faults of the line.
#include <algorithm>
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>

#include "sim/PtyHarness.h"
#include "protocol/FirmwareTransfer.h"
#include "sim/SimImage.h"
#include "sim/SimLog.h"
#include "tests/sim/ResultCodes.h"

namespace {

using Pair = std::pair<std::uint32_t, std::uint32_t>;  // Result() and Param2() of an answer

class SimPty : public CSimLinkTest {
protected:
    void StartInMasterMode() {
        StartLink();
        ASSERT_EQ(Ask(req::EnterMasterEx(3)).Result(), OK);
    }
};

using SimPtyLink = SimPty;

TEST_F(SimPtyLink, ConnectOnlyAtTheRightSpeedBothProtocols) {
    StartLink(Board(0, 0x0105, 57600), 9600);
    sim.RunLocked([](CSimModule& m) { m.AddRecord({"1", 1, false, ""}); });
    Send(req::General(CMD_CONNECT));
    Send(req::Mini(MINI_CONNECT));
    ASSERT_TRUE(WaitFor([&] { return sim.Stats().discardedBytes >= 25 + 6; }, 3000));
    EXPECT_EQ(sim.Stats().answers, 0u);

    Reopen(57600);  // what the console's baud search does next
    EXPECT_EQ(Ask(req::General(CMD_CONNECT)).Both(), Pair(OK, 1u)) << "the fingerprint count";
    EXPECT_EQ(Ask(req::Mini(MINI_CONNECT)).Both(), Pair(OK, 1u));
}

TEST_F(SimPtyLink, BaudChangeAnswersAtTheOldSpeedThenSwitches) {
    StartLink();
    EXPECT_EQ(Ask(req::General(CMD_SET_BAUDRATE, 0, 1)).Result(), OK);  // 57600
    Send(req::General(CMD_CONNECT));
    ASSERT_TRUE(WaitFor([&] { return sim.Stats().discardedBytes >= 25; }, 3000)) << "the old speed is now wrong";
    Reopen(57600);  // the terminal survives the console closing its port
    EXPECT_EQ(Ask(req::General(CMD_CONNECT)).Result(), OK);
    EXPECT_EQ(Ask(req::Mini(MINI_SET_BAUDRATE, 4)).Result(), OK);  // 9600
    Reopen(9600);
    EXPECT_EQ(Ask(req::Mini(MINI_CONNECT)).Result(), OK);
}

TEST_F(SimPtyLink, IdentityAndImageOptionByBoardAndFirmware) {
    const struct {
        int type;
        std::uint16_t firmware;
        std::uint32_t errCode, imageOption;
    } cases[] = {{0, 0x0102, ERR_UNKNOWN_COMMAND, 0x0F6403},  // an old "ZEL12" does not know the command
                 {0, 0x0103, 0, 0x0F6403}, {1, 0x0102, 0, 0x022814}, {2, 0x0210, 0, 0x022814},
                 {3, 0x0105, 0, 0x142814}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "type " << c.type << " firmware " << std::hex << c.firmware);
        StartLink(Board(c.type, c.firmware));
        SViewMessage info = Ask(req::General(CMD_GET_DEVICE_INFO));
        EXPECT_EQ(info.packet->m_ErrCode, c.errCode);
        EXPECT_TRUE(c.errCode || info.Param2() == std::uint32_t(c.type)) << info.Param2();
        EXPECT_EQ(Ask(req::General(CMD_GET_VERSION)).Result(), c.firmware) << "in m_Param1";
        EXPECT_EQ(Ask(req::General(CMD_GET_VERSION_EX)).Param2(), c.firmware);
        EXPECT_EQ(Ask(req::EnterMasterEx(3)).Result(), OK);
        EXPECT_EQ(Ask(req::General(CMD_GET_OPP_OPTION)).Param2(), c.imageOption);
    }
    EXPECT_EQ(flow.Count(EExchangeEnd::ChecksumRefused), 0u) << "error code 5 is no checksum error";
}

TEST_F(SimPtyLink, MasterModeEntryWithTheAuthTypeInParam2) {
    SimOptions o;
    o.password = "pw";
    StartLink(o);
    EXPECT_EQ(Ask(req::EnterMaster(3)).Both(), Pair(FAIL, 3u)) << "credentials wanted";
    EXPECT_EQ(Ask(req::EnterMaster(2, "", "pw")).Both(), Pair(OK, 2u));
    EXPECT_EQ(Ask(req::General(CMD_LEAVE_MASTER)).Result(), OK);
    EXPECT_EQ(Ask(req::General(CMD_LEAVE_MASTER)).Result(), std::uint32_t(RES_NO_MASTER_MODE));
    EXPECT_EQ(Ask(req::EnterMasterEx(2, "", "wrong")).Both(), Pair(FAIL, 2u));
    EXPECT_EQ(Ask(req::EnterMasterEx(2, "", "pw")).Result(), OK);
    EXPECT_EQ(Ask(req::General(CMD_DELETE_MASTER_PASSWORD)).Result(), OK);
    EXPECT_EQ(Ask(req::Mini(MINI_LEAVE_MASTER)).Result(), OK);
    EXPECT_EQ(Ask(req::EnterMasterEx(3)).Both(), Pair(OK, 3u)) << "fresh again";
    EXPECT_EQ(Ask(req::Mini(MINI_ENTER_MASTER)).Result(), OK);
}

using SimPtyScans = SimPty;

TEST_F(SimPtyScans, EnrolInAllThreeFormsVerifyIdentifyAndMatch) {
    StartInMasterMode();
    EXPECT_EQ(Ask(req::Enroll(0, "7")).Result(), OK);
    EXPECT_EQ(Ask(req::General(CMD_ENROLL2, 0)).Both(), Pair(OK, 1u)) << "the new count";
    EXPECT_EQ(Ask(req::Enroll(0, "7")).Result(), std::uint32_t(RES_USED_ID));
    sim.SetFinger(2);
    EXPECT_EQ(Ask(req::EnrollEx(1, 0, "12", "abc")).Both(), Pair(OK, 0u));
    EXPECT_EQ(Ask(req::EnrollEx(1, 1)).Both(), Pair(OK, 2u));
    sim.SetFinger(3);
    EXPECT_EQ(Ask(req::Mini(MINI_ENROLL, 0, 0)).Result(), OK);
    EXPECT_EQ(Ask(req::Mini(MINI_ENROLL, 0, 1)).Both(), Pair(OK, 1u)) << "named \"1\"";
    EXPECT_EQ(Ask(req::Enroll(0, "8")).Result(), OK);
    sim.SetFinger(4);
    EXPECT_EQ(Ask(req::General(CMD_ENROLL2, 0)).Result(), std::uint32_t(RES_ANOTHER_FINGER));

    sim.SetFinger(2);
    SViewMessage id = Ask(req::General(CMD_IDENTIFY));
    EXPECT_EQ(id.Result(), OK);
    EXPECT_EQ(id.packet->m_DataSize, 10u);
    EXPECT_EQ(id.Text(), "12");
    EXPECT_EQ(Ask(req::Verify(0, "12")).Result(), OK);
    EXPECT_EQ(Ask(req::Verify(0, "7")).Result(), FAIL);
    EXPECT_EQ(Ask(req::Verify(0, "99")).Result(), BAD_ID);
    sim.SetFinger(0);  // password verification needs no finger
    EXPECT_EQ(Ask(req::Verify(1, "12", "abc")).Result(), OK);
    EXPECT_EQ(Ask(req::Verify(1, "12", "abd")).Result(), FAIL);
    EXPECT_EQ(Ask(req::Verify(1, "13", "abc")).Result(), BAD_ID);
    sim.SetFinger(3);
    EXPECT_EQ(Ask(req::Mini(MINI_IDENTIFY)).Both(), Pair(OK, 1u));
    sim.SetFinger(9);
    EXPECT_EQ(Ask(req::General(CMD_IDENTIFY)).Result(), FAIL);
    sim.RunLocked([](CSimModule& m) {  // fill the database
        for (int i = 100; m.AddRecord({std::to_string(i), i, false, ""});) ++i;
    });
    EXPECT_EQ(Ask(req::EnrollEx(0, 0, "new", "")).Result(), std::uint32_t(RES_DB_FULL));
    EXPECT_EQ(Ask(req::Mini(MINI_ENROLL, 0, 0)).Result(), std::uint32_t(RES_DB_FULL));
    sim.SetFinger(5);
    std::vector<std::uint8_t> minutiae = Ask(req::General(CMD_GET_MINUTIAE)).Data();
    ASSERT_EQ(minutiae.size(), 400u);
    EXPECT_EQ(minutiae, SimFingerMinutiae(5));
    EXPECT_NE(minutiae, SimFingerMinutiae(6));
    EXPECT_EQ(Ask(req::InstantMatch(minutiae.data())).Result(), OK);
    sim.SetFinger(6);
    EXPECT_EQ(Ask(req::InstantMatch(minutiae.data())).Result(), FAIL);
}

TEST_F(SimPtyScans, StatusCancelAndVoltage) {
    StartLink();
    sim.SetFinger(0);
    EXPECT_EQ(Ask(req::General(CMD_STATUS)).Param2(), 0u);
    Send(req::General(CMD_IDENTIFY));
    EXPECT_EQ(Ask(req::General(CMD_STATUS)).Param2(), 1u) << "busy";
    Send(req::General(CMD_CANCEL));
    EXPECT_EQ(Next(CMD_IDENTIFY).Result(), std::uint32_t(RES_CANCELED));
    EXPECT_EQ(Next(CMD_CANCEL).Result(), OK);
    EXPECT_EQ(Ask(req::General(CMD_CANCEL)).Result(), std::uint32_t(RES_IDLE));

    Send(req::Mini(MINI_IDENTIFY));
    EXPECT_EQ(Ask(req::Mini(MINI_STATUS)).Result(), 1u);
    Send(req::Mini(MINI_CANCEL));
    EXPECT_EQ(NextMini(MINI_IDENTIFY).Result(), std::uint32_t(RES_CANCELED));
    EXPECT_EQ(NextMini(MINI_CANCEL).Result(), OK);
    EXPECT_EQ(Ask(req::Mini(MINI_CANCEL)).Result(), std::uint32_t(RES_IDLE));
    EXPECT_EQ(Ask(req::Mini(MINI_STATUS)).Result(), 0u);

    EXPECT_EQ(Ask(req::General(CMD_CHECK_VOLTAGE)).Param2(), 0u);
    sim.SetLowVoltage(true);
    EXPECT_EQ(Ask(req::General(CMD_CHECK_VOLTAGE)).Param2(), 1u);
}

// Both answers of a cancel in one write (as a USB adapter delivers them):
// the console's receiver parses the second one at once instead of leaving it
// queued, in both protocols.
TEST_F(SimPtyScans, BothAnswersOfACancelInOneWriteReachTheConsole) {
    SimOptions options;
    options.cancelInOneWrite = true;
    StartLink(options);
    sim.SetFinger(0);
    Send(req::General(CMD_IDENTIFY));
    EXPECT_EQ(Ask(req::General(CMD_STATUS)).Param2(), 1u) << "busy";
    Send(req::General(CMD_CANCEL));
    EXPECT_EQ(Next(CMD_IDENTIFY).Result(), std::uint32_t(RES_CANCELED));
    EXPECT_EQ(Next(CMD_CANCEL).Result(), OK);

    Send(req::Mini(MINI_IDENTIFY));
    EXPECT_EQ(Ask(req::Mini(MINI_STATUS)).Result(), 1u);
    Send(req::Mini(MINI_CANCEL));
    EXPECT_EQ(NextMini(MINI_IDENTIFY).Result(), std::uint32_t(RES_CANCELED));
    EXPECT_EQ(NextMini(MINI_CANCEL).Result(), OK);
}

using SimPtyStores = SimPty;

// The ID fields of a list answer, after `skip` leading bytes.
std::vector<std::string> Ids(const SViewMessage& m, std::size_t skip) {
    std::vector<std::string> ids;
    EXPECT_EQ((m.packet->m_DataSize - skip) % ID_FIELD_SIZE, 0u) << "whole ten-byte fields";
    for (std::size_t at = skip; at + ID_FIELD_SIZE <= m.packet->m_DataSize; at += ID_FIELD_SIZE)
        ids.push_back(m.Text(at));
    return ids;
}

TEST_F(SimPtyStores, ListsInBothLayoutsAndDeletion) {
    StartInMasterMode();
    sim.RunLocked([](CSimModule& m) {
        for (const char* id : {"9", "10", "1", "x"})  // fingers 1 to 4; "10" a master
            m.AddRecord({id, int(m.Records().size()) + 1, std::string(id) == "10", ""});
    });
    const std::vector<std::string> all{"9", "10", "1", "x"}, masters{"10"};
    SViewMessage fp = Ask(req::General(CMD_GET_FP_LIST));
    EXPECT_EQ(fp.Param2(), 4u);
    EXPECT_EQ(Ids(fp, 0), all);
    SViewMessage ml = Ask(req::General(CMD_GET_MASTER_LIST));
    EXPECT_EQ(ml.Param2(), 1u);
    EXPECT_EQ(Ids(ml, 0), masters);
    SViewMessage fpx = Ask(req::General(CMD_GET_FP_LIST_EX));
    EXPECT_EQ(GetBE16(fpx.packet->m_Data), 4u) << "count";
    EXPECT_EQ(GetBE16(fpx.packet->m_Data + 2), 100u) << "capacity";
    EXPECT_EQ(Ids(fpx, 4), all);
    SViewMessage mlx = Ask(req::General(CMD_GET_MASTER_LIST_EX));
    EXPECT_EQ(Ids(mlx, 4), masters);

    EXPECT_EQ(Ask(req::SetMaster(1, "9")).Result(), OK);
    EXPECT_EQ(Ask(req::SetMaster(1, "nope")).Result(), BAD_ID);
    EXPECT_EQ(Ask(req::Delete("1")).Both(), Pair(OK, 3u)) << "the count left";
    EXPECT_EQ(Ask(req::Delete("1")).Result(), BAD_ID);
    sim.SetFinger(4);  // the Minimized delete takes the finger on the sensor: "x"
    EXPECT_EQ(Ask(req::Mini(MINI_DELETE)).Both(), Pair(OK, 2u));
    EXPECT_EQ(Ask(req::Mini(MINI_DELETE)).Result(), FAIL);
    EXPECT_EQ(Ask(req::General(CMD_DELETE_ALL, 1)).Both(), Pair(OK, 2u)) << "users only: masters stay";
    EXPECT_EQ(Ask(req::General(CMD_DELETE_ALL, 2)).Param2(), 0u);
    EXPECT_EQ(Ask(req::Mini(MINI_DELETE_ALL)).Result(), OK);
}

TEST_F(SimPtyStores, LogReadInSeveralBlocksBothForms) {
    StartInMasterMode();
    sim.RunLocked([](CSimModule& m) {
        m.Log().Clear();
        for (int i = 0; i < 27; ++i) m.Log().AddCommand(SIM_LOG_IDENTIFY, std::to_string(i), RES_SUCCESS);
        m.Log().AddError("Sensor fault");
    });
    std::vector<std::uint32_t> blocks;
    std::vector<std::uint8_t> records;
    for (std::uint32_t block = 0; block < 10 && (blocks.empty() || blocks.back() != 0xFFFF); ++block) {
        SViewMessage a = Ask(req::General(CMD_GET_LOG, block));
        blocks.push_back(a.Result());
        ASSERT_EQ(a.packet->m_DataSize, a.Param2() * 28);
        records.insert(records.end(), a.packet->m_Data, a.packet->m_Data + a.packet->m_DataSize);
    }
    EXPECT_EQ(blocks, (std::vector<std::uint32_t>{0, 1, 0xFFFF}));
    ASSERT_EQ(records.size(), 28u * 28);
    EXPECT_EQ(GetBE32(&records[27 * 28]), GetBE32(&records[0]) + 27) << "indices count up";
    EXPECT_STREQ(reinterpret_cast<const char*>(&records[26 * 28 + 6]), "26");
    EXPECT_EQ(records[27 * 28 + 4], SIM_LOG_TYPE_ERROR);
    EXPECT_STREQ(reinterpret_cast<const char*>(&records[27 * 28 + 5]), "Sensor fault");

    for (std::uint32_t type : {3u, 4u}) {  // all, and from the oldest unread
        std::vector<std::uint32_t> param2s;
        std::size_t count = 0;
        for (std::uint32_t block = 0; block < 10 && (param2s.empty() || param2s.back() >> 8 != (param2s.back() & 0xFF));
             ++block) {
            SViewMessage a = Ask(req::General(CMD_GET_LOG_EX, type, block));
            ASSERT_EQ(a.Result(), OK);
            param2s.push_back(a.Param2());
            count += GetBE16(a.packet->m_Data);
            ASSERT_EQ(a.packet->m_DataSize, 4 + GetBE16(a.packet->m_Data) * 28u);
        }
        EXPECT_EQ(param2s, (std::vector<std::uint32_t>{0x0002, 0x0102, 0x0202})) << type;
        EXPECT_EQ(count, 28u) << type;
    }
    EXPECT_EQ(Ask(req::General(CMD_GET_LOG_EX, 1, 0)).packet->m_DataSize, 0u) << "all read by type 4";
    SViewMessage nth = Ask(req::General(CMD_GET_LOG_EX, 0, 2));  // the second before the last
    EXPECT_EQ(nth.Param2(), 0u);
    EXPECT_EQ(nth.Text(4 + 6), "25");
}

TEST_F(SimPtyStores, UserDataAndItsBounds) {
    StartInMasterMode();
    EXPECT_EQ(Ask(req::WriteUserData(100, 5, "HELLO")).Result(), OK);
    SViewMessage r = Ask(req::General(CMD_READ_USER_DATA, 99, 7));
    EXPECT_EQ(r.Both(), Pair(OK, 7u));
    EXPECT_EQ(r.Data(), (std::vector<std::uint8_t>{0, 'H', 'E', 'L', 'L', 'O', 0}));
    SViewMessage whole = Ask(req::General(CMD_READ_USER_DATA, 0, 8192));  // an 8221-byte answer
    EXPECT_EQ(whole.Param2(), 8192u);
    ASSERT_EQ(whole.packet->m_DataSize, 8192u);
    EXPECT_EQ(whole.packet->m_Data[104], 'O');
    EXPECT_TRUE(link.Count(WM_COMM_ALERT) == 0 && client.Channel().DroppedBytes() == 0)
        << "the console's receive queue kept up";
    for (auto [at, size] : std::vector<std::pair<std::uint32_t, std::uint32_t>>{
             {8000, 193}, {8190, 3}, {8192, 0}, {8192, 1}, {0xFFFFFFFF, 2}})
        EXPECT_EQ(Ask(req::General(CMD_READ_USER_DATA, at, size)).Result(), INVALID) << at;
    EXPECT_EQ(Ask(req::WriteUserData(8188, 5, "HELLO")).Result(), INVALID);
    EXPECT_EQ(Ask(req::General(CMD_ERASE_USER_DATA)).Result(), OK);
    EXPECT_EQ(Ask(req::General(CMD_READ_USER_DATA, 100, 5)).Data(), std::vector<std::uint8_t>(5, 0));
}

TEST_F(SimPtyStores, OptionsDefaultsEncodingsAndRanges) {
    StartInMasterMode();
    // Image option (gain, brightness, contrast), security levels (verify, identify), latent, log, DB init, capture.
    auto options = [&] {
        return std::vector<std::uint32_t>{Ask(req::General(CMD_GET_OPP_OPTION)).Param2(),
                                          Ask(req::General(CMD_GET_SECURITY_LEVEL)).Param2(),
                                          Ask(req::General(CMD_GET_LATENT_OPTION)).Param2(),
                                          Ask(req::General(CMD_GET_LOG_OPTION)).Param2(),
                                          Ask(req::General(CMD_GET_DB_INIT_OPTION)).Param2(),
                                          Ask(req::General(CMD_GET_CAPTURE_PERIOD)).Param2()};
    };
    EXPECT_EQ(options(), (std::vector<std::uint32_t>{0x000F6403, 0x00050008, 1, 1, 0, 5})) << "defaults";
    EXPECT_EQ(Ask(req::SetOppOption(63, 0, 100)).Result(), OK);
    for (auto [g, b, c] : {std::array{0u, 0u, 1u}, {64u, 0u, 1u}, {1u, 101u, 0u}, {1u, 0u, 101u}})  // gain 1-63, 0-100
        EXPECT_EQ(Ask(req::SetOppOption(g, b, c)).Result(), INVALID) << g << ' ' << b;
    EXPECT_EQ(Ask(req::SetSecurityLevel(9, 1)).Result(), OK);
    EXPECT_EQ(Ask(req::SetSecurityLevel(10, 1)).Result(), INVALID);
    EXPECT_EQ(Ask(req::SetSecurityLevel(1, 0)).Result(), INVALID);
    EXPECT_EQ(Ask(req::General(CMD_SET_LATENT_OPTION, 0, 0)).Result(), OK);
    EXPECT_EQ(Ask(req::General(CMD_SET_LATENT_OPTION, 0, 2)).Result(), INVALID);
    EXPECT_EQ(Ask(req::General(CMD_SET_LOG_OPTION, 0, 0)).Result(), OK);
    EXPECT_EQ(Ask(req::General(CMD_SET_LOG_OPTION, 0, 2)).Result(), INVALID);
    EXPECT_EQ(Ask(req::General(CMD_SET_DB_INIT_OPTION, 0, 1)).Result(), OK);
    EXPECT_EQ(Ask(req::General(CMD_SET_DB_INIT_OPTION, 0, 2)).Result(), INVALID);
    EXPECT_EQ(Ask(req::General(CMD_SET_CAPTURE_PERIOD, 0, 255)).Result(), OK);
    EXPECT_EQ(Ask(req::General(CMD_SET_CAPTURE_PERIOD, 0, 0)).Result(), INVALID);
    EXPECT_EQ(Ask(req::General(CMD_SET_CAPTURE_PERIOD, 0, 256)).Result(), INVALID);
    EXPECT_EQ(options(), (std::vector<std::uint32_t>{0x003F0064, 0x00090001, 0, 0, 1, 255})) << "refused: no change";
}

class SimPtyImages : public SimPty {
protected:
    // Reads a whole image the way the console does, piece by piece, asking
    // again whenever an answer was lost.
    std::vector<std::uint8_t> ReadImage(bool second, int& pieces, int& resends) {
        const std::size_t size = second ? 512 : 2048;
        std::vector<std::uint8_t> image;
        for (pieces = 0; pieces < 200;) {
            SimStats mark = sim.Stats();
            second ? Send(req::General(CMD_GET_IMAGE2, 0, pieces)) : Send(req::General(CMD_GET_IMAGE, 0, pieces));
            resends += AnswerWithResends(mark, second ? TIMEOUT_GET_IMAGE2 : TIMEOUT_GET_IMAGE);
            SViewMessage a = Next(second ? CMD_GET_IMAGE2 : CMD_GET_IMAGE);
            EXPECT_EQ(a.Result(), OK);
            const std::uint32_t index = second ? (a.Param2() >> 8) & 0xFF : a.Param2();
            EXPECT_EQ(index, std::uint32_t(pieces++));
            image.resize(index * size);
            image.insert(image.end(), a.packet->m_Data, a.packet->m_Data + a.packet->m_DataSize);
            if (second ? index >= (a.Param2() & 0xFF) : image.size() >= SIM_IMAGE_SIZE) break;
            EXPECT_EQ(a.packet->m_DataSize, size) << "piece " << index;
        }
        return image;
    }
};

TEST_F(SimPtyImages, BothMethodsReassembleTheWholeImageDespiteLostPieces) {
    SimOptions o;
    o.drop = 0.25;
    o.seed = 3;
    StartLink(o);
    int pieces = 0, resends = 0;
    sim.SetFinger(4);
    std::vector<std::uint8_t> image = ReadImage(false, pieces, resends);
    EXPECT_EQ(pieces, 36);
    EXPECT_EQ(image.size(), 72416u);
    EXPECT_EQ(image, SimFingerImage(4));
    sim.SetFinger(7);
    image = ReadImage(true, pieces, resends);
    EXPECT_EQ(pieces, 142);
    EXPECT_EQ(image.size(), 72416u);
    EXPECT_EQ(image, SimFingerImage(7));
    EXPECT_NE(image, SimFingerImage(4));
    EXPECT_GT(resends, 20);
    EXPECT_EQ(flow.Count(EExchangeEnd::TimedOut), 0u) << "never ten losses in a row";
}

TEST_F(SimPtyImages, ThrottledTransferTakesItsLineTime) {
    SimOptions o;
    o.throttle = true;  // at 115200 bit/s
    StartLink(o);
    int pieces = 0, resends = 0;
    auto start = std::chrono::steady_clock::now();
    std::vector<std::uint8_t> image = ReadImage(false, pieces, resends);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // 36 requests of 25 bytes, 35 answers of 2048 + 29 and one of 736 + 29;
    // 10 bits a byte, one direction at a time.
    double expected = (36 * 25 + 35 * 2077 + 765) * 10.0 / 115200;
    EXPECT_EQ(image, SimFingerImage(1));
    // Never sooner than the line allows; how soon after it is measured by
    // make bench (BM_CaptureAtLineSpeed), where a busy machine cannot fail it.
    EXPECT_GE(seconds, expected) << "measured " << seconds << " s, line time " << expected << " s";
    std::printf("throttled image: %.3f s measured, %.3f s line time\n", seconds, expected);
}

TEST_F(SimPtyImages, APacedAnswerArrivesNoSoonerThanItsLastBit) {
    SimOptions o;
    o.throttle = true;
    o.fingerDelayMs = 0;
    StartLink(o);
    Send(req::General(CMD_GET_IMAGE2, 0, 0));  // the image is taken; the other pieces answer at once
    ASSERT_EQ(Next(CMD_GET_IMAGE2).Result(), OK);
    // A request of 25 bytes, then an answer of 29 + 512: no byte is handed
    // over before its 10 bits have crossed the line.
    const double line = (25 + 29 + 512) * 10.0 / 115200;
    for (std::uint32_t piece = 1; piece <= 20; ++piece) {
        auto start = std::chrono::steady_clock::now();
        Send(req::General(CMD_GET_IMAGE2, 0, piece));
        SViewMessage a = Next(CMD_GET_IMAGE2);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_EQ(a.Result(), OK);
        EXPECT_GE(took, line) << "piece " << piece;
    }
    // How soon after its line time an answer comes (typically within a
    // millisecond) depends on the machine's load: make bench measures it
    // (BM_CaptureAtLineSpeed, extra_us_median).
}

class SimPtyUpgrade : public SimPty {
protected:
    ~SimPtyUpgrade() override { std::remove(path.c_str()); }
    CFirmwareTransfer transfer;
    std::string path = ::testing::TempDir() + "pravik-sim-test-" + std::to_string(getpid());
};

std::string HexLine(int type, std::uint16_t address, const std::vector<std::uint8_t>& data) {
    char text[80];
    int n = std::snprintf(text, sizeof text, ":%02X%04X%02X", unsigned(data.size()), address, type);
    unsigned sum = unsigned(data.size()) + (address >> 8) + (address & 0xFF) + type;
    for (std::uint8_t b : data) n += std::snprintf(text + n, sizeof text - n, "%02X", b), sum += b;
    std::snprintf(text + n, sizeof text - n, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return text;
}

TEST_F(SimPtyUpgrade, HexFileReceivedByteForByteDespiteALostAnswer) {
    StartLink();
    std::vector<std::uint8_t> low(71), high(20);
    for (std::size_t i = 0; i < low.size(); ++i) low[i] = static_cast<std::uint8_t>(i * 3 + 1);
    for (std::size_t i = 0; i < high.size(); ++i) high[i] = static_cast<std::uint8_t>(0xA0 + i);
    {
        std::ofstream f(path, std::ios::binary);
        f << HexLine(4, 0, {0x08, 0x00});
        for (std::size_t at = 0; at < low.size(); at += 16)
            f << HexLine(0, std::uint16_t(0x100 + at), {low.begin() + at, low.begin() + std::min(low.size(), at + 16)});
        f << HexLine(4, 0, {0x08, 0x01}) << HexLine(0, 0x0000, high) << HexLine(1, 0, {});
    }
    std::uint32_t position = 0, record = 0;
    int records = 0, resends = 0;
    sim.RunLocked([](CSimModule& m) { m.DropNext(1); });
    for (; records < 20; ++records) {
        SimStats mark = sim.Stats();
        SRequest piece;
        ASSERT_TRUE(transfer.HexRecord(path, position, record, piece));
        Send(piece);
        resends += AnswerWithResends(mark, TIMEOUT_UPGRADE);  // the same record again
        SViewMessage a = Next(CMD_UPGRADE_HEX);
        ASSERT_EQ(a.packet->m_ErrCode, 0u);
        if (a.Result() == OK) break;
        ASSERT_EQ(a.Result(), 0u);
        record = a.Param2();
    }
    EXPECT_EQ(records + 1, 9) << "one answer per record";
    EXPECT_EQ(resends, 1);
    std::map<std::uint32_t, std::vector<std::uint8_t>> image;
    sim.RunLocked([&](CSimModule& m) { image = m.FirmwareReceiver().HexImage(); });
    EXPECT_EQ(image, (std::map<std::uint32_t, std::vector<std::uint8_t>>{{0x08000100u, low}, {0x08010000u, high}}));
    EXPECT_EQ(Ask(req::General(CMD_GET_VERSION)).Result(), 0x0106u) << "the new firmware's version";
}

TEST_F(SimPtyUpgrade, BinImageReceivedByteForByte) {
    StartLink(Board(3));
    std::vector<std::uint8_t> file(2 * 2048 + 905);
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>((i * 31) ^ (i >> 7));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    const auto size = static_cast<std::uint32_t>(file.size());
    auto sendChunk = [&](std::uint32_t chunk) {
        SRequest piece;
        if (!transfer.BinChunk(path, size, 2, chunk, piece)) return false;
        return Send(piece) == ESendResult::Sent;
    };
    for (std::uint32_t chunk = 0; chunk <= 2; ++chunk) {
        ASSERT_TRUE(sendChunk(chunk));
        SViewMessage a = Next(CMD_UPGRADE_BIN);
        ASSERT_EQ(a.Result(), OK);
        EXPECT_EQ(a.Param2(), chunk * 256 + 2) << "this chunk's number and the last one's";
    }
    std::vector<std::uint8_t> received;
    sim.RunLocked([&](CSimModule& m) { received = m.FirmwareReceiver().BinImage(); });
    EXPECT_EQ(received, file);
    EXPECT_EQ(Ask(req::General(CMD_GET_VERSION_EX)).Param2(), 0x0106u);
    ASSERT_TRUE(sendChunk(2));  // the last chunk again (as after a lost answer)
    EXPECT_EQ(Next(CMD_UPGRADE_BIN).Result(), OK);
    ASSERT_TRUE(sendChunk(1));  // out of turn: a new upgrade starts with chunk 0
    EXPECT_EQ(Next(CMD_UPGRADE_BIN).Result(), FAIL);
}

using SimPtyFaults = SimPty;

TEST_F(SimPtyFaults, DroppedAnswersAreRecoveredByTheResendTimer) {
    StartLink();
    sim.RunLocked([](CSimModule& m) { m.DropNext(2); });
    SimStats mark = sim.Stats();
    Send(req::General(CMD_CHECK_VOLTAGE));
    EXPECT_EQ(AnswerWithResends(mark, TIMEOUT_CHECK_VOLTAGE), 2);
    EXPECT_EQ(Next(CMD_CHECK_VOLTAGE).Result(), OK);
    EXPECT_EQ(sim.Stats().answers, mark.answers + 3);
    EXPECT_EQ(flow.Count(EExchangeEnd::TimedOut), 0u);
}

TEST_F(SimPtyFaults, CorruptedAnswersAreReportedAsChecksumErrors) {
    StartLink();
    sim.RunLocked([](CSimModule& m) { m.CorruptNext(60); });
    for (int i = 0; i < 60; ++i) {  // data-less, Minimized and data answers, each with one byte changed
        i % 3 == 0 ? Send(req::General(CMD_GET_VERSION_EX)) : i % 3 == 1 ? Send(req::Mini(MINI_STATUS)) : Send(req::General(CMD_GET_MINUTIAE));
        ASSERT_TRUE(WaitFor([&] { return link.Count(WM_CHECKSUM_ERROR) == std::size_t(i + 1); }, 3000)) << i;
    }
    EXPECT_EQ(Answered(CMD_GET_VERSION_EX) + AnsweredMini(MINI_STATUS) + Answered(CMD_GET_MINUTIAE), 0u);
    EXPECT_EQ(Ask(req::General(CMD_GET_VERSION_EX)).Result(), OK) << "in step again";
}

}  // namespace
