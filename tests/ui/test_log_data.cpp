// The log data window: the record store and its line format, both request
// forms through the main form (against the simulated module over a
// pseudo-terminal, and with answers the module would not give), the search
// types, the N field, and saving the log as CR LF text.
#include <QDialog>
#include <array>
#include <cstring>

#include "console/ConsoleMessages.h"
#include "tests/ui/ToolTestUtil.h"
#include "tests/ui/ToolWindowTest.h"
#include "tools/LogDataFlow.h"

using namespace console_test;

namespace {

using Record = std::array<std::uint8_t, LOG_RECORD_SIZE>;

Record CommandRecord(std::uint32_t index, std::uint8_t code, const char* id, std::uint16_t result) {
    Record r{};
    r[0] = index >> 24, r[1] = index >> 16, r[2] = index >> 8, r[3] = index;
    r[4] = LOG_TYPE_COMMAND;
    r[5] = code;
    std::memcpy(&r[6], id, std::min<std::size_t>(std::strlen(id), 10));
    r[16] = result >> 8, r[17] = result & 0xFF;
    return r;
}

Record TextRecord(std::uint32_t index, std::uint8_t type, const char* text) {
    Record r{};
    r[0] = index >> 24, r[1] = index >> 16, r[2] = index >> 8, r[3] = index;
    r[4] = type;
    std::memcpy(&r[5], text, std::min<std::size_t>(std::strlen(text), 23));
    return r;
}

std::vector<std::uint8_t> Bytes(const std::vector<Record>& records, std::size_t header = 0) {
    std::vector<std::uint8_t> bytes(header);
    for (const Record& r : records) bytes.insert(bytes.end(), r.begin(), r.end());
    return bytes;
}

// The data of an answer to CMD_GET_LOG_EX: record count R, a further value,
// then the records.
std::vector<std::uint8_t> ExData(const std::vector<Record>& records, std::uint16_t count) {
    std::vector<std::uint8_t> bytes = Bytes(records, 4);
    bytes[0] = count >> 8, bytes[1] = count & 0xFF;
    return bytes;
}

CLogDataFlow& LogFlow(CConsole& console) { return static_cast<CLogDataFlow&>(*console.View().Flow(FLOW_LOG_DATA)); }

// The console on a raw line without a module: the test delivers the answers.
bool StartOnLine(CConsole& console) { return console.Start() && console.OpenRawLine(); }

// An answer arriving for the log read under way; when none is under way, the
// read is asked for first (ask: by default a read of the answer's command).
void Deliver(CConsole& console, const CPacket& answer, const SRequest& ask = {}) {
    Ask(console, FLOW_LOG_DATA, ask.command ? ask : req::General(answer.m_Command));
    console.Arrive(GeneralAnswer(answer.m_Command, answer.m_Param1, answer.m_Param2,
                                 std::vector<std::uint8_t>(answer.m_Data, answer.m_Data + answer.m_DataSize)));
}

// The last request written, command 0 when none was.
SWritten Last(const CRequestLog& log) {
    const std::vector<SWritten> requests = log.Requests();
    return requests.empty() ? SWritten{} : requests.back();
}

// The log window opened for board (the console need not be connected).
QDialog* OpenLogWindow(CConsole& console, int board) {
    console.View().State().m_nBoardType = board;
    console.View().OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
    return LogFlow(console).Dialog().Window();
}

// The records the simulated module holds now, in the wire layout.
std::vector<Record> SimRecords(CConsole& console) {
    std::vector<Record> records;
    console.App().Simulator()->RunLocked([&](CSimModule& module) {
        for (std::size_t i = 0; i < module.Log().Count(); ++i) {
            Record r{};
            CSimLog::Serialize(module.Log().At(i), r.data());
            records.push_back(r);
        }
    });
    return records;
}

std::vector<std::string> Lines(const std::vector<Record>& records) {
    std::vector<std::string> lines;
    for (const Record& r : records) lines.push_back(CLogData::FormatRecord(r.data()));
    return lines;
}

}  // namespace

// ------------------------------------------------------------ line format

TEST(LogDataFormat, CommandErrorAndUnknownRecordsGiveTheirLines) {
    const struct {
        const char* what;
        Record record;
        const char* line;
    } cases[] = {
        {"verification, the example", CommandRecord(5, 2, "7", 1),
         "0x5       \tCOMMAND\tVerification       \t          7 \t\t1"},
        {"enrolment", CommandRecord(1, 0, "ADMIN", 0), "0x1       \tCOMMAND\tEnrollment         \t      ADMIN \t\t0"},
        {"delete record", CommandRecord(2, 1, "12", 1), "0x2       \tCOMMAND\tDelete Record      \t         12 \t\t1"},
        {"identification", CommandRecord(3, 3, "", 7), "0x3       \tCOMMAND\tIdentification     \t            \t\t7"},
        {"min verification", CommandRecord(4, 4, "4", 2), "0x4       \tCOMMAND\tMin Verification   \t          4 \t\t2"},
        {"min identification", CommandRecord(6, 5, "5", 1),
         "0x6       \tCOMMAND\tMin Identification \t          5 \t\t1"},
        {"instant matching", CommandRecord(7, 6, "", 1), "0x7       \tCOMMAND\tInstant Matching   \t            \t\t1"},
        {"enter master", CommandRecord(8, 7, "M1", 1), "0x8       \tCOMMAND\tEnter Master Mode  \t         M1 \t\t1"},
        {"set master", CommandRecord(9, 8, "M1", 1), "0x9       \tCOMMAND\tSet Master         \t         M1 \t\t1"},
        {"reset master", CommandRecord(10, 9, "M1", 1), "0xA       \tCOMMAND\tReset Master       \t         M1 \t\t1"},
        {"delete all", CommandRecord(11, 10, "", 1), "0xB       \tCOMMAND\tDelete All         \t            \t\t1"},
        {"code above 10 ends after COMMAND", CommandRecord(5, 11, "7", 1), "0x5       \tCOMMAND\t"},
        {"code 255", CommandRecord(5, 255, "7", 1), "0x5       \tCOMMAND\t"},
        {"ID of ten bytes: nine are shown", CommandRecord(12, 2, "ABCDEFGHIJ", 1),
         "0xC       \tCOMMAND\tVerification       \t  ABCDEFGHI \t\t1"},
        {"result with its high bit set", CommandRecord(13, 2, "1", 0xFFFF),
         "0xD       \tCOMMAND\tVerification       \t          1 \t\t65535"},
        {"result 0x7FFF", CommandRecord(13, 2, "1", 0x7FFF),
         "0xD       \tCOMMAND\tVerification       \t          1 \t\t32767"},
        {"index of eight digits", CommandRecord(0xABCDEF12, 2, "1", 1),
         "0xABCDEF12\tCOMMAND\tVerification       \t          1 \t\t1"},
        {"error", TextRecord(0x10, LOG_TYPE_ERROR, "Sensor timeout"), "0x10      \tERROR \tSensor timeout"},
        {"error text of 23 bytes: 22 are shown", TextRecord(0x11, LOG_TYPE_ERROR, "ABCDEFGHIJKLMNOPQRSTUVW"),
         "0x11      \tERROR \tABCDEFGHIJKLMNOPQRSTUV"},
        {"unknown type reads as an error", TextRecord(0x12, 7, "odd"), "0x12      \tERROR \todd"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CLogData::FormatRecord(c.record.data()), c.line);
    }
}

TEST(LogDataStore, KeepsRecordsInArrivalOrderAndRefusesABlockThatWouldOverflow) {
    auto store = std::make_unique<CLogData>();
    std::string line = "unchanged";
    EXPECT_FALSE(store->GetFirst(line));
    EXPECT_FALSE(store->GetNext(line));
    EXPECT_EQ(line, "unchanged");

    std::vector<Record> first(1279), last(2);
    for (std::size_t i = 0; i < first.size(); ++i) first[i] = CommandRecord(static_cast<std::uint32_t>(i), 2, "1", 1);
    last[0] = TextRecord(5000, LOG_TYPE_ERROR, "one");
    last[1] = TextRecord(5001, LOG_TYPE_ERROR, "two");
    ASSERT_TRUE(store->Append(Bytes(first).data(), first.size()));
    // Two more do not fit: neither is stored, nothing is written past the store.
    EXPECT_FALSE(store->Append(Bytes(last).data(), last.size()));
    EXPECT_EQ(store->Count(), 1279u);
    EXPECT_TRUE(store->Append(Bytes(last).data(), 1));
    EXPECT_EQ(store->Count(), LOG_MAX_RECORDS);
    EXPECT_FALSE(store->Append(Bytes(last).data() + LOG_RECORD_SIZE, 1));
    EXPECT_TRUE(store->Append(nullptr, 0));

    ASSERT_TRUE(store->GetFirst(line));
    EXPECT_EQ(line, CLogData::FormatRecord(first[0].data()));
    std::size_t n = 1;
    while (store->GetNext(line)) ++n;
    EXPECT_EQ(n, LOG_MAX_RECORDS);
    EXPECT_EQ(line, "0x1388    \tERROR \tone");
    // GetFirst starts again from the first record.
    ASSERT_TRUE(store->GetFirst(line));
    ASSERT_TRUE(store->GetNext(line));
    EXPECT_EQ(line, CLogData::FormatRecord(first[1].data()));

    store->Clear();
    EXPECT_EQ(store->Count(), 0u);
    EXPECT_FALSE(store->GetFirst(line));
    EXPECT_FALSE(store->GetNext(line));
}

// ------------------------------------------------------ through the main form

TEST(LogDataRead, AThreeBlockLogIsReadFromTheModuleAndSavedAsCrLfText) {
    CConsole console;
    ASSERT_TRUE(StartConnected(console, BOARD_ZEL12));
    ASSERT_TRUE(EnterMasterMode(console));
    // 25 records: blocks 0 and 1 of ten, then the last block (0xFFFF) of five.
    console.App().Simulator()->RunLocked([](CSimModule& module) {
        module.Log().Clear();
        for (int i = 0; i < 25; ++i) {
            if (i % 6 == 5) {
                module.Log().AddError("Sensor error " + std::to_string(i));
            } else {
                module.Log().AddCommand(static_cast<std::uint8_t>(i % 11), std::to_string(100 + i),
                                        static_cast<std::uint16_t>(i % 3));
            }
        }
    });
    const std::vector<Record> records = SimRecords(console);
    ASSERT_EQ(records.size(), 25u);

    CLogDataFlow& flow = LogFlow(console);
    console.OpenMenus();
    EXPECT_FALSE(console.Marked(ID_VIEW_LOG_DATA));
    ASSERT_TRUE(console.Choose(ID_VIEW_LOG_DATA));
    ASSERT_TRUE(flow.Dialog().IsOpen());
    EXPECT_EQ(flow.Dialog().Window()->windowTitle(), "Log Data");
    console.OpenMenus();
    EXPECT_TRUE(console.Marked(ID_VIEW_LOG_DATA));

    CTempDir dir;
    const std::string path = dir.File("module.log");
    WriteFile(path, std::string(5000, 'x') + "\n");  // replaced, not appended to
    console.op.boxAnswers = {IDYES, IDOK};
    console.op.fileAnswers = {path};
    ASSERT_TRUE(ClickDlgItem(flow.Dialog().Window(), IDC_LOG_READ));
    ASSERT_TRUE(console.WaitFor([&] { return !flow.Dialog().IsOpen(); }));

    ASSERT_EQ(console.op.boxes.size(), 2u);
    EXPECT_EQ(console.op.boxes[0].text, "Save the log data as file?");
    EXPECT_EQ(console.op.boxes[0].flags, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(console.op.boxes[1].text, "Log data were saved successfully.");
    EXPECT_EQ(console.op.boxes[1].flags, MB_OK | MB_ICONINFORMATION);
    ASSERT_EQ(console.op.fileQuestions.size(), 1u);
    EXPECT_TRUE(console.op.fileQuestions[0].save);
    EXPECT_EQ(console.op.fileQuestions[0].filter, "LOG files(*.log)|*.log|All files|*.*|");
    EXPECT_EQ(console.op.fileQuestions[0].defExt, "LOG");
    EXPECT_EQ(console.op.fileQuestions[0].defaultSuffix, "LOG");
    // The file is replaced only after the operator has confirmed it; a new
    // name is taken too.
    EXPECT_TRUE(console.op.fileQuestions[0].overwritePrompt);
    EXPECT_FALSE(console.op.fileQuestions[0].existingOnly);

    bool crlf = false;
    const std::vector<std::string> lines = CrLfLines(ReadFile(path), crlf);
    EXPECT_TRUE(crlf);
    const std::vector<std::string> expected = Lines(records);
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i;
    // Two lines spelt out: the first record and an error record.
    char index[16];
    std::snprintf(index, sizeof index, "0x%-8X\t", GetBE32(records[0].data()));
    EXPECT_EQ(lines[0], std::string(index) + "COMMAND\tEnrollment         \t        100 \t\t0");
    std::snprintf(index, sizeof index, "0x%-8X\t", GetBE32(records[5].data()));
    EXPECT_EQ(lines[5], std::string(index) + "ERROR \tSensor error 5");
    // Saved: the store is emptied, and the window has closed.
    EXPECT_EQ(flow.Store().Count(), 0u);
    console.OpenMenus();
    EXPECT_FALSE(console.Marked(ID_VIEW_LOG_DATA));
}

TEST(LogDataRead, EverySearchTypeReadsItsRecordsFromTheModule) {
    CConsole console;
    ASSERT_TRUE(StartConnected(console, BOARD_PELL));
    ASSERT_TRUE(EnterMasterMode(console));
    console.App().Simulator()->RunLocked([](CSimModule& module) {
        module.Log().Clear();
        for (int i = 0; i < 25; ++i) module.Log().AddCommand(static_cast<std::uint8_t>(i % 11), std::to_string(i), 1);
    });
    const std::vector<Record> r = SimRecords(console);
    ASSERT_EQ(r.size(), 25u);
    const std::vector<Record> all(r.begin(), r.end()), fromSecond(r.begin() + 1, r.end());
    // In this order: "Oldest unread log" marks the first record read, so
    // "From oldest unread to last" then starts at the second.
    const struct {
        int radio;
        const char* n;
        std::vector<Record> expected;
    } cases[] = {
        {IDC_LOG_NTH_PREVIOUS, "3", {r[21]}},
        {IDC_LOG_OLDEST_UNREAD, nullptr, {r[0]}},
        {IDC_LOG_LAST_WRITTEN, nullptr, {r[24]}},
        {IDC_LOG_ALL, nullptr, all},
        {IDC_LOG_UNREAD_TO_LAST, nullptr, fromSecond},
    };
    CTempDir dir;
    CLogDataFlow& flow = LogFlow(console);
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.radio);
        ASSERT_TRUE(console.Choose(ID_VIEW_LOG_DATA));
        QDialog* window = flow.Dialog().Window();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(IsDlgButtonChecked(window, IDC_LOG_NTH_PREVIOUS));
        ASSERT_TRUE(ClickDlgItem(window, c.radio));
        EXPECT_EQ(IsDlgItemEnabled(window, IDC_LOG_N), c.radio == IDC_LOG_NTH_PREVIOUS);
        if (c.n) SetDlgItemText(window, IDC_LOG_N, c.n);
        const std::string path = dir.File("type" + std::to_string(n++) + ".log");
        console.op.boxAnswers = {IDYES, IDOK};
        console.op.fileAnswers = {path};
        console.op.boxes.clear();
        ASSERT_TRUE(ClickDlgItem(window, IDC_LOG_READ));
        ASSERT_TRUE(console.WaitFor([&] { return !flow.Dialog().IsOpen(); }));
        EXPECT_EQ(console.Prompt(), "");
        ASSERT_EQ(console.op.boxes.size(), 2u);
        EXPECT_EQ(console.op.boxes[1].text, "Log data were saved successfully.");
        bool crlf = false;
        EXPECT_EQ(CrLfLines(ReadFile(path), crlf), Lines(c.expected));
        EXPECT_TRUE(crlf);
    }
}

// READ, No to saving, READ again, Yes: every record is saved once. A log of
// one block (numbered 0xFFFF at once) and a full log read block by block
// (numbered from 0x00LL) alike: nothing of the first read is left over.
TEST(LogDataRead, AReadAfterOneThatWasNotSavedSavesEachRecordOnce) {
    const struct {
        int board;
        int radio;  // 0: the older request
        int records;
    } cases[] = {
        {BOARD_ZEL12, 0, 5},
        {BOARD_PELL, IDC_LOG_ALL, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.board);
        CConsole console;
        ASSERT_TRUE(StartConnected(console, c.board));
        ASSERT_TRUE(EnterMasterMode(console));
        console.App().Simulator()->RunLocked([&](CSimModule& module) {
            module.Log().Clear();
            for (int i = 0; i < c.records; ++i) module.Log().AddCommand(2, std::to_string(i), 1);
        });
        const std::vector<std::string> expected = Lines(SimRecords(console));
        ASSERT_EQ(expected.size(), static_cast<std::size_t>(c.records));
        CLogDataFlow& flow = LogFlow(console);
        CTempDir dir;
        const std::string path = dir.File("once.log");
        console.op.fileAnswers = {path};
        for (int answer : {IDNO, IDYES}) {
            ASSERT_TRUE(console.Choose(ID_VIEW_LOG_DATA));
            if (c.radio) {
                ASSERT_TRUE(ClickDlgItem(flow.Dialog().Window(), c.radio));
            }
            console.op.boxes.clear();
            console.op.boxAnswers = {answer, IDOK};
            ASSERT_TRUE(ClickDlgItem(flow.Dialog().Window(), IDC_LOG_READ));
            ASSERT_TRUE(console.WaitFor([&] { return !flow.Dialog().IsOpen(); }, 10000));
            EXPECT_EQ(console.Prompt(), "");
            ASSERT_FALSE(console.op.boxes.empty());
            EXPECT_EQ(console.op.boxes[0].text, "Save the log data as file?");
        }
        ASSERT_EQ(console.op.boxes.size(), 2u);
        EXPECT_EQ(console.op.boxes[1].text, "Log data were saved successfully.");
        bool crlf = false;
        EXPECT_EQ(CrLfLines(ReadFile(path), crlf), expected);
    }
}

// A save that fails part-way (the disk fills) leaves the file it was to
// replace as it was and no temporary file behind; the records stay for
// another try.
TEST(LogDataSave, ASaveThatFailsPartWayKeepsTheFileItWasToReplace) {
    CConsole console;
    ASSERT_TRUE(StartConnected(console, BOARD_ZEL12));
    ASSERT_TRUE(EnterMasterMode(console));
    console.App().Simulator()->RunLocked([](CSimModule& module) {
        module.Log().Clear();
        for (int i = 0; i < 40; ++i) module.Log().AddCommand(3, std::to_string(i), 1);
    });
    CLogDataFlow& flow = LogFlow(console);
    CTempDir dir;
    const std::string path = dir.File("module.log");
    const std::string before = "the log saved last week\r\n";
    WriteFile(path, before);
    console.op.boxAnswers = {IDYES, IDOK};
    console.op.fileAnswers = {path};
    ASSERT_TRUE(console.Choose(ID_VIEW_LOG_DATA));
    {
        CFileSizeLimit limit(1000);  // 40 lines take about 2600 bytes
        ASSERT_TRUE(ClickDlgItem(flow.Dialog().Window(), IDC_LOG_READ));
        ASSERT_TRUE(console.WaitFor([&] { return !flow.Dialog().IsOpen(); }));
    }
    ASSERT_EQ(console.op.boxes.size(), 2u);
    EXPECT_EQ(console.op.boxes[1].text, "The log file '" + path + "' could not be written: File too large.");
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"module.log"});
    EXPECT_EQ(flow.Store().Count(), 40u);
}

// The choice of search type counts however it was made: a click, a screen
// reader's toggle action or a check set without a click.
TEST(LogDataRead, TheSearchTypeFollowsTheRadioButtonsHoweverTheyAreChosen) {
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    CPravikView& view = console.View();
    QDialog* window = OpenLogWindow(console, BOARD_PELL);
    ASSERT_NE(window, nullptr);
    CRequestLog log(view);
    ASSERT_TRUE(ToggleByScreenReader(GetDlgItem(window, IDC_LOG_ALL)));
    EXPECT_TRUE(IsDlgButtonChecked(window, IDC_LOG_ALL));
    EXPECT_FALSE(IsDlgItemEnabled(window, IDC_LOG_N));
    ASSERT_TRUE(ClickDlgItem(window, IDC_LOG_READ));
    EXPECT_EQ(Last(log).command, CMD_GET_LOG_EX);
    EXPECT_EQ(Last(log).param1, 3u);
    CheckDlgButton(window, IDC_LOG_LAST_WRITTEN, true);
    ASSERT_TRUE(ClickDlgItem(window, IDC_LOG_READ));
    EXPECT_EQ(Last(log).param1, 2u);
    ASSERT_TRUE(ToggleByScreenReader(GetDlgItem(window, IDC_LOG_NTH_PREVIOUS)));
    EXPECT_TRUE(IsDlgItemEnabled(window, IDC_LOG_N));
    SetDlgItemText(window, IDC_LOG_N, "9");
    ASSERT_TRUE(ClickDlgItem(window, IDC_LOG_READ));
    EXPECT_EQ(Last(log).param1, 0u);
    EXPECT_EQ(Last(log).param2, 9u);
}

// An open window follows the module connected: after reconnecting from a
// Pell to a ZEL12 it offers no search type and reads with the older request.
TEST(LogDataRead, AnOpenWindowFollowsTheBoardOfAModuleConnectedLater) {
    CConsole console;
    ASSERT_TRUE(StartConnected(console, BOARD_PELL));
    ASSERT_TRUE(EnterMasterMode(console));
    CLogDataFlow& flow = LogFlow(console);
    ASSERT_TRUE(console.Choose(ID_VIEW_LOG_DATA));
    QDialog* window = flow.Dialog().Window();
    ASSERT_TRUE(IsDlgItemEnabled(window, IDC_LOG_ALL));
    ASSERT_TRUE(IsDlgButtonChecked(window, IDC_LOG_NTH_PREVIOUS));

    CSimPty zel12;
    SimOptions options;
    options.type = BOARD_ZEL12;
    ASSERT_TRUE(zel12.Start(options));
    ASSERT_TRUE(ReconnectTo(console, zel12, BOARD_ZEL12));
    ASSERT_TRUE(EnterMasterMode(console, &zel12));
    ASSERT_TRUE(flow.Dialog().IsOpen());
    for (int radio : {IDC_LOG_NTH_PREVIOUS, IDC_LOG_OLDEST_UNREAD, IDC_LOG_LAST_WRITTEN, IDC_LOG_ALL,
                      IDC_LOG_UNREAD_TO_LAST}) {
        EXPECT_FALSE(IsDlgItemEnabled(window, radio)) << radio;
        EXPECT_FALSE(IsDlgButtonChecked(window, radio)) << radio;
    }
    EXPECT_FALSE(IsDlgItemEnabled(window, IDC_LOG_N));
    EXPECT_FALSE(IsDlgItemEnabled(window, IDC_LOG_CANCEL));
    // READ reads the ZEL12's log with its own request.
    zel12.RunLocked([](CSimModule& module) {
        module.Log().Clear();
        module.Log().AddCommand(1, "7", 1);
    });
    CTempDir dir;
    console.op.boxAnswers = {IDYES, IDOK};
    console.op.fileAnswers = {dir.File("zel12.log")};
    ASSERT_TRUE(ClickDlgItem(window, IDC_LOG_READ));
    ASSERT_TRUE(console.WaitFor([&] { return !flow.Dialog().IsOpen(); }));
    EXPECT_EQ(console.Prompt(), "");
    bool crlf = false;
    const std::vector<std::string> lines = CrLfLines(ReadFile(dir.File("zel12.log")), crlf);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Delete Record"), std::string::npos) << lines[0];
}

TEST(LogDataRead, TheWindowChoosesTheRequestFormAndItsParameters) {
    const struct {
        int board;
        int radio;  // 0: none clicked
        const char* n;
        std::uint32_t command, param1, param2;
    } cases[] = {
        {BOARD_ZEL12, 0, nullptr, CMD_GET_LOG, 0, 0},
        {BOARD_PELL, 0, nullptr, CMD_GET_LOG_EX, 0, 0},
        {BOARD_QOR10_HV, 0, "7", CMD_GET_LOG_EX, 0, 7},
        {BOARD_QOR10_LV, IDC_LOG_OLDEST_UNREAD, "7", CMD_GET_LOG_EX, 1, 0},
        {BOARD_PELL, IDC_LOG_LAST_WRITTEN, nullptr, CMD_GET_LOG_EX, 2, 0},
        {BOARD_PELL, IDC_LOG_ALL, nullptr, CMD_GET_LOG_EX, 3, 0},
        {BOARD_PELL, IDC_LOG_UNREAD_TO_LAST, nullptr, CMD_GET_LOG_EX, 4, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.board << " " << c.radio);
        CConsole console;
        ASSERT_TRUE(StartOnLine(console));
        CPravikView& view = console.View();
        view.State().m_nBoardType = c.board;
        view.OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
        QDialog* window = LogFlow(console).Dialog().Window();
        ASSERT_NE(window, nullptr);
        const bool zel12 = c.board == BOARD_ZEL12;
        for (int radio : {IDC_LOG_NTH_PREVIOUS, IDC_LOG_OLDEST_UNREAD, IDC_LOG_LAST_WRITTEN, IDC_LOG_ALL,
                          IDC_LOG_UNREAD_TO_LAST}) {
            EXPECT_EQ(IsDlgItemEnabled(window, radio), !zel12);
        }
        EXPECT_EQ(IsDlgButtonChecked(window, IDC_LOG_NTH_PREVIOUS), !zel12);
        EXPECT_EQ(IsDlgItemEnabled(window, IDC_LOG_CANCEL), !zel12);
        EXPECT_EQ(IsDlgItemEnabled(window, IDC_LOG_N), !zel12);
        EXPECT_TRUE(IsDlgItemEnabled(window, IDC_LOG_STATUS));
        EXPECT_EQ(GetDlgItemText(window, IDC_LOG_READ), "READ && SAVE LOG DATA");
        if (c.n) SetDlgItemText(window, IDC_LOG_N, c.n);
        if (c.radio) {
            ASSERT_TRUE(ClickDlgItem(window, c.radio));
        }
        CRequestLog log(view);
        ASSERT_TRUE(ClickDlgItem(window, IDC_LOG_READ));
        EXPECT_EQ(Last(log).command, c.command);
        EXPECT_EQ(Last(log).param1, c.param1);
        EXPECT_EQ(Last(log).param2, c.param2);
        EXPECT_TRUE(Last(log).data.empty());
        if (!zel12) {
            ASSERT_TRUE(ClickDlgItem(window, IDC_LOG_CANCEL));
            EXPECT_EQ(Last(log).command, CMD_CANCEL);  // as the main form's CANCEL
        }
        ASSERT_TRUE(ClickDlgItem(window, IDC_LOG_STATUS));
        EXPECT_EQ(Last(log).command, CMD_STATUS);
    }
}

TEST(LogDataRead, TheModuleTypeIsTakenAgainWhenTheMenuIsRefreshed) {
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    CPravikView& view = console.View();
    QDialog* window = OpenLogWindow(console, BOARD_PELL);
    ASSERT_NE(window, nullptr);
    view.State().m_nBoardType = BOARD_ZEL12;
    console.OpenMenus();
    CRequestLog log(view);
    ASSERT_TRUE(ClickDlgItem(window, IDC_LOG_READ));
    EXPECT_EQ(Last(log).command, CMD_GET_LOG);
    // The View command closes the window again.
    view.OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
    EXPECT_FALSE(LogFlow(console).Dialog().IsOpen());
}

TEST(LogDataRead, TheNFieldIsCheckedAsItChangesAndReadWaitsForANumberInRange) {
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    console.View().State().m_nBoardType = BOARD_PELL;
    console.View().OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
    QDialog* window = LogFlow(console).Dialog().Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetDlgItemText(window, IDC_LOG_N), "0");
    const struct {
        const char* text;
        const char* message;  // nullptr: none
        bool readEnabled;
    } cases[] = {
        {"2047", nullptr, true},
        {"2048", "Please enter an integer between 0 and 2047.", false},
        {"", "Please enter an integer.", false},
        {"12", nullptr, true},
        {"-1", "Please enter an integer between 0 and 2047.", false},
        {"1x", "Please enter an integer.", false},
        {"0", nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        console.op.boxes.clear();
        SetDlgItemText(window, IDC_LOG_N, c.text);
        if (c.message) {
            ASSERT_EQ(console.op.boxes.size(), 1u);
            EXPECT_EQ(console.op.boxes[0].text, c.message);
            EXPECT_EQ(console.op.boxes[0].flags, MB_OK | MB_ICONEXCLAMATION);
        } else {
            EXPECT_TRUE(console.op.boxes.empty());
        }
        EXPECT_EQ(IsDlgItemEnabled(window, IDC_LOG_READ), c.readEnabled);
    }
    EXPECT_EQ(LogFlow(console).Dialog().m_nN, 0);

    // READ waits for N only while "Nth previous log" is chosen.
    SetDlgItemText(window, IDC_LOG_N, "5000");
    EXPECT_FALSE(IsDlgItemEnabled(window, IDC_LOG_READ));
    ASSERT_TRUE(ClickDlgItem(window, IDC_LOG_ALL));
    EXPECT_TRUE(IsDlgItemEnabled(window, IDC_LOG_READ));
    ASSERT_TRUE(ClickDlgItem(window, IDC_LOG_NTH_PREVIOUS));
    EXPECT_FALSE(IsDlgItemEnabled(window, IDC_LOG_READ));

    // Reopened for a ZEL12, whose request takes no N: READ is usable and
    // opening asks nothing.
    console.View().OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
    console.View().State().m_nBoardType = BOARD_ZEL12;
    console.op.boxes.clear();
    console.View().OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
    window = LogFlow(console).Dialog().Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetDlgItemText(window, IDC_LOG_N), "5000");
    EXPECT_TRUE(IsDlgItemEnabled(window, IDC_LOG_READ));
    EXPECT_TRUE(console.op.boxes.empty());
}

// Answers a module would not normally give, delivered to the main form.
TEST(LogDataAnswers, RefusedAndFailedBlocksKeepTheStoredRecords) {
    const std::vector<Record> two = {CommandRecord(1, 2, "1", 1), CommandRecord(2, 3, "2", 1)};
    std::vector<Record> many(1279, CommandRecord(9, 2, "9", 1));
    const struct {
        const char* what;
        UINT msg;
        std::uint32_t param1, param2;
        std::vector<std::uint8_t> data;
        const char* prompt;
        int form;
        std::size_t stored;  // records in the store afterwards (two before)
    } cases[] = {
        {"older: size does not match the count", CMD_GET_LOG, 1, 3, Bytes({two[0], two[1]}), "Packet data error",
         MSGFORM_ERROR, 2},
        {"older: no data", CMD_GET_LOG, 1, 0, {}, "There is no log data.", MSGFORM_WARNING, 2},
        {"older: no data in block 0 empties the store", CMD_GET_LOG, 0, 0, {}, "There is no log data.",
         MSGFORM_WARNING, 0},
        {"older: a block that would overflow the store", CMD_GET_LOG, 1, 1279, Bytes(many),
         "The log data store is full: at most 1280 records can be read.", MSGFORM_WARNING, 2},
        {"older: a middle block is stored", CMD_GET_LOG, 1, 2, Bytes(two), "", -1, 4},
        {"newer: count past the data", CMD_GET_LOG_EX, RES_SUCCESS, 0x0102, ExData(two, 3), "Packet data error",
         MSGFORM_ERROR, 2},
        {"newer: no count", CMD_GET_LOG_EX, RES_SUCCESS, 0x0102, {0}, "Packet data error", MSGFORM_ERROR, 2},
        {"newer: a block after the last", CMD_GET_LOG_EX, RES_SUCCESS, 0x0302, ExData(two, 2), "Packet data error",
         MSGFORM_ERROR, 2},
        {"newer: overflow", CMD_GET_LOG_EX, RES_SUCCESS, 0x0102, ExData(many, 1279),
         "The log data store is full: at most 1280 records can be read.", MSGFORM_WARNING, 2},
        {"newer: no data", CMD_GET_LOG_EX, RES_SUCCESS, 0x0102, {}, "There is no log data.", MSGFORM_WARNING, 2},
        {"newer: failed", CMD_GET_LOG_EX, RES_FAIL, 0, ExData(two, 2), "To get log data is failed",
         MSGFORM_WARNING, 2},
        {"newer: no master mode", CMD_GET_LOG_EX, RES_NO_MASTER_MODE, 0, {}, "No master mode!!!", MSGFORM_WARNING,
         2},
        {"newer: invalid parameter", CMD_GET_LOG_EX, RES_INVALID_PARAM, 0, {}, "Invalid parameter!!!",
         MSGFORM_WARNING, 2},
        {"newer: canceled", CMD_GET_LOG_EX, RES_CANCELED, 0, {}, "To get log data is canceled", MSGFORM_WARNING,
         2},
        {"newer: an unlisted code shows nothing", CMD_GET_LOG_EX, RES_TIMEOUT, 0, ExData(two, 2), "", -1, 2},
        {"newer: Nth previous, block 0 of 1 (not 0: appended)", CMD_GET_LOG_EX, RES_SUCCESS, 0x0001, ExData(two, 1),
         "", -1, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CConsole console;
        ASSERT_TRUE(StartOnLine(console));
        CLogDataFlow& flow = LogFlow(console);
        ASSERT_TRUE(flow.Store().Append(Bytes(two).data(), 2));
        console.View().OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
        // A read of "Nth previous log" for the newer form.
        Deliver(console, *MakeAnswer(c.msg, c.param1, c.param2, c.data),
                c.msg == CMD_GET_LOG_EX ? req::General(CMD_GET_LOG_EX, 0, 0) : SRequest{});
        EXPECT_EQ(console.Prompt(), c.prompt);
        if (c.form >= 0) {
            EXPECT_EQ(console.PromptForm(), c.form);
        }
        EXPECT_EQ(flow.Store().Count(), c.stored);
        // None of these completes a read: no save question.
        EXPECT_TRUE(console.op.boxes.empty());
        EXPECT_TRUE(flow.Dialog().IsOpen());
    }
}

TEST(LogDataAnswers, AnAllLogReadAsksForEachBlockAndSavesOnlyItsOwnRecords) {
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    CPravikView& view = console.View();
    CLogDataFlow& flow = LogFlow(console);
    // Records of an earlier read that was not saved.
    const std::vector<Record> before = {TextRecord(1, LOG_TYPE_ERROR, "before")};
    ASSERT_TRUE(flow.Store().Append(Bytes(before).data(), 1));
    ASSERT_NE(OpenLogWindow(console, BOARD_PELL), nullptr);
    CRequestLog log(view);
    ASSERT_TRUE(ClickDlgItem(flow.Dialog().Window(), IDC_LOG_ALL));
    ASSERT_TRUE(ClickDlgItem(flow.Dialog().Window(), IDC_LOG_READ));
    EXPECT_EQ(Last(log).command, CMD_GET_LOG_EX);
    EXPECT_EQ(Last(log).param1, 3u);
    EXPECT_EQ(flow.Store().Count(), 0u);  // the earlier records are gone
    const std::vector<Record> blocks[] = {
        {CommandRecord(2, 0, "A", 1), CommandRecord(3, 1, "B", 1)},
        {CommandRecord(4, 2, "C", 1)},
        {TextRecord(5, LOG_TYPE_ERROR, "last")},
    };
    // m_Param2 0x0002 is not 0: the first answer does not empty the store.
    const std::uint32_t param2[] = {0x0002, 0x0102, 0x0202};
    CTempDir dir;
    console.op.boxAnswers = {IDYES, IDOK};
    console.op.fileAnswers = {dir.File("all.log")};
    for (int i = 0; i < 3; ++i) {
        log.Clear();
        Deliver(console, *MakeAnswer(CMD_GET_LOG_EX, RES_SUCCESS, param2[i],
                                     ExData(blocks[i], static_cast<std::uint16_t>(blocks[i].size()))));
        if (i < 2) {
            EXPECT_EQ(Last(log).command, CMD_GET_LOG_EX);
            EXPECT_EQ(Last(log).param1, 3u);
            EXPECT_EQ(Last(log).param2, static_cast<std::uint32_t>(i + 1));
        } else {
            EXPECT_EQ(Last(log).command, 0u);  // nothing more asked
        }
    }
    bool crlf = false;
    EXPECT_EQ(CrLfLines(ReadFile(dir.File("all.log")), crlf),
              Lines({blocks[0][0], blocks[0][1], blocks[1][0], blocks[2][0]}));
    EXPECT_TRUE(crlf);
    EXPECT_FALSE(flow.Dialog().IsOpen());
}

TEST(LogDataAnswers, ABlockOfAnotherTypeThatIsNotTheLastEndsTheReadWithoutSaving) {
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    CPravikView& view = console.View();
    view.OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
    Ask(console, FLOW_LOG_DATA, req::General(CMD_GET_LOG_EX, 1, 0));  // "Oldest unread log"
    CRequestLog log(view);
    Deliver(console, *MakeAnswer(CMD_GET_LOG_EX, RES_SUCCESS, 0x0001, ExData({TextRecord(1, 1, "x")}, 1)));
    EXPECT_EQ(LogFlow(console).Store().Count(), 1u);
    EXPECT_EQ(Last(log).command, 0u);
    EXPECT_TRUE(console.op.boxes.empty());
    EXPECT_TRUE(LogFlow(console).Dialog().IsOpen());
    // A block field of 0 (block 0 of 0) empties the store before it stores,
    // and completes the read.
    Deliver(console,
            *MakeAnswer(CMD_GET_LOG_EX, RES_SUCCESS, 0x0000, ExData({TextRecord(2, 1, "y"), TextRecord(3, 1, "z")}, 2)),
            req::General(CMD_GET_LOG_EX, 1, 0));
    EXPECT_EQ(LogFlow(console).Store().Count(), 2u);
    ASSERT_EQ(console.op.boxes.size(), 1u);
    EXPECT_EQ(console.op.boxes[0].text, "Save the log data as file?");
}

TEST(LogDataSave, NoClosesTheWindowAndKeepsTheRecordsUntilTheNextReadStarts) {
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    CPravikView& view = console.View();
    CLogDataFlow& flow = LogFlow(console);
    view.OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
    console.op.boxAnswers = {IDNO};
    Deliver(console, *MakeAnswer(CMD_GET_LOG, LOG_LAST_BLOCK, 1, Bytes({CommandRecord(1, 2, "1", 1)})));
    ASSERT_EQ(console.op.boxes.size(), 1u);
    EXPECT_EQ(console.op.boxes[0].text, "Save the log data as file?");
    EXPECT_TRUE(console.op.fileQuestions.empty());
    EXPECT_FALSE(flow.Dialog().IsOpen());
    EXPECT_EQ(flow.Store().Count(), 1u);
    // READ starts a new read with an empty store.
    view.OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
    ASSERT_TRUE(ClickDlgItem(flow.Dialog().Window(), IDC_LOG_READ));
    EXPECT_EQ(flow.Store().Count(), 0u);
}

TEST(LogDataSave, AWindowClosedBeforeTheLastBlockSavesNothing) {
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    CPravikView& view = console.View();
    CLogDataFlow& flow = LogFlow(console);
    view.OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
    CRequestLog log(view);
    Deliver(console, *MakeAnswer(CMD_GET_LOG, 0, 1, Bytes({CommandRecord(1, 2, "1", 1)})));
    EXPECT_EQ(Last(log).command, CMD_GET_LOG);
    EXPECT_EQ(Last(log).param1, 1u);
    ASSERT_TRUE(ClickDlgItem(flow.Dialog().Window(), IDCANCEL));  // CLOSE
    EXPECT_FALSE(flow.Dialog().IsOpen());
    Deliver(console, *MakeAnswer(CMD_GET_LOG, LOG_LAST_BLOCK, 1, Bytes({CommandRecord(2, 2, "2", 1)})));
    EXPECT_TRUE(console.op.boxes.empty());
    EXPECT_EQ(flow.Store().Count(), 2u);

    // Closed after the store was handed over but before the hand-over arrived.
    view.OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
    Ask(console, FLOW_LOG_DATA, req::General(CMD_GET_LOG, 0));
    const std::vector<std::uint8_t> last = Bytes({CommandRecord(3, 2, "3", 1)});
    CModuleClient& client = view.Client();
    const std::vector<std::uint8_t> frame = GeneralAnswer(CMD_GET_LOG, LOG_LAST_BLOCK, 1, last);
    client.Channel().m_QueueRead.PutChunk(frame.data(), static_cast<int>(frame.size()));
    console.loop.Post(&client, WM_COMM_READ);
    ASSERT_TRUE(console.loop.RunOne());  // parsed: the reply is posted
    ASSERT_TRUE(console.loop.RunOne());  // stored: the hand-over is posted, not yet delivered
    view.OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
    console.loop.RunPending();
    EXPECT_TRUE(console.op.boxes.empty());
    EXPECT_EQ(flow.Store().Count(), 3u);
}

TEST(LogDataSave, AFileThatCannotBeCreatedIsReportedAndTheRecordsStay) {
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    CPravikView& view = console.View();
    CLogDataFlow& flow = LogFlow(console);
    view.OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
    CTempDir dir;
    const std::string path = dir.File("no-such-folder/module.log");
    console.op.boxAnswers = {IDYES, IDOK};
    console.op.fileAnswers = {path};
    Deliver(console, *MakeAnswer(CMD_GET_LOG, LOG_LAST_BLOCK, 1, Bytes({CommandRecord(1, 2, "1", 1)})));
    ASSERT_EQ(console.op.boxes.size(), 2u);
    EXPECT_EQ(console.op.boxes[1].text, "The log file '" + path + "' could not be written: No such file or directory.");
    EXPECT_EQ(console.op.boxes[1].flags, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(flow.Store().Count(), 1u);
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(flow.Dialog().IsOpen());

    // Cancelling the file dialog saves nothing and keeps the records too.
    view.OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
    console.op.boxes.clear();
    console.op.boxAnswers = {IDYES};
    Deliver(console, *MakeAnswer(CMD_GET_LOG, LOG_LAST_BLOCK, 1, Bytes({CommandRecord(2, 2, "2", 1)})));
    EXPECT_EQ(console.op.boxes.size(), 1u);
    EXPECT_EQ(flow.Store().Count(), 2u);
    EXPECT_FALSE(flow.Dialog().IsOpen());
}
