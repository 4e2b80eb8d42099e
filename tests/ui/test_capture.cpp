// Single captures by both methods against the simulated module over a
// pseudo-terminal, and the answers of a module the test plays: prompts,
// texts, pieces past the end, late duplicates.
#include "tests/ui/CaptureHelpers.h"
#include "widgets/WaitDlg.h"

using namespace capture_test;

namespace {

bool StartWithSimulator(CConsole& console, int board) {
    if (!StartConnected(console, board)) return false;
    console.App().Simulator()->RunLocked([](CSimModule& m) { m.SetFingerDelay(0); });
    return true;
}

}  // namespace

TEST(CaptureSim, Zel12ReassemblesTheImageFromPiecesOf2048BehindTheWaitingPrompt) {
    CConsole console;
    ASSERT_TRUE(StartWithSimulator(console, BOARD_ZEL12));
    CCaptureFlow& flow = Capture(console);
    CWaitDlg& wait = console.View().m_WaitDlg;
    ASSERT_TRUE(console.Click(IDC_CAPTURE));
    EXPECT_TRUE(wait.IsOpen());
    EXPECT_EQ(wait.Message(), "Put your fingertip on the reader...");
    EXPECT_EQ(wait.Mode(), WAITMODE_FINGER);
    EXPECT_FALSE(console.View().isEnabled());
    // The final piece (35, 736 bytes) closes the prompt.
    ASSERT_TRUE(console.WaitFor([&] { return !wait.IsOpen(); }, 5000));
    EXPECT_EQ(wait.Message(), "Receiving the image data...");
    EXPECT_EQ(wait.Mode(), WAITMODE_TRANSFER);
    const std::vector<std::uint8_t> expected = SimFingerImage(1);
    EXPECT_EQ(Bytes(flow.Image()), expected);
    EXPECT_EQ(Shown(flow), expected);
    EXPECT_TRUE(console.View().isEnabled());
    // 36 requests: pieces 0 to 35, nothing after the last.
    EXPECT_EQ(console.App().Simulator()->Stats().requests, 3u + 36u);
    EXPECT_FALSE(console.View().m_MsgDlg.IsOpen());
}

TEST(CaptureSim, OtherBoardsReassembleFromPiecesOf512AfterTheCapturePrompt) {
    for (int board : {BOARD_PELL, BOARD_QOR10_LV}) {
        SCOPED_TRACE(board);
        CConsole console;
        ASSERT_TRUE(StartWithSimulator(console, board));
        console.App().Simulator()->SetFinger(3);
        CCaptureFlow& flow = Capture(console);
        console.op.AnswerOk();
        ASSERT_TRUE(console.Click(IDC_CAPTURE));
        EXPECT_EQ(console.op.dialogTitles.value(0), "Waiting");
        const std::vector<std::uint8_t> expected = SimFingerImage(3);
        ASSERT_TRUE(console.WaitFor([&] { return Bytes(flow.Image()) == expected; }, 5000));
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Capture2 : Receiving the image data");
        EXPECT_EQ(Shown(flow), expected);
        EXPECT_FALSE(console.View().m_WaitDlg.IsOpen());
        // 142 requests (pieces 0 to 141) after connect, information and version.
        console.WaitFor([] { return false; }, 100);
        EXPECT_EQ(console.App().Simulator()->Stats().requests, 3u + 142u);
    }
}

TEST(CaptureSim, CancellingTheCapturePromptSendsNothing) {
    CConsole console;
    ASSERT_TRUE(StartWithSimulator(console, BOARD_PELL));
    console.op.AnswerCancel();
    ASSERT_TRUE(console.Click(IDC_CAPTURE));
    console.WaitFor([] { return false; }, 200);
    EXPECT_EQ(console.App().Simulator()->Stats().requests, 3u);
    EXPECT_EQ(Bytes(Capture(console).Image()), std::vector<std::uint8_t>(IMAGE_SIZE, 255));
}

TEST(CaptureSim, ASingleCaptureOverwritesTheOldImageInPlace) {
    CConsole console;
    ASSERT_TRUE(StartWithSimulator(console, BOARD_ZEL12));
    CCaptureFlow& flow = Capture(console);
    CWaitDlg& wait = console.View().m_WaitDlg;
    for (int finger : {4, 5}) {
        console.App().Simulator()->SetFinger(finger);
        ASSERT_TRUE(console.Click(IDC_CAPTURE));
        ASSERT_TRUE(console.WaitFor([&] { return !wait.IsOpen(); }, 5000));
        EXPECT_EQ(Bytes(flow.Image()), SimFingerImage(finger));
    }
}

// ---------------------------------------------- a module the test plays

TEST(CapturePlayed, ClosingTheWaitingPromptEndsAZel12CaptureAfterTheNextAnswer) {
    CPlayedModule m;
    ASSERT_TRUE(m.Connect(BOARD_ZEL12));
    CCaptureFlow& flow = Capture(m.console);
    ASSERT_TRUE(m.console.Click(IDC_CAPTURE));
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE}, 0u));
    m.Piece(CMD_GET_IMAGE, 0);
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE}, 1u));
    m.console.View().m_WaitDlg.Close();  // the operator's CANCEL
    m.Piece(CMD_GET_IMAGE, 1);
    ASSERT_TRUE(m.Until([&] { return flow.Image().Data()[2048] == m.image[2048]; }));
    EXPECT_TRUE(m.Quiet());
    EXPECT_TRUE(std::equal(m.image.begin(), m.image.begin() + 4096, flow.Image().Data()));
    EXPECT_EQ(flow.Image().Data()[4096], 255);
}

TEST(CapturePlayed, ModuleTimeOutsShowTheirTexts) {
    const struct { int board; std::uint32_t command; const char* prompt; const char* status; } cases[] = {
        {BOARD_ZEL12, CMD_GET_IMAGE, "To get a finperprint image failed. (Not in time)",
         "To get a fingerprint image failed. (Not in time)"},
        {BOARD_PELL, CMD_GET_IMAGE2, "", "To get a fingerprint image is failed. (Not in time)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.board);
        CPlayedModule m;
        ASSERT_TRUE(m.Connect(c.board));
        m.console.op.AnswerOk();
        ASSERT_TRUE(m.console.Click(IDC_CAPTURE));
        ASSERT_EQ(m.Request().first, c.command);
        m.pty.Answer(c.command, RES_TIMEOUT);
        ASSERT_TRUE(m.Until([&] { return m.console.Text(IDC_STATUS_LINE) == c.status; }));
        EXPECT_EQ(m.console.Prompt(), c.prompt);
        if (*c.prompt) {
            EXPECT_EQ(m.console.PromptForm(), MSGFORM_WARNING);
        }
        EXPECT_FALSE(m.console.View().m_WaitDlg.IsOpen());
        EXPECT_TRUE(m.Quiet());
    }
}

TEST(CapturePlayed, CancelTextsOfTheSecondMethod) {
    CPlayedModule m;
    ASSERT_TRUE(m.Connect(BOARD_PELL));
    // The module cancels the capture.
    m.console.op.AnswerOk();
    ASSERT_TRUE(m.console.Click(IDC_CAPTURE));
    ASSERT_EQ(m.Request().first, CMD_GET_IMAGE2);
    m.pty.Answer(CMD_GET_IMAGE2, RES_CANCELED);
    ASSERT_TRUE(m.Until([&] { return m.console.op.boxes.size() == 1; }));
    EXPECT_EQ(m.console.op.boxes[0].text, "Capture image is canceled!!!");
    EXPECT_EQ(m.console.Text(IDC_STATUS_LINE), "Capture image is canceled!!!");
    // CANCEL pressed during a capture: the next piece answer stops it.
    m.console.op.AnswerOk();
    ASSERT_TRUE(m.console.Click(IDC_CAPTURE));
    ASSERT_EQ(m.Request().first, CMD_GET_IMAGE2);
    ASSERT_TRUE(m.console.Click(IDC_CANCEL));
    ASSERT_EQ(m.Request().first, CMD_CANCEL) << "CANCEL goes out while the capture owns the link";
    m.Piece(CMD_GET_IMAGE2, 0);
    ASSERT_TRUE(m.Until([&] { return m.console.op.boxes.size() == 2; }));
    EXPECT_EQ(m.console.op.boxes[1].text, "Capture image is canceled");
    EXPECT_EQ(m.console.Text(IDC_STATUS_LINE), "Capture image is canceled");
    EXPECT_TRUE(m.Quiet());
    EXPECT_EQ(Capture(m.console).Image().Data()[0], 255);
    EXPECT_FALSE(m.console.View().Client().IsClaimed()) << "the capture is over";
    // The next capture is not stopped by that CANCEL.
    m.console.op.AnswerOk();
    ASSERT_TRUE(m.console.Click(IDC_CAPTURE));
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE2}, 0u));
    m.Piece(CMD_GET_IMAGE2, 0);
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE2}, 1u));
}

TEST(CapturePlayed, PiecesThatWouldReachPastTheImageAreDroppedAndEndTheCapture) {
    const struct { int board; std::uint32_t command; bool fullLastPiece; std::uint32_t last; std::size_t requests;
                   std::size_t whiteFrom; } cases[] = {
        // Piece 35 of 2048 bytes would end 1312 bytes past the image.
        {BOARD_ZEL12, CMD_GET_IMAGE, true, 0, 36, 35 * IMAGE_PIECE_SIZE},
        // Piece 141 of 512 bytes instead of 224.
        {BOARD_PELL, CMD_GET_IMAGE2, true, 141, 142, 141 * IMAGE2_PIECE_SIZE},
        // A last index of 200: piece 142 starts past the image.
        {BOARD_PELL, CMD_GET_IMAGE2, false, 200, 143, IMAGE_SIZE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.requests);
        CPlayedModule m;
        ASSERT_TRUE(m.Connect(c.board));
        CCaptureFlow& flow = Capture(m.console);
        m.console.op.AnswerOk();
        ASSERT_TRUE(m.console.Click(IDC_CAPTURE));
        const std::size_t pieceSize = c.command == CMD_GET_IMAGE ? IMAGE_PIECE_SIZE : IMAGE2_PIECE_SIZE;
        std::vector<std::uint8_t> source = m.image;
        source.resize(IMAGE_SIZE + 4096, 0);
        std::size_t requests = 0;
        for (;;) {
            const auto [command, piece] = m.Request();
            if (command == 0) break;
            ASSERT_EQ(command, c.command);
            ASSERT_EQ(piece, requests);
            ++requests;
            const std::size_t offset = piece * pieceSize;
            std::size_t n = pieceSize;
            if (!c.fullLastPiece && offset < IMAGE_SIZE) n = std::min(pieceSize, IMAGE_SIZE - offset);
            const std::uint32_t param2 = c.command == CMD_GET_IMAGE ? piece : (piece << 8 | c.last);
            AnswerWithData(m.pty, command, RES_SUCCESS, param2, source.data() + offset, n);
            if (offset + n > IMAGE_SIZE) break;
        }
        ASSERT_TRUE(m.Until([&] { return m.console.Text(IDC_STATUS_LINE).contains("does not fit"); }));
        EXPECT_TRUE(m.Quiet());
        EXPECT_EQ(requests, c.requests);
        EXPECT_EQ(m.console.Text(IDC_STATUS_LINE),
                  QString::asprintf("Image piece %zu does not fit in the image: the capture is ended.", requests - 1));
        std::vector<std::uint8_t> expected = m.image;
        std::fill(expected.begin() + static_cast<long>(c.whiteFrom), expected.end(), 255);
        EXPECT_EQ(Bytes(flow.Image()), expected);
        EXPECT_FALSE(m.console.View().m_WaitDlg.IsOpen());
    }
}

TEST(CapturePlayed, ALateDuplicateAnswerStartsNoSecondChainOfRequests) {
    CPlayedModule m;
    ASSERT_TRUE(m.Connect(BOARD_PELL));
    CCaptureFlow& flow = Capture(m.console);
    m.console.op.AnswerOk();
    ASSERT_TRUE(m.console.Click(IDC_CAPTURE));
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE2}, 0u));
    m.Piece(CMD_GET_IMAGE2, 0);
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE2}, 1u));
    // Piece 0 answered twice (its first answer was slow and the request re-sent).
    m.Piece(CMD_GET_IMAGE2, 0);
    EXPECT_TRUE(m.Quiet());
    m.Piece(CMD_GET_IMAGE2, 1);
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE2}, 2u));
    EXPECT_TRUE(m.Quiet());
    EXPECT_TRUE(std::equal(m.image.begin(), m.image.begin() + 1024, flow.Image().Data()));
}
