// Minutiae: GET MINUTIAE saving the record through the save dialog, INSTANT
// MATCHING sending a saved record, every row of both answers, the refused
// files and answers, and a record from the simulated module sent back to it
// byte for byte.
#include <sys/stat.h>
#include <unistd.h>


#include "console/MinutiaeFlow.h"
#include "sim/SimImage.h"
#include "sim/SimPty.h"
#include "tests/ui/ConsoleFixture.h"
#include "tests/ui/FlowRequests.h"

using namespace console_test;
using namespace flow_test;

namespace {

constexpr int NOTHING = -1;
const char kBefore[] = "before";

// A record whose every byte differs from its neighbours, zeros included.
std::vector<std::uint8_t> MinutiaeRecord(std::size_t size = MINUTIAE_SIZE) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 13);
    if (size > 12) {
        bytes[10] = 0;
        bytes[11] = '\n';
        bytes[12] = '\r';
    }
    return bytes;
}
std::string AsString(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

struct CMinutiaeConsole {
    CConsole console;
    CTempDir dir;
    std::unique_ptr<CRequestLog> log;
    CMinutiaeConsole() {
        EXPECT_TRUE(console.Start());
        EXPECT_TRUE(console.OpenRawLine());
        log = std::make_unique<CRequestLog>(View());
        View().SetStatusText(kBefore);
    }
    CPravikView& View() { return console.View(); }
    CScriptedUiOperator& Op() { return console.op; }
    // The answer to command (asked for first when nothing asked).
    void Answer(std::uint32_t command, std::int32_t result, const std::vector<std::uint8_t>& data = {}) {
        Deliver(console, FLOW_MINUTIAE, command, static_cast<std::uint32_t>(result), 0, data);
    }
};

struct SAnswerCase {
    std::int32_t code;
    const char* prompt;  // nullptr: no prompt
    int form;
    const char* status;
};

}  // namespace

// ------------------------------------------------------------ the answers

TEST(MinutiaeAnswers, EveryRowOfTheInstantMatchingAnswer) {
    const SAnswerCase cases[] = {
        {RES_SUCCESS, "Instant matching is succeeded.", MSGFORM_SUCCESS, "Instant matching is succeeded."},
        {RES_FAIL, "Instant matching is failed.", MSGFORM_WARNING, "Instant matching is failed."},
        {RES_TIMEOUT, "Time out!!!", MSGFORM_WARNING, "Time out!!!"},
        {RES_INVALID_PARAM, "Invalid parameter!!!", MSGFORM_WARNING, "Invalid parameter!!!"},
        {RES_CANCELED, "Instant matching is canceled.", MSGFORM_WARNING, "Instant matching is canceled."},
        {RES_NO_MASTER_MODE, nullptr, NOTHING, kBefore},
        {RES_ANOTHER_FINGER, nullptr, NOTHING, kBefore},
        {0, nullptr, NOTHING, kBefore},
    };
    CMinutiaeConsole c;
    for (const auto& row : cases) {
        SCOPED_TRACE(row.code);
        c.console.ClosePrompt();
        c.View().SetStatusText(kBefore);
        Ask(c.console, FLOW_MINUTIAE, req::General(CMD_INSTANT_MATCH));
        c.log->Take();
        c.Answer(CMD_INSTANT_MATCH, row.code);
        EXPECT_EQ(c.console.Prompt(), row.prompt ? row.prompt : "");
        if (row.prompt) {
            EXPECT_EQ(c.console.PromptForm(), row.form);
        }
        EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), row.status);
    }
    EXPECT_TRUE(c.log->Take().empty());
}

TEST(MinutiaeAnswers, EveryFailureRowOfTheGetMinutiaeAnswerAndNoSaveDialog) {
    const SAnswerCase cases[] = {
        {RES_FAIL, "To get minutiae is failed.", MSGFORM_WARNING, "To get minutiae is failed."},
        {RES_TIMEOUT, "Time out!!!", MSGFORM_WARNING, "Time out!!!"},
        {RES_CANCELED, "Get minutiae is canceled.", MSGFORM_WARNING, "Get minutiae is canceled."},
        // Unlike instant matching, no row for an invalid parameter.
        {RES_INVALID_PARAM, nullptr, NOTHING, kBefore},
        {RES_NO_MASTER_MODE, nullptr, NOTHING, kBefore},
        {0, nullptr, NOTHING, kBefore},
    };
    CMinutiaeConsole c;
    for (const auto& row : cases) {
        SCOPED_TRACE(row.code);
        c.console.ClosePrompt();
        c.View().SetStatusText(kBefore);
        c.Answer(CMD_GET_MINUTIAE, row.code, MinutiaeRecord());
        EXPECT_EQ(c.console.Prompt(), row.prompt ? row.prompt : "");
        if (row.prompt) {
            EXPECT_EQ(c.console.PromptForm(), row.form);
        }
        EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), row.status);
    }
    EXPECT_TRUE(c.Op().fileQuestions.empty());
}

// ------------------------------------------------------------ GET MINUTIAE

TEST(GetMinutiae, TheButtonSendsTheRequestAndShowsNothing) {
    CMinutiaeConsole c;
    c.View().SetLayout(LAYOUT_CONNECTED);
    ASSERT_TRUE(c.console.Click(IDC_GET_MINUTIAE));
    const auto sent = c.log->Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].command, CMD_GET_MINUTIAE);
    EXPECT_EQ(sent[0].param1, 0u);
    EXPECT_TRUE(sent[0].data.empty());
    EXPECT_EQ(c.console.Prompt(), "");
    EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), kBefore);
}

TEST(GetMinutiae, SavesExactlyTheRecordReplacingAFileAndNamesTheFullPath) {
    CMinutiaeConsole c;
    const std::string path = c.dir.File("finger.min");
    WriteFile(path, std::string(1000, 'x'));  // replaced without a question
    c.Op().fileAnswers.push_back(path);
    std::vector<std::uint8_t> data = MinutiaeRecord(MINUTIAE_SIZE + 20);  // only the record is written
    c.Answer(CMD_GET_MINUTIAE, RES_SUCCESS, data);
    ASSERT_EQ(c.Op().fileQuestions.size(), 1u);
    EXPECT_TRUE(c.Op().fileQuestions[0].save);
    EXPECT_EQ(c.Op().fileQuestions[0].filter, "MIN files(*.min)|*.min|All files|*.*|");
    EXPECT_EQ(c.Op().fileQuestions[0].defExt, "*.MIN");
    EXPECT_EQ(c.Op().fileQuestions[0].defaultSuffix, "MIN");
    // The save dialog asks no overwrite question.
    EXPECT_FALSE(c.Op().fileQuestions[0].overwritePrompt);
    EXPECT_FALSE(c.Op().fileQuestions[0].existingOnly);
    EXPECT_TRUE(c.Op().boxes.empty());
    data.resize(MINUTIAE_SIZE);
    EXPECT_EQ(ReadFile(path), AsString(data));
    EXPECT_EQ(c.console.Prompt(), QString::fromStdString("The minutiae was saved as " + path + "."));
    EXPECT_EQ(c.console.PromptForm(), MSGFORM_SUCCESS);
    EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), kBefore);
}

TEST(GetMinutiae, CancelInTheSaveDialogWritesAndShowsNothing) {
    CMinutiaeConsole c;
    c.Answer(CMD_GET_MINUTIAE, RES_SUCCESS, MinutiaeRecord());
    EXPECT_EQ(c.Op().fileQuestions.size(), 1u);
    EXPECT_EQ(c.console.Prompt(), "");
    EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), kBefore);
    EXPECT_TRUE(std::filesystem::is_empty(c.dir.Path()));
}

TEST(GetMinutiae, AShortAnswerIsReportedAndNothingIsAskedOrWritten) {
    for (std::size_t size : {0u, 1u, 399u}) {
        SCOPED_TRACE(size);
        CMinutiaeConsole c;
        c.Op().fileAnswers.push_back(c.dir.File("short.min"));
        c.Answer(CMD_GET_MINUTIAE, RES_SUCCESS, MinutiaeRecord(size));
        EXPECT_TRUE(c.Op().fileQuestions.empty());
        EXPECT_FALSE(FileExists(c.dir.File("short.min")));
        EXPECT_EQ(c.console.Prompt(), "The minutiae is incomplete.");
        EXPECT_EQ(c.console.PromptForm(), MSGFORM_WARNING);
        EXPECT_EQ(c.console.Text(IDC_STATUS_LINE),
                  QString("The minutiae is incomplete: %1 of 400 bytes received; nothing was saved.").arg(size));
    }
}

TEST(GetMinutiae, AFileThatCannotBeCreatedIsReportedAndNothingIsWritten) {
    CMinutiaeConsole c;
    const std::string missing = c.dir.File("no/such/folder/a.min");
    c.Op().fileAnswers.push_back(missing);
    c.Answer(CMD_GET_MINUTIAE, RES_SUCCESS, MinutiaeRecord());
    EXPECT_FALSE(FileExists(missing));
    EXPECT_EQ(c.console.Prompt(), "The minutiae could not be saved.");
    EXPECT_EQ(c.console.PromptForm(), MSGFORM_WARNING);
    EXPECT_TRUE(c.console.Text(IDC_STATUS_LINE).startsWith(
        QString::fromStdString("The minutiae could not be saved as " + missing + ": ")));

    // A save that fails part-way (the disk fills) keeps the file it was to
    // replace, and leaves no temporary file behind.
    c.console.ClosePrompt();
    const std::string earlier = c.dir.File("earlier.min");
    WriteFile(earlier, "an earlier finger");
    c.Op().fileAnswers.push_back(earlier);
    {
        CFileSizeLimit limit(100);
        c.Answer(CMD_GET_MINUTIAE, RES_SUCCESS, MinutiaeRecord());
    }
    EXPECT_EQ(c.console.Prompt(), "The minutiae could not be saved.");
    EXPECT_EQ(c.console.Text(IDC_STATUS_LINE).toStdString(),
              "The minutiae could not be saved as " + earlier + ": File too large");
    EXPECT_EQ(ReadFile(earlier), "an earlier finger");
    EXPECT_EQ(FolderEntries(c.dir.Path()), std::vector<std::string>{"earlier.min"});

    // A folder of that name is not replaced by a file.
    c.console.ClosePrompt();
    const std::string folder = c.dir.File("taken.min");
    std::filesystem::create_directory(folder);
    c.Op().fileAnswers.push_back(folder);
    c.Answer(CMD_GET_MINUTIAE, RES_SUCCESS, MinutiaeRecord());
    EXPECT_EQ(c.console.Prompt(), "The minutiae could not be saved.");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// -------------------------------------------------------- INSTANT MATCHING

TEST(InstantMatching, SendsTheFirstRecordOfTheChosenFileUnchanged) {
    for (std::size_t size : {400u, 500u}) {
        SCOPED_TRACE(size);
        CMinutiaeConsole c;
        c.View().SetLayout(LAYOUT_CONNECTED);
        const std::string path = c.dir.File("match.MIN");
        std::vector<std::uint8_t> bytes = MinutiaeRecord(size);
        WriteFile(path, AsString(bytes));
        c.Op().fileAnswers.push_back(path);
        ASSERT_TRUE(c.console.Click(IDC_INSTANT_MATCHING));
        ASSERT_EQ(c.Op().fileQuestions.size(), 1u);
        EXPECT_FALSE(c.Op().fileQuestions[0].save);
        EXPECT_TRUE(c.Op().fileQuestions[0].existingOnly);
        EXPECT_EQ(c.Op().fileQuestions[0].filter, "MIN files(*.min)|*.min|All files|*.*|");
        EXPECT_EQ(c.Op().fileQuestions[0].defExt, "*.MIN");
        const auto sent = c.log->Take();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].command, CMD_INSTANT_MATCH);
        EXPECT_EQ(sent[0].param1, 0u);
        EXPECT_EQ(sent[0].param2, 0u);
        bytes.resize(MINUTIAE_SIZE);
        EXPECT_EQ(sent[0].data, bytes);
        EXPECT_EQ(c.console.Prompt(), "");
        EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), kBefore);
    }
}

TEST(InstantMatching, CancelAShortFileOrAnUnreadableOneSendsNothing) {
    // Only a regular file is read: an endless device or a named pipe with no
    // writer would hold the console up.
    enum { NO_FILE = -1, FOLDER = -2, PIPE = -3, DEVICE = -4 };
    struct SCase {
        const char* name;
        int size;
        const char* prompt;
        const char* status;  // the whole status line; a "%1" stands for the path
    } cases[] = {
        {nullptr, 0, "", kBefore},  // Cancel
        {"short.min", 399, "The minutiae file is too short.",
         "The minutiae file is too short: %1 holds 399 of 400 bytes; nothing was sent."},
        {"empty.min", 0, "The minutiae file is too short.",
         "The minutiae file is too short: %1 holds 0 of 400 bytes; nothing was sent."},
        // A name that holds "%1" and "%2" is shown as it is.
        {"50%1 of %2.min", 12, "The minutiae file is too short.",
         "The minutiae file is too short: %1 holds 12 of 400 bytes; nothing was sent."},
        {"gone.min", NO_FILE, "The minutiae file could not be opened.",
         "The minutiae file could not be opened: %1: No such file or directory"},
        {"folder.min", FOLDER, "The minutiae file could not be opened.",
         "The minutiae file could not be opened: %1: it is a folder"},
        {"pipe.min", PIPE, "The minutiae file could not be opened.",
         "The minutiae file could not be opened: %1: it is a named pipe"},
        {"/dev/zero", DEVICE, "The minutiae file could not be opened.",
         "The minutiae file could not be opened: %1: it is a device"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name ? row.name : "cancel");
        CMinutiaeConsole c;
        c.View().SetLayout(LAYOUT_CONNECTED);
        std::string path;
        if (row.name) {
            path = row.size == DEVICE ? row.name : c.dir.File(row.name);
            if (row.size >= 0) WriteFile(path, AsString(MinutiaeRecord(static_cast<std::size_t>(row.size))));
            if (row.size == FOLDER) std::filesystem::create_directory(path);
            if (row.size == PIPE) {
                ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
            }
            c.Op().fileAnswers.push_back(path);
        }
        ASSERT_TRUE(c.console.Click(IDC_INSTANT_MATCHING));
        EXPECT_TRUE(c.log->Take().empty());
        EXPECT_EQ(c.console.Prompt(), row.prompt);
        EXPECT_EQ(c.console.Text(IDC_STATUS_LINE).toStdString(),
                  QString(row.status).replace("%1", QString::fromStdString(path)).toStdString());
    }
}

// The size of a file comes from its metadata: of an eight-gigabyte file
// (sparse, made by truncate) only the first record is read and sent.
TEST(InstantMatching, AHugeFileIsNotReadBeyondItsFirstRecord) {
    CMinutiaeConsole c;
    c.View().SetLayout(LAYOUT_CONNECTED);
    const std::string path = c.dir.File("huge.min");
    std::vector<std::uint8_t> bytes = MinutiaeRecord(MINUTIAE_SIZE);
    WriteFile(path, AsString(bytes));
    ASSERT_EQ(truncate(path.c_str(), 8ll << 30), 0);
    c.Op().fileAnswers.push_back(path);
    ASSERT_TRUE(c.console.Click(IDC_INSTANT_MATCHING));
    const auto sent = c.log->Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data, bytes);
}

// ------------------------------------------------- against the simulated module

TEST(MinutiaeWithSimulator, ARecordSavedByGetMinutiaeIsSentBackByteForByteAndMatches) {
    CConsole console;
    CTempDir dir;
    ASSERT_TRUE(StartConnected(console, BOARD_ZEL12));
    CRequestLog log(console.View());
    const std::string path = dir.File("live.min");

    console.op.fileAnswers.push_back(path);
    ASSERT_TRUE(console.Click(IDC_GET_MINUTIAE));
    ASSERT_TRUE(console.WaitFor([&] { return !console.Prompt().isEmpty(); }, 5000));
    EXPECT_EQ(console.Prompt(), QString::fromStdString("The minutiae was saved as " + path + "."));
    const std::vector<std::uint8_t> delivered = SimFingerMinutiae(1);
    ASSERT_EQ(delivered.size(), static_cast<std::size_t>(MINUTIAE_SIZE));
    EXPECT_EQ(ReadFile(path), AsString(delivered));
    console.ClosePrompt();
    log.Take();

    // The module answers success only when what it received is its own record of the finger.
    console.op.fileAnswers.push_back(path);
    ASSERT_TRUE(console.Click(IDC_INSTANT_MATCHING));
    const auto sent = log.Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data, delivered);
    ASSERT_TRUE(console.WaitFor([&] { return !console.Prompt().isEmpty(); }, 5000));
    EXPECT_EQ(console.Prompt(), "Instant matching is succeeded.");
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Instant matching is succeeded.");
    console.ClosePrompt();

    // Another finger on the sensor does not match the saved record.
    console.App().Simulator()->SetFinger(2);
    console.op.fileAnswers.push_back(path);
    ASSERT_TRUE(console.Click(IDC_INSTANT_MATCHING));
    ASSERT_TRUE(console.WaitFor([&] { return !console.Prompt().isEmpty(); }, 5000));
    EXPECT_EQ(console.Prompt(), "Instant matching is failed.");
}
