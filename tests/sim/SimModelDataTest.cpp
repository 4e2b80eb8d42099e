// The simulated module's stores: database lists and deletion, event log,
// user data, options, firmware upgrade; its faults and its scheduler.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "sim/ModelHarness.h"
#include "sim/SimLog.h"

namespace {

constexpr std::uint32_t OK = RES_SUCCESS;

std::vector<std::string> IdsOf(const std::vector<std::uint8_t>& data, std::size_t skip) {
    std::vector<std::string> ids;
    for (std::size_t at = skip; at + 10 <= data.size(); at += 10) {
        EXPECT_EQ(data[at + 9], 0);
        ids.emplace_back(reinterpret_cast<const char*>(&data[at]));
    }
    return ids;
}

class SimDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        h.EnterMasterFresh();
        ASSERT_TRUE(h.module.AddRecord({"10", 1, false, ""}));
        ASSERT_TRUE(h.module.AddRecord({"9", 2, true, ""}));
        ASSERT_TRUE(h.module.AddRecord({"abc", 3, false, ""}));
        ASSERT_TRUE(h.module.AddRecord({"m2", 4, true, ""}));
    }
    CModelHarness h;
};

TEST_F(SimDatabase, OldListsCarryTheCountAndTenByteFields) {
    SSimAnswer fp = h.Ask(CMD_GET_FP_LIST);
    EXPECT_EQ(fp.Result(), OK);
    EXPECT_EQ(fp.Param2(), 4u);
    EXPECT_EQ(fp.packet->m_DataSize, 40u);
    EXPECT_EQ(IdsOf(fp.Data(), 0), (std::vector<std::string>{"10", "9", "abc", "m2"}));
    SSimAnswer masters = h.Ask(CMD_GET_MASTER_LIST);
    EXPECT_EQ(masters.Param2(), 2u);
    EXPECT_EQ(IdsOf(masters.Data(), 0), (std::vector<std::string>{"9", "m2"}));
}

TEST_F(SimDatabase, NewListsHaveFourLeadingBytes) {
    SSimAnswer fp = h.Ask(CMD_GET_FP_LIST_EX);
    EXPECT_EQ(fp.Result(), OK);
    EXPECT_EQ(fp.packet->m_DataSize, 44u);
    EXPECT_EQ((fp.packet->m_DataSize - 4) / 10, 4u);
    EXPECT_EQ(IdsOf(fp.Data(), 4).size(), 4u);
    SSimAnswer masters = h.Ask(CMD_GET_MASTER_LIST_EX);
    EXPECT_EQ(IdsOf(masters.Data(), 4), (std::vector<std::string>{"9", "m2"}));
}

TEST_F(SimDatabase, EmptyLists) {
    EXPECT_EQ(h.Ask(CMD_DELETE_ALL, 0).Param2(), 0u);
    SSimAnswer fp = h.Ask(CMD_GET_FP_LIST);
    EXPECT_EQ(fp.Param2(), 0u);
    EXPECT_EQ(fp.packet->m_DataSize, 0u);
    EXPECT_EQ(h.Ask(CMD_GET_MASTER_LIST_EX).packet->m_DataSize, 4u);
}

TEST_F(SimDatabase, DeleteOneAndTheCount) {
    SSimAnswer a = h.Ask(CMD_DELETE, 0, 0, IdField("abc"));
    EXPECT_EQ(a.Result(), OK);
    EXPECT_EQ(a.Param2(), 3u);
    EXPECT_EQ(h.Ask(CMD_DELETE, 0, 0, IdField("abc")).Result(), std::uint32_t(RES_INVALID_ID));
}

TEST_F(SimDatabase, DeleteAllUsersThenMasters) {
    SSimAnswer users = h.Ask(CMD_DELETE_ALL, 1);
    EXPECT_EQ(users.Result(), OK);
    EXPECT_EQ(users.Param2(), 2u);
    EXPECT_EQ(h.module.MasterCount(), 2);
    SSimAnswer masters = h.Ask(CMD_DELETE_ALL, 2);
    EXPECT_EQ(masters.Param2(), 0u);
    EXPECT_EQ(h.Ask(CMD_DELETE_ALL, 3).Result(), std::uint32_t(RES_INVALID_PARAM));
}

TEST_F(SimDatabase, MinimizedDeleteTakesTheFingerOnTheSensor) {
    h.module.SetFinger(3);
    SSimAnswer a = h.AskMini(MINI_DELETE);
    EXPECT_EQ(a.Result(), OK);
    EXPECT_EQ(a.Param2(), 3u);
    EXPECT_EQ(h.module.FindRecord("abc"), nullptr);
    EXPECT_EQ(h.AskMini(MINI_DELETE).Result(), std::uint32_t(RES_FAIL));
    h.module.SetFinger(0);
    EXPECT_EQ(h.AskMini(MINI_DELETE).Result(), std::uint32_t(RES_FAIL)) << "its answer has no time-out code";
    EXPECT_EQ(h.AskMini(MINI_DELETE_ALL).Result(), OK);
    EXPECT_TRUE(h.module.Records().empty());
}

TEST_F(SimDatabase, SetAndResetMasterWithTheLimit) {
    EXPECT_EQ(h.Ask(CMD_SET_MASTER, 1, 0, IdField("abc")).Result(), OK);
    EXPECT_TRUE(h.module.FindRecord("abc")->master);
    EXPECT_EQ(h.Ask(CMD_SET_MASTER, 0, 0, IdField("abc")).Result(), OK);
    EXPECT_FALSE(h.module.FindRecord("abc")->master);
    EXPECT_EQ(h.Ask(CMD_SET_MASTER, 1, 0, IdField("zzz")).Result(), std::uint32_t(RES_INVALID_ID));
    EXPECT_EQ(h.Ask(CMD_SET_MASTER, 2, 0, IdField("abc")).Result(), std::uint32_t(RES_INVALID_PARAM));
    for (int i = 2; i < SIM_MASTER_LIMIT; ++i) ASSERT_TRUE(h.module.AddRecord({"x" + std::to_string(i), 60 + i, true, ""}));
    EXPECT_EQ(h.module.MasterCount(), SIM_MASTER_LIMIT);
    EXPECT_EQ(h.Ask(CMD_SET_MASTER, 1, 0, IdField("abc")).Result(), std::uint32_t(RES_MASTER_FULL));
    EXPECT_EQ(h.Ask(CMD_SET_MASTER, 1, 0, IdField("9")).Result(), OK) << "already a master";
}

// ---- event log ----

struct SLogLine {
    std::uint32_t index;
    std::uint8_t type, code;
    std::string id, text;
    std::uint16_t result;
};

std::vector<SLogLine> Records(const std::uint8_t* data, std::size_t count) {
    std::vector<SLogLine> lines;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* r = data + i * 28;
        SLogLine l{GetBE32(r), r[4], r[5], "", "", 0};
        if (l.type == 0) {
            l.id.assign(reinterpret_cast<const char*>(r + 6), strnlen(reinterpret_cast<const char*>(r + 6), 10));
            l.result = GetBE16(r + 16);
            for (int k = 18; k < 28; ++k) EXPECT_EQ(r[k], 0);
        } else {
            l.text.assign(reinterpret_cast<const char*>(r + 5), strnlen(reinterpret_cast<const char*>(r + 5), 23));
        }
        lines.push_back(l);
    }
    return lines;
}

TEST(SimLog, CommandsAndErrorsAreRecorded) {
    CModelHarness h;
    h.EnterMasterFresh();
    h.EnrollEx("7");
    h.Ask(CMD_VERIFY, 0, 0, IdField("7"));
    auto bad = CModelHarness::Frame(CMD_STATUS);
    bad[24] ^= 1;
    h.Feed(bad);
    h.Take();
    SSimAnswer a = h.Ask(CMD_GET_LOG, 0);
    EXPECT_EQ(a.packet->m_Param1, 0xFFFFu) << "a single block is the last";
    ASSERT_EQ(a.Param2(), 4u);
    ASSERT_EQ(a.packet->m_DataSize, 4u * 28);
    auto lines = Records(a.packet->m_Data, 4);
    EXPECT_EQ(lines[0].code, SIM_LOG_ENTER_MASTER);
    EXPECT_EQ(lines[1].code, SIM_LOG_ENROLL);
    EXPECT_EQ(lines[1].id, "7");
    EXPECT_EQ(lines[1].result, RES_SUCCESS);
    EXPECT_EQ(lines[2].code, SIM_LOG_VERIFY);
    EXPECT_EQ(lines[3].type, 1);
    EXPECT_EQ(lines[3].text, "Checksum error");
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(lines[i].index, i + 1);
}

TEST(SimLog, LogOptionOffStopsRecording) {
    CModelHarness h;
    h.EnterMasterFresh();
    EXPECT_EQ(h.Ask(CMD_SET_LOG_OPTION, 0, 0).Result(), OK);
    std::size_t before = h.module.Log().Count();
    h.Ask(CMD_IDENTIFY);
    EXPECT_EQ(h.module.Log().Count(), before);
}

TEST(SimLog, OldFormReadsNumberedBlocksEndingWith0xFFFF) {
    CModelHarness h;
    for (int i = 0; i < 25; ++i) h.module.Log().AddCommand(SIM_LOG_IDENTIFY, std::to_string(i), RES_SUCCESS);
    std::vector<SLogLine> all;
    std::vector<std::uint32_t> numbers;
    for (std::uint32_t block = 0; block < 10; ++block) {
        SSimAnswer a = h.Ask(CMD_GET_LOG, block);
        numbers.push_back(a.packet->m_Param1);
        EXPECT_EQ(a.packet->m_DataSize, a.Param2() * 28);
        auto lines = Records(a.packet->m_Data, a.Param2());
        all.insert(all.end(), lines.begin(), lines.end());
        if (a.packet->m_Param1 == 0xFFFF) break;
    }
    EXPECT_EQ(numbers, (std::vector<std::uint32_t>{0, 1, 0xFFFF}));
    ASSERT_EQ(all.size(), 25u);
    for (int i = 0; i < 25; ++i) EXPECT_EQ(all[i].id, std::to_string(i));
}

TEST(SimLog, EmptyLogAnswersNoData) {
    CModelHarness h;
    SSimAnswer old = h.Ask(CMD_GET_LOG, 0);
    EXPECT_EQ(old.packet->m_Param1, 0xFFFFu);
    EXPECT_EQ(old.packet->m_DataSize, 0u);
    h.EnterMasterFresh();
    h.module.Log().Clear();
    for (std::uint32_t type = 0; type <= 4; ++type) {
        SSimAnswer a = h.Ask(CMD_GET_LOG_EX, type, 0);
        EXPECT_EQ(a.Result(), OK);
        EXPECT_EQ(a.packet->m_DataSize, 0u) << "type " << type;
    }
}

class SimLogEx : public ::testing::Test {
protected:
    void SetUp() override {
        h.EnterMasterFresh();
        h.module.Log().Clear();
        for (int i = 0; i < 23; ++i) h.module.Log().AddCommand(SIM_LOG_VERIFY, "r" + std::to_string(i), RES_SUCCESS);
    }
    // Reads all blocks of a multi-block search; returns the records.
    std::vector<SLogLine> ReadAll(std::uint32_t type, std::vector<std::uint32_t>* param2s = nullptr) {
        std::vector<SLogLine> all;
        for (std::uint32_t block = 0; block < 50; ++block) {
            SSimAnswer a = h.Ask(CMD_GET_LOG_EX, type, block);
            EXPECT_EQ(a.Result(), OK);
            if (a.packet->m_DataSize == 0) break;
            if (param2s) param2s->push_back(a.Param2());
            std::uint16_t count = GetBE16(a.packet->m_Data);
            EXPECT_EQ(a.packet->m_DataSize, 4u + count * 28u);
            auto lines = Records(a.packet->m_Data + 4, count);
            all.insert(all.end(), lines.begin(), lines.end());
            if ((a.Param2() >> 8) == (a.Param2() & 0xFF)) break;
        }
        return all;
    }
    CModelHarness h;
};

TEST_F(SimLogEx, AllLogInSeveralBlocks) {
    std::vector<std::uint32_t> param2s;
    auto all = ReadAll(3, &param2s);
    EXPECT_EQ(param2s, (std::vector<std::uint32_t>{0x0002, 0x0102, 0x0202}));
    ASSERT_EQ(all.size(), 23u);
    EXPECT_EQ(all.front().id, "r0");
    EXPECT_EQ(all.back().id, "r22");
}

TEST_F(SimLogEx, NthPreviousAndLastWritten) {
    SSimAnswer last = h.Ask(CMD_GET_LOG_EX, 2, 0);
    EXPECT_EQ(last.Param2(), 0u);
    EXPECT_EQ(GetBE16(last.packet->m_Data), 1u);
    EXPECT_EQ(Records(last.packet->m_Data + 4, 1)[0].id, "r22");
    EXPECT_EQ(Records(h.Ask(CMD_GET_LOG_EX, 0, 0).packet->m_Data + 4, 1)[0].id, "r22");
    EXPECT_EQ(Records(h.Ask(CMD_GET_LOG_EX, 0, 5).packet->m_Data + 4, 1)[0].id, "r17");
    EXPECT_EQ(h.Ask(CMD_GET_LOG_EX, 0, 23).packet->m_DataSize, 0u);
    EXPECT_EQ(h.Ask(CMD_GET_LOG_EX, 5, 0).Result(), std::uint32_t(RES_INVALID_PARAM));
}

TEST_F(SimLogEx, OldestUnreadAdvancesAndFromOldestUnreadReadsTheRest) {
    EXPECT_EQ(Records(h.Ask(CMD_GET_LOG_EX, 1, 0).packet->m_Data + 4, 1)[0].id, "r0");
    EXPECT_EQ(Records(h.Ask(CMD_GET_LOG_EX, 1, 0).packet->m_Data + 4, 1)[0].id, "r1");
    std::vector<std::uint32_t> param2s;
    auto rest = ReadAll(4, &param2s);
    ASSERT_EQ(rest.size(), 21u);
    EXPECT_EQ(rest.front().id, "r2");
    EXPECT_EQ(param2s.size(), 3u);
    EXPECT_EQ(h.Ask(CMD_GET_LOG_EX, 4, 0).packet->m_DataSize, 0u) << "everything has been read";
    h.module.Log().AddCommand(SIM_LOG_DELETE, "new", RES_SUCCESS);
    auto fresh = ReadAll(4);
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_EQ(fresh[0].id, "new");
}

TEST_F(SimLogEx, RangeStaysFixedWhileItsBlocksAreRead) {
    SSimAnswer first = h.Ask(CMD_GET_LOG_EX, 3, 0);
    EXPECT_EQ(first.Param2(), 0x0002u);
    for (int i = 0; i < 10; ++i) h.module.Log().AddCommand(SIM_LOG_VERIFY, "late", RES_SUCCESS);
    EXPECT_EQ(h.Ask(CMD_GET_LOG_EX, 3, 1).Param2(), 0x0102u);
    SSimAnswer last = h.Ask(CMD_GET_LOG_EX, 3, 2);
    EXPECT_EQ(last.Param2(), 0x0202u);
    EXPECT_EQ(GetBE16(last.packet->m_Data), 3u);
    EXPECT_EQ(h.Ask(CMD_GET_LOG_EX, 3, 7).Result(), std::uint32_t(RES_INVALID_PARAM));
}

TEST(SimLogStore, KeepsTheNewestWhenFull) {
    CSimLog log(5);
    for (int i = 0; i < 8; ++i) log.AddError("e" + std::to_string(i));
    ASSERT_EQ(log.Count(), 5u);
    EXPECT_EQ(log.At(0).index, 4u);
    EXPECT_EQ(log.At(4).text, "e7");
    std::uint8_t out[28];
    SimLogRecord r;
    r.type = 1;
    r.index = 0x01020304;
    r.text = std::string(30, 'x');
    CSimLog::Serialize(r, out);
    EXPECT_EQ(GetBE32(out), 0x01020304u);
    EXPECT_EQ(out[27], 0) << "error text ends inside the record";
}

// ---- user data ----

TEST(SimUserData, WriteReadEraseAndTheBounds) {
    CModelHarness h;
    h.EnterMasterFresh();
    std::vector<std::uint8_t> hello = {'H', 'E', 'L', 'L', 'O'};
    EXPECT_EQ(h.Ask(CMD_WRITE_USER_DATA, 8187, 5, hello).Result(), OK);
    SSimAnswer r = h.Ask(CMD_READ_USER_DATA, 8186, 6);
    EXPECT_EQ(r.Result(), OK);
    EXPECT_EQ(r.Param2(), 6u);
    EXPECT_EQ(r.Data(), (std::vector<std::uint8_t>{0, 'H', 'E', 'L', 'L', 'O'}));
    EXPECT_EQ(h.Ask(CMD_READ_USER_DATA, 8190, 3).Result(), std::uint32_t(RES_INVALID_PARAM));
    EXPECT_EQ(h.Ask(CMD_READ_USER_DATA, 8192, 0).Result(), std::uint32_t(RES_INVALID_PARAM));
    EXPECT_EQ(h.Ask(CMD_WRITE_USER_DATA, 8188, 5, hello).Result(), std::uint32_t(RES_INVALID_PARAM));
    EXPECT_EQ(h.Ask(CMD_WRITE_USER_DATA, 0, 4, hello).Result(), std::uint32_t(RES_INVALID_PARAM)) << "size and data disagree";
    EXPECT_EQ(h.Ask(CMD_READ_USER_DATA, 0xFFFFFFFF, 2).Result(), std::uint32_t(RES_INVALID_PARAM));
    SSimAnswer whole = h.Ask(CMD_READ_USER_DATA, 0, 8192);
    EXPECT_EQ(whole.packet->m_DataSize, 8192u);
    EXPECT_EQ(h.Ask(CMD_ERASE_USER_DATA).Result(), OK);
    EXPECT_EQ(h.Ask(CMD_READ_USER_DATA, 8187, 5).Data(), std::vector<std::uint8_t>(5, 0));
}

// ---- options ----

TEST(SimOptions, DefaultsByBoardAndEncodings) {
    SimOptions o = FastOptions();
    CModelHarness zel(o);
    zel.EnterMasterFresh();
    EXPECT_EQ(zel.Ask(CMD_GET_OPP_OPTION).Param2(), 0x000F6403u);  // gain 15, brightness 100, contrast 3
    EXPECT_EQ(zel.Ask(CMD_GET_SECURITY_LEVEL).Param2(), 0x00050008u);
    EXPECT_EQ(zel.Ask(CMD_GET_LATENT_OPTION).Param2(), 1u);
    EXPECT_EQ(zel.Ask(CMD_GET_LOG_OPTION).Param2(), 1u);
    EXPECT_EQ(zel.Ask(CMD_GET_CAPTURE_PERIOD).Param2(), 5u);
    EXPECT_EQ(zel.Ask(CMD_GET_DB_INIT_OPTION).Param2(), 0u);
    o.type = 3;
    CModelHarness lv(o);
    lv.EnterMasterFresh();
    EXPECT_EQ(lv.Ask(CMD_GET_OPP_OPTION).Param2(), (20u << 16) | (40u << 8) | 20u);
}

TEST(SimOptions, SetWithinRangesAndRefuseOutside) {
    CModelHarness h;
    h.EnterMasterFresh();
    EXPECT_EQ(h.Ask(CMD_SET_OPP_OPTION, 0, (63u << 16) | (0u << 8) | 100u).Result(), OK);
    EXPECT_EQ(h.Ask(CMD_GET_OPP_OPTION).Param2(), (63u << 16) | 100u);
    for (std::uint32_t bad : {(0u << 16) | 1u, (64u << 16) | 1u, (1u << 16) | (101u << 8), (1u << 16) | 101u, 0x01010101u})
        EXPECT_EQ(h.Ask(CMD_SET_OPP_OPTION, 0, bad).Result(), std::uint32_t(RES_INVALID_PARAM)) << std::hex << bad;
    EXPECT_EQ(h.Ask(CMD_GET_OPP_OPTION).Param2(), (63u << 16) | 100u) << "refused values change nothing";

    EXPECT_EQ(h.Ask(CMD_SET_SECURITY_LEVEL, 0, (9u << 16) | 1u).Result(), OK);
    EXPECT_EQ(h.Ask(CMD_GET_SECURITY_LEVEL).Param2(), (9u << 16) | 1u);
    EXPECT_EQ(h.Ask(CMD_SET_SECURITY_LEVEL, 0, (10u << 16) | 1u).Result(), std::uint32_t(RES_INVALID_PARAM));
    EXPECT_EQ(h.Ask(CMD_SET_SECURITY_LEVEL, 0, (1u << 16) | 0u).Result(), std::uint32_t(RES_INVALID_PARAM));

    for (std::uint32_t set : {CMD_SET_LATENT_OPTION, CMD_SET_LOG_OPTION, CMD_SET_DB_INIT_OPTION}) {
        EXPECT_EQ(h.Ask(set, 0, 0).Result(), OK);
        EXPECT_EQ(h.Ask(set + 1).Param2(), 0u);
        EXPECT_EQ(h.Ask(set, 0, 2).Result(), std::uint32_t(RES_INVALID_PARAM));
    }
    EXPECT_EQ(h.Ask(CMD_SET_CAPTURE_PERIOD, 0, 255).Result(), OK);
    EXPECT_EQ(h.Ask(CMD_GET_CAPTURE_PERIOD).Param2(), 255u);
    EXPECT_EQ(h.Ask(CMD_SET_CAPTURE_PERIOD, 0, 0).Result(), std::uint32_t(RES_INVALID_PARAM));
    EXPECT_EQ(h.Ask(CMD_SET_CAPTURE_PERIOD, 0, 256).Result(), std::uint32_t(RES_INVALID_PARAM));
}

// ---- firmware ----

std::vector<std::uint8_t> HexRecordData(std::uint32_t upper, std::uint16_t address, const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> d(10 + bytes.size());
    PutBE32(d.data(), upper);
    PutBE32(d.data() + 4, address);
    PutBE16(d.data() + 8, static_cast<std::uint16_t>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), d.begin() + 10);
    return d;
}

TEST(SimFirmware, HexRecordsAreAcknowledgedWithTheNextNumber) {
    CModelHarness h;
    SSimAnswer a = h.Ask(CMD_UPGRADE_HEX, 0, 0, HexRecordData(0x0800, 0, {}));  // extended address
    EXPECT_EQ(a.Result(), 0u);
    EXPECT_EQ(a.Param2(), 1u);
    a = h.Ask(CMD_UPGRADE_HEX, 0, 1, HexRecordData(0x0800, 0x0000, {1, 2, 3, 4}));
    EXPECT_EQ(a.Param2(), 2u);
    a = h.Ask(CMD_UPGRADE_HEX, 0, 1, HexRecordData(0x0800, 0x0000, {1, 2, 3, 4}));
    EXPECT_EQ(a.Result(), 0u) << "a repeated record (lost answer) is taken again";
    EXPECT_EQ(a.Param2(), 2u);
    EXPECT_EQ(h.Ask(CMD_UPGRADE_HEX, 0, 5, HexRecordData(0x0800, 4, {5})).Result(), std::uint32_t(RES_FAIL));
    auto broken = HexRecordData(0x0800, 4, {5, 6});
    broken.pop_back();
    EXPECT_EQ(h.Ask(CMD_UPGRADE_HEX, 0, 2, broken).Result(), std::uint32_t(RES_INVALID_PARAM));
    a = h.Ask(CMD_UPGRADE_HEX, 0, 2, HexRecordData(0x0800, 0x0004, {5, 6}));
    EXPECT_EQ(a.Param2(), 3u);
    EXPECT_EQ(h.module.Firmware(), 0x0105);
    a = h.Ask(CMD_UPGRADE_HEX, 1, 3, HexRecordData(0x0800, 0, {}));
    EXPECT_EQ(a.Result(), OK);
    EXPECT_EQ(h.module.Firmware(), 0x0106) << "the new firmware reports the next version";
    auto image = h.module.FirmwareReceiver().HexImage();
    ASSERT_EQ(image.size(), 1u);
    EXPECT_EQ(image.begin()->first, 0x08000000u);
    EXPECT_EQ(image.begin()->second, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
}

std::vector<std::uint8_t> BinChunk(const std::vector<std::uint8_t>& file, std::uint32_t chunk) {
    std::vector<std::uint8_t> d(2052, 0xEE);
    PutBE32(d.data(), static_cast<std::uint32_t>(file.size()));
    std::size_t from = chunk * 2048, count = std::min<std::size_t>(2048, file.size() - from);
    std::copy(file.begin() + from, file.begin() + from + count, d.begin() + 4);
    return d;
}

TEST(SimFirmware, BinChunksInOrderAndTheImage) {
    SimOptions o = FastOptions();
    o.type = 1;
    o.upgradedFirmware = 0x0300;
    CModelHarness h(o);
    std::vector<std::uint8_t> file(2049 + 2048);
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const std::uint32_t last = (file.size() - 1) / 2048;  // 2
    SSimAnswer a = h.Ask(CMD_UPGRADE_BIN, 0, 0 * 256 + last, BinChunk(file, 0));
    EXPECT_EQ(a.Result(), OK);
    EXPECT_EQ(a.Param2(), 0 * 256 + last);
    EXPECT_EQ(h.Ask(CMD_UPGRADE_BIN, 0, 2 * 256 + last, BinChunk(file, 2)).Result(), std::uint32_t(RES_FAIL));
    EXPECT_EQ(h.Ask(CMD_UPGRADE_BIN, 0, 1 * 256 + 1, BinChunk(file, 1)).Result(), std::uint32_t(RES_INVALID_PARAM));
    EXPECT_EQ(h.Ask(CMD_UPGRADE_BIN, 0, 1 * 256 + last, BinChunk(file, 1)).Param2(), 1u * 256 + last);
    EXPECT_EQ(h.Ask(CMD_UPGRADE_BIN, 0, 1 * 256 + last, BinChunk(file, 1)).Result(), OK) << "repeat";
    EXPECT_FALSE(h.module.FirmwareReceiver().BinComplete());
    EXPECT_EQ(h.Ask(CMD_UPGRADE_BIN, 0, 2 * 256 + last, BinChunk(file, 2)).Param2(), 2u * 256 + last);
    EXPECT_TRUE(h.module.FirmwareReceiver().BinComplete());
    EXPECT_EQ(h.module.FirmwareReceiver().BinImage(), file);
    EXPECT_EQ(h.Ask(CMD_GET_VERSION_EX).Param2(), 0x0300u);
}

TEST(SimFirmware, VersionCountsOnAsShown) {
    for (auto [before, after] : std::vector<std::pair<std::uint16_t, std::uint16_t>>{
             {0x0105, 0x0106}, {0x0109, 0x0110}, {0x0199, 0x0200}, {0x0999, 0x1000}}) {
        SimOptions o = FastOptions();
        o.firmware = before;
        o.type = 2;
        CModelHarness h(o);
        std::vector<std::uint8_t> file(10, 1);
        EXPECT_EQ(h.Ask(CMD_UPGRADE_BIN, 0, 0, BinChunk(file, 0)).Result(), OK);
        EXPECT_EQ(h.module.Firmware(), after) << std::hex << before;
    }
}

// ---- faults ----

TEST(SimFaults, DroppedAndCorruptedAnswers) {
    CModelHarness h;
    h.module.DropNext(2);
    h.Send(CMD_STATUS);
    h.Send(CMD_STATUS);
    EXPECT_TRUE(h.answers.empty());
    h.Send(CMD_STATUS);
    EXPECT_EQ(h.answers.size(), 1u);
    EXPECT_EQ(h.module.Stats().dropped, 2u);
    h.Take();

    // Every corruption is one byte the console's checksums catch; frame
    // length, start byte and marker stay as they were.
    h.module.SetCorruptProbability(1.0);
    for (int i = 0; i < 300; ++i) {
        if (i % 3 == 0)
            h.Send(CMD_CONNECT);
        else if (i % 3 == 1)
            h.SendMini(MINI_STATUS);
        else
            h.Send(CMD_GET_MINUTIAE);
        h.Settle();
        ASSERT_EQ(h.answers.size(), 1u);
        SSimAnswer a = h.Take();
        EXPECT_FALSE(a.checksumsOk) << "answer " << i;
        EXPECT_EQ(a.raw[0], 0x7E);
        if (a.mini) {
            EXPECT_EQ(a.raw.size(), 6u);
        } else {
            EXPECT_NE(a.raw[1], 0x5A);
            EXPECT_EQ(a.raw.size(), a.packet->FrameSize());
        }
    }
}

TEST(SimFaults, ProbabilitiesAreSeededAndRoughlyRight) {
    auto run = [](std::uint32_t seed) {
        SimOptions o = FastOptions();
        o.drop = 0.3;
        o.seed = seed;
        CModelHarness h(o);
        std::vector<bool> got;
        for (int i = 0; i < 1000; ++i) {
            h.Send(CMD_STATUS);
            got.push_back(!h.answers.empty());
            h.answers.clear();
        }
        return got;
    };
    std::vector<bool> a = run(7), b = run(7), c = run(8);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    long dropped = std::count(a.begin(), a.end(), false);
    EXPECT_GT(dropped, 240);
    EXPECT_LT(dropped, 360);
}

// ---- scheduler ----

TEST(SimTimerQueue, RunsInTimeOrderAndCancels) {
    CSimTimerQueue q;
    std::vector<int> order;
    q.After(30, [&] { order.push_back(3); });
    auto cancelled = q.After(20, [&] { order.push_back(99); });
    q.After(10, [&] {
        order.push_back(1);
        q.After(0, [&] { order.push_back(2); });
    });
    q.Cancel(cancelled);
    q.Advance(25);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(q.NowMs(), 25);
    EXPECT_EQ(q.NextDue(), 30);
    EXPECT_TRUE(q.AdvanceToNext());
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(q.AdvanceToNext());
}

TEST(SimTimerQueue, RealClockRunsOnlyWhatIsDue) {
    std::int64_t now = 100;
    CSimTimerQueue q([&] { return now; });
    int fired = 0;
    q.After(50, [&] { ++fired; });
    EXPECT_EQ(q.RunDue(), 0u);
    now = 150;
    EXPECT_EQ(q.RunDue(), 1u);
    EXPECT_EQ(fired, 1);
}

}  // namespace
