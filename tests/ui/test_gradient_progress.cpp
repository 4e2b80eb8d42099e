// The gradient progress bar: its bands, the band that contains the fill edge,
// the percentage text and the empty states, pixel by pixel.
#include <QImage>

#include "tests/ui/UiTestEnv.h"
#include "widgets/GradientProgressCtrl.h"

namespace {

// The settings of the upgrade window: blue to black on white, grey text.
void UpgradeColours(CGradientProgressCtrl& bar) {
    bar.SetRange(0, 100);
    bar.ShowPercent(true);
    bar.SetStartColor(QColor(0, 0, 255));
    bar.SetEndColor(QColor(0, 0, 0));
    bar.SetTextColor(QColor(100, 100, 100));
    bar.SetBkColor(QColor(255, 255, 255));
    bar.SetPos(0);
}

QRgb At(const QImage& image, int x, int y = 5) { return image.pixel(x, y) & 0xFFFFFF; }

}  // namespace

// A bar used as it comes: three steps fill three tenths of it, over the
// button face, and it shows a percentage only when asked to.
TEST(GradientProgress, ANewBarStepsATenthAtATimeOverTheButtonFace) {
    EnsureApp();
    CGradientProgressCtrl bar;
    bar.resize(100, 10);
    for (int i = 0; i < 3; ++i) bar.StepIt();
    const QImage image = bar.RenderBar();
    const QRgb face = bar.palette().color(QPalette::Button).rgb() & 0xFFFFFF;
    EXPECT_NE(At(image, 0), face);
    EXPECT_NE(At(image, 29), face);
    EXPECT_EQ(At(image, 31), face);
    EXPECT_EQ(At(image, 99), face);
    EXPECT_TRUE(bar.PercentText().isEmpty());
    bar.ShowPercent(true);
    EXPECT_EQ(bar.PercentText(), "30%");
}

TEST(GradientProgress, TheBlueToBlackExampleColoursColumnsUpToTheBandThatHoldsX) {
    EnsureApp();
    CGradientProgressCtrl bar;
    bar.resize(255, 20);
    UpgradeColours(bar);
    bar.SetPos(50);  // x = 127: one-pixel bands, the band 127..128 drawn whole
    const QImage image = bar.RenderBar();
    ASSERT_EQ(image.width(), 255);
    for (int column = 0; column <= 127; ++column) {
        SCOPED_TRACE(column);
        EXPECT_EQ(At(image, column), qRgb(0, 0, 255 - column) & 0xFFFFFF);
        EXPECT_EQ(At(image, column, 0), At(image, column, 19));  // full height
    }
    EXPECT_EQ(At(image, 0), 0x0000FFu);
    EXPECT_EQ(At(image, 127), 0x000080u);
    for (int column = 128; column < 255; ++column) EXPECT_EQ(At(image, column), 0xFFFFFFu) << column;
    EXPECT_EQ(bar.PercentText(), "50%");
}

TEST(GradientProgress, WideBandsKeepTheirColourAcrossTheWidthAndTheEdgeBandIsWhole) {
    EnsureApp();
    CGradientProgressCtrl bar;  // red to blue, 255 bands of 2 pixels on 510
    bar.resize(510, 10);
    bar.SetBkColor(QColor(10, 20, 30));
    bar.SetPos(26);  // x = 132 (132.6 truncated): band 66 is 132..133
    const QImage image = bar.RenderBar();
    EXPECT_EQ(At(image, 0), qRgb(255, 0, 0) & 0xFFFFFF);
    EXPECT_EQ(At(image, 1), qRgb(255, 0, 0) & 0xFFFFFF);
    EXPECT_EQ(At(image, 2), qRgb(254, 0, 1) & 0xFFFFFF);
    EXPECT_EQ(At(image, 132), qRgb(189, 0, 66) & 0xFFFFFF);
    EXPECT_EQ(At(image, 133), qRgb(189, 0, 66) & 0xFFFFFF);
    EXPECT_EQ(At(image, 134), qRgb(10, 20, 30) & 0xFFFFFF);
    EXPECT_EQ(At(image, 509), qRgb(10, 20, 30) & 0xFFFFFF);
    EXPECT_TRUE(bar.PercentText().isEmpty());  // percentage off by default
    // The colour of a column does not depend on the position.
    bar.SetPos(90);
    EXPECT_EQ(At(bar.RenderBar(), 132), qRgb(189, 0, 66) & 0xFFFFFF);
}

TEST(GradientProgress, AtOrBeyondTheBoundsTheBarIsEmptyButtonFaceWithoutText) {
    EnsureApp();
    const struct { const char* name; int pos; int steps; } cases[] = {
        {"at lower", 0, 0}, {"at upper", 100, 0}, {"below lower", -5, 0}, {"stepped past upper", 95, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CGradientProgressCtrl bar;
        bar.resize(255, 20);
        UpgradeColours(bar);
        bar.SetStep(5);
        bar.SetPos(c.pos);
        for (int i = 0; i < c.steps; ++i) bar.StepIt();
        EXPECT_EQ(bar.Pos(), c.pos + 5 * c.steps);  // not clamped
        const QImage image = bar.RenderBar();
        const QRgb face = bar.palette().color(QPalette::Button).rgb() & 0xFFFFFF;
        for (int column : {0, 1, 127, 128, 254}) EXPECT_EQ(At(image, column), face) << column;
        EXPECT_TRUE(bar.PercentText().isEmpty());
    }
}

TEST(GradientProgress, EqualColoursFillThePositionsShareInTheStartColour) {
    EnsureApp();
    CGradientProgressCtrl bar;
    bar.resize(200, 10);
    bar.SetStartColor(QColor(0, 128, 0));
    bar.SetEndColor(QColor(0, 128, 0));
    bar.SetBkColor(QColor(255, 255, 255));
    bar.SetPos(25);  // x = 50
    const QImage image = bar.RenderBar();
    EXPECT_EQ(At(image, 0), qRgb(0, 128, 0) & 0xFFFFFF);
    EXPECT_EQ(At(image, 49), qRgb(0, 128, 0) & 0xFFFFFF);
    EXPECT_EQ(At(image, 50), 0xFFFFFFu);
    EXPECT_EQ(At(image, 199), 0xFFFFFFu);
}

TEST(GradientProgress, TheControlShowsTheOffScreenBarWithThePercentageInTheTextColour) {
    EnsureApp();
    CGradientProgressCtrl bar;
    bar.resize(255, 24);
    UpgradeColours(bar);
    bar.SetPos(50);
    const QImage shown = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage off = bar.RenderBar();
    ASSERT_EQ(shown.size(), off.size());
    int differing = 0, textPixels = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            if (At(shown, x, y) != At(off, x, y)) {
                ++differing;
                // Only the centred text differs, and only near the middle.
                EXPECT_GT(x, 90);
                EXPECT_LT(x, 165);
            }
            textPixels += At(shown, x, y) == (qRgb(100, 100, 100) & 0xFFFFFF);
        }
    }
    EXPECT_GT(differing, 0);
    EXPECT_GT(textPixels, 0);
    // Without the percentage the control is the off-screen bar exactly.
    bar.ShowPercent(false);
    const QImage plain = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(plain, off);
}

TEST(GradientProgress, RangePositionAndStepReachTheStandardControl) {
    EnsureApp();
    CGradientProgressCtrl bar;
    bar.SetRange(0, 40);
    EXPECT_EQ(bar.maximum(), 40);
    bar.SetStep(1);
    bar.SetPos(3);
    bar.StepIt();
    EXPECT_EQ(bar.Pos(), 4);
    EXPECT_EQ(bar.value(), 4);
    bar.SetRange(5, 40);  // the position goes to lower
    EXPECT_EQ(bar.Pos(), 5);
    EXPECT_EQ(bar.value(), 5);
}

TEST(GradientProgress, ARangeEndingAtZeroDrawsOnlyTheFirstBand) {
    EnsureApp();
    CGradientProgressCtrl bar;
    bar.resize(255, 10);
    bar.SetBkColor(QColor(255, 255, 255));
    bar.SetRange(-10, 0);
    bar.SetPos(-5);  // position / upper would divide by zero
    const QImage image = bar.RenderBar();
    EXPECT_EQ(At(image, 0), qRgb(255, 0, 0) & 0xFFFFFF);
    EXPECT_EQ(At(image, 1), 0xFFFFFFu);
    EXPECT_EQ(At(image, 254), 0xFFFFFFu);
}

TEST(GradientProgress, EachPositionChangeRepaintsTheShownBarOnce) {
    EnsureApp();
    CGradientProgressCtrl bar;
    bar.resize(255, 20);
    bar.show();
    FlushEvents();
    const int before = bar.PaintCount();
    for (int step = 1; step <= 3; ++step) {
        bar.StepIt();
        FlushEvents();
        EXPECT_EQ(bar.PaintCount(), before + step);
    }
    bar.SetStartColor(QColor(1, 2, 3));  // stored only: no repaint
    FlushEvents();
    EXPECT_EQ(bar.PaintCount(), before + 3);
}
