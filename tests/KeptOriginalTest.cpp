#include "BatchState.h"
#include "Env.h"
#include "FileError.h"
#include "KeptOriginal.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace eit {
namespace {

// What a .bak comes to: made, kept or given up, and what stood in its place.
TEST(KeptOriginal, BakIsMadeOnceAndRemovedUnlessKept)
{
    enum class Before { None, OlderBak, Folder };
    const struct {
        const char* Name;
        Before Place;
        bool Keep;
        bool PackGone;       // the pack is no longer there when the rebuild ends
        const char* Error;   // of CheckPlace, "" for none
        const char* Bak;     // what the .bak holds at the end; nullptr: none
    } rows[] = {
        {"made and kept", Before::None, true, false, "", "pack bytes"},
        {"made, rebuild failed", Before::None, false, false, "", nullptr},
        {"made, pack gone: the only original", Before::None, false, true, "", "pack bytes"},
        {"older .bak kept as it is", Before::OlderBak, true, false, "", "first original"},
        {"older .bak outlives a failure", Before::OlderBak, false, false, "", "first original"},
        {"folder in the way", Before::Folder, false, false,
         "Cannot keep the original of {P}: {P}.bak is not a regular file", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        TempDir dir;
        const std::string pack = dir.File("DATA.BIN");
        const std::string bak = pack + ".bak";
        WriteFile(pack, "pack bytes");
        if (row.Place == Before::OlderBak)
            WriteFile(bak, "first original");
        if (row.Place == Before::Folder)
            std::filesystem::create_directory(test::FsPath(bak));
        BatchState state;
        {
            KeptOriginal original(pack);
            EXPECT_EQ(original.Path(), bak);
            std::string expected = row.Error;
            for (std::size_t at; (at = expected.find("{P}")) != std::string::npos;)
                expected.replace(at, 3, pack);
            EXPECT_EQ(test::ErrorOf([&] { original.CheckPlace(); }, ""), expected);
            if (!expected.empty())
                continue;
            {
                const ReadOnlyFile source(pack);
                original.Make(state, source);
            }
            if (row.PackGone)
                RemoveFile(pack);
            if (row.Keep)
                original.Keep();
        }
        if (row.Bak)
            EXPECT_EQ(ReadFile(bak), row.Bak);
        else
            EXPECT_FALSE(PathExists(bak));
    }
}

} // namespace
} // namespace eit
