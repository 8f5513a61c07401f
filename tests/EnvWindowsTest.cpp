// What the Windows side of the system boundary must get right beyond what
// every system shares: devices named like files, names outside the ANSI code
// page, paths beyond MAX_PATH, files held open while they are replaced, and
// attributes standing in for POSIX's dot names.

#include "FileError.h"
#include "FileUtil.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <windows.h>
#undef SetCurrentDirectory

namespace eit {
namespace {

using test::FsPath;

std::wstring Wide(const std::string& utf8)
{
    return FsPath(utf8).wstring();
}

// A fresh folder in the working directory, made and removed through names
// that need no code page.
class Folder {
public:
    Folder() : FPath(TempNameBeside(JoinPath(CurrentDirectory(), "x"))) { EXPECT_TRUE(CreateDirectories(FPath)); }
    ~Folder()
    {
        std::error_code ec;
        std::filesystem::remove_all(FsPath("\\\\?\\" + FPath), ec);
    }
    std::string File(const std::string& name) const { return JoinPath(FPath, name); }

private:
    std::string FPath;
};

void Put(const std::string& path, std::string_view bytes)
{
    AtomicFile file(path);
    file.Write(bytes.data(), bytes.size());
    file.Commit();
}

TEST(EnvWindows, DevicesAndFoldersAreNoFilesToRead)
{
    const Folder dir;
    for (const std::string& path : {std::string("NUL"), std::string("CON"), dir.File("")}) {
        EXPECT_EQ(test::ErrorOf([&] { ReadOnlyFile file(path); }), "Cannot open file " + path) << path;
    }
    // A device is found in every folder, and never opened to be asked.
    for (const std::string& path : {std::string("NUL"), std::string("CON"), std::string("COM1"), dir.File("con")}) {
        EXPECT_EQ(KindOf(path), FileKind::Special) << path;
        EXPECT_TRUE(PathExists(path)) << path;
    }
    EXPECT_EQ(KindOf(dir.File("CONSOLE")), FileKind::Missing);
    EXPECT_FALSE(PathExists(dir.File("CONSOLE")));
}

// What a typed path becomes: made full (MakeAbsolute, as every typed name
// is) and then cleaned (NormalPath, as the output folder is).
TEST(EnvWindows, TypedPathsAreResolvedAsTheSystemResolvesThem)
{
    const Folder dir;
    const std::string before = CurrentDirectory();
    const std::string here = dir.File("");
    const std::string cwd = here.substr(0, here.size() - 1);
    ASSERT_TRUE(SetCurrentDirectory(cwd));
    ASSERT_EQ(CurrentDirectory(), cwd);
    const std::string drive = cwd.substr(0, 2);
    const std::string other = drive == "M:" ? "N:" : "M:";
    const std::string unset = drive == "Q:" ? "R:" : "Q:";
    // The system keeps each drive's current folder in a variable "=M:".
    ASSERT_TRUE(::SetEnvironmentVariableW(Wide("=" + other).c_str(), Wide(other + "\\work").c_str()));
    ::SetEnvironmentVariableW(Wide("=" + unset).c_str(), nullptr);
    const struct {
        std::string Typed;
        std::string Absolute;
        std::string Normal;
    } rows[] = {
        {"rel/a\\b", cwd + "\\rel\\a\\b", cwd + "\\rel\\a\\b"},
        {cwd.substr(2) + "\\sub", cwd + "\\sub", cwd + "\\sub"},
        {"\\", drive + "\\", drive + "\\"},
        {drive, cwd, cwd},
        {drive + "sub/x.bin", cwd + "\\sub\\x.bin", cwd + "\\sub\\x.bin"},
        {other, other + "\\work", other + "\\work"},
        {other + "sub", other + "\\work\\sub", other + "\\work\\sub"},
        {unset + "sub", unset + "\\sub", unset + "\\sub"},
        {"C:/games//./x.bin", "C:\\games\\\\.\\x.bin", "C:\\games\\x.bin"},
        {"//srv/share/x", "\\\\srv\\share\\x", "\\\\srv\\share\\x"},
        {"\\\\?\\C:\\a/b\\.\\c", "\\\\?\\C:\\a/b\\.\\c", "\\\\?\\C:\\a/b\\.\\c"},
        {"\\\\.\\C:\\out\\..\\x", "\\\\.\\C:\\out\\..\\x", "\\\\.\\C:\\out\\..\\x"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(IsFolderRelative(row.Typed), row.Typed.starts_with("rel")) << row.Typed;
        const std::string absolute = MakeAbsolute(row.Typed);
        EXPECT_EQ(absolute, row.Absolute) << row.Typed;
        EXPECT_EQ(NormalPath(absolute), row.Normal) << row.Typed;
    }
    ::SetEnvironmentVariableW(Wide("=" + other).c_str(), nullptr);
    ASSERT_TRUE(SetCurrentDirectory(before));
}

TEST(EnvWindows, WritesEveryByteAsItIsAndAppendsAfterAReadBack)
{
    const Folder dir;
    const std::string bytes("a\r\nb\n\x1a\r\0z", 9);
    AtomicFile out(dir.File("bytes.bin"));
    out.Write(bytes.data(), bytes.size());
    char head[3];
    ASSERT_EQ(out.ReadAt(0, head, sizeof head), 3u); // moves the handle's file pointer
    out.Write("end", 3);
    out.Commit();
    EXPECT_EQ(ReadWholeFile(dir.File("bytes.bin")), bytes + "end");
}

TEST(EnvWindows, ReplacesFilesThatExistAreReadOnlyOrAreHeldOpen)
{
    const Folder dir;
    const std::string path = dir.File("pack.bin");
    enum Case { Exists, ReadOnly, HeldOpen };
    for (const Case kind : {Exists, ReadOnly, HeldOpen}) {
        Put(path, "old");
        if (kind == ReadOnly)
            std::filesystem::permissions(FsPath(path), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::remove);
        std::vector<ReadOnlyFile> held;
        if (kind == HeldOpen)
            held.emplace_back(path);
        Put(path, "new");
        EXPECT_EQ(ReadWholeFile(path), "new") << kind;
        if (kind == HeldOpen) {
            char old[3];
            EXPECT_EQ(held.front().ReadAt(0, old, 3), 3u);
            EXPECT_EQ(std::string(old, 3), "old"); // the holder keeps the file it opened
        }
    }
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(ListFolder(dir.File(""), entries));
    ASSERT_EQ(entries.size(), 1u); // no temporary left behind
    EXPECT_EQ(entries.front().Name, "pack.bin");
}

TEST(EnvWindows, NamesOutsideTheCodePageAndBeyondMaxPath)
{
    const Folder dir;
    std::string deep = dir.File("\xc3\xbc");
    while (deep.size() < 300)
        deep += "\\\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e-folder";
    const struct {
        std::string Folder;
        std::string Name;
    } rows[] = {
        {dir.File("Gr\xc3\xbc\xc3\x9f" "e"), "\xce\x95\xce\xbb\xce\xbb\xce\xac\xce\xb4\xce\xb1.bin"},
        {deep, "long.bin"},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(CreateDirectories(row.Folder + "/")) << row.Folder;
        const std::string file = JoinPath(row.Folder, row.Name);
        Put(file, "data");
        EXPECT_EQ(ReadWholeFile(file), "data");
        EXPECT_EQ(KindOf(row.Folder), FileKind::Directory);
        EXPECT_EQ(KindOf(file), FileKind::Regular);
        FileStatus status;
        ASSERT_TRUE(LookUpFile(file, status));
        EXPECT_EQ(status.Size, 4);
        std::vector<FolderEntry> entries;
        ASSERT_TRUE(ListFolder(row.Folder, entries));
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries.front().Name, row.Name);
        EXPECT_TRUE(LinkFile(file, file + ".bak"));
        EXPECT_TRUE(SameFile(file, file + ".bak"));
        EXPECT_FALSE(LinkFile(file, file + ".bak")); // the name is taken
    }
    const std::string before = CurrentDirectory();
    ASSERT_TRUE(SetCurrentDirectory(rows[0].Folder));
    EXPECT_EQ(CurrentDirectory(), rows[0].Folder);
    EXPECT_EQ(MakeAbsolute(rows[0].Name), JoinPath(rows[0].Folder, rows[0].Name));
    ASSERT_TRUE(SetCurrentDirectory(before));
}

TEST(EnvWindows, PathTextsOfOneFileAndFoldersInTheWay)
{
    const Folder dir;
    Put(dir.File("Pack.bin"), "x");
    Put(dir.File("other.bin"), "x");
    EXPECT_TRUE(SameFile(dir.File("Pack.bin"), dir.File("PACK.BIN")));
    EXPECT_TRUE(SameFile(dir.File("Pack.bin"), dir.File("sub\\..\\Pack.bin")));
    EXPECT_FALSE(SameFile(dir.File("Pack.bin"), dir.File("other.bin")));
    EXPECT_TRUE(CreateDirectories(dir.File("a/b\\\\c\\")));
    EXPECT_EQ(KindOf(dir.File("a\\b\\c")), FileKind::Directory);
    EXPECT_FALSE(CreateDirectories(dir.File("Pack.bin\\sub")));
}

TEST(EnvWindows, HiddenAndSystemEntriesAreHidden)
{
    const Folder dir;
    const struct {
        const char* Name;
        DWORD Attributes;
        bool Hidden;
    } rows[] = {
        {"plain", FILE_ATTRIBUTE_NORMAL, false},
        {"hidden", FILE_ATTRIBUTE_HIDDEN, true},
        {"system", FILE_ATTRIBUTE_SYSTEM, true},
    };
    for (const auto& row : rows) {
        Put(dir.File(row.Name), "x");
        ASSERT_TRUE(::SetFileAttributesW(Wide(dir.File(row.Name)).c_str(), row.Attributes));
    }
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(ListFolder(dir.File(""), entries));
    ASSERT_EQ(entries.size(), std::size(rows));
    for (const auto& row : rows) {
        const auto found = std::find_if(entries.begin(), entries.end(),
                                        [&](const FolderEntry& entry) { return entry.Name == row.Name; });
        ASSERT_NE(found, entries.end()) << row.Name;
        EXPECT_EQ(found->Hidden, row.Hidden) << row.Name;
        EXPECT_EQ(found->Kind, EntryKind::File) << row.Name;
        FileStatus status;
        ASSERT_TRUE(LookUpFile(dir.File(row.Name), status));
        EXPECT_EQ(status.Attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
                  row.Attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
            << row.Name;
    }
}

} // namespace
} // namespace eit
