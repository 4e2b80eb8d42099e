// Scans of the simulated module: enrolment in its three forms, verification,
// identification, minutiae, images, cancel and status.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "sim/ModelHarness.h"
#include "sim/SimImage.h"

namespace {

constexpr std::uint32_t OK = RES_SUCCESS;

TEST(SimEnroll, ZelFormTwoScansAndTheCount) {
    SimOptions o = FastOptions();
    o.fingerDelayMs = 300;
    CModelHarness h(o);
    h.EnterMasterFresh();
    ASSERT_TRUE(h.module.AddRecord({"old", 9, false, ""}));
    h.Send(CMD_ENROLL, 0, 0, IdField("7"));
    EXPECT_TRUE(h.answers.empty()) << "the answer waits for the finger delay";
    EXPECT_TRUE(h.module.IsBusy());
    h.Send(CMD_STATUS);
    ASSERT_EQ(h.answers.size(), 1u);
    EXPECT_EQ(h.Take().Param2(), 1u) << "busy while scanning";
    h.clock.Advance(299);
    EXPECT_TRUE(h.answers.empty());
    h.clock.Advance(1);
    ASSERT_EQ(h.answers.size(), 1u);
    SSimAnswer first = h.Take();
    EXPECT_EQ(first.Command(), CMD_ENROLL);
    EXPECT_EQ(first.Result(), OK);
    EXPECT_EQ(h.Ask(CMD_STATUS).Param2(), 0u);

    SSimAnswer second = h.Ask(CMD_ENROLL2, 0);
    EXPECT_EQ(second.Result(), OK);
    EXPECT_EQ(second.Param2(), 2u) << "the new fingerprint count";
    const SimRecord* r = h.module.FindRecord("7");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->finger, 1);
    EXPECT_FALSE(r->master);
}

TEST(SimEnroll, RefusalsOfTheFirstStep) {
    CModelHarness h;
    h.EnterMasterFresh();
    ASSERT_TRUE(h.module.AddRecord({"used", 2, false, ""}));
    EXPECT_EQ(h.Ask(CMD_ENROLL, 0, 0, IdField("used")).Result(), std::uint32_t(RES_USED_ID));
    EXPECT_EQ(h.Ask(CMD_ENROLL, 0, 0, IdField("")).Result(), std::uint32_t(RES_INVALID_PARAM));
    EXPECT_EQ(h.Ask(CMD_ENROLL, 2, 0, IdField("x")).Result(), std::uint32_t(RES_INVALID_PARAM));
    EXPECT_EQ(h.Ask(CMD_ENROLL2, 0).Result(), std::uint32_t(RES_FAIL)) << "no first scan";
    EXPECT_EQ(h.Ask(CMD_ENROLL_EX, 0, 1).Result(), std::uint32_t(RES_FAIL)) << "no first scan";
    for (int i = 1; i < SIM_DB_CAPACITY; ++i) ASSERT_TRUE(h.module.AddRecord({std::to_string(i), 100 + i, false, ""}));
    EXPECT_EQ(h.Ask(CMD_ENROLL_EX, 0, 0, IdPasswordFields("new", "")).Result(), std::uint32_t(RES_DB_FULL));
    EXPECT_EQ(h.AskMini(MINI_ENROLL, 0, 0).Result(), std::uint32_t(RES_DB_FULL));
}

TEST(SimEnroll, AnotherFingerAndTimeOut) {
    CModelHarness h;
    h.EnterMasterFresh();
    EXPECT_EQ(h.Ask(CMD_ENROLL, 0, 0, IdField("5")).Result(), OK);
    h.module.SetFinger(2);
    EXPECT_EQ(h.Ask(CMD_ENROLL2, 0).Result(), std::uint32_t(RES_ANOTHER_FINGER));
    EXPECT_EQ(h.Ask(CMD_ENROLL2, 0).Result(), std::uint32_t(RES_FAIL)) << "the failure ended the enrolment";
    EXPECT_EQ(h.module.FindRecord("5"), nullptr);

    h.module.SetFinger(0);
    h.Send(CMD_ENROLL_EX, 0, 0, IdPasswordFields("6", ""));
    h.clock.Advance(SIM_SCAN_TIMEOUT_MS - 1);
    EXPECT_TRUE(h.answers.empty());
    h.clock.Advance(1);
    ASSERT_EQ(h.answers.size(), 1u);
    EXPECT_EQ(h.Take().Result(), std::uint32_t(RES_TIMEOUT));
}

TEST(SimEnroll, FingerPlacedLateIsStillTaken) {
    CModelHarness h;
    h.EnterMasterFresh();
    h.module.SetFinger(0);
    h.Send(CMD_ENROLL, 0, 0, IdField("late"));
    h.clock.Advance(2000);
    EXPECT_TRUE(h.answers.empty());
    h.module.SetFinger(3);
    h.clock.Advance(SIM_SCAN_POLL_MS);
    ASSERT_EQ(h.answers.size(), 1u);
    EXPECT_EQ(h.Take().Result(), OK);
}

TEST(SimEnroll, ExFormWithPasswordThenPasswordVerification) {
    CModelHarness h;
    h.EnterMasterFresh();
    h.module.SetFinger(4);
    SSimAnswer first = h.Ask(CMD_ENROLL_EX, 1, 0, IdPasswordFields("12", "abc"));
    EXPECT_EQ(first.Result(), OK);
    EXPECT_EQ(first.Param2(), 0u) << "first scan taken";
    SSimAnswer second = h.Ask(CMD_ENROLL_EX, 1, 1);
    EXPECT_EQ(second.Result(), OK);
    EXPECT_EQ(second.Param2(), 1u) << "count, never 0 after success";
    const SimRecord* r = h.module.FindRecord("12");
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->master);
    EXPECT_EQ(r->password, "abc");

    h.module.SetFinger(0);  // password verification needs no finger
    EXPECT_EQ(h.Ask(CMD_VERIFY, 1, 0, IdPasswordFields("12", "abc")).Result(), OK);
    EXPECT_EQ(h.Ask(CMD_VERIFY, 1, 0, IdPasswordFields("12", "abd")).Result(), std::uint32_t(RES_FAIL));
    EXPECT_EQ(h.Ask(CMD_VERIFY, 1, 0, IdPasswordFields("13", "abc")).Result(), std::uint32_t(RES_INVALID_ID));
}

TEST(SimEnroll, MasterLimitEndsEnrolmentAsMaster) {
    CModelHarness h;
    h.EnterMasterFresh();
    for (int i = 0; i < SIM_MASTER_LIMIT; ++i) ASSERT_TRUE(h.module.AddRecord({"m" + std::to_string(i), 50 + i, true, ""}));
    EXPECT_EQ(h.Ask(CMD_ENROLL_EX, 1, 0, IdPasswordFields("one-more", "")).Result(), std::uint32_t(RES_FAIL));
    EXPECT_EQ(h.Ask(CMD_ENROLL_EX, 0, 0, IdPasswordFields("user", "")).Result(), OK) << "users are still welcome";
}

TEST(SimEnroll, MinimizedStepsNumberTheRecord) {
    CModelHarness h;
    h.EnterMasterFresh();
    ASSERT_TRUE(h.module.AddRecord({"1", 8, false, ""}));
    h.module.SetFinger(6);
    SSimAnswer first = h.AskMini(MINI_ENROLL, 0, 0);
    EXPECT_EQ(first.Result(), OK);
    SSimAnswer second = h.AskMini(MINI_ENROLL, 0, 1);
    EXPECT_EQ(second.Result(), OK);
    EXPECT_EQ(second.Param2(), 2u) << "the number the module gave the record";
    ASSERT_NE(h.module.FindRecord("2"), nullptr);
    EXPECT_EQ(h.module.FindRecord("2")->finger, 6);

    SSimAnswer id = h.AskMini(MINI_IDENTIFY);
    EXPECT_EQ(id.Result(), OK);
    EXPECT_EQ(id.Param2(), 2u);
    EXPECT_EQ(h.AskMini(MINI_ENROLL, 0, 1).Result(), std::uint32_t(RES_FAIL)) << "no first scan";
}

TEST(SimVerify, ByIdWithTheRightAndTheWrongFinger) {
    CModelHarness h;
    ASSERT_TRUE(h.module.AddRecord({"7", 3, false, ""}));
    h.module.SetFinger(3);
    EXPECT_EQ(h.Ask(CMD_VERIFY, 0, 0, IdField("7")).Result(), OK);
    h.module.SetFinger(4);
    EXPECT_EQ(h.Ask(CMD_VERIFY, 0, 0, IdField("7")).Result(), std::uint32_t(RES_FAIL));
    EXPECT_EQ(h.Ask(CMD_VERIFY, 0, 0, IdField("8")).Result(), std::uint32_t(RES_INVALID_ID));
    h.module.SetFinger(0);
    EXPECT_EQ(h.Ask(CMD_VERIFY, 0, 0, IdField("7")).Result(), std::uint32_t(RES_TIMEOUT));
}

TEST(SimIdentify, ReturnsTheIdAsTextInTheData) {
    CModelHarness h;
    ASSERT_TRUE(h.module.AddRecord({"123456789", 5, false, ""}));
    h.module.SetFinger(5);
    SSimAnswer a = h.Ask(CMD_IDENTIFY);
    EXPECT_EQ(a.Result(), OK);
    ASSERT_EQ(a.packet->m_DataSize, 10u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.packet->m_Data)), "123456789");
    EXPECT_EQ(a.packet->m_Data[9], 0);
    h.module.SetFinger(6);
    EXPECT_EQ(h.Ask(CMD_IDENTIFY).Result(), std::uint32_t(RES_FAIL));
    EXPECT_EQ(h.AskMini(MINI_IDENTIFY).Result(), std::uint32_t(RES_FAIL));
    h.module.SetFinger(0);
    EXPECT_EQ(h.Ask(CMD_IDENTIFY).Result(), std::uint32_t(RES_TIMEOUT));
}

TEST(SimMinutiae, DependOnTheFingerAndMatchInstantly) {
    CModelHarness h;
    h.module.SetFinger(2);
    SSimAnswer a = h.Ask(CMD_GET_MINUTIAE);
    EXPECT_EQ(a.Result(), OK);
    ASSERT_EQ(a.packet->m_DataSize, 400u);
    std::vector<std::uint8_t> two = a.Data();
    EXPECT_EQ(two, SimFingerMinutiae(2));
    EXPECT_NE(two, SimFingerMinutiae(3));

    EXPECT_EQ(h.Ask(CMD_INSTANT_MATCH, 0, 0, two).Result(), OK);
    h.module.SetFinger(3);
    EXPECT_EQ(h.Ask(CMD_INSTANT_MATCH, 0, 0, two).Result(), std::uint32_t(RES_FAIL));
    std::vector<std::uint8_t> shorter(two.begin(), two.begin() + 399);
    EXPECT_EQ(h.Ask(CMD_INSTANT_MATCH, 0, 0, shorter).Result(), std::uint32_t(RES_INVALID_PARAM));
    h.module.SetFinger(0);
    EXPECT_EQ(h.Ask(CMD_GET_MINUTIAE).Result(), std::uint32_t(RES_TIMEOUT));
}

TEST(SimCancel, StopsTheRunningScanThenAnswersItself) {
    SimOptions o = FastOptions();
    o.finger = 0;
    CModelHarness h(o);
    h.Send(CMD_IDENTIFY);
    h.clock.Advance(1000);
    h.Send(CMD_CANCEL);
    ASSERT_EQ(h.answers.size(), 1u) << "the stopped operation answers at once";
    h.clock.Advance(SIM_CANCEL_ANSWER_GAP_MS);
    ASSERT_EQ(h.answers.size(), 2u) << "the cancel a moment later";
    SSimAnswer op = h.Take();
    EXPECT_EQ(op.Command(), CMD_IDENTIFY);
    EXPECT_EQ(op.Result(), std::uint32_t(RES_CANCELED));
    SSimAnswer cancel = h.Take();
    EXPECT_EQ(cancel.Command(), CMD_CANCEL);
    EXPECT_EQ(cancel.Result(), OK);
    h.Settle();
    EXPECT_TRUE(h.answers.empty()) << "the cancelled scan never answers again";
    EXPECT_EQ(h.Ask(CMD_CANCEL).Result(), std::uint32_t(RES_IDLE));
}

TEST(SimCancel, EnterMasterCancelKeepsTheAuthTypeAndMinimizedForms) {
    SimOptions o = FastOptions();
    o.finger = 0;
    CModelHarness h(o);
    ASSERT_TRUE(h.module.AddRecord({"m", 1, true, ""}));
    h.Send(CMD_ENTER_MASTER_EX, 0, 0, IdField("m"));
    h.Send(CMD_CANCEL);
    h.clock.Advance(SIM_CANCEL_ANSWER_GAP_MS);
    ASSERT_EQ(h.answers.size(), 2u);
    SSimAnswer op = h.Take();
    EXPECT_EQ(op.Result(), std::uint32_t(RES_CANCELED));
    EXPECT_EQ(op.Param2(), 0u) << "not 3: the console must not take it for the opening answer";
    h.Take();

    h.SendMini(MINI_IDENTIFY);
    h.SendMini(MINI_STATUS);
    ASSERT_EQ(h.answers.size(), 1u);
    EXPECT_EQ(h.Take().Result(), 1u) << "busy";
    h.SendMini(MINI_CANCEL);
    h.clock.Advance(SIM_CANCEL_ANSWER_GAP_MS);
    ASSERT_EQ(h.answers.size(), 2u);
    EXPECT_EQ(h.Take().raw[3], RES_CANCELED);
    EXPECT_EQ(h.Take().raw[3], RES_SUCCESS);
    EXPECT_EQ(h.AskMini(MINI_STATUS).Result(), 0u) << "idle";
    EXPECT_EQ(h.AskMini(MINI_CANCEL).Result(), std::uint32_t(RES_IDLE));
}

TEST(SimCancel, ANewScanReplacesTheWaitingOne) {
    SimOptions o = FastOptions();
    o.finger = 0;
    CModelHarness h(o);
    h.Send(CMD_IDENTIFY);
    h.Send(CMD_GET_MINUTIAE);
    h.module.SetFinger(1);
    h.Settle();
    ASSERT_EQ(h.answers.size(), 1u);
    EXPECT_EQ(h.Take().Command(), CMD_GET_MINUTIAE);
}

// Reads a whole image the way the console does.
std::vector<std::uint8_t> ReadImage(CModelHarness& h, std::uint32_t command, std::vector<std::uint32_t>* sizes = nullptr) {
    std::vector<std::uint8_t> image;
    for (std::uint32_t piece = 0; piece < 200; ++piece) {
        SSimAnswer a = h.Ask(command, 0, piece);
        EXPECT_EQ(a.Result(), OK);
        if (sizes) sizes->push_back(a.packet->m_DataSize);
        std::vector<std::uint8_t> data = a.Data();
        image.insert(image.end(), data.begin(), data.end());
        if (command == CMD_GET_IMAGE) {
            EXPECT_EQ(a.Param2(), piece);
            if (piece * 2048 + data.size() >= SIM_IMAGE_SIZE) break;
        } else {
            EXPECT_EQ(a.Param2() >> 8, piece);
            EXPECT_EQ(a.Param2() & 0xFF, 141u);
            if ((a.Param2() >> 8) == (a.Param2() & 0xFF)) break;
        }
    }
    return image;
}

TEST(SimImage, GetImageIn36Pieces) {
    CModelHarness h;
    h.module.SetFinger(3);
    std::vector<std::uint32_t> sizes;
    std::vector<std::uint8_t> image = ReadImage(h, CMD_GET_IMAGE, &sizes);
    ASSERT_EQ(sizes.size(), 36u);
    for (int i = 0; i < 35; ++i) EXPECT_EQ(sizes[i], 2048u);
    EXPECT_EQ(sizes[35], 736u);
    EXPECT_EQ(image.size(), 72416u);
    EXPECT_EQ(image, SimFingerImage(3));
}

TEST(SimImage, GetImage2In512BytePieces) {
    CModelHarness h;
    h.module.SetFinger(4);
    std::vector<std::uint32_t> sizes;
    std::vector<std::uint8_t> image = ReadImage(h, CMD_GET_IMAGE2, &sizes);
    ASSERT_EQ(sizes.size(), 142u);
    EXPECT_EQ(sizes.back(), 72416u - 141 * 512);
    EXPECT_EQ(image, SimFingerImage(4));
}

TEST(SimImage, LaterPiecesComeFromTheCapturedImageEvenIfTheFingerMoves) {
    CModelHarness h;
    h.module.SetFinger(1);
    h.Ask(CMD_GET_IMAGE, 0, 0);
    h.module.SetFinger(2);
    SSimAnswer piece1 = h.Ask(CMD_GET_IMAGE, 0, 1);
    std::vector<std::uint8_t> one = SimFingerImage(1);
    EXPECT_EQ(piece1.Data(), std::vector<std::uint8_t>(one.begin() + 2048, one.begin() + 4096));
}

TEST(SimImage, NoFingerTimesOutBeforeTheConsoleWouldAskAgain) {
    SimOptions o = FastOptions();
    o.finger = 0;
    CModelHarness h(o);
    for (std::uint32_t command : {CMD_GET_IMAGE, CMD_GET_IMAGE2}) {
        h.Send(command, 0, 0);
        h.clock.Advance(SIM_IMAGE_TIMEOUT_MS);
        ASSERT_EQ(h.answers.size(), 1u);
        SSimAnswer a = h.Take();
        EXPECT_EQ(a.Command(), command);
        EXPECT_EQ(a.Result(), std::uint32_t(RES_TIMEOUT));
        EXPECT_EQ(a.packet->m_DataSize, 0u);
    }
    EXPECT_LT(SIM_IMAGE_TIMEOUT_MS, 3000);
}

TEST(SimImage, PiecesBeyondTheImage) {
    CModelHarness h;
    h.Ask(CMD_GET_IMAGE2, 0, 0);
    EXPECT_EQ(h.Ask(CMD_GET_IMAGE2, 0, 142).Result(), std::uint32_t(RES_INVALID_PARAM));
    SSimAnswer a = h.Ask(CMD_GET_IMAGE, 0, 36);
    EXPECT_EQ(a.packet->m_DataSize, 0u);
    EXPECT_GE(a.Param2() * 2048, 72416u) << "the console takes it as past the end";
}

TEST(SimImage, SyntheticPrintsLookLikeRidgesAndDifferPerFinger) {
    std::set<std::vector<std::uint8_t>> seen;
    for (int finger = 1; finger <= 6; ++finger) {
        std::vector<std::uint8_t> img = SimFingerImage(finger);
        ASSERT_EQ(img.size(), SIM_IMAGE_SIZE);
        seen.insert(img);
        // Across the middle row or down the middle column the grey level
        // crosses mid-grey again and again: ridges some 8 to 11 pixels apart.
        auto crossingsAlong = [&](int x0, int y0, int dx, int dy, int steps) {
            int n = 0;
            for (int i = 1; i < steps; ++i) {
                int a = (y0 + (i - 1) * dy) * SIM_IMAGE_WIDTH + x0 + (i - 1) * dx;
                int b = (y0 + i * dy) * SIM_IMAGE_WIDTH + x0 + i * dx;
                n += (img[a] < 128) != (img[b] < 128);
            }
            return n;
        };
        int crossings = std::max(crossingsAlong(40, SIM_IMAGE_HEIGHT / 2, 1, 0, 168),
                                 crossingsAlong(SIM_IMAGE_WIDTH / 2, 40, 0, 1, 212));
        EXPECT_GE(crossings, 12) << "finger " << finger;
        EXPECT_LE(crossings, 60) << "finger " << finger;
        // The corners are outside the print: near white.
        EXPECT_GE(img[0], 240);
        EXPECT_GE(img[SIM_IMAGE_SIZE - 1], 240);
    }
    EXPECT_EQ(seen.size(), 6u);
    EXPECT_EQ(SimFingerImage(5), SimFingerImage(5));
}

TEST(SimStatus, VoltageAsSet) {
    CModelHarness h;
    SSimAnswer a = h.Ask(CMD_CHECK_VOLTAGE);
    EXPECT_EQ(a.Result(), OK);
    EXPECT_EQ(a.Param2(), 0u);
    h.module.SetLowVoltage(true);
    EXPECT_EQ(h.Ask(CMD_CHECK_VOLTAGE).Param2(), 1u);
}

}  // namespace
