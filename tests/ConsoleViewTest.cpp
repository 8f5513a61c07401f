#include "ConsoleView.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace eit {
namespace {

// The columns a terminal gives text, counting a sequence of three or four
// bytes as two; -1 when a UTF-8 sequence is cut.
int Columns(std::string_view text)
{
    int columns = 0;
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (lead >= 0x80 && lead < 0xC0)
            return -1;
        for (std::size_t k = 1; k < length; ++k)
            if (at + k >= text.size() || (static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80)
                return -1;
        columns += length >= 3 ? 2 : 1;
        at += length;
    }
    return columns;
}

TEST(FitToWidth, KeepsWhatFitsAndCutsTheMiddleKeepingMoreOfTheEnd)
{
    const std::string name = "Processing a_pack_with_a_rather_long_name_0042.BIN...";
    const struct {
        std::string Text;
        std::size_t Width;
        std::string Fitted;
    } rows[] = {
        {"Processing DATA.BIN...", 40, "Processing DATA.BIN..."},
        {"Processing DATA.BIN...", 22, "Processing DATA.BIN..."},
        {"Processing DATA.BIN...", 21, "Proces... DATA.BIN..."},
        {name, 38, "Processing ...er_long_name_0042.BIN..."},
        {name, 12, "Pro...BIN..."},
        {name, 4, "...."},
        {name, 3, "..."},
        {name, 1, "."},
        {name, 0, ""},
        {"", 0, ""},
        // "é" takes two bytes and a column, "日" three bytes and two columns.
        {"Processing caf\xC3\xA9_\xE6\x97\xA5\xE6\x9C\xAC.BIN...", 20, "Proce..._\xE6\x97\xA5\xE6\x9C\xAC.BIN..."},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FitToWidth(row.Text, row.Width), row.Fitted) << row.Text << " in " << row.Width;
}

// Whatever the width, the text takes no more columns, and a cut never
// splits a character.
TEST(FitToWidth, NeverTakesMoreThanTheWidthNorSplitsACharacter)
{
    const std::string text = "Processing \xC3\xA9t\xC3\xA9_\xE6\x97\xA5\xE6\x9C\xAC_\xF0\x9F\x98\x80_long_pack_name.BIN...";
    const int whole = Columns(text);
    ASSERT_EQ(whole, 44);
    for (std::size_t width = 0; width <= 50; ++width) {
        const std::string fitted = FitToWidth(text, width);
        const int columns = Columns(fitted);
        EXPECT_GE(columns, 0) << width << ": " << fitted;
        EXPECT_LE(columns, static_cast<int>(width)) << fitted;
        // Cut no more than needed: a wide character may leave a column free
        // on either side of the "...".
        EXPECT_GE(columns, std::min(whole, static_cast<int>(width)) - 2) << width << ": " << fitted;
    }
}

} // namespace
} // namespace eit
