#include "FileError.h"
#include "FileUtil.h"
#include "LineList.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using eit::FileError;
using eit::LineList;

namespace {

std::vector<std::string> Lines(std::string_view text)
{
    LineList list;
    list.SetText(text);
    return list.Items();
}

TEST(LineList, SplitsAtEveryKindOfLineEnd)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(Lines("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(Lines("a\r\n"), (V{"a"}));           // a final line end adds no line
    EXPECT_EQ(Lines("a\n\nb\n"), (V{"a", "", "b"}));
    EXPECT_EQ(Lines("a\r\r\nb"), (V{"a", "", "b"})); // CR, then CR LF
    EXPECT_EQ(Lines("\r\n"), (V{""}));
    EXPECT_EQ(Lines(""), V{});
}

TEST(LineList, ZeroByteEndsTheText)
{
    using namespace std::string_literals;
    EXPECT_EQ(Lines("ab\0cd\r\nef"s), (std::vector<std::string>{"ab"}));
}

TEST(LineList, SavesEveryLineWithCrLfAndLoadsItBack)
{
    eit::test::TempDir dir;
    LineList list;
    list.Add("one");
    list.Add("");
    list.Add("three with blanks ");
    list.SaveToFile(dir.File("list.lst"));
    EXPECT_EQ(eit::test::ReadFile(dir.File("list.lst")), "one\r\n\r\nthree with blanks \r\n");

    LineList back;
    back.LoadFromFile(dir.File("list.lst"));
    EXPECT_EQ(back.Items(), list.Items());
}

// Each step edits the list and a plain vector alike; after each the two
// hold the same lines, in place and as saved text. Enough lines are
// rewritten that the text they leave unused is reclaimed on the way.
TEST(LineList, EditsKeepEveryOtherLineAsItWas)
{
    using V = std::vector<std::string>;
    const std::string longer(300, 'L');
    struct Step {
        enum { Add, Put, Insert, Delete, AddOwnLine, Clear } Kind;
        int Index;
        std::string Text;
        int Repeat = 1;
    };
    const Step steps[] = {
        {Step::Add, 0, "alpha"},        {Step::Add, 0, ""},
        {Step::Add, 0, "gamma"},        {Step::Put, 1, "beta, longer than it was"},
        {Step::Put, 0, "al"},           {Step::Insert, 0, "first"},
        {Step::Insert, 4, "last"},      {Step::Insert, 2, longer},
        {Step::Delete, 2, ""},          {Step::Put, 3, longer, 200},
        {Step::Put, 3, "short again"},  {Step::Delete, 0, "", 3},
        {Step::AddOwnLine, 1, ""},      {Step::AddOwnLine, 0, "", 40},
        {Step::Clear, 0, ""},           {Step::Add, 0, "after clearing"},
    };
    LineList list;
    V model;
    for (const Step& step : steps) {
        for (int n = 0; n < step.Repeat; ++n) {
            const auto at = model.begin() + step.Index;
            switch (step.Kind) {
            case Step::Add: list.Add(step.Text); model.push_back(step.Text); break;
            case Step::Put: list.Put(step.Index, step.Text + std::string(n, '+')); *at = step.Text + std::string(n, '+'); break;
            case Step::Insert: list.Insert(step.Index, step.Text); model.insert(at, step.Text); break;
            case Step::Delete: list.Delete(step.Index); model.erase(at); break;
            case Step::AddOwnLine: list.Add(list.Get(step.Index)); model.push_back(*at); break;
            case Step::Clear: list.Clear(); model.clear(); break;
            }
        }
        ASSERT_EQ(list.Items(), model) << "after the step with index " << step.Index << " and text " << step.Text;
        std::string text;
        for (const std::string& line : model)
            text += line + "\r\n";
        ASSERT_EQ(list.Text(), text);
        for (int i = 0; i < list.Count(); ++i)
            ASSERT_EQ(list.Get(i), model[static_cast<std::size_t>(i)]);
    }
}

// Tests of all the error paths follow.

TEST(LineList, IndexOutsideTheListNamesTheIndex)
{
    LineList list;
    list.Add("x");
    EXPECT_EQ(eit::test::ErrorOf([&] { list.Get(1); }), "List index out of bounds (1)");
    EXPECT_THROW(list.Get(-1), FileError);
    EXPECT_THROW(list.Put(3, "y"), FileError);
    EXPECT_THROW(list.Delete(1), FileError);
    EXPECT_THROW(list.Insert(2, "y"), FileError);
    list.Insert(1, "y"); // one past the end appends
    EXPECT_EQ(list.Get(1), "y");
}

TEST(LineList, MissingFileOrFolderCannotBeOpened)
{
    eit::test::TempDir dir;
    LineList list;
    EXPECT_EQ(eit::test::ErrorOf([&] { list.LoadFromFile(dir.File("none.txt")); }), "Cannot open file " + dir.File("none.txt"));
    EXPECT_THROW(list.LoadFromFile(dir.Path()), FileError);
}

// Opening a FIFO without a writer would wait for ever; with the peer the
// wait ends, so a reader that does not refuse it sees an empty list instead.
TEST(LineList, OnlyARegularFileIsLoaded)
{
    EIT_SKIP_ON_WINDOWS("no FIFOs, sockets or devices on Windows");
    eit::test::TempDir dir;
    eit::test::MakeFifo(dir.File("fifo.lst"));
    eit::test::MakeSocket(dir.File("socket.lst"));
    std::filesystem::create_symlink(eit::test::NullDevice(), dir.File("device.lst"));
    for (const char* name : {"fifo.lst", "socket.lst", "device.lst"}) {
        const std::string path = dir.File(name);
        eit::test::FifoPeer peer(path);
        LineList list;
        EXPECT_EQ(eit::test::ErrorOf([&] { list.LoadFromFile(path); }), "Cannot open file " + path) << name;
    }
}

// Names go to Windows as UTF-8, where other bytes would become U+FFFD: such
// a list is refused there. Linux takes names as bytes; text is bytes on both.
TEST(LineList, NamesThatAreNotUtf8AreRefusedOnWindowsOnly)
{
    using namespace std::string_literals;
    const struct {
        const char* Name;
        std::string Bytes;
        bool Utf8;
    } rows[] = {
        {"ascii", "tim\r\nraw\r\n", true},
        {"two to four bytes", "Donn\xC3\xA9" "es\r\n\xE6\x97\xA5\r\n\xF0\x9F\x98\x80\r\n\xF4\x8F\xBF\xBF", true},
        {"latin-1", "Donn\xE9" "es\r\n", false},
        {"stray continuation", "a\x80\r\n", false},
        {"overlong", "\xC0\xAF\r\n\xE0\x80\xAF", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", false},
        {"cut short at the end", "tim\r\n\xE6\x97", false},
        {"cut short by a line end", "\xE6\x97\r\n", false},
        {"bad bytes after the zero", "tim\0\xE9"s, true},
    };
    eit::test::TempDir dir;
    const std::string path = dir.File("names.lst");
    for (const auto& row : rows) {
        eit::test::WriteFile(path, row.Bytes);
        const std::string text = row.Bytes.substr(0, row.Bytes.find('\0'));
        EXPECT_EQ(eit::IsUtf8(text), row.Utf8) << row.Name;
        LineList names;
        const std::string error = eit::test::ErrorOf([&] { names.LoadFromFile(path); });
        if (!row.Utf8 && eit::test::kOnWindows) {
            EXPECT_EQ(error, path + " is not UTF-8 text") << row.Name;
            EXPECT_TRUE(names.Empty()) << row.Name;
        } else {
            EXPECT_EQ(error, "no error") << row.Name;
            EXPECT_EQ(names.Items(), Lines(text)) << row.Name;
        }
        LineList bytes;
        bytes.LoadFromFile(path, LineList::Content::Bytes);
        EXPECT_EQ(bytes.Items(), Lines(text)) << row.Name;
    }
}

// A huge sparse file: reading it whole would need terabytes.
TEST(LineList, LoadingStopsAtTheFirstZeroByte)
{
    using namespace std::string_literals;
    eit::test::TempDir dir;
    const std::string path = dir.File("zeros.lst");
    eit::test::WriteFile(path, "tim\r\nraw\0more\r\n"s);
    if (!eit::test::ResizeSparse(path, std::uint64_t{2} << 40))
        GTEST_SKIP() << "no sparse file of 2 TiB here";
    LineList list;
    list.LoadFromFile(path);
    EXPECT_EQ(list.Items(), (std::vector<std::string>{"tim", "raw"}));
}

TEST(LineList, FailedSaveKeepsTheOldFile)
{
    eit::test::TempDir dir;
    if (!eit::test::PermissionsBind(dir))
        GTEST_SKIP() << "running with permission to write anywhere";
    const std::string path = dir.File("keep.lst");
    eit::test::WriteFile(path, "old\r\n");
    LineList list;
    list.Add("new");
    eit::test::SetMode(dir.Path(), 0500);
    EXPECT_EQ(eit::test::ErrorOf([&] { list.SaveToFile(path); }), "Cannot create file " + path);
    EXPECT_EQ(eit::test::ReadFile(path), "old\r\n");
}

} // namespace
