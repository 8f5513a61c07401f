#include "FileError.h"
#include "FileUtil.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <span>
#include <vector>

namespace eit {
namespace {

struct PathRow {
    std::string Path;
    bool Absolute;
    std::string Name;
    std::string Directory;
};
struct JoinRow {
    std::string Dir, Name, Joined;
};

const PathRow kPosixPaths[] = {
    {"", false, "", ""},
    {"/", true, "", "/"},
    {"x/", false, "", "x/"},
    {"a//b", false, "b", "a//"},
    {"/a/b.c", true, "b.c", "/a/"},
    {"./n", false, "n", "./"},
    {"name.bin", false, "name.bin", ""},
    {"C:\\x", false, "C:\\x", ""},
};
const JoinRow kPosixJoins[] = {{"", "n", "n"}, {"/", "n", "/n"}, {"x/", "n", "x/n"}, {"a", "n", "a/n"}, {"a", "", "a/"}};

// On Windows "/" also separates, a colon ends the directory part, and a
// path is absolute from a drive letter or a UNC name on.
const PathRow kWindowsPaths[] = {
    {"", false, "", ""},
    {"C:\\", true, "", "C:\\"},
    {"C:\\games\\DATA.BIN", true, "DATA.BIN", "C:\\games\\"},
    {"z:/games/x.bin", true, "x.bin", "z:/games/"},
    {"C:DATA.BIN", false, "DATA.BIN", "C:"},
    {"\\\\server\\share\\p.bin", true, "p.bin", "\\\\server\\share\\"},
    {"//server/share/p.bin", true, "p.bin", "//server/share/"},
    {"\\games\\p.bin", false, "p.bin", "\\games\\"},
    {"games\\p.bin", false, "p.bin", "games\\"},
    {"1:\\p.bin", false, "p.bin", "1:\\"},
};
const JoinRow kWindowsJoins[] = {
    {"", "n", "n"}, {"C:\\", "n", "C:\\n"}, {"C:\\a", "n", "C:\\a\\n"}, {"\\\\srv\\share", "n", "\\\\srv\\share\\n"},
    {"z:/games/", "n", "z:/games/n"},
};

TEST(PathTexts, SplitAndJoinAtTheSeparatorOnly)
{
    const std::span<const PathRow> rows = test::kOnWindows ? std::span<const PathRow>(kWindowsPaths) : kPosixPaths;
    const std::span<const JoinRow> joins = test::kOnWindows ? std::span<const JoinRow>(kWindowsJoins) : kPosixJoins;
    for (const PathRow& row : rows) {
        EXPECT_EQ(IsAbsolute(row.Path), row.Absolute) << row.Path;
        EXPECT_EQ(FileNamePart(row.Path), row.Name) << row.Path;
        EXPECT_EQ(DirectoryPart(row.Path), row.Directory) << row.Path;
        if (row.Absolute) {
            EXPECT_EQ(MakeAbsolute(row.Path), test::NativePath(row.Path)) << row.Path; // a typed "/" becomes the system's separator
        }
    }
    for (const JoinRow& join : joins)
        EXPECT_EQ(JoinPath(join.Dir, join.Name), join.Joined) << join.Dir << " + " << join.Name;
}

TEST(PathTexts, MakeAbsoluteAnchorsRelativePathsAtTheWorkingDirectory)
{
    TempDir dir;
    const std::string here = std::filesystem::canonical(dir.Path()).string();
    const std::string before = CurrentDirectory();
    ASSERT_TRUE(SetCurrentDirectory(here));
    EXPECT_EQ(CurrentDirectory(), here);
    EXPECT_EQ(MakeAbsolute(""), here);
    EXPECT_EQ(MakeAbsolute(test::NativePath("rel/x.bin")), JoinPath(here, test::NativePath("rel/x.bin")));
    const std::string absolute = std::string(test::kRoot) + test::NativePath("abs//x");
    EXPECT_EQ(MakeAbsolute(absolute), absolute);
    EXPECT_FALSE(SetCurrentDirectory(JoinPath(here, "missing")));
    EXPECT_EQ(CurrentDirectory(), here);
    ASSERT_TRUE(SetCurrentDirectory(before));
}

TEST(MatchesMask, StarsAndQuestionMarksWithoutRegardToCase)
{
    EXPECT_TRUE(MatchesMask("DATA.BIN", "*.bin"));
    EXPECT_TRUE(MatchesMask(".bin", "*.bin"));
    EXPECT_FALSE(MatchesMask("a.bin.bak", "*.bin"));
    EXPECT_FALSE(MatchesMask("abin", "*.bin"));
    EXPECT_TRUE(MatchesMask("a.b.bin", "*.*.bin"));
    EXPECT_TRUE(MatchesMask("x1.lst", "x?.LST"));
    EXPECT_FALSE(MatchesMask("x.lst", "x?.lst"));
    EXPECT_TRUE(MatchesMask("anything", "**"));
    EXPECT_FALSE(MatchesMask(std::string(200, 'a'), std::string(30, '*') + "b"));
}

TEST(ReadOnlyFile, RefusesFifosAndFoldersWithoutBlocking)
{
    TempDir dir;
    std::vector<std::string> refused{dir.Path(), dir.File("missing")};
    if (!test::kOnWindows) {
        refused.push_back(dir.File("fifo"));
        test::MakeFifo(dir.File("fifo"));
    }
    test::FifoPeer peer(dir.File("fifo")); // a blocking open would read an empty file instead
    for (const std::string& path : refused) {
        EXPECT_EQ(test::ErrorOf([&] { ReadOnlyFile file(path); }), "Cannot open file " + path) << path;
    }
}

TEST(ReadOnlyFile, ReadsAndCopiesAtOffsetsBeyondFourGibibytes)
{
    TempDir dir;
    const std::string path = dir.File("sparse");
    const std::uint64_t far = (std::uint64_t{5} << 30) + 3;
    std::string data(128 * 1024 + 5, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7 + i / 251);
    if (!test::WriteAt(path, far, data) || std::filesystem::file_size(path) != far + data.size())
        GTEST_SKIP() << "no room for a sparse file of 5 GiB here";

    const ReadOnlyFile file(path);
    EXPECT_EQ(file.Size(), far + data.size());
    std::string head(16, '?');
    EXPECT_EQ(file.ReadAt(far, head.data(), head.size()), 16u);
    EXPECT_EQ(head, data.substr(0, 16));
    EXPECT_EQ(file.ReadAt(far + data.size() - 4, head.data(), head.size()), 4u); // fewer only at the end
    EXPECT_EQ(file.ReadAt(far + data.size() + 1, head.data(), head.size()), 0u);

    // Small ranges are copied by blocks, large ones in the kernel: both
    // reach past 4 GiB, and both fail at the end of the file.
    for (const std::size_t count : {std::size_t{2048}, data.size()}) {
        AtomicFile out(dir.File("copy"));
        out.CopyFrom(file, far, count);
        out.Commit();
        EXPECT_EQ(ReadFile(dir.File("copy")), data.substr(0, count));
        AtomicFile past(dir.File("past"));
        EXPECT_THROW(past.CopyFrom(file, far + data.size() - count + 1, count), FileError) << count;
    }
    EXPECT_FALSE(PathExists(dir.File("past")));
}

TEST(ListFolder, TellsKindsLinksAndHiddenEntries)
{
    EIT_SKIP_ON_WINDOWS("no FIFOs on Windows, links need a privilege, and hidden is an attribute");
    TempDir dir;
    WriteFile(dir.File("file"), "x");
    WriteFile(dir.File(".hidden"), "x");
    std::filesystem::create_directory(dir.File("folder"));
    std::filesystem::create_directory_symlink(dir.File("folder"), dir.File("link-to-folder"));
    std::filesystem::create_symlink(dir.File("file"), dir.File("link-to-file"));
    std::filesystem::create_symlink(dir.File("missing"), dir.File("dangling"));
    test::MakeFifo(dir.File("fifo"));

    std::vector<FolderEntry> entries;
    ASSERT_TRUE(ListFolder(dir.Path(), entries));
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.Name < b.Name; });
    std::string listing;
    for (const FolderEntry& e : entries)
        listing += e.Name + " " + "FDO"[static_cast<int>(e.Kind)] + (e.Link ? " link" : "") + (e.Hidden ? " hidden" : "")
            + "\n";
    EXPECT_EQ(listing, ".hidden F hidden\n"
                       "dangling O link\n"
                       "fifo O\n"
                       "file F\n"
                       "folder D\n"
                       "link-to-file F link\n"
                       "link-to-folder D link\n");

    entries.clear();
    EXPECT_FALSE(ListFolder(dir.File("missing"), entries));
    EXPECT_TRUE(entries.empty());
}

// Many paths looked at together get KindOf's answers, whatever their
// folders hold: links, special files, names in another case, folders that
// are missing or are files.
// The rebuild trusts a slot read back earlier while its file's stamp stays
// the same: every change it must notice has to move the stamp.
TEST(FileStamp, MovesWhenTheFileIsRewrittenOrReplaced)
{
    TempDir dir;
    const std::string path = dir.File("slot.bin");
    const struct {
        const char* Name;
        void (*Change)(const std::string& path, const std::string& other);
        bool Moves;
    } rows[] = {
        {"left alone", [](const std::string&, const std::string&) {}, false},
        {"read", [](const std::string& p, const std::string&) { (void)ReadFile(p); }, false},
        {"rewritten at another size", [](const std::string& p, const std::string&) { WriteFile(p, "longer text"); }, true},
        {"replaced by a rename", [](const std::string& p, const std::string& o) {
             WriteFile(o, "same");
             std::filesystem::rename(test::FsPath(o), test::FsPath(p));
         }, true},
    };
    for (const auto& row : rows) {
        WriteFile(path, "same");
        const FileStamp before = ReadOnlyFile(path).Stamp();
        FileStamp looked;
        ASSERT_TRUE(StampOf(path, looked)) << row.Name;
        EXPECT_EQ(looked, before) << row.Name;
        row.Change(path, dir.File("other.bin"));
        FileStamp after;
        ASSERT_TRUE(StampOf(path, after)) << row.Name;
        EXPECT_EQ(after != before, row.Moves) << row.Name;
    }
    FileStamp none;
    EXPECT_FALSE(StampOf(dir.File("missing.bin"), none));
    EXPECT_FALSE(StampOf("", none));
}

TEST(KindsOf, AnswersAsKindOfForEachPath)
{
    TempDir dir;
    WriteFile(dir.File("file.bin"), "x");
    WriteFile(dir.File("Upper.bin"), "x");
    std::filesystem::create_directory(dir.File("folder"));
    std::filesystem::create_directory(dir.File("other"));
    WriteFile(dir.File("other/\xc3\xa9.bin"), "x");
    WriteFile(dir.File("other/a.bin"), "x");
    using K = FileKind;
    std::vector<std::pair<std::string, FileKind>> rows = {
        {dir.File("file.bin"), K::Regular},
        {dir.File("Upper.bin"), K::Regular},
        {dir.File("missing.bin"), K::Missing},
        {dir.File("folder"), K::Directory},
        {dir.File("file.bin/"), K::Missing},
        {dir.File("folder/"), K::Directory},
        {dir.File("folder/."), K::Directory},
        {dir.File("folder/.."), K::Directory},
        {dir.File("file.bin/x"), K::Missing},
        {dir.File("gone/x.bin"), K::Missing},
        {dir.File("other/\xc3\xa9.bin"), K::Regular},
        {dir.File("other/a.bin"), K::Regular},
        {dir.File("other/b.bin"), K::Missing},
        {dir.File("~1.bin"), K::Missing},
        {"", K::Missing},
    };
    if (!test::kOnWindows) {
        // Names that differ in case are different names; links are followed.
        std::filesystem::create_symlink(dir.File("file.bin"), dir.File("link.bin"));
        std::filesystem::create_symlink(dir.File("missing"), dir.File("dangling.bin"));
        test::MakeFifo(dir.File("fifo.bin"));
        rows.insert(rows.end(), {{dir.File("upper.bin"), K::Missing},
                                 {dir.File("FILE.BIN"), K::Missing},
                                 {dir.File("link.bin"), K::Regular},
                                 {dir.File("dangling.bin"), K::Missing},
                                 {dir.File("fifo.bin"), K::Special}});
    }
    std::vector<std::string_view> paths;
    for (const auto& row : rows)
        paths.push_back(row.first);
    const std::vector<FileKind> kinds = KindsOf(paths);
    ASSERT_EQ(kinds.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(kinds[i], rows[i].second) << paths[i];
        EXPECT_EQ(KindOf(rows[i].first), rows[i].second) << paths[i];
    }
}

} // namespace
} // namespace eit
