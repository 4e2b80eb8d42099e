// The packet trace of the whole console against the simulated module over a
// pseudo-terminal: every kind of row (request, answer, re-send, stale answer,
// rejected frame, Minimized frame) in the window and in the saved text, and
// the saved pcapng read back by tshark with the dissector the build makes.
#include <sys/wait.h>

#include <QTreeView>
#include <cstdio>
#include <map>

#include "protocol/TraceDecode.h"
#include "protocol/TraceFiles.h"
#include "tests/ui/ConsoleFixture.h"

using namespace console_test;

namespace {

// A requester of the test's own: the flows' handlers stay out of it.
class CAsker : public CMsgTarget {
public:
    using CMsgTarget::CMsgTarget;
    std::vector<EExchangeEnd> ends;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM) override {
        if (msg == WM_EXCHANGE_ENDED) ends.push_back(reinterpret_cast<const CReply*>(wParam)->End());
        return 0;
    }
};

// The console connected to its simulated module, and on the line, after the
// connection's own frames: a verification with a password, a re-sent
// voltage check (its first answer dropped by the module), a stale answer
// (its request abandoned before it came), a corrupted answer (rejected), and
// a Minimized status request with its answer.
class TraceSession {
public:
    bool Run() {
        if (!StartConnected(console)) return false;
        CPravikView& view = console.View();
        CModuleClient& client = view.Client();
        CSimPty& sim = *console.App().Simulator();
        auto answers = [&] { return sim.Stats().answers; };
        auto waitAnswers = [&](std::uint64_t n) { return console.WaitFor([&] { return answers() >= n; }); };

        // Verification by ID and password: the password must not show.
        std::uint64_t n = answers();
        if (client.Send(asker, req::Verify(1, "1", "pw1234")) != ESendResult::Sent || !waitAnswers(n + 1)) return false;
        if (!console.WaitFor([&] { return asker.ends.size() == 1; })) return false;
        // A guarded request whose first answer is lost: sent again after its time-out.
        sim.RunLocked([](CSimModule& m) { m.DropNext(1); });
        n = answers();
        if (client.Send(asker, req::General(CMD_CHECK_VOLTAGE)) != ESendResult::Sent) return false;
        if (!console.WaitFor([&] { return sim.Stats().dropped >= 1; })) return false;
        console.loop.Advance(TIMEOUT_CHECK_VOLTAGE);
        if (!waitAnswers(n + 2) || !console.WaitFor([&] { return asker.ends.size() == 2; })) return false;
        // Abandoned before its answer came: the answer is stale.
        n = answers();
        if (client.Send(asker, req::General(CMD_GET_SECURITY_LEVEL)) != ESendResult::Sent) return false;
        client.Abandon(asker);
        if (!waitAnswers(n + 1) || !console.WaitFor([&] { return client.StaleAnswers() == 1; })) return false;
        // One byte of the answer changed on the way: rejected.
        sim.RunLocked([](CSimModule& m) { m.CorruptNext(1); });
        n = answers();
        if (client.Send(asker, req::General(CMD_GET_LOG_OPTION)) != ESendResult::Sent || !waitAnswers(n + 1)) return false;
        auto rejected = [&] {
            for (std::size_t i = 0; i < view.m_TraceHistory.Size(); ++i)
                if (view.m_TraceHistory.At(i).kind == ETraceKind::Rejected) return true;
            return false;
        };
        if (!console.WaitFor(rejected)) return false;
        client.Abandon(asker);
        console.ClosePrompt();  // "Checksum error occurred..."
        // A Minimized request and its answer.
        n = answers();
        if (client.Send(asker, req::Mini(MINI_STATUS)) != ESendResult::Sent || !waitAnswers(n + 1)) return false;
        return console.WaitFor([&] { return asker.ends.size() == 5; });
    }

    // The history's rows of one kind.
    std::vector<const STraceRecord*> Kind(ETraceKind kind) {
        std::vector<const STraceRecord*> out;
        const CTraceHistory& h = console.View().m_TraceHistory;
        for (std::size_t i = 0; i < h.Size(); ++i)
            if (h.At(i).kind == kind) out.push_back(&h.At(i));
        return out;
    }

    // Saves the trace through File > Save Trace... to name in the test's folder.
    std::string Save(const std::string& name) {
        const std::string path = files.File(name);
        console.op.fileAnswers.push_back(path);
        EXPECT_TRUE(console.Choose(ID_FILE_SAVE_TRACE));
        return path;
    }

    CConsole console;
    CAsker asker{console.loop};
    CTempDir files;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

std::vector<std::string> Split(const std::string& line, char by) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (std::size_t end; (end = line.find(by, at)) != std::string::npos; at = end + 1) parts.push_back(line.substr(at, end - at));
    parts.push_back(line.substr(at));
    return parts;
}

// Runs a command and returns what it printed on its standard output and its exit code.
std::string RunCommand(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    status = pclose(pipe);
    return out;
}

}  // namespace

TEST(TraceOverTheLine, EveryKindOfFrameHasItsRowInTheWindowAndItsLineInTheSavedText) {
    TraceSession s;
    ASSERT_TRUE(s.Run());
    CPravikView& view = s.console.View();
    // Nothing was open while it all happened: the window shows it now.
    ASSERT_FALSE(view.m_PacketTraceDlg.IsOpen());
    ASSERT_TRUE(s.console.Choose(ID_VIEW_PACKET_TRACE));
    const CPacketTraceDlg& trace = view.m_PacketTraceDlg;
    const CTraceHistory& history = view.m_TraceHistory;
    ASSERT_EQ(trace.RowCount(), static_cast<int>(history.Size()));
    std::map<std::string, int> notes;
    std::map<std::string, QStringList> firstRow;
    for (int row = 0; row < trace.RowCount(); ++row) {
        const QStringList cells = trace.RowTexts(row);
        const std::string key = (cells[1] + " " + cells[7]).toStdString();
        ++notes[key];
        firstRow.emplace(key, cells);
    }
    // The connection: a request and an answer at least for CONNECT.
    EXPECT_EQ(trace.RowTexts(0).mid(1, 2), (QStringList{"SND", "0x1 CONNECT"}));
    EXPECT_EQ(trace.RowTexts(1).mid(1, 3), (QStringList{"RCV", "0x1 CONNECT", "0x1 SUCCESS"}));
    EXPECT_EQ(notes["SND re-send 2"], 1);
    EXPECT_EQ(firstRow["SND re-send 2"][2], "0x70 CHECK_VOLTAGE");
    EXPECT_EQ(notes["RCV stale: no request was waiting for it; dropped"], 1);
    EXPECT_EQ(firstRow["RCV stale: no request was waiting for it; dropped"][2], "0x43 GET_SECURITY_LEVEL");
    ASSERT_EQ(s.Kind(ETraceKind::Rejected).size(), 1u);
    const STraceRecord& bad = *s.Kind(ETraceKind::Rejected)[0];
    const std::string badNote = "RCV rejected: " +
                                std::string(bad.bad == EBadFrame::DataChecksum ? "bad data checksum" : "bad header checksum") +
                                ", 25 bytes received";
    EXPECT_EQ(notes[badNote], 1) << badNote;
    EXPECT_EQ(notes["SND Minimized"], 1);
    EXPECT_EQ(notes["RCV Minimized"], 1);
    EXPECT_EQ(firstRow["RCV Minimized"][2], "0x62 STATUS");
    // The verification's password is masked in the detail pane.
    int verifyRow = -1;
    for (int row = trace.RowCount(); row-- > 0;)
        if (trace.RowTexts(row)[2] == "0x11 VERIFY" && trace.RowTexts(row)[1] == "SND") verifyRow = row;
    ASSERT_GE(verifyRow, 0);
    ASSERT_TRUE(view.m_PacketTraceDlg.SelectRow(verifyRow));
    EXPECT_TRUE(trace.DetailText().contains("  password: ********\n"));
    EXPECT_FALSE(trace.DetailText().contains("70 77 31"));  // "pw1"

    // The saved text: one line per frame, each kind marked.
    const std::string path = s.Save("session.txt");
    const std::vector<std::string> lines = Lines(ReadFile(path));
    ASSERT_EQ(lines.size(), history.Size() + 1);
    EXPECT_EQ(s.console.Text(IDC_STATUS_LINE).toStdString(),
              "Trace saved: " + std::to_string(history.Size()) + " frames to '" + path + "'.");
    std::map<std::string, int> kinds;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> cells = Split(lines[i], '\t');
        ASSERT_EQ(cells.size(), 11u) << lines[i];
        const STraceRecord& r = history.At(i - 1);
        EXPECT_EQ(cells[0], TraceWallText(r.wallUs));
        EXPECT_EQ(cells[2], r.IsReceived() ? "RCV" : "SND");
        EXPECT_EQ(cells[5], TraceCommandCell(r));
        ++kinds[cells[3] + " " + cells[4]];
        if (cells[5] == "0x11 VERIFY" && cells[2] == "SND") {
            EXPECT_EQ(cells[10], "31000000000000000000" + std::string(32, '*')) << lines[i];
        }
    }
    EXPECT_GE(kinds["REQUEST:1 GENERAL"], 4);
    EXPECT_GE(kinds["ANSWER GENERAL"], 4);
    EXPECT_EQ(kinds["RESEND:2 GENERAL"], 1);
    EXPECT_EQ(kinds["STALE GENERAL"], 1);
    EXPECT_EQ(kinds[std::string("REJECTED:") + TraceBadName(bad.bad) + " GENERAL"], 1);
    EXPECT_EQ(kinds["REQUEST:1 MINIMIZED"], 1);
    EXPECT_EQ(kinds["ANSWER MINIMIZED"], 1);
}

TEST(TraceOverTheLine, SavingAnEmptyTraceOrToAPlaceThatCannotBeWrittenSaysSoAndWritesNothing) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CTempDir files;
    ASSERT_TRUE(console.Choose(ID_FILE_SAVE_TRACE));
    ASSERT_EQ(console.op.boxes.size(), 1u);
    EXPECT_EQ(console.op.boxes[0].text, "The trace holds no frames: there is nothing to save.");
    EXPECT_TRUE(console.op.fileQuestions.empty());
    // One frame (a connection attempt to a line nobody answers).
    ASSERT_TRUE(console.OpenRawLine());
    CAsker asker{console.loop};
    ASSERT_EQ(console.View().Client().Send(asker, req::General(CMD_CONNECT)), ESendResult::Sent);
    const std::string path = files.File("missing/trace.pcapng");
    console.op.fileAnswers.push_back(path);
    ASSERT_TRUE(console.Choose(ID_FILE_SAVE_TRACE));
    ASSERT_EQ(console.op.fileQuestions.size(), 1u);
    EXPECT_EQ(console.op.fileQuestions[0].filter, "Trace text(*.txt)|*.txt|Wireshark capture(*.pcapng)|*.pcapng|");
    ASSERT_EQ(console.op.boxes.size(), 2u);
    EXPECT_EQ(console.op.boxes[1].text, "The trace could not be saved to '" + path + "': No such file or directory.");
    EXPECT_FALSE(FileExists(path));
    // Cancelled: nothing asked further, nothing written.
    console.op.fileAnswers.push_back("");
    ASSERT_TRUE(console.Choose(ID_FILE_SAVE_TRACE));
    EXPECT_EQ(console.op.boxes.size(), 2u);
    // The window's button goes the same way.
    ASSERT_TRUE(console.Choose(ID_VIEW_PACKET_TRACE));
    const std::string saved = files.File("button.pcapng");
    console.op.fileAnswers.push_back(saved);
    ASSERT_TRUE(ClickDlgItem(console.View().m_PacketTraceDlg.Window(), IDC_TRACE_SAVE));
    EXPECT_EQ(ReadFile(saved).substr(0, 4), std::string("\x0a\x0d\x0d\x0a", 4));
}

// tshark reads the saved pcapng through the dissector the build made from
// the catalogue: every packet's direction, command, parameters, result, ID
// and masked password as sent, and the corrupted answer as a checksum error.
TEST(TraceOverTheLine, TsharkReadsTheSavedCaptureWithTheDissector) {
    TraceSession s;
    ASSERT_TRUE(s.Run());
    const std::string path = s.Save("session.pcapng");
    const CTraceHistory& history = s.console.View().m_TraceHistory;
    int status = 0;
    RunCommand("command -v tshark", status);
    ASSERT_EQ(status, 0) << "tshark is not installed (scripts/install-deps installs it)";
    // Its own home, so that no personal settings or plugins take part.
    const std::string command = "HOME='" + s.files.Path() + "' tshark -r '" + path + "' -X lua_script:'" +
                                PRAVIK_DISSECTOR +
                                "' -T fields -E separator='|' -E occurrence=a -E aggregator=',' "
                                "-e frame.packet_flags_direction -e pravik.form -e pravik.command_name "
                                "-e pravik.param1 -e pravik.result_name -e pravik.param2 -e pravik.data_size "
                                "-e pravik.err_code -e pravik.id -e pravik.password -e frame.comment "
                                "-e _ws.expert.message -e pravik.checksum_good 2>&1";
    const std::string out = RunCommand(command, status);
    ASSERT_EQ(status, 0) << out;
    std::vector<std::string> lines;
    for (const std::string& line : Lines(out)) {
        if (line.rfind("Running as user", 0) != 0) lines.push_back(line);  // tshark's note to root
    }
    ASSERT_EQ(lines.size(), history.Size()) << out;
    int rejected = 0, resent = 0, stale = 0, minis = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const STraceRecord& r = history.At(i);
        const std::vector<std::string> f = Split(lines[i], '|');
        ASSERT_EQ(f.size(), 13u) << lines[i];
        SCOPED_TRACE(lines[i]);
        EXPECT_EQ(f[0], r.IsReceived() ? "0x00000001" : "0x00000002");
        EXPECT_EQ(f[1], r.IsMini() ? "Minimized" : "General");
        // The corrupted answer may name no command of the catalogue.
        const SCommandInfo* info = FindCommand(r.form, r.command);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%x", r.command);
        EXPECT_EQ(f[2], info ? info->name : hex);
        const bool result = r.IsReceived() && (r.IsMini() || !info || info->param1 == P1_RESULT);
        std::snprintf(hex, sizeof hex, "0x%08x", r.param1);
        EXPECT_EQ(f[3], result ? "" : hex);  // param1, or the result below
        const char* resultName = ResultName(static_cast<std::int32_t>(r.param1));
        EXPECT_EQ(f[4], result && resultName ? resultName : "");
        std::snprintf(hex, sizeof hex, "0x%08x", r.param2);
        EXPECT_EQ(f[5], hex);
        EXPECT_EQ(f[6], r.IsMini() ? "" : std::to_string(r.dataSize));
        if (info && info->code == CMD_VERIFY && !r.IsReceived() && !r.IsMini()) {
            EXPECT_EQ(f[8], "1");
            EXPECT_EQ(f[9], "********");
        }
        const bool badChecksum = f[11].find("Bad data checksum") != std::string::npos ||
                                 f[11].find("Bad header checksum") != std::string::npos;
        EXPECT_EQ(badChecksum, r.kind == ETraceKind::Rejected);
        EXPECT_EQ(f[12], r.kind == ETraceKind::Rejected ? "0" : "1");  // checksums good
        switch (r.kind) {
            case ETraceKind::Rejected:
                ++rejected;
                EXPECT_EQ(f[10], std::string("REJECTED ") + TraceBadName(r.bad));
                break;
            case ETraceKind::Resend:
                ++resent;
                EXPECT_EQ(f[10], "RESEND 2");
                break;
            case ETraceKind::Stale:
                ++stale;
                EXPECT_EQ(f[10], "STALE");
                break;
            default: EXPECT_EQ(f[10], "");
        }
        minis += r.IsMini();
    }
    EXPECT_EQ(rejected, 1);
    EXPECT_EQ(resent, 1);
    EXPECT_EQ(stale, 1);
    EXPECT_EQ(minis, 2);
}
