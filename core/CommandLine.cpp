#include "CommandLine.h"

#include <algorithm>

// glibc and mingw-w64 both carry getopt_long; it belongs to the boundary to
// the system like Env.h, and this is the one file that includes it.
#include <getopt.h>

namespace eit {

namespace {

// getopt_long's answer for an option without a short form: past every char.
constexpr int kLongOnly = 256;

int ValueOf(const OptionSpec& spec, std::size_t place)
{
    return spec.Short != 0 ? static_cast<unsigned char>(spec.Short) : kLongOnly + static_cast<int>(place);
}

// The place in specs of the option getopt_long answered with value; npos
// when there is none.
std::size_t PlaceOf(int value, std::span<const OptionSpec> specs)
{
    for (std::size_t k = 0; k < specs.size(); ++k)
        if (ValueOf(specs[k], k) == value)
            return k;
    return std::string::npos;
}

// The option as it was written: "-o" in a bundle or alone, "--output" for
// any long form of it.
std::string Written(const OptionSpec& spec, std::string_view argument)
{
    if (argument.starts_with("--") || spec.Short == 0)
        return "--" + std::string(spec.Long);
    return std::string("-") + spec.Short;
}

// What was wrong with the long option argument ("--name" or "--name=value")
// that getopt_long could not match.
std::string UnmatchedLong(std::string_view argument, std::span<const OptionSpec> specs)
{
    const std::string_view name = argument.substr(2, argument.find('=') - 2);
    const auto matches = std::count_if(specs.begin(), specs.end(),
                                       [&](const OptionSpec& spec) { return spec.Long.starts_with(name); });
    const std::string written = "--" + std::string(name);
    return matches > 1 ? "option " + written + " is ambiguous" : "unknown option " + written;
}

} // namespace

ReadArguments ReadCommandLine(const std::vector<std::string>& args, std::span<const OptionSpec> specs)
{
    std::string shortOptions = ":"; // ':' answers a missing value, not '?'
    std::vector<std::string> longNames;
    longNames.reserve(specs.size());
    std::vector<option> longOptions;
    for (std::size_t k = 0; k < specs.size(); ++k) {
        const OptionSpec& spec = specs[k];
        if (spec.Short != 0)
            shortOptions += std::string(1, spec.Short) + (spec.TakesValue ? ":" : "");
        longNames.emplace_back(spec.Long);
        longOptions.push_back({longNames.back().c_str(), spec.TakesValue ? required_argument : no_argument, nullptr,
                               ValueOf(spec, k)});
    }
    longOptions.push_back({nullptr, 0, nullptr, 0});

    // getopt_long moves the pointers of argv about, never the texts.
    std::vector<std::string> texts{"program"};
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(texts.size());

    ReadArguments read;
    opterr = 0;
    optind = 0; // 0, not 1: both libraries then forget any earlier command line
    for (;;) {
        const int answer = getopt_long(argc, argv.data(), shortOptions.c_str(), longOptions.data(), nullptr);
        if (answer == -1)
            break;
        // What getopt_long just read; for a bundle of short options it may
        // already have moved past it.
        const std::string_view argument = argv[static_cast<std::size_t>(std::max(optind - 1, 1))];
        const bool mistake = answer == ':' || answer == '?';
        const std::size_t place = PlaceOf(mistake ? optopt : answer, specs);
        if (mistake && optopt == 0) {
            read.Error = UnmatchedLong(argument, specs);
        } else if (mistake && place == std::string::npos) {
            read.Error = std::string("unknown option -") + static_cast<char>(optopt);
        } else if (mistake && specs[place].TakesValue) {
            read.Error = "option " + Written(specs[place], argument) + " needs a value";
        } else if (mistake) {
            // A value after "=" where none goes: glibc answers '?' to it,
            // mingw-w64 ':'.
            read.Error = "option --" + std::string(specs[place].Long) + " takes no value";
        } else {
            read.Options.push_back({place, specs[place].TakesValue && optarg ? optarg : ""});
            continue;
        }
        return read;
    }
    read.Operands.assign(argv.begin() + optind, argv.begin() + argc);
    return read;
}

bool IsSystemHelpRequest([[maybe_unused]] std::string_view arg)
{
#ifdef _WIN32
    return arg == "/?";
#else
    return false;
#endif
}

} // namespace eit
