#pragma once

// Command lines read the way the C library's getopt_long reads them, the
// same on every system: short options bundle ("-qo DIR") and take a value
// joined or as the next argument ("-oDIR", "-o DIR"); a long option takes
// its value after "=" or as the next argument and may be shortened to any
// prefix that names one option only; operands may stand among the options;
// "--" ends the options, so that what follows is an operand even when it
// starts with "-". A lone "-" is an operand.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace eit {

// One option a program knows.
struct OptionSpec {
    std::string_view Long; // without the leading "--"
    char Short = 0;        // 0: no short form
    bool TakesValue = false;
};

// One option found on a command line.
struct FoundOption {
    std::size_t Spec = 0; // its place in the table of OptionSpecs
    std::string Value;    // empty for an option that takes none
};

struct ReadArguments {
    // The options in the order given, up to the first mistake.
    std::vector<FoundOption> Options;
    // The operands in the order given; empty after a mistake.
    std::vector<std::string> Operands;
    // Empty when every option was known and given right; otherwise the
    // first mistake: "unknown option -x", "unknown option --name", "option
    // --na is ambiguous", "option -o needs a value" (or "--output", as it
    // was given), "option --quiet takes no value".
    std::string Error;
};

// Reads args, the arguments after the program's name, against specs. Uses
// getopt_long's global state: one call at a time.
ReadArguments ReadCommandLine(const std::vector<std::string>& args, std::span<const OptionSpec> specs);

// Whether arg asks for help the system's own way besides "--help": "/?" on
// Windows; never elsewhere, where "/?" is a path.
bool IsSystemHelpRequest(std::string_view arg);

} // namespace eit
