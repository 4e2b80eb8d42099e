// The continuous-capture loop: START/STOP, the Success and Fail counters over
// many images with dropped and corrupted answers, STOP with a piece request
// under way, time-outs, checksum errors and the end of the link.
#include <QCoreApplication>

#include "tests/ui/CaptureHelpers.h"
#include "widgets/MsgDlg.h"

using namespace capture_test;

namespace {

// Runs the console until done; when the line goes quiet (a dropped answer),
// moves the virtual clock to the packet manager's re-send.
bool RunUntil(CConsole& console, const std::function<bool()>& done, int quietSteps = 60) {
    for (int step = 0; step < quietSteps; ++step) {
        if (console.WaitFor(done, 150)) return true;
        console.loop.Advance(TIMEOUT_GET_IMAGE);
    }
    return done();
}

int Count(CConsole& console, int id) { return console.Text(id).toInt(); }

void StartLoop(CConsole& console) {
    ASSERT_TRUE(console.Click(IDC_CONTINUOUS));
    ASSERT_TRUE(console.Enabled(IDC_START));
    ASSERT_TRUE(console.Click(IDC_START));
}

}  // namespace

TEST(CaptureLoop, CountsEveryImageOverManyImagesWithDroppedAndCorruptedAnswers) {
    const struct { int board; double drop, corrupt; int images; } cases[] = {
        {BOARD_ZEL12, 0.02, 0.01, 8},
        {BOARD_PELL, 0.005, 0.002, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.board);
        CConsole console;
        ASSERT_TRUE(StartConnected(console, c.board));
        CSimPty& sim = *console.App().Simulator();
        sim.RunLocked([&](CSimModule& m) {
            m.SetFingerDelay(0);
            m.SetDropProbability(c.drop);
            m.SetCorruptProbability(c.corrupt);
            // One of each for certain.
            m.DropNext(1);
        });
        CCaptureFlow& flow = Capture(console);
        StartLoop(console);
        EXPECT_EQ(console.Text(IDC_START), "STOP");
        EXPECT_FALSE(console.Enabled(IDC_CANCEL));
        sim.RunLocked([](CSimModule& m) { m.CorruptNext(1); });
        ASSERT_TRUE(RunUntil(console, [&] { return flow.m_nSuccessCount >= c.images; }));
        // No more faults; once one more image is complete every faulty
        // answer has been dealt with.
        sim.RunLocked([](CSimModule& m) {
            m.SetDropProbability(0);
            m.SetCorruptProbability(0);
        });
        const int before = flow.m_nSuccessCount;
        ASSERT_TRUE(RunUntil(console, [&] { return flow.m_nSuccessCount > before + 1; }));
        ASSERT_TRUE(console.Click(IDC_START));
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Stop! continuous capture");
        EXPECT_EQ(console.Text(IDC_START), "START");
        EXPECT_TRUE(console.Enabled(IDC_CANCEL));
        console.WaitFor([] { return false; }, 200);
        const SimStats stats = sim.Stats();
        EXPECT_GE(stats.dropped, 1u);
        EXPECT_GE(stats.corrupted, 1u);
        // Each corrupted answer is one failed image; a dropped one is re-sent.
        EXPECT_EQ(flow.m_nFailCount, static_cast<int>(stats.corrupted));
        EXPECT_EQ(Count(console, IDC_FAIL_COUNT), flow.m_nFailCount);
        // The Success box shows the count when the next image starts.
        EXPECT_EQ(Count(console, IDC_SUCCESS_COUNT), flow.m_nSuccessCount);
        EXPECT_FALSE(console.View().m_MsgDlg.IsOpen());
        EXPECT_FALSE(Capture(console).IsLooping());
        // The counters stay until the link closes.
        const int success = flow.m_nSuccessCount;
        ASSERT_TRUE(console.Click(IDC_START));
        ASSERT_TRUE(RunUntil(console, [&] { return flow.m_nSuccessCount == success + 1; }));
        ASSERT_TRUE(console.Click(IDC_START));
    }
}

TEST(CaptureLoop, EachCompleteImageClearsThePictureBeforeTheNextOneArrives) {
    CPlayedModule m;
    ASSERT_TRUE(m.Connect(BOARD_ZEL12));
    CCaptureFlow& flow = Capture(m.console);
    StartLoop(m.console);
    EXPECT_EQ(m.console.Text(IDC_STATUS_LINE), "Put your fingertip on the reader");
    EXPECT_EQ(m.console.Text(IDC_SUCCESS_COUNT), "0");
    EXPECT_FALSE(m.console.View().m_WaitDlg.IsOpen());
    QCoreApplication::processEvents();
    for (std::uint32_t p = 0; p < 36; ++p) {
        ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE}, p));
        // Every piece is painted as it arrives.
        QCoreApplication::processEvents();
        const int paints = flow.Picture()->PaintCount();
        m.Piece(CMD_GET_IMAGE, p);
        const std::size_t end = std::min<std::size_t>((p + 1) * 2048, IMAGE_SIZE);
        ASSERT_TRUE(m.Until([&] {
            return p == 35 ? flow.m_nSuccessCount == 1
                           : std::equal(m.image.begin() + p * 2048, m.image.begin() + static_cast<long>(end),
                                        flow.Image().Data() + p * 2048);
        }));
        QCoreApplication::processEvents();
        EXPECT_GT(flow.Picture()->PaintCount(), paints) << "piece " << p;
        if (p == 0) {
            ASSERT_TRUE(m.Until([&] { return flow.Image().Data()[0] == m.image[0]; }));
            EXPECT_EQ(m.console.Text(IDC_STATUS_LINE), "Receiving the image data...");
        }
        if (p == 34) {
            ASSERT_TRUE(m.Until([&] { return flow.Image().Data()[34 * 2048] == m.image[34 * 2048]; }));
            EXPECT_EQ(Shown(flow), Bytes(flow.Image()));
        }
    }
    // The final piece completes the image: counted, cleared, the next asked.
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE}, 0u));
    EXPECT_EQ(flow.m_nSuccessCount, 1);
    EXPECT_EQ(m.console.Text(IDC_SUCCESS_COUNT), "1");
    EXPECT_EQ(Bytes(flow.Image()), std::vector<std::uint8_t>(IMAGE_SIZE, 255));
    EXPECT_EQ(Shown(flow), std::vector<std::uint8_t>(IMAGE_SIZE, 255));
}

TEST(CaptureLoop, StopWithAPieceUnderWayDiscardsItsAnswerAndRequestsNothing) {
    for (int board : {BOARD_ZEL12, BOARD_PELL}) {
        SCOPED_TRACE(board);
        CPlayedModule m;
        ASSERT_TRUE(m.Connect(board));
        const std::uint32_t command = board == BOARD_ZEL12 ? CMD_GET_IMAGE : CMD_GET_IMAGE2;
        const std::size_t pieceSize = board == BOARD_ZEL12 ? IMAGE_PIECE_SIZE : IMAGE2_PIECE_SIZE;
        CCaptureFlow& flow = Capture(m.console);
        StartLoop(m.console);
        ASSERT_EQ(m.Request(), std::make_pair(command, 0u));
        m.Piece(command, 0);
        ASSERT_EQ(m.Request(), std::make_pair(command, 1u));
        CModuleClient& client = m.console.View().Client();
        const std::uint64_t stale = client.StaleAnswers();
        ASSERT_TRUE(m.console.Click(IDC_START));  // STOP
        EXPECT_EQ(client.OpenExchanges(&flow), 0u) << "the piece request is abandoned";
        EXPECT_FALSE(client.IsClaimed());
        m.Piece(command, 1);
        ASSERT_TRUE(m.Until([&] { return client.StaleAnswers() == stale + 1; })) << "its answer is dropped";
        EXPECT_TRUE(m.Quiet());
        // The picture keeps piece 0 only; the counters did not move.
        std::vector<std::uint8_t> expected(IMAGE_SIZE, 255);
        std::copy(m.image.begin(), m.image.begin() + static_cast<long>(pieceSize), expected.begin());
        EXPECT_EQ(Bytes(flow.Image()), expected);
        EXPECT_EQ(flow.m_nSuccessCount, 0);
        EXPECT_EQ(flow.m_nFailCount, 0);
        // The next capture is answered as usual.
        m.console.op.AnswerOk();
        ASSERT_TRUE(m.console.Click(IDC_CAPTURE));
        ASSERT_EQ(m.Request(), std::make_pair(command, 0u));
        m.Piece(command, 0);
        ASSERT_EQ(m.Request(), std::make_pair(command, 1u));
    }
}

TEST(CaptureLoop, StartRightAfterStopTakesTheNewImageAndDiscardsOnlyTheOldAnswer) {
    CPlayedModule m;
    ASSERT_TRUE(m.Connect(BOARD_ZEL12));
    CCaptureFlow& flow = Capture(m.console);
    StartLoop(m.console);
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE}, 0u));
    m.Piece(CMD_GET_IMAGE, 0);
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE}, 1u));
    CModuleClient& client = m.console.View().Client();
    const std::uint64_t stale = client.StaleAnswers();
    ASSERT_TRUE(m.console.Click(IDC_START));  // STOP
    ASSERT_TRUE(m.console.Click(IDC_START));  // START again
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE}, 0u));
    m.Piece(CMD_GET_IMAGE, 1);  // the answer to the abandoned request
    ASSERT_TRUE(m.Until([&] { return client.StaleAnswers() == stale + 1; }));
    EXPECT_TRUE(m.Quiet());
    EXPECT_EQ(flow.Image().Data()[2048], 255);
    m.Piece(CMD_GET_IMAGE, 0);
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE}, 1u));
    EXPECT_TRUE(Capture(m.console).IsLooping());
}

TEST(CaptureLoop, StopAfterTheModuleCancelledDoesNotSwallowTheNextCapture) {
    CPlayedModule m;
    ASSERT_TRUE(m.Connect(BOARD_PELL));
    CCaptureFlow& flow = Capture(m.console);
    StartLoop(m.console);
    ASSERT_EQ(m.Request().first, CMD_GET_IMAGE2);
    m.pty.Answer(CMD_GET_IMAGE2, RES_CANCELED);
    ASSERT_TRUE(m.Until([&] { return m.console.op.boxes.size() == 1; }));
    EXPECT_EQ(m.console.op.boxes[0].text, "Capture image is canceled!!!");
    // The loop waits for STOP: nothing is asked.
    EXPECT_TRUE(m.Quiet());
    ASSERT_TRUE(m.console.Click(IDC_START));
    EXPECT_EQ(m.console.View().Client().OpenExchanges(&flow), 0u);
    m.console.op.AnswerOk();
    ASSERT_TRUE(m.console.Click(IDC_CAPTURE));
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE2}, 0u));
    m.Piece(CMD_GET_IMAGE2, 0);
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE2}, 1u));
}

TEST(CaptureLoop, TimeOutsAndChecksumErrorsCountAsFailuresAndTheLoopGoesOn) {
    CPlayedModule m;
    ASSERT_TRUE(m.Connect(BOARD_PELL));
    CCaptureFlow& flow = Capture(m.console);
    StartLoop(m.console);
    ASSERT_EQ(m.Request().first, CMD_GET_IMAGE2);
    m.pty.Answer(CMD_GET_IMAGE2, RES_TIMEOUT);
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE2}, 0u));
    EXPECT_EQ(m.console.Text(IDC_FAIL_COUNT), "1");
    EXPECT_EQ(m.console.Text(IDC_STATUS_LINE), "Put your fingertip on the reader");
    // A broken answer: the checksum-error prompt is closed at once and counted.
    m.pty.Answer(CMD_GET_IMAGE2, RES_SUCCESS, 0, 0, true);
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE2}, 0u));
    EXPECT_EQ(m.console.Text(IDC_FAIL_COUNT), "2");
    EXPECT_FALSE(m.console.View().m_MsgDlg.IsOpen());
    // With the message prompt already open a checksum error counts nothing.
    m.console.View().ShowPrompt(MSGFORM_WARNING, "Busy.");
    m.pty.Answer(CMD_GET_IMAGE2, RES_SUCCESS, 0, 0, true);
    EXPECT_TRUE(m.Quiet(300));
    EXPECT_EQ(flow.m_nFailCount, 2);
    EXPECT_EQ(m.console.Prompt(), "Busy.");
}

TEST(CaptureLoop, TheCheckBoxEnablesStartAndUntickingItDoesNotStopTheLoop) {
    CPlayedModule m;
    ASSERT_TRUE(m.Connect(BOARD_ZEL12));
    EXPECT_FALSE(m.console.Enabled(IDC_START));
    ASSERT_TRUE(m.console.Click(IDC_CONTINUOUS));
    EXPECT_TRUE(m.console.Enabled(IDC_START));
    ASSERT_TRUE(m.console.Click(IDC_START));
    ASSERT_EQ(m.Request().first, CMD_GET_IMAGE);
    ASSERT_TRUE(m.console.Click(IDC_CONTINUOUS));
    EXPECT_FALSE(m.console.Enabled(IDC_START));
    m.Piece(CMD_GET_IMAGE, 0);
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE}, 1u));
    EXPECT_TRUE(Capture(m.console).IsLooping());
}

// The check box acts by its state, however it changed: a screen reader's
// toggle action or a check set without a click enables START as a click does.
TEST(CaptureLoop, TheCheckBoxEnablesStartWhateverTicksIt) {
    CPlayedModule m;
    ASSERT_TRUE(m.Connect(BOARD_PELL));
    QWidget* box = GetDlgItem(&m.console.View(), IDC_CONTINUOUS);
    ASSERT_TRUE(ToggleByScreenReader(box));
    EXPECT_TRUE(IsDlgButtonChecked(&m.console.View(), IDC_CONTINUOUS));
    EXPECT_TRUE(m.console.Enabled(IDC_START));
    ASSERT_TRUE(ToggleByScreenReader(box));
    EXPECT_FALSE(m.console.Enabled(IDC_START));
    CheckDlgButton(&m.console.View(), IDC_CONTINUOUS, true);
    EXPECT_TRUE(m.console.Enabled(IDC_START));
    ASSERT_TRUE(m.console.Click(IDC_START));
    ASSERT_EQ(m.Request().first, CMD_GET_IMAGE2);
}

TEST(CaptureLoop, ClosingTheLinkEndsTheLoopAndResetsItsCounters) {
    CPlayedModule m;
    ASSERT_TRUE(m.Connect(BOARD_PELL));
    CCaptureFlow& flow = Capture(m.console);
    StartLoop(m.console);
    ASSERT_EQ(m.Request().first, CMD_GET_IMAGE2);
    m.pty.Answer(CMD_GET_IMAGE2, RES_TIMEOUT);
    ASSERT_EQ(m.Request().first, CMD_GET_IMAGE2);
    ASSERT_EQ(flow.m_nFailCount, 1);
    ASSERT_TRUE(m.console.Click(IDC_CONNECT));  // DISCONNECT
    EXPECT_FALSE(Capture(m.console).IsLooping());
    EXPECT_EQ(flow.m_nFailCount, 0);
    EXPECT_EQ(flow.m_nSuccessCount, 0);
    EXPECT_EQ(m.console.View().Client().OpenExchanges(), 0u);
    EXPECT_FALSE(m.console.View().Client().IsClaimed());
    EXPECT_EQ(m.console.Text(IDC_START), "START");
    EXPECT_FALSE(m.console.Enabled(IDC_START));
    EXPECT_FALSE(IsDlgButtonChecked(&m.console.View(), IDC_CONTINUOUS));
}

// With the loop waiting for a finger (piece 0 asked), STOP then START (or
// STOP then a single CAPTURE): the module drops the waiting scan and answers
// only the new request. That one answer is the new request's: the capture
// goes on, it does not stall with the button on STOP.
TEST(CaptureLoop, StopThenStartWhileWaitingForAFingerTakesTheOnlyAnswerForTheNewRequest) {
    for (int board : {BOARD_ZEL12, BOARD_PELL}) {
        for (bool single : {false, true}) {
            SCOPED_TRACE(testing::Message() << board << (single ? " then CAPTURE" : " then START"));
            CPlayedModule m;
            ASSERT_TRUE(m.Connect(board));
            const std::uint32_t command = board == BOARD_ZEL12 ? CMD_GET_IMAGE : CMD_GET_IMAGE2;
            StartLoop(m.console);
            ASSERT_EQ(m.Request(), std::make_pair(command, 0u));
            ASSERT_TRUE(m.console.Click(IDC_START));  // STOP
            if (single) {
                m.console.op.AnswerOk();  // the capture prompt of the other boards
                ASSERT_TRUE(m.console.Click(IDC_CAPTURE));
            } else {
                ASSERT_TRUE(m.console.Click(IDC_START));
            }
            ASSERT_EQ(m.Request(), std::make_pair(command, 0u));
            m.Piece(command, 0);  // the one answer
            ASSERT_EQ(m.Request(), std::make_pair(command, 1u));
            m.Piece(command, 1);
            ASSERT_EQ(m.Request(), std::make_pair(command, 2u));
            EXPECT_EQ(m.console.View().Client().StaleAnswers(), 0u);
        }
    }
}

// The answer to a piece the console asked for again after a time-out comes
// twice. The second is stale: it does not end the next piece's exchange, so
// when that piece's answer is lost the guard still asks again.
TEST(CaptureLoop, ALateDuplicatePieceAnswerDoesNotStopTheNextPiecesGuard) {
    CPlayedModule m;
    ASSERT_TRUE(m.Connect(BOARD_PELL));
    StartLoop(m.console);
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE2}, 0u));
    m.Piece(CMD_GET_IMAGE2, 0);
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE2}, 1u));
    m.console.loop.Advance(TIMEOUT_GET_IMAGE2);  // piece 1 answered slowly: asked again
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE2}, 1u));
    m.Piece(CMD_GET_IMAGE2, 1);
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE2}, 2u));
    CModuleClient& client = m.console.View().Client();
    m.Piece(CMD_GET_IMAGE2, 1);  // the duplicate
    ASSERT_TRUE(m.Until([&] { return client.StaleAnswers() == 1; }));
    EXPECT_TRUE(m.Quiet()) << "no second request chain";
    // Piece 2's answer is lost: its guard asks again.
    m.console.loop.Advance(TIMEOUT_GET_IMAGE2);
    ASSERT_EQ(m.Request(), std::make_pair(std::uint32_t{CMD_GET_IMAGE2}, 2u));
}
