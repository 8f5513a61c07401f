// A picture saved while the system fails: the file it replaces stays as it
// was, no temporary is left and the message names the file.

#include "Env.h"
#include "TTarga.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace eit {
namespace {

TEST(TargaFaults, FailedSaveKeepsThePictureItWouldReplace)
{
    const struct {
        const char* Name;
        FaultPlan Plan;
        const char* Error;
        bool Replaced;   // the failure comes once the new file has its name
    } rows[] = {
        {"HeaderWrite", {.FailWriteNumber = 1}, "Cannot write file ", false},
        {"RowsWrite", {.FailWriteNumber = 2}, "Cannot write file ", false},
        {"NoSpace", {.NoSpaceAfterBytes = 20}, "Cannot write file ", false},
        {"Rename", {.FailRename = true}, "Cannot create file ", false},
        {"NamedRename", {.FailRename = true, .NoUnnamedTemporaries = true}, "Cannot create file ", false},
        {"FolderFlush", {.FailFolderSync = true}, "Cannot create file ", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        test::TempDir dir;
        const std::string path = dir.File("pic.tga");
        test::WriteFile(path, "old");
        TTarga targa;
        SetFaultPlan(row.Plan);
        const std::string message = test::ErrorOf([&] { targa.SaveToFile(path); }, "");
        ClearFaultPlan();
        EXPECT_EQ(message, row.Error + path);
        EXPECT_EQ(test::ReadFile(path) == "old", !row.Replaced);
        EXPECT_EQ(test::ListTree(dir.Path()), "pic.tga\n");
    }
}

} // namespace
} // namespace eit
