// The batch driver's bash completion, run by bash with the bash-completion
// library it is written for, as a shell runs it when Tab is pressed.

#include "Env.h"
#include "FileUtil.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace eit {
namespace {

constexpr const char* kLibrary = "/usr/share/bash-completion/bash_completion";

// What the completion offers for the command line typed, whose last word is
// the one being completed, in folder cwd: the offers sorted, one a line.
std::string Offers(const TempDir& dir, const std::string& cwd, const std::string& typed)
{
    const std::string script = std::string("source ") + kLibrary + "; source " + EIT_COMPLETION + R"(
COMP_LINE="$1 $2"; COMP_POINT=${#COMP_LINE}
read -ra COMP_WORDS <<<"$COMP_LINE"
[[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
_extract_insert_batch "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
[[ ${#COMPREPLY[@]} -eq 0 ]] || printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort)";
    return test::RunProgram(dir, cwd, {"/bin/bash", "-c", script, "bash", EIT_BATCH_DRIVER, typed}).Out;
}

TEST(Completion, OffersTheOptionsTheirValuesAndTheFilesTheModeTakes)
{
    if (!PathExists(kLibrary))
        GTEST_SKIP() << "bash-completion is not installed";
    TempDir dir;
    const std::string cwd = dir.File("files");
    for (const char* name : {"a.bin", "B.BIN", "c.log", "d.lst", "list.txt"})
        WriteFile(JoinPath(cwd, name), "");
    ASSERT_TRUE(CreateDirectories(dir.File("files/sub")));
    const struct {
        const char* Typed;
        const char* Offers;
    } rows[] = {
        {"--outp", "--output=\n"},
        {"--mode ", "bin\nlog\nlst\n"},
        {"--mode=l", "log\nlst\n"},
        {"--type ", "bin\nlog\nlst\n"},
        {"-o ", "sub\n"},
        {"--scan ", "sub\n"},
        {"-e ", "B.BIN\na.bin\nc.log\nd.lst\nlist.txt\nsub\n"},
        {"-T ", "B.BIN\na.bin\nc.log\nd.lst\nlist.txt\nsub\n"},
        {"", "B.BIN\na.bin\nsub\n"},
        {"-o out ", "B.BIN\na.bin\nsub\n"},
        {"--mode log -o out ", "c.log\nsub\n"},
        {"--mode=lst ", "d.lst\nsub\n"},
        {"--version ", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Offers(dir, cwd, row.Typed), row.Offers) << '"' << row.Typed << '"';
    }
}

} // namespace
} // namespace eit
