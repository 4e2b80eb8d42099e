// The simulated module in-process on a virtual clock: what the console's own requests cannot reach
// over the line (damaged frames, scan timing, master mode rules, refusals, fault injection).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <tuple>

#include "protocol/CommandCatalog.h"
#include "protocol/Packet.h"
#include "sim/SimImage.h"
#include "sim/SimLog.h"
#include "sim/SimModule.h"
#include "tests/sim/ResultCodes.h"

namespace {

constexpr std::uint32_t TIMEOUT = RES_TIMEOUT, CANCELED = RES_CANCELED;
constexpr std::uint32_t MINI = 0x10000;  // marks a Minimized command in a step

using Bytes = std::vector<std::uint8_t>;

// An answer frame as the module wrote it.
struct SAnswer {
    Bytes raw = Bytes(PACKET_HEADER_SIZE);
    int baud = 0;

    bool Mini() const { return raw.size() == MINI_FRAME_SIZE && raw[1] == MINI_MARKER; }
    std::uint32_t Field(int i) const { return Mini() ? raw[2 + i] : GetBE32(&raw[1 + 4 * i]); }
    std::uint32_t Command() const { return Field(0); }
    std::uint32_t Result() const { return Field(1); }
    std::uint32_t Param2() const { return Field(2); }
    std::uint32_t ErrCode() const { return Field(4); }
    Bytes Data() const { return Field(3) ? Bytes(raw.begin() + PACKET_HEADER_SIZE, raw.end() - 4) : Bytes(); }
};

// The ID field, and the password field after it when one is given.
Bytes IdField(const std::string& id, const char* password = nullptr) {
    Bytes f(ID_FIELD_SIZE + (password ? PASSWORD_FIELD_SIZE : 0), 0);
    std::memcpy(f.data(), id.data(), std::min<std::size_t>(id.size(), 9));
    if (password) std::memcpy(&f[ID_FIELD_SIZE], password, std::min<std::size_t>(std::strlen(password), 15));
    return f;
}
Bytes PasswordField(const char* password) {
    Bytes f = IdField("", password);
    return {f.begin() + ID_FIELD_SIZE, f.end()};
}

// The module on a virtual clock, its answers parsed into a queue.
class CModelHarness {
public:
    explicit CModelHarness(const SimOptions& options = {}) : module(clock, options) {
        module.SetFingerDelay(0);
        module.SetOutput(
            [this](const std::uint8_t* f, std::size_t n, int baud) { answers.push_back({{f, f + n}, baud}); });
    }

    static Bytes Frame(std::uint32_t command, std::uint32_t p1 = 0, std::uint32_t p2 = 0, const Bytes& data = {}) {
        auto p = std::make_unique<CPacket>();
        std::tie(p->m_Command, p->m_Param1, p->m_Param2) = std::tie(command, p1, p2);
        p->m_DataSize = static_cast<std::uint32_t>(data.size());
        std::copy(data.begin(), data.end(), p->m_Data);
        p->PrepareForSend();
        Bytes bytes(p->FrameSize());
        p->Serialize(bytes.data(), bytes.size());
        return bytes;
    }
    // Feeds bytes (at the module's own speed) and runs what falls due now.
    void Feed(const Bytes& bytes, int baud = 0) {
        module.Receive(bytes.data(), bytes.size(), baud ? baud : module.Baud());
        clock.RunDue();
    }
    void Send(std::uint32_t command, std::uint32_t p1 = 0, std::uint32_t p2 = 0, const Bytes& data = {}) {
        if (command & MINI) {
            Bytes f(MINI_FRAME_SIZE);
            BuildMiniFrame(f.data(), std::uint8_t(command), std::uint8_t(p1), std::uint8_t(p2));
            Feed(f);
        } else {
            Feed(Frame(command, p1, p2, data));
        }
    }
    // The oldest answer not yet taken; fails the test when there is none.
    SAnswer Take() {
        EXPECT_FALSE(answers.empty()) << "no answer";
        SAnswer a = answers.empty() ? SAnswer() : answers.front();
        if (!answers.empty()) answers.pop_front();
        return a;
    }
    // Sends a request, lets scans run to their end (virtual time) and takes its only answer.
    SAnswer Ask(std::uint32_t command, std::uint32_t p1 = 0, std::uint32_t p2 = 0, const Bytes& data = {}) {
        Send(command, p1, p2, data);
        Settle();
        EXPECT_EQ(answers.size(), 1u) << "command " << command;
        return Take();
    }
    void Settle() {
        for (int i = 0; i < 10000 && clock.Pending(); ++i) clock.AdvanceToNext();
    }

    CSimTimerQueue clock;
    CSimModule module;
    std::deque<SAnswer> answers;
};

// Requests and the results they must bring; a finger >= 0 is put on the sensor first.
struct SStep {
    std::uint32_t command, p1, p2;
    Bytes data;
    std::uint32_t result;
    int finger = -1;
};
void RunSteps(CModelHarness& h, const std::vector<SStep>& steps) {
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].finger >= 0) h.module.SetFinger(steps[i].finger);
        EXPECT_EQ(h.Ask(steps[i].command, steps[i].p1, steps[i].p2, steps[i].data).Result(), steps[i].result)
            << "step " << i << ", command " << (steps[i].command & 0xFF);
    }
}

TEST(SimModelFrames, DamagedRequestsAreRefusedAndTheStreamResynchronises) {
    CModelHarness h;
    h.Ask(CMD_ENTER_MASTER_EX, 3);
    Bytes frame = CModelHarness::Frame(CMD_GET_VERSION_EX);
    frame[24] ^= 0x01;  // header checksum
    h.Feed(frame);
    SAnswer a = h.Take();
    EXPECT_EQ(a.Command(), CMD_GET_VERSION_EX);
    EXPECT_EQ(a.ErrCode(), ERR_CHECKSUM);
    frame = CModelHarness::Frame(CMD_WRITE_USER_DATA, 0, 4, {1, 2, 3, 4});
    frame[26] ^= 0x40;  // a data byte; a good frame follows in the same read
    Bytes next = CModelHarness::Frame(CMD_GET_VERSION_EX);
    frame.insert(frame.end(), next.begin(), next.end());
    h.Feed(frame);
    ASSERT_EQ(h.answers.size(), 2u);
    EXPECT_EQ(h.Take().ErrCode(), ERR_CHECKSUM);
    EXPECT_EQ(h.module.UserData()[0], 0) << "a rejected write must not be carried out";
    EXPECT_EQ(h.Take().ErrCode(), 0u);
    frame = CModelHarness::Frame(CMD_WRITE_USER_DATA);
    PutBE32(&frame[13], SIM_MAX_REQUEST_DATA + 1);  // refused at once, not awaited
    h.Feed(frame);
    EXPECT_EQ(h.Take().ErrCode(), ERR_CHECKSUM);
    h.Feed({0x7E, 0x5A, 0x01, 0x00, 0x00, 0xD8});  // Minimized, bad checksum: ignored
    EXPECT_TRUE(h.answers.empty());
    EXPECT_EQ(h.Ask(200).ErrCode(), ERR_UNKNOWN_COMMAND);
    RunSteps(h, {{CMD_WRITE_USER_DATA, 0, 4, {1, 2, 3, 4, 5}, INVALID},  // size and data disagree
                 {CMD_INSTANT_MATCH, 0, 0, Bytes(399), INVALID}});
}

TEST(SimModelFrames, SplitFramesGapsAndLineSpeed) {
    CModelHarness h;
    Bytes frame = CModelHarness::Frame(CMD_GET_VERSION), good = h.Ask(CMD_GET_VERSION).raw;
    auto only = [&] {
        EXPECT_EQ(h.answers.size(), 1u);
        return h.Take().raw;
    };
    h.Feed({0x00, 0x13, 0xFF});  // noise, then the frame byte by byte
    for (std::uint8_t b : frame) h.Feed({b});
    EXPECT_EQ(only(), good);
    h.Feed(Bytes(frame.begin(), frame.begin() + 10));
    h.clock.Advance(SIM_FRAME_GAP_MS + 1);  // the broken-off frame is abandoned
    h.Feed(frame);
    EXPECT_EQ(only(), good);
    h.Feed(Bytes(frame.begin(), frame.begin() + 12));
    h.Feed(Bytes(frame.begin() + 12, frame.end()), 9600);  // wrong speed: that frame is lost
    h.Feed(frame);
    EXPECT_EQ(only(), good);
    RunSteps(h, {{CMD_SET_BAUDRATE, 0, 7, {}, INVALID}, {MINI | MINI_SET_BAUDRATE, 0xFF, 0, {}, INVALID}});
    EXPECT_EQ(h.module.Baud(), 115200);
}

TEST(SimModelMaster, MasterFingerprintMasterPasswordAndDevicePassword) {
    CModelHarness h;
    ASSERT_TRUE(h.module.AddRecord({"boss", 4, true, "pw1"}));
    ASSERT_TRUE(h.module.AddRecord({"user", 5, false, "pw2"}));
    RunSteps(h, {
        {CMD_ENTER_MASTER_EX, 3, 0, {}, FAIL},  // a master record protects the module
        {CMD_ENTER_MASTER_EX, 0, 0, IdField("boss"), FAIL, 5}, {CMD_ENTER_MASTER_EX, 0, 0, IdField("user"), BAD_ID},
        {CMD_ENTER_MASTER_EX, 0, 0, IdField("boss"), TIMEOUT, 0}, {CMD_ENTER_MASTER, 0, 0, IdField("boss"), OK, 4},
        {CMD_LEAVE_MASTER, 0, 0, {}, OK}, {CMD_ENTER_MASTER_EX, 1, 0, IdField("boss", "pw2"), FAIL},
        {CMD_ENTER_MASTER_EX, 1, 0, IdField("user", "pw2"), BAD_ID},
        {CMD_ENTER_MASTER, 0, 1, IdField("boss", "pw1"), INVALID},  // the old command has no such form
        {CMD_ENTER_MASTER_EX, 1, 0, IdField("boss", "pw1"), OK},
        {CMD_DELETE_MASTER_PASSWORD, 0, 0, {}, FAIL},  // there is none yet
        {CMD_SET_MASTER_PASSWORD, 0, 0, PasswordField(""), FAIL},
        {CMD_SET_MASTER_PASSWORD, 0, 0, PasswordField("fifteen-chars-x"), OK},
        {CMD_CONNECT, 0, 0, {}, OK}, {MINI | MINI_LEAVE_MASTER, 0, 0, {}, RES_NO_MASTER_MODE},  // a new session
        {CMD_ENTER_MASTER_EX, 2, 0, PasswordField("fifteen-chars-"), FAIL},
        {CMD_ENTER_MASTER_EX, 2, 0, PasswordField("fifteen-chars-x"), OK}, {CMD_LEAVE_MASTER, 0, 0, {}, OK},
        {MINI | MINI_ENTER_MASTER, 0, 0, {}, FAIL, 5}, {MINI | MINI_ENTER_MASTER, 0, 0, {}, OK, 4},  // masters only
    });
    EXPECT_TRUE(h.module.IsMasterMode());
}

TEST(SimModelMaster, CommandsThatNeedMasterModeRefuseOutsideIt) {
    CModelHarness h;
    const std::uint32_t commands[] = {
        CMD_ENROLL, CMD_ENROLL2, CMD_ENROLL_EX, CMD_DELETE, CMD_DELETE_ALL, CMD_SET_MASTER, CMD_SET_MASTER_PASSWORD,
        CMD_DELETE_MASTER_PASSWORD, CMD_GET_FP_LIST, CMD_GET_MASTER_LIST, CMD_GET_FP_LIST_EX, CMD_GET_MASTER_LIST_EX,
        CMD_GET_LOG_EX, CMD_READ_USER_DATA, CMD_WRITE_USER_DATA, CMD_ERASE_USER_DATA, CMD_SET_OPP_OPTION,
        CMD_GET_OPP_OPTION, CMD_SET_SECURITY_LEVEL, CMD_GET_SECURITY_LEVEL, CMD_SET_LATENT_OPTION,
        CMD_GET_LATENT_OPTION, CMD_SET_DB_INIT_OPTION, CMD_GET_DB_INIT_OPTION, CMD_SET_LOG_OPTION,
        CMD_GET_LOG_OPTION, CMD_SET_CAPTURE_PERIOD, CMD_GET_CAPTURE_PERIOD, MINI | MINI_ENROLL, MINI | MINI_DELETE,
        MINI | MINI_DELETE_ALL};
    for (std::uint32_t command : commands) RunSteps(h, {{command, 0, 0, IdField("1"), RES_NO_MASTER_MODE}});
    RunSteps(h, {{CMD_STATUS, 0, 0, {}, OK}, {CMD_CHECK_VOLTAGE, 0, 0, {}, OK}, {CMD_GET_LOG, 0, 0, {}, 0xFFFF}});
}

TEST(SimModelScans, FingerDelayTimeOutsAndALateFinger) {
    CModelHarness h;
    h.Ask(CMD_ENTER_MASTER_EX, 3);
    h.module.SetFingerDelay(300);
    h.Send(CMD_ENROLL, 0, 0, IdField("7"));
    h.clock.Advance(299);
    EXPECT_TRUE(h.answers.empty()) << "the enrolment waits for the finger delay";
    h.clock.Advance(1);
    EXPECT_EQ(h.Take().Result(), OK);
    h.module.SetFingerDelay(0);
    h.module.SetFinger(0);
    ASSERT_TRUE(h.module.AddRecord({"8", 2, false, ""}));
    const std::tuple<std::uint32_t, Bytes, int> scans[] = {
        {CMD_ENROLL_EX, IdField("9", ""), SIM_SCAN_TIMEOUT_MS}, {CMD_VERIFY, IdField("8"), SIM_SCAN_TIMEOUT_MS},
        {CMD_IDENTIFY, {}, SIM_SCAN_TIMEOUT_MS},   {CMD_GET_MINUTIAE, {}, SIM_SCAN_TIMEOUT_MS},
        {CMD_GET_IMAGE, {}, SIM_IMAGE_TIMEOUT_MS}, {CMD_GET_IMAGE2, {}, SIM_IMAGE_TIMEOUT_MS}};
    for (const auto& [command, data, timeoutMs] : scans) {
        h.Send(command, 0, 0, data);
        h.clock.Advance(timeoutMs - 1);
        EXPECT_TRUE(h.answers.empty()) << command;
        h.clock.Advance(1);
        SAnswer a = h.Take();
        EXPECT_EQ(std::make_tuple(a.Command(), a.Result(), a.raw.size()), std::make_tuple(command, TIMEOUT, 25u));
    }
    h.Send(CMD_GET_MINUTIAE);
    h.clock.Advance(2000);
    h.module.SetFinger(3);
    h.clock.Advance(SIM_SCAN_POLL_MS);
    EXPECT_EQ(h.Take().Result(), OK) << "a finger placed late is still taken";
}

TEST(SimModelScans, EnrolmentAndDatabaseRefusals) {
    CModelHarness h;
    h.Ask(CMD_ENTER_MASTER_EX, 3);
    RunSteps(h, {
        {CMD_ENROLL, 0, 0, IdField(""), INVALID}, {CMD_ENROLL, 2, 0, IdField("x"), INVALID},
        {CMD_ENROLL2, 0, 0, {}, FAIL},  // no first scan
        {CMD_ENROLL_EX, 0, 1, {}, FAIL}, {MINI | MINI_ENROLL, 0, 1, {}, FAIL},
        {CMD_ENROLL, 0, 0, IdField("5"), OK, 1}, {CMD_ENROLL2, 0, 0, {}, RES_ANOTHER_FINGER, 2},
        {CMD_ENROLL2, 0, 0, {}, FAIL, 1},  // the failure ended the enrolment
        {MINI | MINI_DELETE, 0, 0, {}, FAIL, 0},  // its answer has no time-out code
    });
    EXPECT_EQ(h.module.FindRecord("5"), nullptr);
    for (int i = 0; i < SIM_MASTER_LIMIT; ++i)
        ASSERT_TRUE(h.module.AddRecord({"m" + std::to_string(i), 50 + i, true, ""}));
    RunSteps(h, {
        {CMD_ENROLL_EX, 1, 0, IdField("one-more", ""), FAIL, 3},
        {CMD_ENROLL_EX, 0, 0, IdField("user", ""), OK},  // users are still welcome
        {CMD_ENROLL_EX, 0, 1, {}, OK}, {CMD_SET_MASTER, 1, 0, IdField("user"), RES_MASTER_FULL},
        {CMD_SET_MASTER, 1, 0, IdField("m0"), OK},  // already a master
        {CMD_SET_MASTER, 0, 0, IdField("m0"), OK}, {CMD_SET_MASTER, 2, 0, IdField("m0"), INVALID},
        {CMD_DELETE_ALL, 3, 0, {}, INVALID},
    });
    EXPECT_FALSE(h.module.FindRecord("m0")->master);
}

// With the switch on, the stopped operation's answer and the cancel's own go
// out in one write, in that order, in both protocols.
TEST(SimModelScans, CancelCanAnswerTwiceInOneWrite) {
    CModelHarness h;
    h.module.SetFinger(0);
    h.module.SetCancelInOneWrite(true);
    h.Send(CMD_IDENTIFY);
    h.clock.Advance(500);
    h.Send(CMD_CANCEL);
    ASSERT_EQ(h.answers.size(), 1u);
    Bytes both = h.Take().raw;
    ASSERT_EQ(both.size(), 2 * PACKET_HEADER_SIZE);
    EXPECT_EQ(GetBE32(&both[1]), std::uint32_t(CMD_IDENTIFY));
    EXPECT_EQ(GetBE32(&both[5]), std::uint32_t(RES_CANCELED));
    EXPECT_EQ(GetBE32(&both[PACKET_HEADER_SIZE + 1]), std::uint32_t(CMD_CANCEL));
    EXPECT_EQ(GetBE32(&both[PACKET_HEADER_SIZE + 5]), std::uint32_t(RES_SUCCESS));

    h.Send(MINI | MINI_IDENTIFY);
    h.clock.Advance(500);
    h.Send(MINI | MINI_CANCEL);
    ASSERT_EQ(h.answers.size(), 1u);
    Bytes mini = h.Take().raw;
    ASSERT_EQ(mini.size(), 2 * MINI_FRAME_SIZE);
    EXPECT_EQ(mini[2], MINI_IDENTIFY);
    EXPECT_EQ(mini[3], RES_CANCELED);
    EXPECT_EQ(mini[MINI_FRAME_SIZE + 2], MINI_CANCEL);
    h.Settle();
    EXPECT_TRUE(h.answers.empty());
}

TEST(SimModelScans, CancelStopsTheScanThenAnswersItself) {
    CModelHarness h;
    h.module.SetFinger(0);
    ASSERT_TRUE(h.module.AddRecord({"m", 1, true, ""}));
    for (std::uint32_t command : {CMD_IDENTIFY, CMD_ENTER_MASTER_EX}) {
        h.Send(command, 0, 0, IdField("m"));
        h.clock.Advance(1000);
        h.Send(CMD_CANCEL);
        ASSERT_EQ(h.answers.size(), 1u) << "the stopped operation answers at once";
        h.clock.Advance(SIM_CANCEL_ANSWER_GAP_MS);
        ASSERT_EQ(h.answers.size(), 2u) << "the cancel a moment later";
        SAnswer op = h.Take();
        EXPECT_EQ(std::make_tuple(op.Command(), op.Result(), op.Param2()), std::make_tuple(command, CANCELED, 0u))
            << "m_Param2 not 3: the console must not take it for the opening answer";
        EXPECT_EQ(h.Take().Command(), CMD_CANCEL);
        h.Settle();
        EXPECT_TRUE(h.answers.empty()) << "the cancelled scan never answers again";
    }
    h.Send(CMD_IDENTIFY);
    h.Send(CMD_GET_MINUTIAE);  // a new scan replaces the waiting one
    h.module.SetFinger(1);
    h.Settle();
    EXPECT_EQ(h.Take().Command(), CMD_GET_MINUTIAE);
    EXPECT_TRUE(h.answers.empty());
}

TEST(SimModelImage, PiecesComeFromTheCapturedImage) {
    CModelHarness h;
    h.Ask(CMD_GET_IMAGE, 0, 0);
    h.module.SetFinger(2);
    Bytes one = SimFingerImage(1);
    EXPECT_EQ(h.Ask(CMD_GET_IMAGE, 0, 1).Data(), Bytes(one.begin() + 2048, one.begin() + 4096));
    SAnswer past = h.Ask(CMD_GET_IMAGE, 0, 36);
    EXPECT_TRUE(past.Data().empty());
    EXPECT_GE(past.Param2() * 2048, SIM_IMAGE_SIZE) << "the console takes it as past the end";
    h.Ask(CMD_GET_IMAGE2, 0, 0);
    EXPECT_EQ(h.Ask(CMD_GET_IMAGE2, 0, 142).Result(), INVALID);
}

TEST(SimModelLog, WhatIsRecordedAndTheSearches) {
    CModelHarness h;
    h.Ask(CMD_ENTER_MASTER_EX, 3);
    h.Ask(CMD_VERIFY, 0, 0, IdField("7"));
    Bytes bad = CModelHarness::Frame(CMD_STATUS);
    bad[24] ^= 1;
    h.Feed(bad);
    h.Take();
    const CSimLog& log = h.module.Log();
    ASSERT_EQ(log.Count(), 3u);
    EXPECT_EQ(log.At(0).code, SIM_LOG_ENTER_MASTER);
    EXPECT_EQ(std::tie(log.At(1).code, log.At(1).id, log.At(1).result), std::make_tuple(SIM_LOG_VERIFY, "7", BAD_ID));
    EXPECT_EQ(log.At(2).text, "Checksum error");
    EXPECT_EQ(h.Ask(CMD_SET_LOG_OPTION, 0, 0).Result(), OK);
    h.Ask(CMD_IDENTIFY);
    EXPECT_EQ(log.Count(), 3u) << "the log option is off";
    h.module.Log().Clear();
    EXPECT_TRUE(h.Ask(CMD_GET_LOG_EX, 3, 0).Data().empty());
    for (int i = 0; i < 23; ++i) h.module.Log().AddCommand(SIM_LOG_VERIFY, "r" + std::to_string(i), RES_SUCCESS);
    auto firstId = [&](std::uint32_t type, std::uint32_t value) {
        Bytes d = h.Ask(CMD_GET_LOG_EX, type, value).Data();
        return d.size() < 4 + 28 ? std::string() : std::string(reinterpret_cast<const char*>(&d[10]));
    };
    EXPECT_EQ(firstId(2, 0), "r22") << "the last written";
    EXPECT_EQ(firstId(0, 5), "r17") << "the 5th before it";
    EXPECT_EQ(firstId(0, 23), "");
    EXPECT_EQ(firstId(1, 0), "r0") << "the oldest unread";
    EXPECT_EQ(firstId(1, 0), "r1");
    EXPECT_EQ(h.Ask(CMD_GET_LOG_EX, 5, 0).Result(), INVALID);
    EXPECT_EQ(h.Ask(CMD_GET_LOG_EX, 3, 0).Param2(), 0x0002u);
    for (int i = 0; i < 10; ++i) h.module.Log().AddCommand(SIM_LOG_VERIFY, "late", RES_SUCCESS);
    EXPECT_EQ(h.Ask(CMD_GET_LOG_EX, 3, 1).Param2(), 0x0102u) << "the range stays fixed while it is read";
    SAnswer last = h.Ask(CMD_GET_LOG_EX, 3, 2);
    EXPECT_EQ(last.Param2(), 0x0202u);
    EXPECT_EQ(last.Data().size(), 4u + 3 * 28);
    EXPECT_EQ(h.Ask(CMD_GET_LOG_EX, 3, 7).Result(), INVALID);

    CSimLog small(5);
    for (int i = 0; i < 8; ++i) small.AddError("e" + std::to_string(i));
    ASSERT_EQ(small.Count(), 5u) << "the oldest go";
    EXPECT_EQ(small.At(0).text, "e3");
    std::uint8_t out[28];
    CSimLog::Serialize(SimLogRecord{0, 1, 0, "", 0, std::string(30, 'x')}, out);
    EXPECT_EQ(out[27], 0) << "an error text ends inside the record";
}

TEST(SimModelFirmware, RecordsOutOfTurnAndVersionNumbers) {
    auto hexRecord = [](std::uint8_t address, const Bytes& bytes) {  // upper address 0x0800, then the record's
        Bytes d{0, 0, 0x08, 0, 0, 0, 0, address, 0, std::uint8_t(bytes.size()), 0, 0, 0, 0};
        std::copy(bytes.begin(), bytes.end(), d.begin() + 10);
        return Bytes(d.begin(), d.begin() + 10 + bytes.size());
    };
    CModelHarness h;
    Bytes broken = hexRecord(2, {3, 4});
    broken.pop_back();
    Bytes chunk(2052, 0);
    PutBE32(chunk.data(), 4097);  // three chunks, but the request names chunk 1 the last
    RunSteps(h, {
        {CMD_UPGRADE_HEX, 0, 0, hexRecord(0, {1, 2}), 0},
        {CMD_UPGRADE_HEX, 0, 0, hexRecord(0, {1, 2}), 0},  // repeated after a lost answer
        {CMD_UPGRADE_HEX, 0, 5, hexRecord(2, {3}), FAIL}, {CMD_UPGRADE_HEX, 0, 1, broken, INVALID},
        {CMD_UPGRADE_BIN, 0, 1, chunk, INVALID},
    });
    EXPECT_EQ(h.Ask(CMD_UPGRADE_HEX, 0, 1, hexRecord(2, {3})).Param2(), 2u);
    EXPECT_EQ(h.module.FirmwareReceiver().HexImage().at(0x08000000u), Bytes({1, 2, 3}));

    for (auto [before, after] : std::vector<std::pair<std::uint16_t, std::uint16_t>>{
             {0x0105, 0x0106}, {0x0109, 0x0110}, {0x0199, 0x0200}, {0x0999, 0x1000}}) {
        CModelHarness m;
        m.module.SetFirmware(before);
        PutBE32(chunk.data(), 10);  // a one-chunk image
        EXPECT_EQ(m.Ask(CMD_UPGRADE_BIN, 0, 0, chunk).Result(), OK);
        EXPECT_EQ(m.module.Firmware(), after) << std::hex << before;
    }
}

TEST(SimModelFaults, DropsAreSeededAndAsLikelyAsAsked) {
    auto run = [](std::uint32_t seed) {
        SimOptions o;
        o.drop = 0.3;
        o.seed = seed;
        CModelHarness m(o);
        std::vector<bool> got;
        for (int i = 0; i < 1000; ++i, m.answers.clear()) {
            m.Send(CMD_STATUS);
            got.push_back(!m.answers.empty());
        }
        return got;
    };
    std::vector<bool> a = run(7);
    EXPECT_EQ(a, run(7));
    EXPECT_NE(a, run(8));
    long dropped = std::count(a.begin(), a.end(), false);
    EXPECT_GT(dropped, 240);
    EXPECT_LT(dropped, 360);
}

}  // namespace
