#include "TargaTestSupport.h"

#include "FileError.h"
#include "Palette.h"
#include "TestSupport.h"

#include <QVariant>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

using eit::test::ErrorOf;
using eit::test::FileBpp;
using eit::test::FillRows;
using eit::test::MakeStore;
using eit::test::ReadFile;
using eit::test::StoreRow;
using eit::test::TempDir;
using eit::test::WriteFile;

namespace {

const std::string kFooter = std::string(8, '\0') + "TRUEVISION-XFILE." + std::string(1, '\0');

// An 18-byte header of an uncompressed true-colour file.
std::string HeaderBytes(int width, int height, int depth, int descriptor = 0, int idLength = 0)
{
    const char bytes[18] = {static_cast<char>(idLength), 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                            static_cast<char>(width & 0xFF), static_cast<char>(width >> 8),
                            static_cast<char>(height & 0xFF), static_cast<char>(height >> 8),
                            static_cast<char>(depth), static_cast<char>(descriptor)};
    return std::string(bytes, sizeof bytes);
}

std::string HeaderOf(const TTarga& targa)
{
    return std::string(reinterpret_cast<const char*>(targa.Header().data()), targa.Header().size());
}

} // namespace

TEST(TTarga, ComponentOfTheMainWindowSavesTheFullFile)
{
    TempDir dir;
    TTarga targa;
    // The order in which a form resource sets them.
    targa.setProperty("ResetImage", false);
    targa.setProperty("Width", 256);
    targa.setProperty("Height", 256);
    targa.setProperty("ColorDepth", 32);
    targa.SaveToFile(dir.File("a.tga"));

    const std::string file = ReadFile(dir.File("a.tga"));
    ASSERT_EQ(file.size(), 262188u);
    EXPECT_EQ(file.substr(0, 18), HeaderBytes(256, 256, 32, 8));
    EXPECT_EQ(file.substr(18, 262144), std::string(262144, '\0'));
    EXPECT_EQ(file.substr(262162), kFooter);
    EXPECT_EQ(targa.Header()[17], 8) << "the saved descriptor stays in memory";
}

TEST(TTarga, StartsWithDefaultHeaderAndNoStore)
{
    TTarga targa;
    EXPECT_EQ(HeaderOf(targa), HeaderBytes(256, 256, 32, 0));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(targa.Footer().data()), 26), kFooter);
    EXPECT_FALSE(targa.ResetImage());
    EXPECT_EQ(targa.Canvas(), nullptr);
    EXPECT_EQ(targa.GetScanLine(0), nullptr);
}

TEST(TTarga, SaveWithoutStoreCreatesItAndWritesACompleteFile)
{
    TempDir dir;
    TTarga targa;
    targa.SaveToFile(dir.File("a.tga"));
    ASSERT_NE(targa.Canvas(), nullptr);
    EXPECT_EQ(targa.Canvas()->size(), QSize(256, 256));
    EXPECT_EQ(ReadFile(dir.File("a.tga")).size(), 262188u);

    TTarga loaded;
    loaded.LoadFromFile(dir.File("a.tga"));
    EXPECT_EQ(HeaderOf(loaded), HeaderBytes(256, 256, 32, 8));
}

TEST(TTarga, WidthAndHeightNeedAPixelStore)
{
    TTarga targa;
    targa.SetWidth(10);
    targa.SetHeight(20);
    EXPECT_EQ(targa.Width(), 256);
    EXPECT_EQ(targa.Height(), 256);
    EXPECT_EQ(targa.Canvas(), nullptr);

    targa.SetDepth(24);
    ASSERT_EQ(targa.Canvas()->size(), QSize(256, 256));
    targa.Canvas()->scanLine(0)[0] = 0x5A;
    targa.SetWidth(3);
    targa.SetHeight(2);
    EXPECT_EQ(targa.Width(), 3);
    EXPECT_EQ(targa.Height(), 2);
    EXPECT_EQ(targa.Canvas()->size(), QSize(3, 2));
    EXPECT_EQ(targa.Canvas()->scanLine(0)[0], 0x5A) << "what still fits is kept";

    targa.SetWidth(5);
    EXPECT_EQ(StoreRow(targa, 0, 15).substr(9), std::string(6, '\0')) << "new columns are blank";
}

TEST(TTarga, EmptyPictureSavesAndLoads)
{
    TempDir dir;
    TTarga targa;
    MakeStore(targa, 32, 0, 4);
    EXPECT_THROW(targa.GetScanLine(0), std::out_of_range);
    targa.SaveToFile(dir.File("a.tga"));
    EXPECT_EQ(ReadFile(dir.File("a.tga")), HeaderBytes(0, 4, 32, 8) + kFooter);

    targa.SetWidth(2);
    EXPECT_EQ(targa.Canvas()->size(), QSize(2, 4));
    EXPECT_EQ(StoreRow(targa, 3, 8), std::string(8, '\0'));
}

TEST(TTarga, ColorDepthKeepsTheLowEightBits)
{
    TTarga targa;
    targa.setProperty("ColorDepth", 288);
    EXPECT_EQ(targa.GetDepth(), 32);
    EXPECT_EQ(targa.property("ColorDepth").toInt(), 32);
    EXPECT_EQ(targa.Canvas()->format(), QImage::Format_ARGB32);
}

TEST(TTarga, SavesAndLoadsEveryDepthRowForRow)
{
    TempDir dir;
    for (int depth : {15, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        const int rowBytes = 3 * FileBpp(depth); // 9 at 24 bits: no row padding in the file
        TTarga targa;
        MakeStore(targa, depth, 3, 2);
        FillRows(targa, rowBytes, depth);
        const std::string path = dir.File("d" + std::to_string(depth) + ".tga");
        targa.SaveToFile(path);

        const std::string file = ReadFile(path);
        ASSERT_EQ(file.size(), 18u + 2 * rowBytes + 26);
        EXPECT_EQ(file.substr(0, 18), HeaderBytes(3, 2, depth, 8));
        EXPECT_EQ(file.substr(18, rowBytes), StoreRow(targa, 0, rowBytes));
        EXPECT_EQ(file.substr(18 + rowBytes, rowBytes), StoreRow(targa, 1, rowBytes));
        EXPECT_EQ(file.substr(18 + 2 * rowBytes), kFooter);

        TTarga loaded;
        loaded.LoadFromFile(path);
        EXPECT_EQ(HeaderOf(loaded), HeaderOf(targa));
        EXPECT_EQ(StoreRow(loaded, 0, rowBytes), StoreRow(targa, 0, rowBytes));
        EXPECT_EQ(StoreRow(loaded, 1, rowBytes), StoreRow(targa, 1, rowBytes));
        loaded.SaveToFile(path + ".again");
        EXPECT_EQ(ReadFile(path + ".again"), file);
    }
}

TEST(TTarga, ScanLineZeroIsTheLastRowOfTheFile)
{
    TempDir dir;
    WriteFile(dir.File("a.tga"), HeaderBytes(1, 3, 24, 8) + "AAABBBCCC" + kFooter);
    TTarga targa;
    targa.LoadFromFile(dir.File("a.tga"));
    ASSERT_EQ(targa.GetScanLine(0), targa.Canvas()->scanLine(2));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(targa.GetScanLine(0)), 3), "CCC");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(targa.GetScanLine(2)), 3), "AAA");
    EXPECT_THROW(targa.GetScanLine(3), std::out_of_range);
    EXPECT_THROW(targa.GetScanLine(-1), std::out_of_range);
}

TEST(TTarga, ResetImageDecidesWhetherTheNewDepthKeepsThePicture)
{
    for (bool resetImage : {true, false}) {
        SCOPED_TRACE(resetImage);
        TTarga targa;
        MakeStore(targa, 32, 2, 2);
        targa.setProperty("ResetImage", resetImage);
        // Opaque pixels: blue, green, red, alpha.
        const uchar pixels[2][8] = {{1, 2, 3, 255, 4, 5, 6, 255}, {7, 8, 9, 255, 10, 11, 12, 255}};
        for (int k = 0; k < 2; ++k)
            std::copy(pixels[k], pixels[k] + 8, targa.Canvas()->scanLine(k));

        targa.SetDepth(24);
        ASSERT_EQ(targa.Canvas()->format(), QImage::Format_BGR888);
        ASSERT_EQ(targa.Canvas()->size(), QSize(2, 2));
        const std::string expected0 = resetImage ? std::string("\1\2\3\4\5\6", 6) : std::string(6, '\0');
        const std::string expected1 = resetImage ? std::string("\7\10\11\12\13\14", 6) : std::string(6, '\0');
        EXPECT_EQ(StoreRow(targa, 0, 6), expected0);
        EXPECT_EQ(StoreRow(targa, 1, 6), expected1);
    }
}

TEST(TTarga, ResetImageKeepsTheColourOfTransparentPixels)
{
    // Red 10, green 20, blue 30 with alpha 0, and red 200, green 100, blue 50
    // with alpha 128: a store without alpha takes the colours as they are,
    // not blended with black, at the precision of its depth.
    const struct {
        int depth;
        std::string pixels;
    } cases[] = {
        {32, std::string("\x1e\x14\x0a\x00\x32\x64\xc8\x80", 8)},
        {24, std::string("\x1e\x14\x0a\x32\x64\xc8", 6)},
        {16, std::string("\xa3\x08\x26\xcb", 4)},
        {15, std::string("\x43\x04\x86\x65", 4)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.depth);
        TTarga targa;
        MakeStore(targa, 32, 2, 1);
        const uchar pixels[8] = {30, 20, 10, 0, 50, 100, 200, 128};
        std::copy(pixels, pixels + 8, targa.Canvas()->scanLine(0));
        targa.SetResetImage(true);
        targa.SetDepth(static_cast<quint16>(c.depth));
        EXPECT_EQ(StoreRow(targa, 0, static_cast<int>(c.pixels.size())), c.pixels);
    }
}

TEST(TTarga, ImageIdFieldIsTakenAsPixelData)
{
    TempDir dir;
    const std::string header = HeaderBytes(2, 2, 24, 0, 3);
    WriteFile(dir.File("id.tga"), header + "IDx" + "abcdefghijkl");
    TTarga targa;
    targa.LoadFromFile(dir.File("id.tga"));
    EXPECT_EQ(StoreRow(targa, 0, 6), "IDxabc");
    EXPECT_EQ(StoreRow(targa, 1, 6), "defghi");

    targa.SaveToFile(dir.File("out.tga"));
    EXPECT_EQ(ReadFile(dir.File("out.tga")), HeaderBytes(2, 2, 24, 8, 3) + "IDxabcdefghi" + kFooter);
}

TEST(TTarga, ShortFileKeepsOldHeaderBytesAndBlankPixels)
{
    TempDir dir;
    // Ends inside the first byte of the width: the rest of the header stays.
    WriteFile(dir.File("short.tga"), HeaderBytes(2, 0, 0).substr(0, 13));
    TTarga targa;
    targa.LoadFromFile(dir.File("short.tga"));
    EXPECT_EQ(targa.Width(), 0x0102);
    EXPECT_EQ(targa.Height(), 256);
    EXPECT_EQ(targa.GetDepth(), 32);

    // A row and two bytes of a second row.
    WriteFile(dir.File("rows.tga"), HeaderBytes(2, 3, 24) + "abcdef" + "gh");
    targa.LoadFromFile(dir.File("rows.tga"));
    EXPECT_EQ(StoreRow(targa, 0, 6), "abcdef");
    EXPECT_EQ(StoreRow(targa, 1, 6), std::string("gh") + std::string(4, '\0'));
    EXPECT_EQ(StoreRow(targa, 2, 6), std::string(6, '\0'));
}

TEST(TTarga, PictureOfManyBlocksKeepsItsRowsInEveryOrderAndLength)
{
    // 24-bit rows of 4,095 bytes in store rows of 4,096; 2.4 MB of pixels.
    constexpr int kWidth = 1365;
    constexpr int kHeight = 600;
    constexpr std::size_t kRowBytes = 3 * kWidth;
    TempDir dir;
    TTarga targa;
    MakeStore(targa, 24, kWidth, kHeight);
    // Random rows: a pattern that repeats after some rows could hide a block
    // written twice.
    std::mt19937 random(11);
    std::string rows(kHeight * kRowBytes, '\0');
    std::generate(rows.begin(), rows.end(), [&] { return static_cast<char>(random()); });
    for (int k = 0; k < kHeight; ++k)
        std::copy_n(rows.data() + k * kRowBytes, kRowBytes, targa.Canvas()->scanLine(k));
    targa.SaveToFile(dir.File("big.tga"));
    ASSERT_TRUE(ReadFile(dir.File("big.tga")) == HeaderBytes(kWidth, kHeight, 24, 8) + rows + kFooter);

    const std::size_t cut = 400 * kRowBytes + 7; // inside the third pixel of row 400
    const struct {
        int descriptor;
        std::size_t pixelBytes;
    } cases[] = {{0, rows.size()}, {0x20, rows.size()}, {0x30, rows.size()}, {0, cut}, {0x20, cut}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "descriptor " << c.descriptor << ", " << c.pixelBytes << " bytes");
        WriteFile(dir.File("in.tga"), HeaderBytes(kWidth, kHeight, 24, c.descriptor) + rows.substr(0, c.pixelBytes));
        TTarga loaded;
        loaded.LoadFromFile(dir.File("in.tga"));
        std::string expected;
        for (int s = 0; s < kHeight; ++s) {
            const std::size_t k = (c.descriptor & 0x20) ? kHeight - 1 - s : s;
            std::string row = rows.substr(k * kRowBytes, std::min(kRowBytes, c.pixelBytes - std::min(c.pixelBytes, k * kRowBytes)));
            if ((c.descriptor & 0x10) && row.size() == kRowBytes)
                for (std::size_t l = 0, r = kRowBytes - 3; l < r; l += 3, r -= 3)
                    std::swap_ranges(row.begin() + l, row.begin() + l + 3, row.begin() + r);
            expected += row + std::string(kRowBytes - row.size(), '\0');
        }
        std::string actual;
        for (int s = 0; s < kHeight; ++s)
            actual += StoreRow(loaded, s, kRowBytes);
        EXPECT_TRUE(actual == expected);
    }
}

TEST(TTarga, FilesWithTopOrRightOriginLoadTheRightWayRound)
{
    TempDir dir;
    // Top-left origin: the first row of the file is the top of the picture.
    WriteFile(dir.File("top.tga"), HeaderBytes(1, 2, 24, 0x20) + "TTTBBB");
    TTarga targa;
    targa.LoadFromFile(dir.File("top.tga"));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(targa.GetScanLine(0)), 3), "TTT");
    targa.SaveToFile(dir.File("out.tga"));
    EXPECT_EQ(ReadFile(dir.File("out.tga")), HeaderBytes(1, 2, 24, 8) + "BBBTTT" + kFooter);

    // Bottom-right origin: every row runs from right to left.
    WriteFile(dir.File("right.tga"), HeaderBytes(3, 1, 16, 0x10) + "RRMMLL");
    targa.LoadFromFile(dir.File("right.tga"));
    EXPECT_EQ(StoreRow(targa, 0, 6), "LLMMRR");
}

TEST(TTarga, OtherDepthsStayWithinTheirRows)
{
    TempDir dir;
    for (int depth : {0, 8, 12, 40, 255}) {
        SCOPED_TRACE(depth);
        TTarga targa;
        MakeStore(targa, depth, 3, 2);
        const int storeRowBytes = 3 * targa.Canvas()->depth() / 8;
        FillRows(targa, storeRowBytes);
        const std::string path = dir.File("d" + std::to_string(depth) + ".tga");
        targa.SaveToFile(path);
        const std::string file = ReadFile(path);
        EXPECT_EQ(file.size(), 18u + 2 * 3 * FileBpp(depth) + 26);

        TTarga loaded;
        loaded.LoadFromFile(path);
        EXPECT_EQ(loaded.GetDepth(), depth);
        loaded.SaveToFile(path + ".again");
        EXPECT_EQ(ReadFile(path + ".again"), file);
    }
}

TEST(TTarga, RegisterPutsItOnThePalette)
{
    TTarga::Register();
    const auto classes = eit::PaletteClasses(eit::kPalettePage);
    EXPECT_NE(std::find(classes.begin(), classes.end(), "TTarga"), classes.end());
}

// Tests of all the error paths follow.

// An oversized header is refused before any allocation.
TEST(TTarga, UnreadableOrOversizedFileIsReportedAndChangesNothing)
{
    TempDir dir;
    TTarga targa;
    MakeStore(targa, 24, 3, 2);
    QImage* store = targa.Canvas();
    // 16384 x 16385 x 4 bytes is just over 1 GiB; 65535 x 65535 x 32 bytes
    // would not fit in any address space. No header: the file is not written.
    struct Case {
        std::string Path, Header, Message;
    };
    std::vector<Case> cases{{dir.File("missing.tga"), "", "Cannot open file "},
                            {dir.Path(), "", "Cannot open file "},
                            {dir.File("big.tga"), HeaderBytes(16384, 16385, 32), "Picture too large in file "},
                            {dir.File("big.tga"), HeaderBytes(65535, 65535, 255), "Picture too large in file "}};
    // A FIFO is refused rather than waited on; the peer keeps a blocking
    // open from hanging the test.
    if (!eit::test::kOnWindows) {
        eit::test::MakeFifo(dir.File("fifo.tga"));
        cases.push_back({dir.File("fifo.tga"), "", "Cannot open file "});
    }
    eit::test::FifoPeer peer(dir.File("fifo.tga"));
    for (const auto& c : cases) {
        if (!c.Header.empty())
            WriteFile(c.Path, c.Header);
        EXPECT_EQ(ErrorOf([&] { targa.LoadFromFile(c.Path); }), c.Message + c.Path);
        EXPECT_EQ(HeaderOf(targa), HeaderBytes(3, 2, 24, 0)) << c.Path;
        EXPECT_EQ(targa.Canvas(), store) << c.Path;
    }
}

TEST(TTarga, UncreatableFileIsReportedAndLeavesNoFile)
{
    TempDir dir;
    TTarga targa;
    MakeStore(targa, 24, 3, 2);
    const std::string path = dir.File("no/such/dir/a.tga");
    EXPECT_EQ(ErrorOf([&] { targa.SaveToFile(path); }), "Cannot create file " + path);
    EXPECT_EQ(targa.Header()[17], 8);
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
}
