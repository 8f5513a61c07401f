#include "GradientTestSupport.h"
#include "Palette.h"
#include "TGradient.h"

#include <QPaintEvent>
#include <QTest>
#include <QVariant>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr TColor kBlack = 0;
constexpr TColor kWhite = 16777215;

// The pixel as a red x 65536 + green x 256 + blue value.
QRgb Rgb(const TGradient& gradient, int x, int y)
{
    return gradient.Bitmap().pixel(x, y) & 0xFFFFFF;
}

void SetCorners(TGradient& gradient, TColor leftTop, TColor leftBottom, TColor rightTop, TColor rightBottom)
{
    gradient.SetLTColor(leftTop);
    gradient.SetLBColor(leftBottom);
    gradient.SetRTColor(rightTop);
    gradient.SetRBColor(rightBottom);
}

class CountingGradient : public TGradient {
public:
    using TGradient::TGradient;
    int FPaints = 0;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++FPaints;
        TGradient::paintEvent(event);
    }
};

class TGradientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { eit::test::EnsureApplication(); }

    // A shown control, so that repaints really happen.
    void Show(TGradient& gradient)
    {
        gradient.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&gradient));
    }
};

} // namespace

TEST_F(TGradientTest, StartsAs100By100OnItsOwnerWithBlackCorners)
{
    QWidget owner;
    auto* gradient = new TGradient(&owner);
    EXPECT_EQ(gradient->parentWidget(), &owner);
    EXPECT_EQ(gradient->size(), QSize(100, 100));
    EXPECT_EQ(gradient->Bitmap().size(), QSize(100, 100));
    EXPECT_EQ(gradient->LeftTop(), kBlack);
    EXPECT_EQ(gradient->RightBottom(), kBlack);
}

TEST_F(TGradientTest, BlackToWhiteNeverReachesWhite)
{
    TGradient gradient;
    SetCorners(gradient, kBlack, kBlack, kWhite, kWhite);
    for (int y = 0; y < 100; ++y) {
        SCOPED_TRACE(y);
        EXPECT_EQ(Rgb(gradient, 0, y), 0x000000u);
        EXPECT_EQ(Rgb(gradient, 1, y), 0x020202u);
        EXPECT_EQ(Rgb(gradient, 50, y), 0x7F7F7Fu);
        EXPECT_EQ(Rgb(gradient, 99, y), 0xFCFCFCu);
    }
}

TEST_F(TGradientTest, RunningValuesAddUpInSinglePrecision)
{
    // 255 / 21 added seven times gives 85 in single precision, 84.99... in double.
    TGradient gradient;
    gradient.resize(21, 1);
    gradient.Resize();
    SetCorners(gradient, kBlack, kBlack, kWhite, kWhite);
    EXPECT_EQ(Rgb(gradient, 7, 0), 0x555555u);
}

TEST_F(TGradientTest, FourCornersOfATwoByTwoControl)
{
    TGradient gradient;
    gradient.resize(2, 2);
    gradient.Resize();
    SetCorners(gradient, 255, 65280, 16711680, kWhite);
    EXPECT_EQ(Rgb(gradient, 0, 0), 0xFF0000u);
    EXPECT_EQ(Rgb(gradient, 1, 0), 0x7F007Fu);
    EXPECT_EQ(Rgb(gradient, 0, 1), 0x7F7F00u);
    EXPECT_EQ(Rgb(gradient, 1, 1), 0x7F7F7Fu);
}

TEST_F(TGradientTest, EqualCornersFillEveryPixelExactly)
{
    TGradient gradient;
    gradient.resize(37, 23);
    gradient.Resize();
    SetCorners(gradient, 0x123456, 0x123456, 0x123456, 0x123456);
    const QImage& image = gradient.Bitmap();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(Rgb(gradient, x, y), 0x563412u) << x << "," << y;
}

TEST_F(TGradientTest, SystemColourCodesContributeOnlyTheirLowBytes)
{
    TGradient gradient;
    SetCorners(gradient, 0x80000012, 0x80000012, 0xFF0000FF, 0x0F0000FF);
    EXPECT_EQ(gradient.LeftTop(), 0x80000012u);
    TGradient plain;
    SetCorners(plain, 0x12, 0x12, 0xFF, 0xFF);
    EXPECT_EQ(gradient.Bitmap(), plain.Bitmap());
}

TEST_F(TGradientTest, CornersAndSizeArePublishedProperties)
{
    TGradient gradient;
    gradient.setProperty("Width", 4);
    gradient.setProperty("Height", 3);
    gradient.Resize();
    gradient.setProperty("LeftTop", 0x0000FFu);
    gradient.setProperty("RightTop", 0x0000FFu);
    gradient.setProperty("LeftBottom", 0x0000FFu);
    gradient.setProperty("RightBottom", 0x0000FFu);
    EXPECT_EQ(gradient.size(), QSize(4, 3));
    EXPECT_EQ(gradient.property("RightBottom").toUInt(), 0x0000FFu);
    EXPECT_EQ(Rgb(gradient, 3, 2), 0xFF0000u);
}

TEST_F(TGradientTest, SizeChangeRebuildsAtTheNewSize)
{
    TGradient gradient;
    SetCorners(gradient, kBlack, kBlack, kWhite, kWhite);
    gradient.resize(50, 10);
    gradient.Resize();
    EXPECT_EQ(gradient.Bitmap().size(), QSize(50, 10));
    EXPECT_EQ(Rgb(gradient, 25, 9), 0x7F7F7Fu);
    EXPECT_EQ(Rgb(gradient, 49, 9), 0xF9F9F9u);
}

TEST_F(TGradientTest, SettingAnUnchangedCornerStillRepaints)
{
    CountingGradient gradient;
    Show(gradient);
    const int paints = gradient.FPaints;
    gradient.SetLTColor(gradient.LeftTop());
    EXPECT_EQ(gradient.FPaints, paints + 1);
}

TEST_F(TGradientTest, SizeNotificationWithoutChangeDoesNothing)
{
    CountingGradient gradient;
    Show(gradient);
    SetCorners(gradient, kBlack, kBlack, kWhite, kWhite);
    const QImage before = gradient.Bitmap();
    const int paints = gradient.FPaints;
    gradient.Resize();
    EXPECT_EQ(gradient.FPaints, paints);
    EXPECT_EQ(gradient.Bitmap().constBits(), before.constBits()) << "the image was not re-created";
}

TEST_F(TGradientTest, PaintingCopiesTheImage)
{
    TGradient gradient;
    gradient.resize(7, 5);
    gradient.Resize();
    SetCorners(gradient, 0x0000FF, 0x00FF00, 0xFF0000, kWhite);
    const QImage painted = gradient.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(painted.size(), QSize(7, 5));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(painted.pixel(x, y) & 0xFFFFFF, Rgb(gradient, x, y)) << x << "," << y;
}

TEST_F(TGradientTest, EmptyControlBuildsNoPixels)
{
    for (const QSize size : {QSize(0, 10), QSize(10, 0), QSize(0, 0)}) {
        CountingGradient gradient;
        gradient.resize(size);
        gradient.Resize();
        SetCorners(gradient, kWhite, kWhite, kWhite, kWhite);
        EXPECT_TRUE(gradient.Bitmap().isNull());
        gradient.Resize();
        gradient.resize(3, 3);
        gradient.Resize();
        EXPECT_EQ(Rgb(gradient, 2, 2), 0xFFFFFFu);
    }
}

TEST_F(TGradientTest, BackgroundIsNeverErased)
{
    TGradient gradient;
    EXPECT_TRUE(gradient.testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_TRUE(gradient.testAttribute(Qt::WA_NoSystemBackground));
    EXPECT_FALSE(gradient.autoFillBackground());
}

TEST_F(TGradientTest, RegisterPutsItOnThePalette)
{
    TGradient::Register();
    const auto classes = eit::PaletteClasses(eit::kPalettePage);
    EXPECT_NE(std::find(classes.begin(), classes.end(), "TGradient"), classes.end());
}
