// The start-up splash: its picture, its fades and its hold, with the waits counted instead
// of slept (the program itself is watched under the X server by e2e_splash.sh).
#include "ui/splash/splash_picture.h"
#include "ui/splash/start_splash.h"

#include <QBitmap>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace velmora::ui {
namespace {

struct Step {
    int alpha;
    int milliseconds;
    bool visible;
};

class SplashTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        splash.wait = [this](int ms) {
            steps.push_back({splash.alpha(), ms, splash.isVisible()});
            if (onWait) onWait(static_cast<int>(steps.size()));
        };
    }
    TfrmStartSplash splash;
    std::vector<Step> steps;
    std::function<void(int)> onWait;
};

TEST_F(SplashTest, FadesInAndOutInFifteenStepsOfTwentyMilliseconds)
{
    EXPECT_FALSE(splash.isVisible()) << "made hidden";
    EXPECT_EQ(splash.size(), QSize(557, 321));
    splash.fadeIn();
    ASSERT_EQ(steps.size(), 15u);
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(steps[i].alpha, 16 * (i + 1));
        EXPECT_EQ(steps[i].milliseconds, 20);
        EXPECT_TRUE(steps[i].visible);
    }
    steps.clear();
    splash.fadeOut();
    ASSERT_EQ(steps.size(), 15u);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(steps[i].alpha, 240 - 16 * i);
    EXPECT_FALSE(splash.isVisible());
}

TEST_F(SplashTest, HoldsSevenRoundsOfFiftyMillisecondsUnlessClicked)
{
    splash.fadeIn();
    steps.clear();
    EXPECT_EQ(splash.hold(), 7);
    ASSERT_EQ(steps.size(), 7u);
    for (const Step& s : steps) EXPECT_EQ(s.milliseconds, 50);

    // A click during the second round ends the hold when that round is over.
    onWait = [this](int n) {
        if (n == 2) QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(200, 150));
    };
    steps.clear();
    EXPECT_EQ(splash.hold(), 2);
    EXPECT_TRUE(splash.clicked());
}

TEST_F(SplashTest, AClickDuringTheFadeInDoesNotShortenTheHold)
{
    onWait = [this](int n) {
        if (n == 3) QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(200, 150));
    };
    splash.fadeIn();
    EXPECT_TRUE(splash.clicked());
    onWait = nullptr;
    EXPECT_EQ(splash.hold(), 7);
}

TEST(SplashPicture, ACardWithTransparentCornersAndNoWhiteInside)
{
    const QImage picture = drawSplashPicture();
    ASSERT_EQ(picture.size(), QSize(557, 321));
    const QRgb white = qRgb(255, 255, 255);
    EXPECT_EQ(picture.pixel(0, 0), white);
    EXPECT_EQ(picture.pixel(556, 320), white);
    // Every white pixel lies in a corner, outside the card's rounding.
    int whiteInside = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const bool corner = (x < 16 || x > 540) && (y < 16 || y > 304);
            whiteInside += !corner && picture.pixel(x, y) == white;
        }
    EXPECT_EQ(whiteInside, 0);
    // It is a picture, not a blank: many colours, bright title text and a green trace.
    int bright = 0, green = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            bright += c != QColor(Qt::white) && c.lightness() > 200;
            green += c.green() > 200 && c.red() < 80 && c.blue() < 80;
        }
    EXPECT_GT(bright, 1000);
    EXPECT_GT(green, 1000);

    TfrmStartSplash splash;
    EXPECT_FALSE(splash.mask().contains(QPoint(0, 0))) << "the white corners are left out of the window";
    EXPECT_TRUE(splash.mask().contains(QPoint(278, 160)));
}

} // namespace
} // namespace velmora::ui
