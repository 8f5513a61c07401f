#include "FileError.h"
#include "TestSupport.h"
#include "TextMarkers.h"
#include "TextObject.h"

#include <gtest/gtest.h>

using eit::kOutOfText;
using eit::test::ReadFile;
using eit::test::WriteFile;
using Texts = std::vector<std::string>;

namespace {

const std::string kSep(eit::kSeparatorLine);
const std::string kEnd(eit::kEndLine);

class Blansh : public ::testing::Test {
protected:
    // Loads lines, each followed by CR LF, through a file.
    void LoadLines(const Texts& lines)
    {
        std::string file;
        for (const auto& line : lines)
            file += line + "\r\n";
        WriteFile(dir.File("lines.txt"), file);
        ASSERT_TRUE(text.LoadText(dir.File("lines.txt")));
    }

    // New, then one record per text.
    void WriteRecords(const Texts& texts)
    {
        text.New(TTextObject::omRead);
        for (const auto& t : texts)
            text.Write(t);
    }

    Texts Lines() const { return text.Lines().Items(); }

    void ExpectIndexError(const std::function<void()>& operation, int index)
    {
        EXPECT_EQ(eit::test::ErrorOf(operation), "List index out of bounds (" + std::to_string(index) + ")");
    }

    eit::test::TempDir dir;
    TTextObject text;
};

TEST_F(Blansh, WritesTheEightLineExampleAndReadsItBack)
{
    WriteRecords({"Hello", "World"});
    EXPECT_EQ(Lines(), (Texts{kSep, "#H#E#A#D#E#R#0#0#", "Hello", kEnd,
                              kSep, "#H#E#A#D#E#R#0#1#", "World", kEnd}));
    EXPECT_EQ(text.Count(), 2);
    EXPECT_EQ(text.Line(), 8);

    text.SetPosition(0);
    EXPECT_EQ(text.Line(), 0);
    EXPECT_EQ(text.Read(), "Hello");
    EXPECT_EQ(text.Log().Items(), Texts{"Hello"});
    EXPECT_EQ(text.Read(), "World");
    EXPECT_EQ(text.Read(), kOutOfText);
    EXPECT_EQ(text.Log().Items(), (Texts{"Hello", "World"}));
    EXPECT_EQ(text.Position(), 2);
}

TEST_F(Blansh, HeadersCarryTypeCodeNumberAndChecksum)
{
    text.CRC = true;
    WriteRecords({"a"});
    EXPECT_EQ(Lines()[1], "#H#E#A#D#E#R#128#0#943#");

    text.TextType = TTextObject::ttPlain;
    WriteRecords({"a", "b"});
    EXPECT_EQ(Lines()[1], "#H#E#A#D#E#R#129#861#");
    EXPECT_EQ(Lines()[5], "#H#E#A#D#E#R#129#861#");

    text.CRC = false;
    text.TextType = TTextObject::ttStringDepeneded;
    WriteRecords({"a"});
    EXPECT_EQ(Lines()[1], "#H#E#A#D#E#R#2#");
}

TEST_F(Blansh, ARecordOfSeveralLinesIsJoinedAndSized)
{
    LoadLines({kSep, "#H#E#A#D#E#R#1#", "A", "B", kEnd});
    EXPECT_EQ(text.Read(), "A\r\nB");
    EXPECT_EQ(text.GetSize(), 4);

    text.LinuxFormat = true;
    text.SetPosition(0);
    EXPECT_EQ(text.Read(), "A\nB");
    EXPECT_EQ(text.GetSize(), 4);   // sizes count CR LF whatever the format
    text.AsciiZ = true;
    EXPECT_EQ(text.GetSize(), 5);
    text.TextAlign = 4;
    EXPECT_EQ(text.GetSize(), 8);
    text.TextAlign = 0;
    EXPECT_EQ(text.GetSize(), 5);

    text.AsciiZ = false;
    text.SingleLine = true;
    text.SetPosition(0);
    EXPECT_EQ(text.Read(), "AB");
    EXPECT_EQ(text.GetSize(), 2);
}

TEST_F(Blansh, ARecordWithoutTextLinesReadsAsEmpty)
{
    LoadLines({kSep, "#H#E#A#D#E#R#1#", kEnd, kSep, "#H#E#A#D#E#R#1#", "", kEnd});
    text.AsciiZ = true;
    EXPECT_EQ(text.GetSize(), 2);
    EXPECT_EQ(text.Read(), "");
    EXPECT_EQ(text.Read(), "");
    EXPECT_EQ(text.Read(), kOutOfText);
    EXPECT_EQ(text.Count(), 0);   // loaded records are not counted
}

TEST_F(Blansh, RewriteAtTheEndAppendsAFullRecord)
{
    WriteRecords({"Hello"});
    text.Rewrite("World");
    EXPECT_EQ(Lines(), (Texts{kSep, "#H#E#A#D#E#R#0#0#", "Hello", kEnd,
                              kSep, "#H#E#A#D#E#R#0#1#", "World", kEnd}));
    EXPECT_EQ(text.Count(), 2);
}

TEST_F(Blansh, RewriteOnARecordReplacesItsTextAndKeepsItsHeader)
{
    LoadLines({kSep, "#H#E#A#D#E#R#128#0#943#", "A", "B", kEnd, kSep, "#H#E#A#D#E#R#0#1#", "C", kEnd});
    text.CRC = false;
    text.TextType = TTextObject::ttPlain;
    text.Rewrite("new\ntext");
    EXPECT_EQ(Lines(), (Texts{kSep, "#H#E#A#D#E#R#128#0#943#", "new\ntext", kEnd,
                              kSep, "#H#E#A#D#E#R#0#1#", "C", kEnd}));
    EXPECT_EQ(text.Line(), 4);
    EXPECT_EQ(text.Position(), 1);
    EXPECT_EQ(text.Count(), 0);
    EXPECT_EQ(text.Read(), "C");
}

TEST_F(Blansh, AWriteAfterAReadGoesBetweenTheRecords)
{
    WriteRecords({"Hello", "World"});
    text.SetPosition(0);
    text.Read();
    text.Write("Middle");
    EXPECT_EQ(Lines(), (Texts{kSep, "#H#E#A#D#E#R#0#0#", "Hello", kEnd,
                              kSep, "#H#E#A#D#E#R#0#1#", "Middle", kEnd,
                              kSep, "#H#E#A#D#E#R#0#1#", "World", kEnd}));
    EXPECT_EQ(text.Read(), "World");
}

TEST_F(Blansh, SetPositionWalksFromRecordToRecord)
{
    WriteRecords({"r0", "r1", "r2"});
    // At the end: N - 1 goes to the last record.
    text.SetPosition(2);
    EXPECT_EQ(text.Line(), 8);
    EXPECT_EQ(text.Position(), 2);
    // The record already there: nothing moves.
    text.SetPosition(2);
    EXPECT_EQ(text.Line(), 8);
    text.SetPosition(0);
    EXPECT_EQ(text.Line(), 0);
    text.SetPosition(1);
    EXPECT_EQ(text.Read(), "r1");
    // From the middle of a record back to its start.
    text.SetPosition(2);
    EXPECT_EQ(text.Read(), "r2");
}

TEST_F(Blansh, SetPositionBeyondTheLastRecordStopsAtTheEnd)
{
    WriteRecords({"r0", "r1", "r2"});
    // At the end, the number of records leaves the end of the list with the
    // number of the last record.
    text.SetPosition(3);
    EXPECT_EQ(text.Line(), 12);
    EXPECT_EQ(text.Position(), 2);

    text.SetPosition(0);
    text.SetPosition(7);
    EXPECT_EQ(text.Line(), 12);
    EXPECT_EQ(text.Position(), 0);
    EXPECT_EQ(text.Read(), kOutOfText);
}

TEST_F(Blansh, ClearStringRemovesOnlyBlanks)
{
    EXPECT_EQ(TTextObject::ClearString("a b\tc"), "ab\tc");
    EXPECT_EQ(TTextObject::ClearString("  "), "");
    EXPECT_EQ(TTextObject::ClearString(""), "");
}

TEST_F(Blansh, EraseSpaceTrimsBothEndsWhenClearBoundsIsSet)
{
    EXPECT_EQ(text.EraseSpace(" \tx "), " \tx ");
    text.ClearBounds = true;
    EXPECT_EQ(text.EraseSpace(" \tx "), "x");
    EXPECT_EQ(text.EraseSpace("\t a b\t "), "a b");
    EXPECT_EQ(text.EraseSpace(" "), "");
    EXPECT_EQ(text.EraseSpace(" \t\t "), "");
    EXPECT_EQ(text.EraseSpace(""), "");
}

TEST_F(Blansh, SavedTextLoadsBackAsTheSameRecords)
{
    text.CRC = true;
    WriteRecords({"Hello", "two\r\nlines", ""});
    const std::string file = dir.File("saved.txt");
    text.SaveText(file);
    const std::string first = kSep + "\r\n#H#E#A#D#E#R#128#0#943#\r\nHello\r\n" + kEnd + "\r\n";
    EXPECT_EQ(ReadFile(file).substr(0, first.size()), first);

    TTextObject other;
    ASSERT_TRUE(other.LoadText(file));
    EXPECT_EQ(other.Lines().Count(), 13);   // the text with a line end is two lines now
    EXPECT_EQ(other.Read(), "Hello");
    EXPECT_EQ(other.Read(), "two\r\nlines");
    EXPECT_EQ(other.Read(), "");
    EXPECT_EQ(other.Read(), kOutOfText);
    EXPECT_EQ(other.GetSize(), text.GetSize());
}

TEST_F(Blansh, LoadTextOfAMissingFileChangesNothing)
{
    WriteRecords({"Hello"});
    text.SetPosition(0);
    text.Read();
    EXPECT_FALSE(text.LoadText(dir.File("missing.txt")));
    EXPECT_EQ(text.Lines().Count(), 4);
    EXPECT_EQ(text.Line(), 4);
    EXPECT_EQ(text.Position(), 1);
    EXPECT_EQ(text.Count(), 1);
    EXPECT_EQ(text.Log().Items(), Texts{"Hello"});
}

TEST_F(Blansh, LoadTextLeavesTheIniStyleFileAlone)
{
    text.TextStyle = TTextObject::IniStyle;
    text.FileName = dir.File("texts.txt");
    WriteFile(text.FileName, "[0x00000000]\r\nkeep\r\n");
    LoadLines({"x"});
    EXPECT_EQ(ReadFile(text.FileName), "[0x00000000]\r\nkeep\r\n");
    EXPECT_EQ(Lines(), Texts{"x"});
    EXPECT_EQ(text.Read(), kOutOfText);
}

// Tests of all the error paths follow.

TEST_F(Blansh, OperationsThatRunOffTheListFailWithTheIndexError)
{
    // Empty list: positioning steps before its start.
    ExpectIndexError([&] { text.SetPosition(0); }, -1);
    text.New(TTextObject::omRead);

    // Going back beyond the first record.
    WriteRecords({"r0"});
    text.SetPosition(0);
    ExpectIndexError([&] { text.SetPosition(-1); }, -1);

    // A record without its end line.
    LoadLines({kSep, "#H#E#A#D#E#R#1#", "A", "B"});
    ExpectIndexError([&] { text.Read(); }, 4);
    LoadLines({kSep, "#H#E#A#D#E#R#1#", "A"});
    ExpectIndexError([&] { text.GetSize(); }, 3);
    LoadLines({kSep, "#H#E#A#D#E#R#1#", "A"});
    ExpectIndexError([&] { text.Rewrite("x"); }, 2);

    // A list that does not start with a separator: walking back over its
    // first lines stops before the list, and the next insert fails.
    LoadLines({"stray", "x", kSep, "#H#E#A#D#E#R#1#", "A", kEnd});
    ExpectIndexError([&] { text.SetPosition(1); }, -1);
    LoadLines({"stray", "x", kSep, "#H#E#A#D#E#R#1#", "A", kEnd});
    text.Read();
    text.SetPosition(0);
    ASSERT_EQ(text.Line(), 2);
    text.SetPosition(-1);
    EXPECT_EQ(text.Line(), -1);
    EXPECT_EQ(text.Position(), 0);
    ExpectIndexError([&] { text.Write("y"); }, -1);
}

TEST_F(Blansh, LoadTextOfAFileThatCannotBeReadThrowsAfterEmptying)
{
    WriteRecords({"Hello"});
    EXPECT_EQ(eit::test::ErrorOf([&] { text.LoadText(dir.Path()); }), "Cannot open file " + dir.Path());
    EXPECT_TRUE(text.Lines().Empty());
}

} // namespace
