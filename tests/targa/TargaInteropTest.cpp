// Other programs must read the files TTarga writes, and TTarga theirs, with
// the same pixels the right way up. ImageMagick keeps a TGA file's origin as
// metadata, so every read through it uses -auto-orient.

#include "TargaTestSupport.h"

#include "TestSupport.h"

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using eit::test::MakeStore;
using eit::test::ReadFile;
using eit::test::TempDir;
using eit::test::WriteFile;

namespace {

constexpr int kWidth = 3; // odd, so 24-bit rows are not a multiple of 4 bytes
constexpr int kHeight = 2;

// The picture as red, green, blue, alpha bytes, top row first.
const unsigned char kPicture[kHeight][kWidth][4] = {
    {{0xFF, 0x00, 0x00, 0xFF}, {0x00, 0xFF, 0x00, 0xFF}, {0x00, 0x00, 0xFF, 0x80}},
    {{0x10, 0x20, 0x30, 0xFF}, {0xFE, 0xDC, 0xBA, 0x40}, {0x01, 0x02, 0x03, 0xFF}},
};

std::string PictureBytes(bool alpha)
{
    std::string bytes;
    for (const auto& row : kPicture)
        for (const auto& pixel : row)
            bytes.append(reinterpret_cast<const char*>(pixel), alpha ? 4 : 3);
    return bytes;
}

// The component's picture read top row first, as red, green, blue (, alpha).
std::string TopDownBytes(TTarga& targa, bool alpha)
{
    const int bpp = targa.GetDepth() / 8;
    std::string bytes;
    for (int r = 0; r < targa.Height(); ++r) {
        const uchar* row = targa.GetScanLine(r);
        for (int x = 0; x < targa.Width(); ++x) {
            const uchar* pixel = row + x * bpp;
            bytes += {static_cast<char>(pixel[2]), static_cast<char>(pixel[1]), static_cast<char>(pixel[0])};
            if (alpha)
                bytes += static_cast<char>(pixel[3]);
        }
    }
    return bytes;
}

void DrawPicture(TTarga& targa, int depth)
{
    MakeStore(targa, depth, kWidth, kHeight);
    for (int r = 0; r < kHeight; ++r)
        for (int x = 0; x < kWidth; ++x) {
            uchar* pixel = targa.GetScanLine(r) + x * (depth / 8);
            pixel[0] = kPicture[r][x][2];
            pixel[1] = kPicture[r][x][1];
            pixel[2] = kPicture[r][x][0];
            if (depth == 32)
                pixel[3] = kPicture[r][x][3];
        }
}

bool HaveImageMagick()
{
    return std::system("command -v convert >/dev/null 2>&1") == 0;
}

bool RunCommand(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

// The file as ImageMagick sees it, top row first.
std::string ImageMagickPixels(const std::string& tga, bool alpha, const std::string& outPath)
{
    if (!RunCommand("convert '" + tga + "' -auto-orient -depth 8 " + (alpha ? "rgba:'" : "rgb:'") + outPath + "'"))
        return "convert failed on " + tga;
    return ReadFile(outPath);
}

void EnsureGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "targa_test";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv); // lives until the process ends
}

class TargaInterop : public ::testing::TestWithParam<int> {
protected:
    int Depth() const { return GetParam(); }
    bool Alpha() const { return GetParam() == 32; }
    TempDir FDir;
};

} // namespace

TEST_P(TargaInterop, QtReadsOurFileTheRightWayUp)
{
    EnsureGuiApplication();
    if (!QImageReader::supportedImageFormats().contains("tga"))
        GTEST_SKIP() << "Qt's TGA image format plugin is not installed";
    TTarga targa;
    DrawPicture(targa, Depth());
    const std::string path = FDir.File("ours.tga");
    targa.SaveToFile(path);

    QImageReader reader(QString::fromStdString(path), "tga");
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    ASSERT_EQ(image.size(), QSize(kWidth, kHeight));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y);
            const QRgb pixel = image.pixel(x, y);
            const auto& expected = kPicture[y][x];
            EXPECT_EQ(qRed(pixel), expected[0]);
            EXPECT_EQ(qGreen(pixel), expected[1]);
            EXPECT_EQ(qBlue(pixel), expected[2]);
            if (Alpha()) {
                EXPECT_EQ(qAlpha(pixel), expected[3]);
            }
        }
}

TEST_P(TargaInterop, ImageMagickReadsOurFileTheRightWayUp)
{
    if (!HaveImageMagick())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    TTarga targa;
    DrawPicture(targa, Depth());
    const std::string path = FDir.File("ours.tga");
    targa.SaveToFile(path);
    EXPECT_EQ(ImageMagickPixels(path, Alpha(), FDir.File("ours.raw")), PictureBytes(Alpha()));
}

TEST_P(TargaInterop, WeReadImageMagickFilesTheRightWayUp)
{
    if (!HaveImageMagick())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    const std::string raw = FDir.File("picture.raw");
    WriteFile(raw, PictureBytes(true));
    const std::string source = "convert -size " + std::to_string(kWidth) + "x" + std::to_string(kHeight)
        + " -depth 8 rgba:'" + raw + "'" + (Alpha() ? "" : " -alpha off") + " -compress none";

    // A file that says where its first row belongs, and one in ImageMagick's
    // own default order.
    const std::string topLeft = FDir.File("topleft.tga");
    ASSERT_TRUE(RunCommand(source + " -orient TopLeft '" + topLeft + "'"));
    const std::string plain = FDir.File("plain.tga");
    ASSERT_TRUE(RunCommand(source + " '" + plain + "'"));

    for (const std::string& path : {topLeft, plain}) {
        SCOPED_TRACE(path);
        TTarga targa;
        targa.LoadFromFile(path);
        ASSERT_EQ(targa.GetDepth(), Depth());
        ASSERT_EQ(targa.Width(), kWidth);
        ASSERT_EQ(targa.Height(), kHeight);
        EXPECT_EQ(TopDownBytes(targa, Alpha()), ImageMagickPixels(path, Alpha(), path + ".raw"));
    }
    TTarga targa;
    targa.LoadFromFile(topLeft);
    EXPECT_EQ(TopDownBytes(targa, Alpha()), PictureBytes(Alpha()));
}

INSTANTIATE_TEST_SUITE_P(Depths, TargaInterop, ::testing::Values(24, 32),
                         [](const auto& info) { return std::to_string(info.param) + "Bits"; });
