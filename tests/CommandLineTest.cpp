#include "CommandLine.h"

#include <gtest/gtest.h>

#include <sstream>

namespace eit {
namespace {

const OptionSpec kSpecs[] = {
    {"output", 'o', true}, {"quiet", 'q', false}, {"mode", 0, true}, {"make-list", 0, false}, {"progress", 0, false},
};

// What was read, in one line: each option as "long=value" or "long", then
// "|" and the operands, or "error: ..." for a mistake.
std::string Shown(const ReadArguments& read)
{
    if (!read.Error.empty())
        return "error: " + read.Error;
    std::ostringstream shown;
    for (const FoundOption& option : read.Options)
        shown << kSpecs[option.Spec].Long << (kSpecs[option.Spec].TakesValue ? "=" + option.Value : "") << ' ';
    shown << '|';
    for (const std::string& operand : read.Operands)
        shown << ' ' << operand;
    return shown.str();
}

TEST(CommandLine, ReadsOptionsAsGetoptLongDoes)
{
    const struct {
        std::vector<std::string> Args;
        std::string Read;
    } rows[] = {
        {{"-o", "DIR", "a.bin"}, "output=DIR | a.bin"},
        {{"-oDIR", "a.bin"}, "output=DIR | a.bin"},
        {{"-qo", "DIR", "a.bin"}, "quiet output=DIR | a.bin"},
        {{"-qoDIR"}, "quiet output=DIR |"},
        {{"--output=DIR", "--output", "NEXT"}, "output=DIR output=NEXT |"},
        {{"--output="}, "output= |"},
        {{"--out", "DIR", "--prog"}, "output=DIR progress |"},
        {{"a.bin", "-q", "b.bin", "--mode", "log"}, "quiet mode=log | a.bin b.bin"},
        {{"-q", "--", "-x.bin", "--output"}, "quiet | -x.bin --output"},
        {{"-", "-o", "-"}, "output=- | -"},
        {{"-o", "--quiet"}, "output=--quiet |"},
        {{}, "|"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Shown(ReadCommandLine(row.Args, kSpecs)), row.Read) << ::testing::PrintToString(row.Args);
}

// Tests of all the error paths follow.

TEST(CommandLine, SaysTheFirstMistakeAndKeepsTheOptionsBeforeIt)
{
    const struct {
        std::vector<std::string> Args;
        std::string Error;
    } rows[] = {
        {{"-x"}, "unknown option -x"},
        {{"-qx", "a.bin"}, "unknown option -x"},
        {{"--bogus=1", "a.bin"}, "unknown option --bogus"},
        {{"--m", "log"}, "option --m is ambiguous"},
        {{"-o"}, "option -o needs a value"},
        {{"-qo"}, "option -o needs a value"},
        {{"--output"}, "option --output needs a value"},
        {{"--outp"}, "option --output needs a value"},
        {{"--mode"}, "option --mode needs a value"},
        {{"--quiet=yes"}, "option --quiet takes no value"},
        {{"--progress=1"}, "option --progress takes no value"},
    };
    for (const auto& row : rows) {
        const ReadArguments read = ReadCommandLine(row.Args, kSpecs);
        EXPECT_EQ(read.Error, row.Error) << ::testing::PrintToString(row.Args);
        EXPECT_TRUE(read.Operands.empty()) << ::testing::PrintToString(row.Args);
    }
    const ReadArguments read = ReadCommandLine({"-q", "--mode", "log", "--bogus", "-o", "DIR"}, kSpecs);
    ASSERT_EQ(read.Options.size(), 2U);
    EXPECT_EQ(kSpecs[read.Options[1].Spec].Long, "mode");
}

TEST(CommandLine, SlashQuestionMarkAsksForHelpOnWindowsOnly)
{
#ifdef _WIN32
    EXPECT_TRUE(IsSystemHelpRequest("/?"));
#else
    EXPECT_FALSE(IsSystemHelpRequest("/?"));
#endif
    EXPECT_FALSE(IsSystemHelpRequest("-?"));
    EXPECT_FALSE(IsSystemHelpRequest("/?x"));
}

} // namespace
} // namespace eit
