// extract-insert-batch: the main window's batch without a window.

#include "Batch.h"
#include "BatchState.h"
#include "CollectFiles.h"
#include "CommandLine.h"
#include "ConsoleView.h"
#include "ExtensionList.h"
#include "FileError.h"
#include "FileUtil.h"
#include "Formats.h"
#include "LineList.h"
#include "PackSurvey.h"
#include "Replay.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: extract-insert-batch [OPTION]... -o DIR PACK...\n"
    "       extract-insert-batch --mode log|lst [OPTION]... -o DIR FILE...\n"
    "       extract-insert-batch --scan ROOT [--type bin|lst|log] [OPTION]... -o DIR\n"
    "       extract-insert-batch --list PACK...\n"
    "       extract-insert-batch --make-extlist PACK > extlist.txt\n"
    "       extract-insert-batch --make-extlist -o DIR PACK...\n"
    "\n"
    "Runs every FILE as the Extract\\Insert Tool window's batch does. In the\n"
    "default mode bin each FILE is a data pack, extracted into files below\n"
    "DIR, and DIR/result.log records the batch. In mode lst each FILE is a\n"
    "project list: the lines of the lists, in order, name the packs to\n"
    "extract (a relative name is taken against its list's folder; empty lines\n"
    "are passed over). In mode log each FILE is a result log that is\n"
    "replayed: every data pack it names is rebuilt as DIR/<pack name> with\n"
    "the files of its slot lines that were changed (DIR being the pack's own\n"
    "folder replaces the pack and keeps the first original as\n"
    "<pack name>.bak); no result.log is written.\n"
    "\n"
    "With --scan the input files are instead every file of one type found in\n"
    "the folder tree below ROOT, as the window's \"Directory to add\" collects\n"
    "them: the files of each subfolder before those of its parent, each folder\n"
    "in name order, folders beginning with \".\" and links to folders not\n"
    "entered. The type sets the mode: bin extracts packs, lst extracts the\n"
    "packs the lists name, log replays result logs. Packs found by a scan are\n"
    "extracted into the same subfolders below DIR as they have below ROOT.\n"
    "\n"
    "Before anything is written every input file is opened, and every pack's\n"
    "directory is read and held against the extension list: a batch refused\n"
    "there creates no DIR.\n"
    "\n"
    "Every pack is split with the extension list, one line per non-empty slot\n"
    "in slot order (an empty line: raw). --list shows a pack's slots and how\n"
    "many lines its list needs; --make-extlist writes a starter list guessed\n"
    "from the entries' first bytes, to be checked and edited. Packs with\n"
    "different contents need lists of their own: --extlist may name a folder\n"
    "of lists, DIR/<pack base name>.txt (DATA.txt for DATA.BIN), and\n"
    "--make-extlist -o DIR writes one such list per PACK.\n"
    "\n"
    "  -o, --output=DIR     output directory; created when missing\n"
    "  -e, --extlist=FILE   extension list, or a folder of them (default: %s)\n"
    "      --mode=MODE      bin (default), lst or log\n"
    "      --scan=ROOT      collect the input files below folder ROOT\n"
    "      --type=TYPE      with --scan: the files to collect, bin (*.bin, the\n"
    "                       default), lst (*.lst) or log (*.log)\n"
    "  -T, --files-from=FILE\n"
    "                       read more input files from FILE, one a line, as\n"
    "                       if given on the command line (empty lines passed\n"
    "                       over; - reads standard input)\n"
    "  -q, --quiet          print only errors, warnings and the final line\n"
    "      --progress       progress on stderr also when it is no terminal:\n"
    "                       one plain line whenever a percentage changes\n"
    "      --dry-run        mode log: say what each pack's rebuild would do,\n"
    "                       write nothing\n"
    "      --list           list each PACK's non-empty slots and guessed types\n"
    "      --make-extlist   write a starter extension list for PACK to stdout,\n"
    "                       or with -o one per PACK into DIR\n"
    "  -h, --help           show this text\n"
#ifdef _WIN32
    "      /?               show this text\n"
#endif
    "      --version        show the program's version\n"
    "Options that take a value accept it as the next argument, joined to a\n"
    "short option (-oDIR) or after \"=\" (--output=DIR). Short options may be\n"
    "given together (-qo DIR), and a long option shortened while it names one\n"
    "option only. \"--\" ends the options: what follows is a FILE even when it\n"
    "starts with \"-\".\n"
    "\n"
#ifdef _WIN32
    "Ctrl-C, Ctrl-Break or closing the console stops after the current file\n"
    "entry or replayed line; in modes bin and lst result.log then lists what\n"
    "was done. A second Ctrl-C ends the program at once.\n"
#else
    "Ctrl-C, SIGTERM or SIGHUP stops after the current file entry or replayed\n"
    "line; in modes bin and lst result.log then lists what was done. A second\n"
    "Ctrl-C ends the program at once.\n"
#endif
    "\n"
    "Exit status:\n"
    "  0        every file was done\n"
    "  1        a failure, whose message is printed, or a replay that met\n"
    "           no pack to rebuild\n"
    "  2        bad usage\n"
#ifdef _WIN32
    "  128+N    stopped by signal N (130 Ctrl-C, 149 Ctrl-Break)\n";
#else
    "  128+N    stopped by signal N (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP,\n"
    "           141 output no longer written)\n";
#endif

// path made full against the working directory. An empty name stays
// empty: it names no file, and the failure to open it says so.
std::string Absolute(const std::string& path)
{
    return path.empty() ? path : eit::MakeAbsolute(path);
}

const char* const kProgram = "extract-insert-batch";

// Says message on stderr after the program's name, as every failure is said.
void Complain(const std::string& message)
{
    std::cerr << kProgram << ": " << message << '\n';
}

int UsageError(const std::string& message)
{
    Complain(message);
    std::cerr << "Try '" << kProgram << " --help'.\n";
    return 2;
}

// The open dialog's filter position for a --mode value, the extension of
// the type's mask ("bin" for "*.bin"); 0 for none.
int FilterOfMode(const std::string& mode)
{
    for (std::size_t k = 0; k < eit::kInputTypes.size(); ++k)
        if ("*." + mode == eit::kInputTypes[k].Mask)
            return static_cast<int>(k) + 1;
    return 0;
}

enum class Action { Batch, List, MakeExtList };

struct Options {
    Action Task = Action::Batch;
    std::string Output;
    std::string ExtList;
    int Filter = FilterOfMode("bin");
    std::vector<std::string> Inputs;
    // The --files-from lists, in order; their names follow the FILEs.
    std::vector<std::string> FileLists;
    bool Scan = false;
    std::string ScanRoot;
    int ScanType = -1;
    eit::ConsoleOutput Console;
    bool DryRun = false;
};

// The open dialog's filter position that the batch of options runs with:
// --type's with --scan, --mode's otherwise.
int BatchFilter(const Options& options)
{
    if (!options.Scan)
        return options.Filter;
    return options.ScanType < 0 ? FilterOfMode("bin") : options.ScanType + 1;
}

// What an option does with its value: -1 to read on, or the status to exit
// with at once (after --help, --version, or a mistake it has printed).
using ApplyOption = int (*)(Options& options, const std::string& value);

int ShowHelp(Options&, const std::string&)
{
    std::printf(kUsage, eit::DefaultExtListPath().c_str());
    return 0;
}

int SetTask(Options& options, Action task)
{
    if (options.Task != Action::Batch && options.Task != task)
        return UsageError("give either --list or --make-extlist");
    options.Task = task;
    return -1;
}

struct DriverOption {
    eit::OptionSpec Spec;
    ApplyOption Apply;
};

// Every option of the driver, in the order of --help.
const DriverOption kOptions[] = {
    {{"output", 'o', true}, [](Options& o, const std::string& value) { o.Output = value; return -1; }},
    {{"extlist", 'e', true}, [](Options& o, const std::string& value) { o.ExtList = value; return -1; }},
    {{"mode", 0, true},
     [](Options& o, const std::string& value) {
         o.Filter = FilterOfMode(value);
         return o.Filter == 0 ? UsageError("--mode takes bin, log or lst, not " + value) : -1;
     }},
    {{"scan", 0, true},
     [](Options& o, const std::string& value) {
         o.ScanRoot = value;
         o.Scan = true;
         return -1;
     }},
    {{"type", 0, true},
     [](Options& o, const std::string& value) {
         // The scan dialog lists the types in the open dialog's order.
         o.ScanType = FilterOfMode(value) - 1;
         return o.ScanType < 0 ? UsageError("--type takes bin, lst or log, not " + value) : -1;
     }},
    {{"files-from", 'T', true},
     [](Options& o, const std::string& value) {
         o.FileLists.push_back(value);
         return -1;
     }},
    {{"quiet", 'q', false}, [](Options& o, const std::string&) { o.Console.Quiet = true; return -1; }},
    {{"progress", 0, false}, [](Options& o, const std::string&) { o.Console.ProgressLines = true; return -1; }},
    {{"dry-run", 0, false}, [](Options& o, const std::string&) { o.DryRun = true; return -1; }},
    {{"list", 0, false}, [](Options& o, const std::string&) { return SetTask(o, Action::List); }},
    {{"make-extlist", 0, false}, [](Options& o, const std::string&) { return SetTask(o, Action::MakeExtList); }},
    {{"help", 'h', false}, ShowHelp},
    {{"version", 0, false},
     [](Options&, const std::string&) {
         std::printf("%s %s\n", kProgram, EIT_VERSION);
         return 0;
     }},
};

// Reads the command line into options. Returns -1 when the batch or an
// action is to run, otherwise the exit status (after --help, --version or a
// usage error, whose message it has printed).
int ParseArguments(const std::vector<std::string>& args, Options& options)
{
    if (std::any_of(args.begin(), args.end(), [](const std::string& arg) { return eit::IsSystemHelpRequest(arg); }))
        return ShowHelp(options, {});
    std::vector<eit::OptionSpec> specs;
    for (const DriverOption& option : kOptions)
        specs.push_back(option.Spec);
    const eit::ReadArguments read = eit::ReadCommandLine(args, specs);
    for (const eit::FoundOption& found : read.Options)
        if (const int status = kOptions[found.Spec].Apply(options, found.Value); status >= 0)
            return status;
    if (!read.Error.empty())
        return UsageError(read.Error);
    options.Inputs = read.Operands;
    const bool noInput = options.Inputs.empty() && options.FileLists.empty();

    // A dry run of another mode would extract for real, over edited files.
    if (options.DryRun && (options.Task != Action::Batch || BatchFilter(options) != FilterOfMode("log")))
        return UsageError("--dry-run works only with --mode log");
    if (options.Task != Action::Batch) {
        if (options.Scan)
            return UsageError("--scan does not go with --list or --make-extlist");
        if (noInput)
            return UsageError("no pack given");
        return -1;
    }
    if (options.Output.empty())
        return UsageError("--output DIR is required");
    if (options.Scan && !noInput)
        return UsageError("--scan collects the input files; give no FILE with it");
    if (!options.Scan && options.ScanType >= 0)
        return UsageError("--type needs --scan");
    if (!options.Scan && noInput)
        return UsageError("no input file given");
    return -1;
}

// The names the --files-from lists give, one a line as tar's -T reads
// them, appended to the inputs. Returns -1 to go on, otherwise the exit
// status after the message it has printed.
int AddListedInputs(Options& options)
{
    for (const std::string& list : options.FileLists) {
        eit::LineList lines;
        try {
            if (list == "-")
                lines.SetText(std::string(std::istreambuf_iterator<char>(std::cin), {}));
            else
                lines.LoadFromFile(list);
        } catch (const std::exception& e) {
            Complain(e.what());
            return 1;
        }
        for (int i = 0; i < lines.Count(); ++i)
            if (const std::string_view line = lines.Get(i); !line.empty())
                options.Inputs.emplace_back(line);
    }
    if (options.Inputs.empty() && !options.FileLists.empty()) {
        const std::string& list = options.FileLists.front();
        Complain("no file named in " + (list == "-" ? std::string("standard input") : list)
                 + (options.FileLists.size() > 1 ? " or the other lists" : ""));
        return 1;
    }
    if (options.Task == Action::MakeExtList && options.Inputs.size() > 1 && options.Output.empty())
        return UsageError("--make-extlist writes the list of one pack; give one PACK, or -o DIR");
    return -1;
}

// --list and --make-extlist: the survey of each pack on stdout. A pack that
// cannot be surveyed is reported and the others are still listed; so is a
// listed pack that its extraction would fail on, an entry running past its
// end.
int SurveyPacks(const Options& options)
{
    int status = 0;
    for (const std::string& pack : options.Inputs) {
        try {
            if (options.Task == Action::MakeExtList && !options.Output.empty()) {
                eit::WriteStarterList(pack, options.Output);
                continue;
            }
            const std::vector<eit::SurveyedEntry> entries = eit::SurveyPack(pack);
            if (options.Task == Action::MakeExtList) {
                // The list's CR LF line ends go out as they are.
                const std::string text = eit::MakeExtensionList(entries);
                std::fwrite(text.data(), 1, text.size(), stdout);
                continue;
            }
            if (options.Inputs.size() > 1)
                std::printf("%s%s:\n", &pack == &options.Inputs.front() ? "" : "\n", pack.c_str());
            const std::string text = eit::FormatPackList(entries);
            std::fwrite(text.data(), 1, text.size(), stdout);
            if (std::any_of(entries.begin(), entries.end(), [](const eit::SurveyedEntry& e) { return e.PastEnd; }))
                throw eit::FileError::StreamRead(pack, {eit::FileErrorKind::ReadPastEnd, {}});
        } catch (const std::exception& e) {
            std::fflush(stdout);
            // An error about no file in particular: say which pack it was.
            const auto* error = dynamic_cast<const eit::FileError*>(&e);
            Complain((error == nullptr || error->File().empty() ? pack + ": " : "") + e.what());
            status = 1;
        }
    }
    return std::fflush(stdout) == 0 ? status : 1;
}

// The packs that project lists name: every non-empty line of each list, in
// order. A relative name is taken against its list's folder, where the list
// was written; the working directory says nothing about it. The names end up
// in result.log, so they get the system's separators.
std::vector<std::string> PacksOfLists(const std::vector<std::string>& lists)
{
    std::vector<std::string> packs;
    for (const std::string& list : lists) {
        eit::LineList lines;
        lines.LoadFromFile(list);
        for (int i = 0; i < lines.Count(); ++i)
            if (const std::string_view line = lines.Get(i); !line.empty())
                packs.push_back(eit::MakeAbsolute(
                    eit::IsFolderRelative(line) ? eit::JoinPath(eit::DirectoryPart(list), line) : std::string(line)));
    }
    return packs;
}

// Refuses a batch that would fail at an input it can see before it starts:
// a file that cannot be opened, a pack shorter than its directory (the
// batch has checked the extension lists by then). Throws the FileError the
// batch would meet.
void CheckBatchInputs(const eit::BatchState& state, const std::vector<std::string>& inputs)
{
    if (state.ProcessingMode != eit::kModeExtract) {
        for (const std::string& input : inputs)
            eit::ReadOnlyFile{input};
        return;
    }
    for (const std::string& pack : inputs)
        eit::ReadPackDirectory(pack);
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const int status = ParseArguments(eit::ProgramArguments(argc, argv), options); status >= 0)
        return status;
    if (const int status = AddListedInputs(options); status >= 0)
        return status;
    if (options.Task != Action::Batch)
        return SurveyPacks(options);

    eit::BatchState state;
    if (!options.ExtList.empty())
        state.ExtListPath = options.ExtList;
    state.DryRun = options.DryRun;
    std::vector<std::string>& inputs = options.Inputs;
    // The batch moves the working directory to the output folder, so relative
    // names are made full here, as the open dialog gives them. A relative
    // scan root becomes full the same way; the rest of it stays as typed.
    int filter = BatchFilter(options);
    if (options.Scan) {
        const int scanType = filter - 1;
        const std::string scanRoot = Absolute(options.ScanRoot);
        const std::string mask = eit::FilterMask(eit::kInputFilter, scanType);
        eit::CollectFiles(scanRoot, mask, inputs);
        if (inputs.empty()) {
            Complain("no file matching " + mask + " below " + scanRoot);
            return 1;
        }
        state.ScanRoot = scanRoot;
        state.ScannedList = true;
    } else {
        for (auto& input : inputs)
            input = Absolute(input);
    }
    state.ProcessingMode = eit::FilterModeAt(filter);

    // Project lists hand their lines to the batch as the window's open
    // dialog does; the packs are then extracted, wherever they lie.
    if (state.ProcessingMode == eit::kModeReplayList) {
        const std::vector<std::string> lists = std::move(inputs);
        try {
            inputs = PacksOfLists(lists);
        } catch (const std::exception& e) {
            Complain(e.what());
            return 1;
        }
        if (inputs.empty()) {
            Complain("no pack named in " + lists.front() + (lists.size() > 1 ? " or the other lists" : ""));
            return 1;
        }
        state.ScannedList = false;
        filter = FilterOfMode("bin");
        state.ProcessingMode = eit::FilterModeAt(filter);
    }

    state.ExtListPath = Absolute(state.ExtListPath);
    const std::string dir = eit::NormalPath(Absolute(options.Output));
    const std::vector<std::string> checked = inputs;

    // The batch names the output folder without a separator at its end,
    // unless the separator is the root ("/", "C:\").
    const bool rootOnly = eit::FileNamePart(std::string_view(dir).substr(0, dir.size() - 1)).empty();
    eit::ConsoleView view(std::move(inputs), dir.back() == eit::kPathSep && !rootOnly ? dir.substr(0, dir.size() - 1) : dir,
                          state.StopFlag, options.Console);
    view.SetFilterIndex(filter);
    eit::Batch batch(state, view);
    // The output folder is made once nothing the batch can see refuses it,
    // so that a refused batch leaves none behind. A name too long, a link
    // loop or a folder we may not search is a refusal, not a crash. A dry
    // run writes nothing, folders included.
    batch.PrepareOutput = [&] {
        CheckBatchInputs(state, checked);
        if (!state.DryRun && !eit::CreateDirectories(dir))
            throw eit::FileError("Cannot create directory " + dir, eit::FileErrorKind::Other, dir);
    };
    eit::InstallStopHandler(state.StopFlag);

    try {
        batch.BProcessClick();
    } catch (const std::exception& e) {
        view.EndLine();
        std::cout.flush();
        Complain(e.what());
        return 1;
    }
    const int signal = eit::StopSignal();
    if (signal == 0) {
        // A replay that met no pack because a log named none has failed; the
        // results said why, or, kept back by --quiet, stderr does.
        if (state.ReplayedPacks != 0 || state.FilesWithoutPacks.empty())
            return 0;
        if (options.Console.Quiet)
            for (const std::string& file : state.FilesWithoutPacks)
                Complain(eit::NoPackRecordLine(file));
        return 1;
    }
    view.EndLine();
    std::cout << eit::StopLine(state) << std::endl;
    return 128 + signal;
}
