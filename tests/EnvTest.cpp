#include "FileError.h"
#include "FileUtil.h"
#include "LineList.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
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

// The file keeps being the same file: a second name of it sees every write.
TEST(WriteInPlace, AppendsOrReplacesTheContentOfTheFileItself)
{
    TempDir dir;
    const struct {
        const char* Old; // nullptr: no file yet
        std::string Data;
        bool Append;
        std::string After;
    } rows[] = {
        {nullptr, "new\r\n", true, "new\r\n"},
        {nullptr, "new", false, "new"},
        {"old\r\n", "more\r\n", true, "old\r\nmore\r\n"},
        {"old contents", "new", false, "new"},
        {"old", "", false, ""},
        {"old", "", true, "old"},
        {"", std::string("\0\n\r", 3), true, std::string("\0\n\r", 3)},
    };
    int n = 0;
    for (const auto& row : rows) {
        const std::string path = dir.File("f" + std::to_string(n++));
        SCOPED_TRACE(path);
        std::string second;
        if (row.Old) {
            WriteFile(path, row.Old);
            if (LinkFile(path, path + ".link"))
                second = path + ".link";
            else
                EXPECT_TRUE(test::kOnWindows); // a file system without links
        }
        EXPECT_TRUE(WriteInPlace(path, row.Data, row.Append));
        EXPECT_EQ(ReadFile(path), row.After);
        if (!second.empty()) {
            EXPECT_EQ(ReadFile(second), row.After);
        }
    }
}

TEST(WriteInPlace, FailsWhereNoFileCanBeWritten)
{
    TempDir dir;
    for (const bool append : {true, false}) {
        for (const std::string& path : {dir.Path(), dir.File("missing/f")}) {
            EXPECT_FALSE(WriteInPlace(path, "x", append)) << path;
            EXPECT_NE(KindOf(path), FileKind::Regular) << path;
        }
    }
}

// A write that fails leaves no part of its data: appending, the file holds
// what it held; replacing, it is empty.
TEST(WriteInPlace, AFailedWriteLeavesNoPartOfItsData)
{
    TempDir dir;
    const struct {
        const char* Name;
        FaultPlan Plan;
        bool Append;
        std::string After;
    } rows[] = {
        {"AppendWrite", {.FailWriteNumber = 1}, true, "old\r\n"},
        {"AppendNoSpace", {.NoSpaceAfterBytes = 3}, true, "old\r\n"},
        {"AppendClose", {.FailSync = true}, true, "old\r\n"},
        {"ReplaceWrite", {.FailWriteNumber = 1}, false, ""},
        {"ReplaceClose", {.FailSync = true}, false, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        const std::string path = dir.File(row.Name);
        WriteFile(path, "old\r\n");
        SetFaultPlan(row.Plan);
        const bool written = WriteInPlace(path, "new record\r\n", row.Append);
        ClearFaultPlan();
        EXPECT_FALSE(written);
        EXPECT_EQ(ReadFile(path), row.After);
        // The next write lands where the failed one would have.
        EXPECT_TRUE(WriteInPlace(path, "next\r\n", true));
        EXPECT_EQ(ReadFile(path), row.After + "next\r\n");
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
        EXPECT_EQ(test::ErrorOf([&] { past.CopyFrom(file, far + data.size() - count + 1, count); }),
                  "Stream read error: " + path)
            << count;
    }
    EXPECT_FALSE(PathExists(dir.File("past")));
}

// Every read the system refuses or cuts short names the file it was reading.
TEST(ReadOnlyFile, ReadFailuresNameTheFile)
{
    TempDir dir;
    const std::string small = dir.File("small.bin");
    WriteFile(small, "0123456789");
    const ReadOnlyFile file(small);
    std::string buffer(1 << 20, '\0');
    AtomicFile out(dir.File("out.bin"));
    const struct {
        const char* What;
        std::function<void()> Read;
        std::string Path;
    } rows[] = {
        {"copy by blocks past the end", [&] { out.CopyFrom(file, 5, 100); }, small},
        {"copy in the kernel past the end", [&] { out.CopyFrom(file, 0, buffer.size()); }, small},
    };
    for (const auto& row : rows)
        EXPECT_EQ(test::ErrorOf(row.Read), "Stream read error: " + row.Path) << row.What;

    // A regular file whose reading the system refuses: the memory of this
    // process at address 0.
    const std::string refusing = "/proc/self/mem";
    if (test::kOnWindows || !PathExists(refusing))
        return;
    const ReadOnlyFile memory(refusing);
    EXPECT_EQ(test::ErrorOf([&] { memory.ReadAt(0, buffer.data(), 16); }), "Stream read error: " + refusing);
    EXPECT_EQ(test::ErrorOf([&] { out.CopyFrom(memory, 0, 16); }), "Stream read error: " + refusing);
}

// A failure of the file layer keeps its kind, the file it is about and the
// system's own words, and says to the user what it always said.
TEST(FileError, FailuresKeepTheirKindFileAndReason)
{
    TempDir dir;
    WriteFile(dir.File("small.bin"), "0123456789");
    WriteFile(dir.File("locked.bin"), "x");
    test::SetMode(dir.File("locked.bin"), 0);
    std::filesystem::create_directory(dir.File("folder"));
    const ReadOnlyFile small(dir.File("small.bin"));
    const std::string tooLong = dir.File(std::string(300, 'n'));
    using Kind = FileErrorKind;
    const struct {
        const char* What;
        std::function<void()> Fail;
        Kind Expected;
        std::string File;
        std::string Message;
        bool SystemSays;
    } rows[] = {
        {"missing", [&] { ReadOnlyFile f(dir.File("none.bin")); }, Kind::NotFound, dir.File("none.bin"),
         "Cannot open file " + dir.File("none.bin"), true},
        {"below a file", [&] { ReadOnlyFile f(dir.File("small.bin/x")); }, Kind::NotFound, dir.File("small.bin/x"),
         "Cannot open file " + dir.File("small.bin/x"), true},
        {"a folder", [&] { ReadOnlyFile f(dir.File("folder")); }, Kind::IsFolder, dir.File("folder"),
         "Cannot open file " + dir.File("folder"), true},
        {"a name too long", [&] { ReadOnlyFile f(tooLong); }, Kind::BadName, tooLong, "Cannot open file " + tooLong,
         true},
        {"a list of a folder", [&] { LineList().LoadFromFile(dir.File("folder")); }, Kind::IsFolder,
         dir.File("folder"), "Cannot open file " + dir.File("folder"), true},
        {"created in no folder", [&] { AtomicFile f(dir.File("none/out.bin")); }, Kind::NotFound,
         dir.File("none/out.bin"), "Cannot create file " + dir.File("none/out.bin"), true},
        {"committed over a folder",
         [&] {
             AtomicFile f(dir.File("folder"));
             f.Commit();
         },
         Kind::IsFolder, dir.File("folder"), "Cannot create file " + dir.File("folder"), true},
        {"copied past the end",
         [&] {
             AtomicFile f(dir.File("out.bin"));
             f.CopyFrom(small, 5, 100);
         },
         Kind::ReadPastEnd, dir.File("small.bin"), "Stream read error: " + dir.File("small.bin"), false},
        {"a line past the list", [] { LineList().Get(3); }, Kind::ListTooShort, "", "List index out of bounds (3)",
         false},
    };
    for (const auto& row : rows) {
        // Windows calls a name too long, on some versions, a missing file.
        if (test::kOnWindows && row.Expected == Kind::BadName)
            continue;
        try {
            row.Fail();
            ADD_FAILURE() << row.What << ": no error";
        } catch (const FileError& e) {
            EXPECT_EQ(e.what(), row.Message) << row.What;
            EXPECT_EQ(e.Kind(), row.Expected) << row.What;
            EXPECT_EQ(e.File(), row.File) << row.What;
            EXPECT_EQ(e.Reason().empty(), !row.SystemSays) << row.What << ": " << e.Reason();
        }
    }
    const auto kindOf = [](const std::function<void()>& fail) {
        try {
            fail();
        } catch (const FileError& e) {
            return e.Kind();
        }
        return Kind::Other;
    };
    if (test::PermissionsBind(dir)) {
        EXPECT_EQ(kindOf([&] { ReadOnlyFile f(dir.File("locked.bin")); }), Kind::NoPermission);
    }
    if (const std::string device = test::NullDevice(); !device.empty()) {
        EXPECT_EQ(kindOf([&] { ReadOnlyFile f(device); }), Kind::NotRegularFile);
    }
}

// Running out of memory while a file is read is said of that file; other
// failures pass as they are.
TEST(ReadingFile, OutOfMemoryNamesTheFile)
{
    EXPECT_EQ(test::ErrorOf([] { ReadingFile("/x/list.lst", [] { throw std::bad_alloc(); }); }),
              "Out of memory reading /x/list.lst");
    EXPECT_EQ(test::ErrorOf([] { ReadingFile("/x/list.lst", [] { throw FileError::CannotOpen("/x/y"); }); }),
              "Cannot open file /x/y");
    EXPECT_EQ(ReadingFile("/x/list.lst", [] { return 7; }), 7);
}

// The name of an uncommitted file's temporary is taken away before a
// signal ends the process, where the file system has no unnamed files;
// the file can then no longer be named, and a committed file stays.
TEST(AtomicFile, TemporariesAreRemovedBeforeTheProcessEnds)
{
    TempDir dir;
    ForceNamedTemporaries(true);
    {
        std::vector<AtomicFile> files;
        for (const char* name : {"a.bin", "b.bin", "kept.bin"}) {
            files.emplace_back(dir.File(name));
            files.back().Write("x", 1);
        }
        EXPECT_EQ(std::ranges::count(test::ListTree(dir.Path()), '\n'), 3);
        files.back().Commit();
        RemoveTemporaries();
        if (!test::kOnWindows) { // there the names go with the last handle
            EXPECT_EQ(test::ListTree(dir.Path()), "kept.bin\n");
        }
        for (const char* name : {"a.bin", "b.bin"})
            EXPECT_EQ(test::ErrorOf([&] { files[name[0] - 'a'].Commit(); }),
                      "Cannot create file " + dir.File(name));
    }
    ForceNamedTemporaries(false);
    EXPECT_EQ(test::ListTree(dir.Path()), "kept.bin\n");
}

#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)
// In a child process with the stop hook installed and an uncommitted file
// under a named temporary, the signal comes Times times: a signal that ends
// the process removes the temporary first; a stop request leaves the
// program running to stop by itself (and so does a broken pipe, every
// time).
TEST(StopHandler, SignalsThatEndTheProgramRemoveItsTemporariesFirst)
{
    GTEST_FLAG_SET(death_test_style, "fast"); // the child must see this test's folder
    const struct {
        const char* Name;
        int Signal;
        int Times;
        bool Ends;
    } rows[] = {
        {"second Ctrl-C", test::kInterruptSignal, 2, true},
        {"second SIGTERM", test::kTerminateSignal, 2, true},
        {"second SIGHUP", test::kHangUpSignal, 2, true},
        {"SIGQUIT", test::kQuitSignal, 1, true},
        {"first Ctrl-C", test::kInterruptSignal, 1, false},
        {"broken pipes", test::kBrokenPipeSignal, 3, false},
    };
    for (const auto& row : rows) {
        TempDir dir;
        const auto child = [&] {
            std::atomic<int> flag{0};
            InstallStopHandler(flag);
            ForceNamedTemporaries(true);
            AtomicFile file(dir.File("out.bin"));
            file.Write("x", 1);
            for (int k = 0; k < row.Times; ++k)
                std::raise(row.Signal);
            std::_Exit(flag.load() == 1 && StopSignal() == row.Signal ? 0 : 1);
        };
        if (row.Ends)
            EXPECT_EXIT(child(), ::testing::KilledBySignal(row.Signal), "") << row.Name;
        else
            EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "") << row.Name;
        const std::string left = test::ListTree(dir.Path());
        if (row.Ends)
            EXPECT_EQ(left, "") << row.Name;
        else
            EXPECT_TRUE(left.starts_with(".eit-")) << row.Name << ": " << left;
    }
}

// A process that may open no more files is told so, for the file it read
// and for the file it wrote; the file itself is not blamed.
TEST(ReadOnlyFile, TooManyOpenFilesIsSaidSo)
{
    GTEST_FLAG_SET(death_test_style, "fast");
    TempDir dir;
    WriteFile(dir.File("in.bin"), "x");
    // The message of open() once every descriptor is taken, read after
    // they are given back: a sanitizer may need one to check its type.
    const auto whenExhausted = [&](const std::function<void()>& open) -> std::string {
        std::vector<ReadOnlyFile> held;
        try {
            for (;;)
                held.emplace_back(dir.File("in.bin"));
        } catch (const FileError&) {
        }
        try {
            open();
        } catch (const FileError& e) {
            held.clear();
            return e.what();
        }
        return "no error";
    };
    const auto child = [&] {
        // The sanitizer checks an object's type with a descriptor of its own
        // the first time it meets that type: meet the errors before every
        // descriptor is taken.
        for (const std::string& path : {dir.File("missing.bin"), dir.File("missing/out.bin")}) {
            try {
                std::vector<ReadOnlyFile> held;
                held.emplace_back(path);
            } catch (const FileError& e) {
                (void)e.what();
            }
            try {
                AtomicFile out(path);
            } catch (const FileError& e) {
                (void)e.what();
            }
        }
        test::LimitOpenFiles(64);
        const bool read = whenExhausted([&] { ReadOnlyFile in(dir.File("in.bin")); })
            == "Cannot open file " + dir.File("in.bin") + ": too many open files";
        const bool written = whenExhausted([&] { AtomicFile out(dir.File("out.bin")); })
            == "Cannot create file " + dir.File("out.bin") + ": too many open files";
        std::_Exit(OpenFileLimit() != 64 ? 5 : !read ? 6 : !written ? 7 : 0);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}
#endif

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

// The file systems the tests run on tell names apart by case, Windows
// aside. Asking leaves nothing behind, also where the answer takes a file
// of its own or the folder is not there yet.
TEST(FolderIgnoresCase, AnswersForTheFolderAndLeavesNothingBehind)
{
    const struct {
        const char* Name;
        std::vector<const char*> Files;
        const char* Folder;
        bool ReadOnly = false;
        bool PosixOnly = false;
    } rows[] = {
        {"an empty folder", {}, "f"},
        {"a folder with a named entry", {"f/Data.bin"}, "f"},
        {"names in both cases", {"f/data", "f/DATA"}, "f", false, true},
        {"names without letters", {"f/0001", "f/.-_"}, "f"},
        {"a folder not made yet", {}, "f/new/deeper"},
        {"a read-only empty folder", {}, "f", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        if (row.PosixOnly && test::kOnWindows)
            continue;
        TempDir dir;
        std::filesystem::create_directories(test::FsPath(dir.File("f")));
        for (const char* file : row.Files)
            WriteFile(dir.File(file), "x");
        if (row.ReadOnly)
            test::SetMode(dir.File("f"), 0555);
        const std::string before = test::ListTree(dir.Path());
        EXPECT_EQ(FolderIgnoresCase(dir.File(row.Folder)), test::kOnWindows);
        EXPECT_EQ(test::ListTree(dir.Path()), before);
        EXPECT_EQ(KindOf(dir.File("f/new")), FileKind::Missing);
        test::SetMode(dir.File("f"), 0755);
    }
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
        // A loop of links and a name too long for the file system: the
        // system will not say whether they exist.
        std::filesystem::create_symlink(dir.File("loop.bin"), dir.File("loop.bin"));
        rows.insert(rows.end(), {{dir.File("upper.bin"), K::Missing},
                                 {dir.File("FILE.BIN"), K::Missing},
                                 {dir.File("link.bin"), K::Regular},
                                 {dir.File("dangling.bin"), K::Missing},
                                 {dir.File("fifo.bin"), K::Special},
                                 {dir.File("loop.bin"), K::Unknown},
                                 {dir.File("loop.bin/x.bin"), K::Unknown},
                                 {dir.File(std::string(300, 'n')), K::Unknown}});
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
