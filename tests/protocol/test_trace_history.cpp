// The kept trace: the ring of frames and bytes, its bounds and wrap, times,
// the names and data fields read from the catalogue, and the text and pcapng
// files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ClientHarness.h"
#include "TraceFeeder.h"
#include "protocol/TraceDecode.h"
#include "protocol/TraceFiles.h"
#include "protocol/TraceHistory.h"

namespace {

using CFeeder = CTraceFeeder;

Bytes KeptBytes(const CTraceHistory& h, std::size_t index) {
    const STraceRecord& r = h.At(index);
    return Bytes(h.Bytes(r), h.Bytes(r) + r.size);
}

Bytes Piece(std::uint32_t n, std::size_t size) {
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + n * 13);
    return data;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string TempDir() {
    const char* root = std::getenv("TMPDIR");
    std::string name = std::string(root && *root ? root : "/tmp") + "/pravik-trace-XXXXXX";
    return mkdtemp(name.data()) ? name : std::string();
}

}  // namespace

TEST(TraceHistory, KeepsTheNewestFramesUpToItsBoundNumberedInOrder) {
    CManualMessageLoop loop;
    {
        CTraceHistory small(loop, 5);
        CFeeder feed(small);
        for (std::uint32_t i = 0; i < 12; ++i) feed.General(ETraceKind::Request, CMD_CONNECT, i);
        ASSERT_EQ(small.Size(), 5u);
        EXPECT_EQ(small.Total(), 12u);
        EXPECT_EQ(small.FirstNumber(), 8u);
        for (std::size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(small.At(i).number, 8 + i);
            EXPECT_EQ(small.At(i).param1, 7 + i);
            EXPECT_EQ(KeptBytes(small, i), GeneralFrame(CMD_CONNECT, static_cast<std::uint32_t>(7 + i)));
        }
        EXPECT_EQ(small.IndexOf(7), small.Size());
        EXPECT_EQ(small.IndexOf(10), 2u);
        EXPECT_EQ(small.IndexOf(13), small.Size());
        small.Clear();
        EXPECT_TRUE(small.Empty());
        EXPECT_EQ(small.FirstNumber(), 13u);
    }
    // The console's own bound: 10,000 frames.
    CTraceHistory history(loop);
    ASSERT_EQ(history.Capacity(), TRACE_HISTORY_FRAMES);
    CFeeder feed(history);
    for (std::uint32_t i = 0; i < 10001; ++i) feed.Raw(ETraceKind::Answer, EFrameForm::Minimized, MiniFrame(0x12, i & 0xFF, i >> 8));
    EXPECT_EQ(history.Size(), 10000u);
    EXPECT_EQ(history.At(0).number, 2u);
    EXPECT_EQ(KeptBytes(history, 0), MiniFrame(0x12, 1, 0));
    EXPECT_EQ(KeptBytes(history, 9999), MiniFrame(0x12, 10000 & 0xFF, 10000 >> 8));
}

// The byte ring at its smallest (one largest frame and a little): image
// pieces go round it many times; every kept frame must still read back
// exactly as it went in, the oldest dropped first, none beyond the room.
TEST(TraceHistory, TheByteRingWrapsDroppingTheOldestFramesAndNeverMixesTheirBytes) {
    CManualMessageLoop loop;
    CTraceHistory history(loop, 1000, 0);  // the byte ring is raised to its minimum
    const std::size_t room = history.ByteCapacity();
    ASSERT_EQ(room, PACKET_DATA_SIZE + PACKET_HEADER_SIZE + 4);
    CFeeder feed(history);
    std::vector<Bytes> sent;
    for (std::uint32_t n = 0; n < 200; ++n) {
        // Sizes that do not divide the ring, a request between the answers.
        const Bytes data = Piece(n, 1000 + (n * 37) % 1100);
        feed.General(ETraceKind::Request, CMD_GET_IMAGE, 0, n);
        sent.push_back(GeneralFrame(CMD_GET_IMAGE, 0, n));
        feed.General(ETraceKind::Answer, CMD_GET_IMAGE, RES_SUCCESS, n, data);
        sent.push_back(GeneralFrame(CMD_GET_IMAGE, RES_SUCCESS, n, data));
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < history.Size(); ++i) {
            const STraceRecord& r = history.At(i);
            bytes += r.size;
            ASSERT_EQ(r.number, history.Total() - history.Size() + 1 + i);
            ASSERT_EQ(KeptBytes(history, i), sent[r.number - 1]) << "frame " << r.number << " after " << n;
        }
        ASSERT_LE(bytes, room);
        // Only what did not fit went: the frame before the oldest would not fit beside the rest.
        if (history.Total() > history.Size()) {
            ASSERT_GT(bytes + sent[history.FirstNumber() - 2].size(), room / 2);
        }
    }
    // About 41 request-and-answer pairs of 1.6 KB on average fit in 64 KB.
    EXPECT_LT(history.Size(), 100u);
    EXPECT_GT(history.Size(), 60u);
    // A frame as large as the ring allows still fits, alone.
    feed.General(ETraceKind::Answer, CMD_READ_USER_DATA, RES_SUCCESS, 0, Piece(1, PACKET_DATA_SIZE));
    ASSERT_EQ(history.Size(), 1u);
    EXPECT_EQ(KeptBytes(history, 0), GeneralFrame(CMD_READ_USER_DATA, RES_SUCCESS, 0, Piece(1, PACKET_DATA_SIZE)));
}

TEST(TraceHistory, TimesCountFromTheOpeningOfTheLinkOnTheLoopClockAndTheWallClockThen) {
    CManualMessageLoop loop;
    CTraceHistory history(loop);
    std::int64_t wall = 1'765'000'000'000'000;  // 2025-12-06T05:46:40Z
    history.SetWallClock([&] { return wall; });
    CFeeder feed(history);
    loop.Advance(500);
    history.OnLinkOpened();
    wall += 77'000'000;  // the wall clock is read only when the link opens
    loop.Advance(12);
    feed.General(ETraceKind::Request, CMD_CONNECT, 0);
    loop.Advance(3000);
    feed.General(ETraceKind::Answer, CMD_CONNECT, RES_SUCCESS);
    EXPECT_EQ(history.At(0).sinceOpenUs, 12'000);
    EXPECT_EQ(history.At(1).sinceOpenUs, 3'012'000);
    EXPECT_EQ(history.At(1).wallUs, 1'765'000'000'000'000 + 3'012'000);
    EXPECT_EQ(TraceMillisText(history.At(1).sinceOpenUs), "3012.000");
    EXPECT_EQ(TraceMillisText(1'234'567), "1234.567");
    EXPECT_EQ(TraceMillisText(-1'500), "-1.500");
    EXPECT_EQ(TraceWallText(history.At(1).wallUs), "2025-12-06T05:46:43.012000Z");
    history.OnLinkOpened();  // a new connection starts the count again
    loop.Advance(1);
    feed.General(ETraceKind::Request, CMD_CONNECT, 0);
    EXPECT_EQ(history.At(2).sinceOpenUs, 1'000);
    EXPECT_EQ(history.At(2).wallUs, wall + 1'000);
}

TEST(TraceDecode, NamesComeFromTheCatalogueBesideTheNumbers) {
    CManualMessageLoop loop;
    CTraceHistory history(loop);
    CFeeder feed(history);
    feed.General(ETraceKind::Request, CMD_GET_IMAGE, 0, 3);
    feed.General(ETraceKind::Answer, CMD_GET_IMAGE, RES_TIMEOUT, 3);
    feed.General(ETraceKind::Answer, CMD_GET_VERSION, 0x105, 0);  // param1 is the version
    feed.General(ETraceKind::Answer, 0x99, 1, 0);                  // a command nobody knows
    feed.Raw(ETraceKind::Answer, EFrameForm::Minimized, MiniFrame(MINI_IDENTIFY, RES_SUCCESS, 4));
    feed.Raw(ETraceKind::Request, EFrameForm::Minimized, MiniFrame(MINI_ENROLL, 2, 0));
    const STraceRecord& request = history.At(0);
    EXPECT_EQ(TraceCommandCell(request), "0x60 GET_IMAGE");
    EXPECT_EQ(TraceParam1Cell(request), "0x0");  // a request's param1 is no result
    EXPECT_EQ(TraceParam2Cell(request), "0x3");
    EXPECT_STREQ(TraceDirText(request), "SND");
    EXPECT_EQ(TraceParam1Cell(history.At(1)), "0x7 TIMEOUT");
    EXPECT_STREQ(TraceDirText(history.At(1)), "RCV");
    EXPECT_TRUE(TraceIsFailure(history.At(1)));
    EXPECT_FALSE(TraceIsFailure(request));
    EXPECT_EQ(TraceParam1Cell(history.At(2)), "0x105");
    EXPECT_FALSE(TraceIsFailure(history.At(2)));
    EXPECT_EQ(TraceCommandCell(history.At(3)), "0x99");
    EXPECT_EQ(TraceParam1Cell(history.At(3)), "0x1 SUCCESS");
    const STraceRecord& mini = history.At(4);
    EXPECT_EQ(TraceCommandCell(mini), "0x12 IDENTIFY");
    EXPECT_EQ(TraceParam1Cell(mini), "0x1 SUCCESS");
    EXPECT_EQ(TraceParam2Cell(mini), "0x4");
    EXPECT_EQ(TraceDataSizeCell(mini), "");
    EXPECT_EQ(TraceCommandCell(history.At(5)), "0x33 ENROLL");  // the Minimized table, not the General one
    // Every row of the catalogue reads back by its name.
    std::size_t count = 0;
    const SCommandInfo* rows = CommandRows(&count);
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_EQ(TraceCommandText(rows[i].form, rows[i].code), TraceHex(rows[i].code) + " " + rows[i].name);
    }
    EXPECT_EQ(TraceResultText(RES_CANCELED), "0xd CANCELED");
}

TEST(TraceDecode, DataAreasAreTakenApartByTheirLayoutWithPasswordsMasked) {
    CManualMessageLoop loop;
    CTraceHistory history(loop);
    CFeeder feed(history);
    auto fieldsOf = [&](std::size_t index) {
        const STraceRecord& r = history.At(index);
        std::string out;
        for (const STraceField& f : TraceDecodeData(r, history.Bytes(r))) out += f.name + "=" + f.value + ";";
        return out;
    };
    SRequest verify = req::Verify(1, "12", "secret");
    feed.General(ETraceKind::Request, CMD_VERIFY, verify.param1, 0, verify.data);
    EXPECT_EQ(fieldsOf(0), "id=\"12\";password=********;");
    SRequest master = req::EnterMaster(AUTH_DEVICE_PASSWORD, "", "pw");  // the type in param2
    feed.General(ETraceKind::Request, CMD_ENTER_MASTER, master.param1, master.param2, master.data);
    EXPECT_EQ(fieldsOf(1), "password=********;");
    SRequest masterEx = req::EnterMasterEx(AUTH_MASTER_PASSWORD, "7", "pw");  // the type in param1
    feed.General(ETraceKind::Request, CMD_ENTER_MASTER_EX, masterEx.param1, masterEx.param2, masterEx.data);
    EXPECT_EQ(fieldsOf(2), "id=\"7\";password=********;");
    Bytes hex = {0, 0, 0, 1, 0, 0, 0x10, 0, 0, 3, 0xAA, 0xBB, 0xCC};
    feed.General(ETraceKind::Request, CMD_UPGRADE_HEX, 0, 5, hex);
    EXPECT_EQ(fieldsOf(3), "upper_address=0x1 (1);load_address=0x1000 (4096);length=3;record=3 bytes;");
    Bytes list = {0, 2, 0, 100, '1', 0, 0, 0, 0, 0, 0, 0, 0, 0, 'A', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 9};
    feed.General(ETraceKind::Answer, CMD_GET_FP_LIST_EX, RES_SUCCESS, 0, list);
    EXPECT_EQ(fieldsOf(4), "count=2;capacity=100;id=\"1\";id=\"AB\";more_records=1 bytes;");
    Bytes log(4 + 28, 0);
    log[1] = 1;
    log[7] = 42;              // index 42
    log[9] = 3;               // command record, command 3
    log[10] = 'x';            // id "x"
    log[21] = 1;              // result 1
    feed.General(ETraceKind::Answer, CMD_GET_LOG_EX, RES_SUCCESS, 0, log);
    EXPECT_EQ(fieldsOf(5), "record_count=1;log_record=index 42 command 3 id \"x\" result 1;");
    feed.General(ETraceKind::Answer, CMD_GET_IMAGE, RES_SUCCESS, 0, Bytes(2048, 0x55));
    EXPECT_EQ(fieldsOf(6), "image=2048 bytes;");
    feed.General(ETraceKind::Request, CMD_CONNECT, 0, 0, Bytes{1, 2});  // no layout: just data
    EXPECT_EQ(fieldsOf(7), "data=2 bytes;");
    // The password's bytes show in neither the dump nor the text line.
    const STraceRecord& r = history.At(0);
    const auto fields = TraceDecodeData(r, history.Bytes(r));
    const std::string dump = TraceHexDump(r, history.Bytes(r), fields);
    EXPECT_EQ(dump.substr(0, 54), "0000  7e 00 00 00 11 00 00 00 01 00 00 00 00 00 00 00\n");
    EXPECT_NE(dump.find("0020  00 00 00 ** ** ** ** ** ** ** ** ** ** ** ** **\n"), std::string::npos) << dump;
    EXPECT_EQ(dump.find("73 65 63"), std::string::npos) << dump;  // "sec"
    const std::string line = TraceTextLine(r, history.Bytes(r));
    EXPECT_NE(line.find("31320000000000000000" + std::string(32, '*')), std::string::npos) << line;
    EXPECT_EQ(line.find("736563726574"), std::string::npos) << line;
}

TEST(TraceFiles, TextHasOneLinePerFrameWithTimesNamesValuesAndData) {
    CManualMessageLoop loop;
    CTraceHistory history(loop);
    history.SetWallClock([] { return std::int64_t{1'765'000'000'000'000}; });
    CFeeder feed(history);
    loop.Advance(5);
    feed.General(ETraceKind::Request, CMD_IDENTIFY, 0);
    loop.Advance(4000);
    feed.General(ETraceKind::Resend, CMD_GET_IMAGE, 0, 2, {}, 0, 3);
    feed.General(ETraceKind::Stale, CMD_IDENTIFY, RES_SUCCESS, 0, {'1', '2', 0});
    Bytes bad = GeneralFrame(CMD_GET_IMAGE, RES_SUCCESS, 2, {1, 2, 3});
    bad[26] ^= 0xFF;
    feed.Raw(ETraceKind::Rejected, EFrameForm::General, bad, EBadFrame::DataChecksum);
    feed.Raw(ETraceKind::Answer, EFrameForm::Minimized, MiniFrame(MINI_STATUS, RES_IDLE, 0));
    const std::string text = TraceText(history);
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        lines.push_back(text.substr(at, end - at));
    }
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "#TIME_UTC\tMS_SINCE_OPEN\tDIR\tKIND\tFORM\tCOMMAND\tPARAM1\tPARAM2\tDATA_SIZE\tERR_CODE\tDATA");
    EXPECT_EQ(lines[1], "2025-12-06T05:46:40.005000Z\t5.000\tSND\tREQUEST:1\tGENERAL\t0x12 IDENTIFY\t0x0\t0x0\t0x0\t0x0\t");
    EXPECT_EQ(lines[2], "2025-12-06T05:46:44.005000Z\t4005.000\tSND\tRESEND:3\tGENERAL\t0x60 GET_IMAGE\t0x0\t0x2\t0x0\t0x0\t");
    EXPECT_EQ(lines[3],
              "2025-12-06T05:46:44.005000Z\t4005.000\tRCV\tSTALE\tGENERAL\t0x12 IDENTIFY\t0x1 SUCCESS\t0x0\t0x3\t0x0\t313200");
    std::string badHex;
    for (std::uint8_t b : bad) {
        char cell[3];
        std::snprintf(cell, sizeof cell, "%02x", b);
        badHex += cell;
    }
    EXPECT_EQ(lines[4], "2025-12-06T05:46:44.005000Z\t4005.000\tRCV\tREJECTED:DATA_CHECKSUM\tGENERAL\t0x60 GET_IMAGE\t"
                        "0x1 SUCCESS\t0x2\t0x3\t0x0\t" + badHex);
    EXPECT_EQ(lines[5], "2025-12-06T05:46:44.005000Z\t4005.000\tRCV\tANSWER\tMINIMIZED\t0x62 STATUS\t0x10 IDLE\t0x0\t-\t-\t");
    EXPECT_EQ(TraceFormatForPath("a/trace.PcapNG"), ETraceFileFormat::Pcapng);
    EXPECT_EQ(TraceFormatForPath("trace.txt"), ETraceFileFormat::Text);
    EXPECT_EQ(TraceFormatForPath("pcapng"), ETraceFileFormat::Text);
}

// The pcapng file read back block by block, as a reader of the format would.
TEST(TraceFiles, PcapngHasOneInterfaceOfLinkTypeUser0AndAPacketPerFrameWithItsDirection) {
    CManualMessageLoop loop;
    CTraceHistory history(loop);
    history.SetWallClock([] { return std::int64_t{1'765'000'000'123'456}; });
    CFeeder feed(history);
    feed.General(ETraceKind::Request, CMD_CONNECT, 0);
    loop.Advance(7);
    feed.General(ETraceKind::Answer, CMD_CONNECT, RES_SUCCESS, 3);
    feed.General(ETraceKind::Resend, CMD_GET_IMAGE, 0, 1, {}, 0, 2);
    feed.Raw(ETraceKind::Rejected, EFrameForm::Minimized, {0x7E, 0x5A, 0x12, 1, 0, 0}, EBadFrame::MiniChecksum);
    const std::vector<std::uint8_t> file = TracePcapng(history);
    auto u32 = [&](std::size_t at) {
        std::uint32_t v;
        std::memcpy(&v, &file[at], 4);
        return v;
    };
    auto u16 = [&](std::size_t at) {
        std::uint16_t v;
        std::memcpy(&v, &file[at], 2);
        return v;
    };
    struct SPacket {
        std::uint64_t stamp;
        Bytes bytes;
        std::uint32_t flags = 0;
        std::string comment;
    };
    std::vector<SPacket> packets;
    std::size_t at = 0;
    int interfaces = 0;
    while (at < file.size()) {
        ASSERT_LE(at + 12, file.size());
        const std::uint32_t type = u32(at), length = u32(at + 4);
        ASSERT_EQ(length % 4, 0u);
        ASSERT_LE(at + length, file.size());
        ASSERT_EQ(u32(at + length - 4), length) << "trailing length of the block at " << at;
        if (type == 0x0A0D0D0A) {
            EXPECT_EQ(at, 0u);
            EXPECT_EQ(u32(at + 8), 0x1A2B3C4Du);
            EXPECT_EQ(u16(at + 12), 1);
        } else if (type == 1) {
            ++interfaces;
            EXPECT_EQ(u16(at + 8), PCAPNG_LINKTYPE_USER0);
        } else if (type == 6) {
            SPacket p;
            EXPECT_EQ(u32(at + 8), 0u);  // the one interface
            p.stamp = (std::uint64_t{u32(at + 12)} << 32) | u32(at + 16);
            const std::uint32_t captured = u32(at + 20);
            EXPECT_EQ(u32(at + 24), captured);
            p.bytes.assign(file.begin() + static_cast<long>(at + 28), file.begin() + static_cast<long>(at + 28 + captured));
            std::size_t opt = at + 28 + (captured + 3) / 4 * 4;
            while (u16(opt) != 0) {
                const std::uint16_t code = u16(opt), size = u16(opt + 2);
                if (code == 2) p.flags = u32(opt + 4);
                if (code == 1) p.comment.assign(reinterpret_cast<const char*>(&file[opt + 4]), size);
                opt += 4 + (size + 3u) / 4 * 4;
            }
            EXPECT_EQ(opt + 4 + 4, at + length);  // end of options, then the trailing length
            packets.push_back(p);
        }
        at += length;
    }
    EXPECT_EQ(interfaces, 1);
    ASSERT_EQ(packets.size(), 4u);
    EXPECT_EQ(packets[0].stamp, 1'765'000'000'123'456u);
    EXPECT_EQ(packets[1].stamp, 1'765'000'000'130'456u);
    EXPECT_EQ(packets[0].bytes, GeneralFrame(CMD_CONNECT, 0));
    EXPECT_EQ(packets[1].bytes, GeneralFrame(CMD_CONNECT, RES_SUCCESS, 3));
    EXPECT_EQ(packets[0].flags, PCAPNG_EPB_OUTBOUND);
    EXPECT_EQ(packets[1].flags, PCAPNG_EPB_INBOUND);
    EXPECT_EQ(packets[2].flags, PCAPNG_EPB_OUTBOUND);
    EXPECT_EQ(packets[3].flags, PCAPNG_EPB_INBOUND);
    EXPECT_EQ(packets[0].comment, "");
    EXPECT_EQ(packets[2].comment, "RESEND 2");
    EXPECT_EQ(packets[3].comment, "REJECTED MINI_CHECKSUM");
    EXPECT_EQ(packets[3].bytes, (Bytes{0x7E, 0x5A, 0x12, 1, 0, 0}));
}

TEST(TraceFiles, ASaveIsWholeOrNothingAndSaysWhyItFailed) {
    CManualMessageLoop loop;
    CTraceHistory history(loop);
    CFeeder feed(history);
    feed.General(ETraceKind::Request, CMD_CONNECT, 0);
    const std::string dir = TempDir();
    ASSERT_FALSE(dir.empty());
    const std::string path = dir + "/trace.txt";
    {
        std::ofstream(path) << "old";
    }
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    ASSERT_TRUE(SaveTrace(history, path, ETraceFileFormat::Text).Ok());
    EXPECT_EQ(ReadAll(path), TraceText(history));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // the file keeps its permissions
    // A folder in the way: nothing replaced, nothing left behind.
    const std::string folder = dir + "/taken";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((folder + "/inside").c_str(), 0700), 0);
    const SFileResult onFolder = SaveTrace(history, folder, ETraceFileFormat::Pcapng);
    EXPECT_EQ(onFolder.error, EFileError::NOT_REGULAR);
    EXPECT_EQ(onFolder.Why(), "it is a folder");
    const SFileResult noFolder = SaveTrace(history, dir + "/missing/trace.txt", ETraceFileFormat::Text);
    EXPECT_EQ(noFolder.error, EFileError::OPEN);
    EXPECT_EQ(noFolder.reason, "No such file or directory");
    // Only what was there before.
    int entries = 0;
    for (const char* name : {"trace.txt", "taken"}) entries += access((dir + "/" + name).c_str(), F_OK) == 0;
    EXPECT_EQ(entries, 2);
    EXPECT_EQ(std::system(("test $(ls -A '" + dir + "' | wc -l) -eq 2").c_str()), 0);
    std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(TraceFiles, TheDissectorTablesNameEveryCommandAndResultOfTheCatalogue) {
    const std::string lua = WiresharkCatalogueLua();
    std::size_t count = 0;
    const SCommandInfo* rows = CommandRows(&count);
    for (std::size_t i = 0; i < count; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "[0x%02x] = ", rows[i].code);
        const std::string row = rows[i].form == EFrameForm::General
                                    ? std::string(key) + "{ name = \"" + rows[i].name + "\""
                                    : std::string(key) + "\"" + rows[i].name + "\"";
        EXPECT_NE(lua.find(row), std::string::npos) << row;
    }
    EXPECT_NE(lua.find("[0x2a] = { name = \"GET_LOG\", param1 = \"block\", request = \"none\", answer = \"log\" }"),
              std::string::npos);
    EXPECT_NE(lua.find("[7] = \"TIMEOUT\""), std::string::npos);
    EXPECT_NE(lua.find("pravik_password_field_size = 16"), std::string::npos);
}
