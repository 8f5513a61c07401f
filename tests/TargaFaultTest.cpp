// A picture saved, or an IniStyle text appended, while the system fails: the
// file it would change stays as it was, no temporary is left and the message
// names the file.

#include "Env.h"
#include "TTarga.h"
#include "TextObject.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace eit {
namespace {

enum class Saved { Picture, Text };

// Saves a picture, or appends a text to the IniStyle file at path, under
// plan; returns the message the user gets: the error thrown, or the line
// the text object adds to its log.
std::string SaveWhileFailing(Saved what, const std::string& path, const FaultPlan& plan)
{
    if (what == Saved::Picture) {
        TTarga targa;
        SetFaultPlan(plan);
        const std::string message = test::ErrorOf([&] { targa.SaveToFile(path); }, "");
        ClearFaultPlan();
        return message;
    }
    TTextObject text;
    text.TextStyle = TTextObject::IniStyle;
    text.FileName = path;
    EXPECT_EQ(text.New(static_cast<TTextObject::TOpenModes>(2)), 0); // load, then append
    SetFaultPlan(plan);
    text.Write("new text\nof two lines");
    ClearFaultPlan();
    EXPECT_EQ(text.Status(), TTextObject::kStatusNotFound);
    return text.Log().Count() == 1 ? std::string(text.Log().Get(0)) : text.Log().Text();
}

TEST(ComponentFaults, FailedSaveKeepsTheFileItWouldChange)
{
    const struct {
        const char* Name;
        Saved What;
        FaultPlan Plan;
        const char* Error;
        bool Replaced;   // the failure comes once the new file has its name
    } rows[] = {
        {"HeaderWrite", Saved::Picture, {.FailWriteNumber = 1}, "Cannot write file ", false},
        {"RowsWrite", Saved::Picture, {.FailWriteNumber = 2}, "Cannot write file ", false},
        {"NoSpace", Saved::Picture, {.NoSpaceAfterBytes = 20}, "Cannot write file ", false},
        {"Rename", Saved::Picture, {.FailRename = true}, "Cannot create file ", false},
        {"NamedRename", Saved::Picture, {.FailRename = true, .NoUnnamedTemporaries = true}, "Cannot create file ",
         false},
        {"FolderFlush", Saved::Picture, {.FailFolderSync = true}, "Cannot create file ", true},
        // The text is appended to the file itself, in one write.
        {"TextWrite", Saved::Text, {.FailWriteNumber = 1}, "Cannot write file ", false},
        {"TextNoSpace", Saved::Text, {.NoSpaceAfterBytes = 20}, "Cannot write file ", false},
        {"TextFlush", Saved::Text, {.FailSync = true}, "Cannot write file ", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        test::TempDir dir;
        const std::string name = row.What == Saved::Picture ? "pic.tga" : "texts.txt";
        const std::string path = dir.File(name);
        test::WriteFile(path, "old");
        EXPECT_EQ(SaveWhileFailing(row.What, path, row.Plan), row.Error + path);
        EXPECT_EQ(test::ReadFile(path) == "old", !row.Replaced);
        EXPECT_EQ(test::ListTree(dir.Path()), name + "\n");
    }
}

} // namespace
} // namespace eit
