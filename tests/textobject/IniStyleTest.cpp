#include "FileError.h"
#include "FileUtil.h"
#include "TestSupport.h"
#include "TextMarkers.h"
#include "TextObject.h"

#include <gtest/gtest.h>

#include <random>

using namespace std::string_literals;
using eit::kNoText;
using eit::kOutOfText;
using eit::test::ReadFile;
using eit::test::WriteFile;

namespace {

const std::string kExampleFile =
    "[0x00000000]\r\nHello\r\n"
    "[0x00000001]\r\nfirst line\r\nsecond line\r\n"
    "[0x00000002]\r\n\r\n";

class IniStyle : public ::testing::Test {
protected:
    IniStyle()
    {
        text.TextStyle = TTextObject::IniStyle;
        text.FileName = dir.File("texts.txt");
    }

    // Loads contents as the IniStyle file.
    std::int32_t Load(const std::string& contents, TTextObject::TOpenModes mode = TTextObject::omRead)
    {
        WriteFile(text.FileName, contents);
        return text.New(mode);
    }

    std::vector<std::string> ReadAll()
    {
        std::vector<std::string> texts;
        for (std::string t = text.Read(); t != kOutOfText; t = text.Read())
            texts.push_back(t);
        return texts;
    }

    std::vector<std::string> Index() const { return text.Lines().Items(); }

    eit::test::TempDir dir;
    TTextObject text;
};

using Texts = std::vector<std::string>;

TEST_F(IniStyle, WritesTheExampleFileByteForByte)
{
    WriteFile(text.FileName, "old contents");
    ASSERT_EQ(text.New(TTextObject::omWrite), 0);
    text.Write("Hello");
    text.Write("first line\nsecond line");
    text.Rewrite("");   // no rewriting here: appends like Write
    EXPECT_EQ(ReadFile(text.FileName), kExampleFile);
    EXPECT_EQ(text.Position(), 3);
    EXPECT_EQ(text.Count(), 0);
}

TEST_F(IniStyle, LoadsTheExampleIntoAnIndexWithAnEndEntry)
{
    EXPECT_EQ(Load(kExampleFile), 0);
    EXPECT_EQ(text.Count(), 3);
    EXPECT_EQ(Index(), (Texts{"0x00000000", "0x00000001", "0x00000002", "0x00000003"}));
    EXPECT_EQ(text.FileSize(), static_cast<int>(kExampleFile.size()));
    EXPECT_EQ(text.LoadedText(), kExampleFile);
    EXPECT_EQ(text.SearchRec().Name, "texts.txt");
    EXPECT_EQ(text.SearchRec().Size, static_cast<int>(kExampleFile.size()));
    EXPECT_TRUE(text.Log().Empty());
}

struct LineEndCase {
    bool linuxFormat;
    bool singleLine;
    std::string secondText;
};

class IniStyleLineEnds : public IniStyle, public ::testing::WithParamInterface<LineEndCase> {};

TEST_P(IniStyleLineEnds, ReadsTheExampleBack)
{
    text.LinuxFormat = GetParam().linuxFormat;
    text.SingleLine = GetParam().singleLine;
    Load(kExampleFile);
    EXPECT_EQ(ReadAll(), (Texts{"Hello", GetParam().secondText, ""}));
    EXPECT_EQ(text.Read(), kOutOfText);
}

INSTANTIATE_TEST_SUITE_P(EveryFlagCombination, IniStyleLineEnds,
    ::testing::Values(LineEndCase{false, false, "first line\r\nsecond line"},
                      LineEndCase{true, false, "first line\nsecond line"},
                      LineEndCase{false, true, "first linesecond line"},
                      LineEndCase{true, true, "first linesecond line"}));

TEST_F(IniStyle, CrLfInsideATextGainsACrOnDisk)
{
    text.New(TTextObject::omWrite);
    text.Write("a\r\nb");
    EXPECT_EQ(ReadFile(text.FileName), "[0x00000000]\r\na\r\r\nb\r\n");

    text.New(TTextObject::omRead);
    EXPECT_EQ(text.Read(), "a\r\r\nb");
    text.LinuxFormat = true;
    text.SetPosition(0);
    EXPECT_EQ(text.Read(), "a\r\nb");
    text.SingleLine = true;
    text.SetPosition(0);
    EXPECT_EQ(text.Read(), "a\rb");
}

TEST_F(IniStyle, MakeStringDropsOnlyTheCrOfALineEnd)
{
    EXPECT_EQ(text.MakeString("\r\r\nx\r"), "\r\r\nx\r");   // no flag: unchanged
    text.LinuxFormat = true;
    EXPECT_EQ(text.MakeString("\r\r\nx\r\n\ny\r"), "\r\nx\n\ny\r");
    EXPECT_EQ(text.MakeString("\n"), "\n");
    text.SingleLine = true;
    EXPECT_EQ(text.MakeString("a\r\nb\nc"), "abc");
    EXPECT_EQ(text.MakeString("a\0\nb"s), "a");            // zero-terminated
}

TEST_F(IniStyle, AGapIsReportedOnceAndEmptiesTheIndex)
{
    text.AsciiZ = true;
    const std::string file = "[0x00000000]\r\na\r\n[0x00000001]\r\nb\r\n[0x00000003]\r\nd\r\n";
    EXPECT_EQ(Load(file), TTextObject::kStatusGap);
    EXPECT_EQ(text.Log().Items(), Texts{"Block 0x00000002 not found!"});
    EXPECT_EQ(text.Count(), 3);
    EXPECT_TRUE(text.Lines().Empty());
    EXPECT_EQ(text.Read(), kOutOfText);
    // Nothing left in the index to measure.
    EXPECT_EQ(text.GetSize(), 0);
    text.SetPosition(1);
    EXPECT_EQ(text.GetCurrentLength(), -1);

    // A new open starts a fresh log.
    EXPECT_EQ(Load(kExampleFile), 0);
    EXPECT_TRUE(text.Log().Empty());
}

TEST_F(IniStyle, RepeatedAndMissingNumbersEachGiveOneMessage)
{
    // 0, 1, 1, 2 repeats block 1; then 4 skips block 3.
    std::string file;
    for (const char* header : {"0", "1", "1", "2", "4"})
        file += "[0x0000000"s + header + "]\r\nt\r\n";
    EXPECT_EQ(Load(file), TTextObject::kStatusGap);
    EXPECT_EQ(text.Log().Items(), (Texts{"Block 0x00000002 not found!", "Block 0x00000003 not found!"}));
    EXPECT_EQ(text.Count(), 5);

    text.NoErrors = true;
    EXPECT_EQ(Load(file), 0);
    EXPECT_TRUE(text.Log().Empty());
    EXPECT_EQ(Index(), (Texts{"0x00000000", "0x00000001", "0x00000001", "0x00000002", "0x00000004",
                              "0x00000005"}));
}

TEST_F(IniStyle, HeadersInAnotherFormAreIndexedButTheirTextIsMissing)
{
    text.AsciiZ = true;
    std::string file;
    for (int i = 0; i < 10; ++i)
        file += "[0x0000000" + std::to_string(i) + "]\r\nt" + std::to_string(i) + "\r\n";
    file += "[0x0000000a]\r\nlower\r\n[0xB]\r\nshort\r\n";
    ASSERT_EQ(Load(file), 0);
    ASSERT_EQ(text.Count(), 12);
    EXPECT_EQ(Index()[10], "0x0000000A");
    EXPECT_EQ(Index()[11], "0x0000000B");
    text.SetPosition(9);
    // Block 9 has no written end header, so its text runs to the end.
    EXPECT_EQ(text.Read(), "t9\r\n[0x0000000a]\r\nlower\r\n[0xB]\r\nshort");
    EXPECT_EQ(text.GetCurrentLength(), -1);
    EXPECT_EQ(text.Read(), kNoText);
    EXPECT_EQ(text.Position(), 11);
    EXPECT_EQ(text.Read(), kNoText);
    EXPECT_EQ(text.Read(), kOutOfText);
    // Missing texts count as empty ones: 1 byte each with AsciiZ.
    EXPECT_EQ(text.GetSize(), 9 * 3 + 38 + 1 + 1);
}

TEST_F(IniStyle, HeaderMarkInsideATextIsCountedAsAHeader)
{
    text.New(TTextObject::omWrite);
    text.Write("a [0x1 then more");
    text.Write("x");
    EXPECT_EQ(text.New(TTextObject::omRead), TTextObject::kStatusGap);
    EXPECT_EQ(text.Log().Items(), Texts{"Block 0x00000002 not found!"});

    text.NoErrors = true;
    EXPECT_EQ(text.New(TTextObject::omRead), 0);
    EXPECT_EQ(Index(), (Texts{"0x00000000", "0x00000001", "0x00000001", "0x00000003"}));
    EXPECT_EQ(ReadAll(), (Texts{"a [0x1 then more", "", "x"}));
}

TEST_F(IniStyle, HeaderMarkWithoutDigitsStandsForBlockZero)
{
    EXPECT_EQ(Load("[0x]\r\nzero text\r\n[0x00000001]\r\none\r\n"), 0);
    EXPECT_EQ(Index(), (Texts{"0x00000000", "0x00000001", "0x00000002"}));
    EXPECT_EQ(ReadAll(), (Texts{std::string(kNoText), "one"}));

    EXPECT_EQ(Load("[0x]\r\nzero text\r\n[0x!]\r\n"), TTextObject::kStatusGap);
    EXPECT_EQ(text.Log().Items(), Texts{"Block 0x00000001 not found!"});
}

TEST_F(IniStyle, TheFirstOccurrenceOfAWrittenHeaderCounts)
{
    text.NoErrors = true;
    text.New(TTextObject::omWrite);
    text.Write("fake [0x00000001] inside");
    text.Write("real");
    text.New(TTextObject::omRead);
    EXPECT_EQ(ReadAll(), (Texts{"fake ", "", "nside\r\n[0x00000001]\r\nreal"}));
}

TEST_F(IniStyle, AZeroByteEndsTheLoadedText)
{
    const std::string file = "[0x00000000]\r\nab\0cd\r\n[0x00000001]\r\nx\r\n"s;
    Load(file);
    EXPECT_EQ(text.FileSize(), static_cast<int>(file.size()));
    EXPECT_EQ(text.LoadedText(), "[0x00000000]\r\nab");
    EXPECT_EQ(Index(), (Texts{"0x00000000", "0x00000001"}));
    EXPECT_EQ(ReadAll(), Texts{"ab"});

    // A text written with a zero byte is cut there, so it cannot hide the
    // blocks after it.
    text.New(TTextObject::omWrite);
    text.Write("ab\0cd"s);
    text.Write("next");
    EXPECT_EQ(ReadFile(text.FileName), "[0x00000000]\r\nab\r\n[0x00000001]\r\nnext\r\n");
}

TEST_F(IniStyle, TheTwoBytesAfterAHeaderAreAlwaysSkipped)
{
    Load("lead-in [0x00000000]XY[0x00000001]Z\r[0x00000002]\r\nabc\n[0x00000003]");
    EXPECT_EQ(ReadAll(), (Texts{"", "", "abc", ""}));
}

TEST_F(IniStyle, AnEmptyFileOrOneWithoutHeadersHoldsNoText)
{
    for (const std::string file : {"", "no headers here\r\n"}) {
        EXPECT_EQ(Load(file), 0);
        EXPECT_EQ(text.Count(), 0);
        EXPECT_EQ(Index(), Texts{"0x00000000"});
        EXPECT_EQ(text.Read(), kOutOfText);
        EXPECT_EQ(text.GetSize(), 0);
        EXPECT_EQ(text.GetCurrentLength(), -1);
    }
}

TEST_F(IniStyle, SizesFollowAsciiZAndTextAlign)
{
    text.AsciiZ = true;
    text.TextAlign = 4;
    EXPECT_EQ(text.GetStringLength("Hello"), 8);
    EXPECT_EQ(text.GetStringLength("Hel"), 4);   // a multiple stays
    text.TextAlign = 1;
    EXPECT_EQ(text.GetStringLength("Hello"), 6);
    text.AsciiZ = false;
    text.TextAlign = 5;
    EXPECT_EQ(text.GetStringLength("Hello"), 5);
    for (int align : {0, -3}) {
        text.TextAlign = align;
        EXPECT_EQ(text.GetStringLength("Hello"), 5);
    }
    text.TextAlign = INT32_MAX;
    EXPECT_EQ(text.GetStringLength("Hello"), INT32_MAX);

    text.TextAlign = 1;
    Load(kExampleFile);
    EXPECT_EQ(text.GetSize(), 5 + 23 + 0);
    text.LinuxFormat = true;
    EXPECT_EQ(text.GetSize(), 5 + 22 + 0);
    text.AsciiZ = true;
    text.TextAlign = 4;
    EXPECT_EQ(text.GetSize(), 8 + 24 + 4);
}

TEST_F(IniStyle, CurrentLengthMeasuresTheNextTextToRead)
{
    Load(kExampleFile);
    EXPECT_EQ(text.GetCurrentLength(), 5);
    text.Read();
    EXPECT_EQ(text.GetCurrentLength(), 23);
    text.Read();
    EXPECT_EQ(text.GetCurrentLength(), 0);
    text.Read();
    EXPECT_EQ(text.GetCurrentLength(), -1);
}

TEST_F(IniStyle, SetPositionAcceptsOnlyExistingBlocks)
{
    Load(kExampleFile);
    text.SetPosition(1);
    EXPECT_EQ(text.Position(), 1);
    for (int bad : {3, 4, -1, INT32_MIN}) {
        text.SetPosition(bad);
        EXPECT_EQ(text.Position(), 1);
    }
    EXPECT_EQ(text.Read(), "first line\r\nsecond line");
}

TEST_F(IniStyle, WritesAreIgnoredWithOmReadAndAppendWithHigherModes)
{
    Load(kExampleFile);
    text.Write("ignored");
    EXPECT_EQ(ReadFile(text.FileName), kExampleFile);

    Load(kExampleFile, static_cast<TTextObject::TOpenModes>(2));
    EXPECT_EQ(ReadAll().size(), 3u);
    text.Write("more");
    EXPECT_EQ(ReadFile(text.FileName), kExampleFile + "[0x00000003]\r\nmore\r\n");
    // Writing does not touch what was loaded.
    EXPECT_EQ(text.Count(), 3);
    EXPECT_EQ(text.LoadedText(), kExampleFile);
}

TEST_F(IniStyle, AWriteThatCannotOpenTheFileSetsTheNotFoundBit)
{
    text.FileName = dir.File("missing/texts.txt");
    EXPECT_EQ(text.New(TTextObject::omWrite), 0);
    text.Write("lost");
    EXPECT_EQ(text.Status(), TTextObject::kStatusNotFound);
    EXPECT_EQ(text.Position(), 1);
    ASSERT_EQ(text.Log().Count(), 1);
    EXPECT_EQ(text.Log().Get(0), "Cannot write file " + text.FileName);
    EXPECT_FALSE(eit::PathExists(text.FileName));
}

TEST_F(IniStyle, AFileThatExistsButCannotBeReadThrows)
{
    text.FileName = dir.Path();
    EXPECT_EQ(eit::test::ErrorOf([&] { text.New(TTextObject::omRead); }), "Cannot open file " + dir.Path());
    EXPECT_EQ(text.Count(), 0);
    EXPECT_EQ(text.Read(), kOutOfText);
}

// The block index must give exactly what a search of the loaded text gives,
// on files full of look-alike headers, overlaps, repeats and zero bytes.
TEST_F(IniStyle, IndexedLookupAgreesWithSearchingTheText)
{
    text.NoErrors = true;
    const char* pieces[] = {"[0x", "[0x00000000]", "[0x00000001]", "[0x00000002]", "[0x0000000",
                            "[0x00000001", "[0x0000000a]", "[0x7FFFFFF0]", "]", "\r\n", "\r", "\n", "x", "yz", "\0"};
    std::mt19937 random(12345);
    int blocks = 0;
    for (int round = 0; round < 300; ++round) {
        std::string file;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) {
            const std::size_t k = random() % std::size(pieces);
            file += k + 1 == std::size(pieces) ? "\0"s : std::string(pieces[k]);
        }
        Load(file);
        for (int i = 0; i < text.Count(); ++i) {
            const std::string found = text.GetCharString("[" + Index()[i] + "]", "[" + Index()[i + 1] + "]");
            const std::string expected = found == kNoText ? found : text.MakeString(found);
            ASSERT_EQ(text.Read(), expected) << "block " << i << " of round " << round;
            ++blocks;
        }
    }
    EXPECT_GT(blocks, 1000);
}

} // namespace
