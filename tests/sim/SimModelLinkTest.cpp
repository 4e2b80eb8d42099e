// The simulated module's frames, line speed, identity and master mode,
// in-process on a virtual clock.
#include <gtest/gtest.h>

#include "sim/ModelHarness.h"

namespace {

constexpr std::uint32_t OK = RES_SUCCESS;

std::vector<std::uint8_t> Hex(std::initializer_list<int> bytes) {
    std::vector<std::uint8_t> v;
    for (int b : bytes) v.push_back(static_cast<std::uint8_t>(b));
    return v;
}

// ---- frames ----

TEST(SimFrames, ConnectAnswerIsTheDocumentedFrame) {
    CModelHarness h;
    for (const char* id : {"1", "2", "3"}) ASSERT_TRUE(h.module.AddRecord({id, 1, false, ""}));
    h.Feed(Hex({0x7E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    ASSERT_EQ(h.answers.size(), 1u);
    EXPECT_EQ(h.Take().raw, Hex({0x7E, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5}));
}

TEST(SimFrames, MinimizedConnectAnswerIsTheDocumentedFrame) {
    CModelHarness h;
    h.Feed(Hex({0x7E, 0x5A, 0x01, 0x00, 0x00, 0xD9}));
    ASSERT_EQ(h.answers.size(), 1u);
    EXPECT_EQ(h.Take().raw, Hex({0x7E, 0x5A, 0x01, 0x01, 0x00, 0xDA}));
}

TEST(SimFrames, BadHeaderChecksumIsAnsweredWithErrorCode2) {
    CModelHarness h;
    auto frame = CModelHarness::Frame(CMD_GET_VERSION_EX);
    frame[24] ^= 0x01;  // header checksum
    h.Feed(frame);
    ASSERT_EQ(h.answers.size(), 1u);
    SSimAnswer a = h.Take();
    EXPECT_EQ(a.packet->m_ErrCode, ERR_CHECKSUM);
    EXPECT_EQ(a.packet->m_Command, CMD_GET_VERSION_EX);
    EXPECT_TRUE(a.checksumsOk);
    EXPECT_EQ(h.module.Stats().rejected, 1u);
}

TEST(SimFrames, BadDataChecksumIsAnsweredWithErrorCode2AndTheStreamResynchronises) {
    CModelHarness h;
    h.EnterMasterFresh();
    auto frame = CModelHarness::Frame(CMD_WRITE_USER_DATA, 0, 4, Hex({1, 2, 3, 4}));
    frame[26] ^= 0x40;  // a data byte
    auto next = CModelHarness::Frame(CMD_GET_VERSION_EX);
    frame.insert(frame.end(), next.begin(), next.end());
    h.Feed(frame);
    ASSERT_EQ(h.answers.size(), 2u);
    SSimAnswer bad = h.Take();
    EXPECT_EQ(bad.packet->m_Command, CMD_WRITE_USER_DATA);
    EXPECT_EQ(bad.packet->m_ErrCode, ERR_CHECKSUM);
    EXPECT_EQ(h.module.UserData()[0], 0) << "a rejected write must not be carried out";
    SSimAnswer good = h.Take();
    EXPECT_EQ(good.packet->m_Command, CMD_GET_VERSION_EX);
    EXPECT_EQ(good.packet->m_ErrCode, 0u);
}

TEST(SimFrames, MinimizedFrameWithBadChecksumIsIgnored) {
    CModelHarness h;
    h.Feed(Hex({0x7E, 0x5A, 0x01, 0x00, 0x00, 0xD8}));
    EXPECT_TRUE(h.answers.empty());
    EXPECT_EQ(h.module.Stats().ignoredFrames, 1u);
    h.SendMini(MINI_CONNECT);
    EXPECT_EQ(h.answers.size(), 1u) << "the next good frame is answered";
}

TEST(SimFrames, FrameSplitAcrossReadsWithNoiseBeforeIt) {
    CModelHarness h;
    auto frame = CModelHarness::Frame(CMD_GET_VERSION);
    std::vector<std::uint8_t> noise = Hex({0x00, 0x13, 0xFF});
    h.Feed(noise);
    for (std::uint8_t b : frame) h.Feed({b});
    ASSERT_EQ(h.answers.size(), 1u);
    EXPECT_EQ(h.Take().packet->m_Param1, 0x0105u);
}

TEST(SimFrames, FrameBrokenOffIsAbandonedAfterAGap) {
    CModelHarness h;
    auto frame = CModelHarness::Frame(CMD_GET_VERSION);
    h.Feed(std::vector<std::uint8_t>(frame.begin(), frame.begin() + 10));
    h.clock.Advance(SIM_FRAME_GAP_MS + 1);
    h.Feed(frame);
    ASSERT_EQ(h.answers.size(), 1u);
    EXPECT_EQ(h.Take().packet->m_Command, CMD_GET_VERSION);
}

TEST(SimFrames, OversizedDataIsRefusedAtOnce) {
    CModelHarness h;
    auto frame = CModelHarness::Frame(CMD_WRITE_USER_DATA);
    PutBE32(&frame[13], SIM_MAX_REQUEST_DATA + 1);
    h.Feed(frame);
    ASSERT_EQ(h.answers.size(), 1u);
    EXPECT_EQ(h.Take().packet->m_ErrCode, ERR_CHECKSUM);
    h.Send(CMD_GET_VERSION);
    EXPECT_EQ(h.answers.size(), 1u);
}

TEST(SimFrames, UnknownCommandAnswersErrorCode5) {
    CModelHarness h;
    SSimAnswer a = h.Ask(200);
    EXPECT_EQ(a.packet->m_Command, 200u);
    EXPECT_EQ(a.packet->m_ErrCode, ERR_UNKNOWN_COMMAND);
}

// ---- line speed ----

TEST(SimLine, AnswersOnlyAtItsOwnSpeed) {
    SimOptions o = FastOptions();
    o.baud = 57600;
    CModelHarness h(o);
    h.Feed(CModelHarness::Frame(CMD_CONNECT), 9600);
    h.Feed(CModelHarness::Frame(CMD_CONNECT), 115200);
    EXPECT_TRUE(h.answers.empty());
    EXPECT_EQ(h.module.Stats().discardedBytes, 50u);
    h.Feed(CModelHarness::Frame(CMD_CONNECT), 57600);
    ASSERT_EQ(h.answers.size(), 1u);
    EXPECT_EQ(h.Take().baud, 57600);
}

TEST(SimLine, WrongSpeedInTheMiddleOfAFrameLosesThatFrame) {
    CModelHarness h;
    auto frame = CModelHarness::Frame(CMD_CONNECT);
    h.Feed(std::vector<std::uint8_t>(frame.begin(), frame.begin() + 12));
    h.Feed(std::vector<std::uint8_t>(frame.begin() + 12, frame.end()), 9600);
    h.Feed(frame);
    ASSERT_EQ(h.answers.size(), 1u);
    EXPECT_EQ(h.Take().Result(), OK);
}

TEST(SimLine, SetBaudRateAnswersAtTheOldSpeedThenSwitches) {
    CModelHarness h;
    SSimAnswer a = h.Ask(CMD_SET_BAUDRATE, 0, 1);
    EXPECT_EQ(a.Result(), OK);
    EXPECT_EQ(a.baud, 115200);
    EXPECT_EQ(h.module.Baud(), 57600);
    h.Feed(CModelHarness::Frame(CMD_CONNECT), 115200);
    EXPECT_TRUE(h.answers.empty());
    h.Feed(CModelHarness::Frame(CMD_CONNECT), 57600);
    EXPECT_EQ(h.answers.size(), 1u);
}

TEST(SimLine, MinimizedSetBaudRateSwitchesToo) {
    CModelHarness h;
    // 7E 5A 02 01 00 DB: 57600 bit/s
    h.Feed(Hex({0x7E, 0x5A, 0x02, 0x01, 0x00, 0xDB}));
    ASSERT_EQ(h.answers.size(), 1u);
    SSimAnswer a = h.Take();
    EXPECT_EQ(a.Result(), OK);
    EXPECT_EQ(a.baud, 115200);
    EXPECT_EQ(h.module.Baud(), 57600);
    h.Feed(Hex({0x7E, 0x5A, 0x02, 0x04, 0x00, 0xDE}), 57600);
    EXPECT_EQ(h.Take().Result(), OK);
    EXPECT_EQ(h.module.Baud(), 9600);
}

TEST(SimLine, BytesBehindASetBaudRateInTheSameBurstAreLost) {
    CModelHarness h;
    auto burst = CModelHarness::Frame(CMD_SET_BAUDRATE, 0, 3);
    auto next = CModelHarness::Frame(CMD_CONNECT);
    burst.insert(burst.end(), next.begin(), next.end());
    h.Feed(burst);
    EXPECT_EQ(h.answers.size(), 1u);
    EXPECT_EQ(h.module.Baud(), 19200);
}

TEST(SimLine, UnknownRateIndexIsRefusedAndTheSpeedKept) {
    CModelHarness h;
    EXPECT_EQ(h.Ask(CMD_SET_BAUDRATE, 0, 7).Result(), std::uint32_t(RES_INVALID_PARAM));
    EXPECT_EQ(h.AskMini(MINI_SET_BAUDRATE, 0xFF).Result(), std::uint32_t(RES_INVALID_PARAM));
    EXPECT_EQ(h.module.Baud(), 115200);
}

// ---- identity ----

TEST(SimIdentity, VersionAnswers) {
    SimOptions o = FastOptions();
    o.firmware = 0x0207;
    CModelHarness h(o);
    SSimAnswer v = h.Ask(CMD_GET_VERSION);
    EXPECT_EQ(v.packet->m_Param1, 0x0207u) << "the old answer carries the version in m_Param1";
    SSimAnswer ex = h.Ask(CMD_GET_VERSION_EX);
    EXPECT_EQ(ex.Result(), OK);
    EXPECT_EQ(ex.Param2(), 0x0207u);
}

TEST(SimIdentity, DeviceInfoByTypeAndFirmware) {
    for (int type = 0; type < 4; ++type) {
        SimOptions o = FastOptions();
        o.type = type;
        CModelHarness h(o);
        SSimAnswer a = h.Ask(CMD_GET_DEVICE_INFO);
        EXPECT_EQ(a.packet->m_ErrCode, 0u);
        EXPECT_EQ(a.Result(), OK);
        EXPECT_EQ(a.Param2(), std::uint32_t(type));
    }
    SimOptions old = FastOptions();
    old.firmware = SIM_DEVICE_INFO_FIRMWARE - 1;
    CModelHarness h(old);
    SSimAnswer a = h.Ask(CMD_GET_DEVICE_INFO);
    EXPECT_EQ(a.packet->m_ErrCode, ERR_UNKNOWN_COMMAND);
    EXPECT_NE(a.Result(), OK);
    EXPECT_NE(a.Result(), std::uint32_t(RES_CANCELED));
    old.type = 1;  // only "ZEL12" boards had firmware without it
    CModelHarness pell(old);
    EXPECT_EQ(pell.Ask(CMD_GET_DEVICE_INFO).packet->m_ErrCode, 0u);
}

TEST(SimIdentity, ConnectReportsTheFingerprintCount) {
    CModelHarness h;
    ASSERT_TRUE(h.module.AddRecord({"7", 1, false, ""}));
    EXPECT_EQ(h.Ask(CMD_CONNECT).Param2(), 1u);
    EXPECT_EQ(h.AskMini(MINI_CONNECT).Param2(), 1u);
}

// ---- master mode ----

TEST(SimMaster, FreshModuleGrantsTheOpeningRequest) {
    CModelHarness h;
    SSimAnswer a = h.Ask(CMD_ENTER_MASTER, 0, 3);
    EXPECT_EQ(a.Result(), OK);
    EXPECT_EQ(a.Param2(), 3u);
    EXPECT_TRUE(h.module.IsMasterMode());
}

TEST(SimMaster, DevicePasswordRefusesTheOpeningRequestAndChecksType2) {
    SimOptions o = FastOptions();
    o.password = "secret";
    CModelHarness h(o);
    SSimAnswer open = h.Ask(CMD_ENTER_MASTER_EX, 3);
    EXPECT_EQ(open.Result(), std::uint32_t(RES_FAIL));
    EXPECT_EQ(open.Param2(), 3u);
    EXPECT_FALSE(h.module.IsMasterMode());

    SSimAnswer wrong = h.Ask(CMD_ENTER_MASTER_EX, 2, 0, PasswordField("Secret"));
    EXPECT_EQ(wrong.Result(), std::uint32_t(RES_FAIL));
    EXPECT_EQ(wrong.Param2(), 2u);
    EXPECT_FALSE(h.module.IsMasterMode());

    SSimAnswer right = h.Ask(CMD_ENTER_MASTER, 0, 2, PasswordField("secret"));
    EXPECT_EQ(right.Result(), OK);
    EXPECT_EQ(right.Param2(), 2u);
    EXPECT_TRUE(h.module.IsMasterMode());
}

TEST(SimMaster, MasterFingerprintAndMasterPassword) {
    CModelHarness h;
    ASSERT_TRUE(h.module.AddRecord({"boss", 4, true, "pw1"}));
    ASSERT_TRUE(h.module.AddRecord({"user", 5, false, "pw2"}));
    EXPECT_EQ(h.Ask(CMD_ENTER_MASTER_EX, 3).Result(), std::uint32_t(RES_FAIL)) << "a master record protects the module";

    h.module.SetFinger(5);
    SSimAnswer other = h.Ask(CMD_ENTER_MASTER_EX, 0, 0, IdField("boss"));
    EXPECT_EQ(other.Result(), std::uint32_t(RES_FAIL));
    EXPECT_EQ(other.Param2(), 0u);
    EXPECT_EQ(h.Ask(CMD_ENTER_MASTER_EX, 0, 0, IdField("user")).Result(), std::uint32_t(RES_INVALID_ID));
    EXPECT_EQ(h.Ask(CMD_ENTER_MASTER_EX, 0, 0, IdField("nobody")).Result(), std::uint32_t(RES_INVALID_ID));
    h.module.SetFinger(0);
    EXPECT_EQ(h.Ask(CMD_ENTER_MASTER_EX, 0, 0, IdField("boss")).Result(), std::uint32_t(RES_TIMEOUT));
    h.module.SetFinger(4);
    EXPECT_EQ(h.Ask(CMD_ENTER_MASTER, 0, 0, IdField("boss")).Result(), OK);
    EXPECT_TRUE(h.module.IsMasterMode());

    EXPECT_EQ(h.Ask(CMD_LEAVE_MASTER).Result(), OK);
    EXPECT_EQ(h.Ask(CMD_ENTER_MASTER_EX, 1, 0, IdPasswordFields("boss", "pw2")).Result(), std::uint32_t(RES_FAIL));
    EXPECT_EQ(h.Ask(CMD_ENTER_MASTER_EX, 1, 0, IdPasswordFields("user", "pw2")).Result(), std::uint32_t(RES_INVALID_ID));
    EXPECT_EQ(h.Ask(CMD_ENTER_MASTER, 0, 1, IdPasswordFields("boss", "pw1")).Result(), std::uint32_t(RES_INVALID_PARAM))
        << "the old command has no master-password form";
    SSimAnswer pw = h.Ask(CMD_ENTER_MASTER_EX, 1, 0, IdPasswordFields("boss", "pw1"));
    EXPECT_EQ(pw.Result(), OK);
    EXPECT_EQ(pw.Param2(), 1u);
}

TEST(SimMaster, LeaveOutsideMasterModeAndConnectLeavesIt) {
    CModelHarness h;
    EXPECT_EQ(h.Ask(CMD_LEAVE_MASTER).Result(), std::uint32_t(RES_NO_MASTER_MODE));
    EXPECT_EQ(h.AskMini(MINI_LEAVE_MASTER).Result(), std::uint32_t(RES_NO_MASTER_MODE));
    h.EnterMasterFresh();
    h.Ask(CMD_CONNECT);
    EXPECT_FALSE(h.module.IsMasterMode());
    EXPECT_EQ(h.AskMini(MINI_ENTER_MASTER).Result(), OK);
    EXPECT_EQ(h.AskMini(MINI_LEAVE_MASTER).Result(), OK);
    EXPECT_FALSE(h.module.IsMasterMode());
}

TEST(SimMaster, MinimizedEntryNeedsAMasterFingerOnceProtected) {
    CModelHarness h;
    ASSERT_TRUE(h.module.AddRecord({"1", 3, true, ""}));
    h.module.SetFinger(2);
    EXPECT_EQ(h.AskMini(MINI_ENTER_MASTER).Result(), std::uint32_t(RES_FAIL));
    h.module.SetFinger(3);
    EXPECT_EQ(h.AskMini(MINI_ENTER_MASTER).Result(), OK);
    EXPECT_TRUE(h.module.IsMasterMode());
}

TEST(SimMaster, DevicePasswordSetAndDelete) {
    CModelHarness h;
    EXPECT_EQ(h.Ask(CMD_SET_MASTER_PASSWORD, 0, 0, PasswordField("abc")).Result(), std::uint32_t(RES_NO_MASTER_MODE));
    h.EnterMasterFresh();
    EXPECT_EQ(h.Ask(CMD_DELETE_MASTER_PASSWORD).Result(), std::uint32_t(RES_FAIL)) << "there is none yet";
    EXPECT_EQ(h.Ask(CMD_SET_MASTER_PASSWORD, 0, 0, PasswordField("")).Result(), std::uint32_t(RES_FAIL));
    EXPECT_EQ(h.Ask(CMD_SET_MASTER_PASSWORD, 0, 0, PasswordField("fifteen-chars-x")).Result(), OK);
    EXPECT_EQ(h.module.DevicePassword(), "fifteen-chars-x");
    h.Ask(CMD_LEAVE_MASTER);
    EXPECT_EQ(h.Ask(CMD_ENTER_MASTER_EX, 3).Result(), std::uint32_t(RES_FAIL));
    EXPECT_EQ(h.Ask(CMD_ENTER_MASTER_EX, 2, 0, PasswordField("fifteen-chars-x")).Result(), OK);
    EXPECT_EQ(h.Ask(CMD_DELETE_MASTER_PASSWORD).Result(), OK);
    h.Ask(CMD_LEAVE_MASTER);
    EXPECT_EQ(h.Ask(CMD_ENTER_MASTER_EX, 3).Result(), OK) << "fresh again";
}

TEST(SimMaster, CommandsThatNeedMasterModeRefuseOutsideIt) {
    CModelHarness h;
    const std::uint32_t general[] = {
        CMD_ENROLL, CMD_ENROLL2, CMD_ENROLL_EX, CMD_DELETE, CMD_DELETE_ALL, CMD_SET_MASTER,
        CMD_SET_MASTER_PASSWORD, CMD_DELETE_MASTER_PASSWORD, CMD_GET_FP_LIST, CMD_GET_MASTER_LIST,
        CMD_GET_FP_LIST_EX, CMD_GET_MASTER_LIST_EX, CMD_GET_LOG_EX, CMD_READ_USER_DATA, CMD_WRITE_USER_DATA,
        CMD_ERASE_USER_DATA, CMD_SET_OPP_OPTION, CMD_GET_OPP_OPTION, CMD_SET_SECURITY_LEVEL,
        CMD_GET_SECURITY_LEVEL, CMD_SET_LATENT_OPTION, CMD_GET_LATENT_OPTION, CMD_SET_DB_INIT_OPTION,
        CMD_GET_DB_INIT_OPTION, CMD_SET_LOG_OPTION, CMD_GET_LOG_OPTION, CMD_SET_CAPTURE_PERIOD,
        CMD_GET_CAPTURE_PERIOD};
    for (std::uint32_t command : general) {
        SSimAnswer a = h.Ask(command, 0, 0, IdField("1"));
        EXPECT_EQ(a.Result(), std::uint32_t(RES_NO_MASTER_MODE)) << "command " << command;
        EXPECT_EQ(a.Command(), command);
    }
    for (std::uint8_t command : {MINI_ENROLL, MINI_DELETE, MINI_DELETE_ALL})
        EXPECT_EQ(h.AskMini(command).Result(), std::uint32_t(RES_NO_MASTER_MODE)) << "mini " << int(command);
    // These work outside master mode.
    EXPECT_EQ(h.Ask(CMD_STATUS).Result(), OK);
    EXPECT_EQ(h.Ask(CMD_CHECK_VOLTAGE).Result(), OK);
    EXPECT_NE(h.Ask(CMD_GET_LOG).packet->m_Param1, std::uint32_t(RES_NO_MASTER_MODE));
}

}  // namespace
