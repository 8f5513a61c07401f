#include "CollectFiles.h"

#include "BatchState.h"
#include "DataPack.h"
#include "Formats.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace eit {
namespace {

using Paths = std::vector<std::string>;

Paths Collect(const std::string& dir, std::string_view mask = "*.bin")
{
    Paths files;
    CollectFiles(dir, mask, files);
    return files;
}

TEST(CollectFiles, ListsSubfoldersFilesBeforeTheirParentsFiles)
{
    TempDir root;
    WriteFile(root.File("packs/a.bin"), "");
    WriteFile(root.File("packs/sub/b.bin"), "");
    WriteFile(root.File("packs/sub/deep/c.bin"), "");
    EXPECT_EQ(Collect(root.File("packs")),
              (Paths{root.File("packs/sub/deep/c.bin"), root.File("packs/sub/b.bin"), root.File("packs/a.bin")}));
}

TEST(CollectFiles, TakesEachFolderInNameOrderWithoutRegardToCase)
{
    TempDir root;
    for (const char* name : {"Zeta.bin", "alpha.BIN", "Beta.bin", "B/x.bin", "a/y.bin", "notes.txt"})
        WriteFile(root.File(name), "");
    EXPECT_EQ(Collect(root.Path()), (Paths{root.File("a/y.bin"), root.File("B/x.bin"), root.File("alpha.BIN"),
                                           root.File("Beta.bin"), root.File("Zeta.bin")}));
}

TEST(CollectFiles, EachFileTypeCollectsItsOwnMaskAndSetsItsMode)
{
    TempDir root;
    for (const char* name : {"DATA.BIN", "project.Lst", "result.log", "result.log.bak"})
        WriteFile(root.File(name), "");
    const std::vector<FilterPair> types = FilterPairs(kInputFilter);
    ASSERT_EQ(types.size(), 3u);
    const struct {
        const char* Description;
        const char* Mask;
        const char* Found;
        int Mode;
    } expected[] = {{"Data Packs (*.bin)", "*.bin", "DATA.BIN", 1},
                    {"Project list files (*.lst)", "*.lst", "project.Lst", 3},
                    {"Log files (*.log)", "*.log", "result.log", 2}};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(types[k].Description, expected[k].Description);
        EXPECT_EQ(FilterMask(kInputFilter, k), expected[k].Mask);
        EXPECT_EQ(Collect(root.Path(), types[k].Mask), Paths{root.File(expected[k].Found)});
        EXPECT_EQ(FilterModeAt(k + 1), expected[k].Mode);
    }
    EXPECT_EQ(FilterMask(kInputFilter, 3), "");
    EXPECT_EQ(FilterMask(kInputFilter, -1), "");
}

TEST(FilterPairs, WalksPairsUpToTheNextBarOrTheEnd)
{
    EXPECT_TRUE(FilterPairs("").empty());
    const std::vector<FilterPair> pairs = FilterPairs("All|*|Tail");
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].Description, "All");
    EXPECT_EQ(pairs[0].Mask, "*");
    EXPECT_EQ(pairs[1].Description, "Tail");
    EXPECT_EQ(pairs[1].Mask, "");
}

TEST(CollectFiles, EntersNoHiddenFolderButListsHiddenFiles)
{
    EIT_SKIP_ON_WINDOWS("hidden is an attribute on Windows, not a leading dot");
    TempDir root;
    WriteFile(root.File(".cache/x.bin"), "");
    WriteFile(root.File(".hidden.bin"), "");
    EXPECT_EQ(Collect(root.Path()), Paths{root.File(".hidden.bin")});
}

TEST(CollectFiles, ListsAFolderMatchingTheMaskLikeAFile)
{
    TempDir root;
    WriteFile(root.File("music.bin/y.bin"), "");
    EXPECT_EQ(Collect(root.Path()), (Paths{root.File("music.bin/y.bin"), root.File("music.bin")}));
}

// A FIFO listed as a pack would hang the batch that opens it.
TEST(CollectFiles, ListsRegularFilesFoldersAndLinksToThemOnly)
{
    EIT_SKIP_ON_WINDOWS("no FIFOs or sockets on Windows, and links need a privilege");
    TempDir root;
    WriteFile(root.File("sub/real.bin"), "");
    std::filesystem::create_symlink("real.bin", root.File("sub/link.bin"));
    std::filesystem::create_directories(root.File("sub/folder.bin"));
    test::MakeFifo(root.File("sub/fifo.bin"));
    test::MakeSocket(root.File("sub/socket.bin"));
    std::filesystem::create_symlink(test::NullDevice(), root.File("sub/device.bin"));
    std::filesystem::create_symlink("missing.bin", root.File("sub/dangling.bin"));
    EXPECT_EQ(Collect(root.Path()),
              (Paths{root.File("sub/folder.bin"), root.File("sub/link.bin"), root.File("sub/real.bin")}));
}

TEST(CollectFiles, RootEndingInASeparatorDoublesItAndStillMirrors)
{
    TempDir root;
    WriteFile(root.File("packs/sub/a.bin"), "");
    const std::string typed = root.File("packs/");
    const Paths files = Collect(typed);
    ASSERT_EQ(files, Paths{typed + test::NativePath("/sub/a.bin")});

    BatchState state;
    state.TargetDir = test::NativePath("/out");
    state.ScanRoot = typed;
    state.ScannedList = true;
    EXPECT_EQ(OutputPathFor(state, files[0], test::NativePath("TIM/a_0005.tim")),
              test::NativePath("/out/sub/TIM/a_0005.tim"));
}

TEST(CollectFiles, FollowsNoLinkToAFolderSoALoopEnds)
{
    EIT_SKIP_ON_WINDOWS("links need a privilege on Windows");
    TempDir root;
    WriteFile(root.File("sub/a.bin"), "");
    std::filesystem::create_directory_symlink(root.Path(), root.File("sub/loop"));
    std::filesystem::create_directory_symlink(root.File("sub"), root.File("link.bin"));
    EXPECT_EQ(Collect(root.Path()), (Paths{root.File("sub/a.bin"), root.File("link.bin")}));
}

TEST(CollectFiles, SkipsAFolderThatCannotBeRead)
{
    TempDir root;
    if (!test::PermissionsBind(root))
        GTEST_SKIP() << "permissions do not bind this user";
    WriteFile(root.File("locked/a.bin"), "");
    WriteFile(root.File("open/b.bin"), "");
    WriteFile(root.File("c.bin"), "");
    test::SetMode(root.File("locked"), 0);
    EXPECT_EQ(Collect(root.Path()), (Paths{root.File("open/b.bin"), root.File("c.bin")}));
    EXPECT_TRUE(Collect(root.File("locked")).empty());
}

TEST(CollectFiles, FindsNothingInAnEmptyOrMissingFolderAndKeepsWhatWasListed)
{
    TempDir root;
    WriteFile(root.File("sub/notes.txt"), "");
    Paths files{"kept"};
    CollectFiles(root.Path(), "*.bin", files);
    CollectFiles(root.File("missing"), "*.bin", files);
    CollectFiles("", "*.bin", files);
    EXPECT_EQ(files, Paths{"kept"});
}

} // namespace
} // namespace eit
