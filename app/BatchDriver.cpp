// extract-insert-batch: the main window's batch without a window.

#include "Batch.h"
#include "BatchState.h"
#include "CollectFiles.h"
#include "ConsoleView.h"
#include "ExtensionList.h"
#include "FileError.h"
#include "FileUtil.h"
#include "Formats.h"
#include "LineList.h"
#include "PackSurvey.h"
#include "Replay.h"

#include <cstdio>
#include <iostream>
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
    "  -q, --quiet          print only errors, warnings and the final line\n"
    "      --progress       progress on stderr also when it is no terminal:\n"
    "                       one plain line whenever a percentage changes\n"
    "      --dry-run        mode log: say what each pack's rebuild would do,\n"
    "                       write nothing\n"
    "      --list           list each PACK's non-empty slots and guessed types\n"
    "      --make-extlist   write a starter extension list for PACK to stdout,\n"
    "                       or with -o one per PACK into DIR\n"
    "  -h, --help           show this text\n"
    "      --version        show the program's version\n"
    "Options that take a value accept it as the next argument or after \"=\".\n"
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

int UsageError(const std::string& message)
{
    std::cerr << "extract-insert-batch: " << message << "\nTry 'extract-insert-batch --help'.\n";
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

// Reads the command line into options. Returns -1 when the batch or an
// action is to run, otherwise the exit status (after --help, --version or a
// usage error, whose message it has printed).
int ParseArguments(const std::vector<std::string>& args, Options& options)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool joined = false;
        if (name.starts_with("--") && name.find('=') != std::string::npos) {
            value = name.substr(name.find('=') + 1);
            name.resize(name.find('='));
            joined = true;
        }
        static const std::vector<std::pair<std::string, std::string>> kShortNames{
            {"-o", "--output"}, {"-e", "--extlist"}, {"-q", "--quiet"}, {"-h", "--help"}};
        for (const auto& [shortName, longName] : kShortNames)
            if (name == shortName)
                name = longName;
        const bool takesValue =
            name == "--output" || name == "--extlist" || name == "--mode" || name == "--scan" || name == "--type";
        if (takesValue && !joined) {
            if (i + 1 == args.size())
                return UsageError("option " + args[i] + " needs a value");
            value = args[++i];
        } else if (!takesValue && joined) {
            return UsageError("option " + name + " takes no value");
        }

        if (name == "--version") {
            std::printf("extract-insert-batch %s\n", EIT_VERSION);
            return 0;
        } else if (name == "--help") {
            std::printf(kUsage, eit::DefaultExtListPath().c_str());
            return 0;
        } else if (name == "--output") {
            options.Output = value;
        } else if (name == "--extlist") {
            options.ExtList = value;
        } else if (name == "--mode") {
            options.Filter = FilterOfMode(value);
            if (options.Filter == 0)
                return UsageError("--mode takes bin, log or lst, not " + value);
        } else if (name == "--scan") {
            options.ScanRoot = value;
            options.Scan = true;
        } else if (name == "--type") {
            // The scan dialog lists the types in the open dialog's order.
            options.ScanType = FilterOfMode(value) - 1;
            if (options.ScanType < 0)
                return UsageError("--type takes bin, lst or log, not " + value);
        } else if (name == "--quiet") {
            options.Console.Quiet = true;
        } else if (name == "--progress") {
            options.Console.ProgressLines = true;
        } else if (name == "--dry-run") {
            options.DryRun = true;
        } else if (name == "--list" || name == "--make-extlist") {
            const Action task = name == "--list" ? Action::List : Action::MakeExtList;
            if (options.Task != Action::Batch && options.Task != task)
                return UsageError("give either --list or --make-extlist");
            options.Task = task;
        } else if (name == "--") {
            options.Inputs.insert(options.Inputs.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else if (name.size() > 1 && name[0] == '-') {
            return UsageError("unknown option " + name);
        } else {
            options.Inputs.push_back(name);
        }
    }

    // A dry run of another mode would extract for real, over edited files.
    if (options.DryRun && (options.Task != Action::Batch || BatchFilter(options) != FilterOfMode("log")))
        return UsageError("--dry-run works only with --mode log");
    if (options.Task != Action::Batch) {
        if (options.Scan)
            return UsageError("--scan does not go with --list or --make-extlist");
        if (options.Inputs.empty())
            return UsageError("no pack given");
        if (options.Task == Action::MakeExtList && options.Inputs.size() > 1 && options.Output.empty())
            return UsageError("--make-extlist writes the list of one pack; give one PACK, or -o DIR");
        return -1;
    }
    if (options.Output.empty())
        return UsageError("--output DIR is required");
    if (options.Scan && !options.Inputs.empty())
        return UsageError("--scan collects the input files; give no FILE with it");
    if (!options.Scan && options.ScanType >= 0)
        return UsageError("--type needs --scan");
    if (!options.Scan && options.Inputs.empty())
        return UsageError("no input file given");
    return -1;
}

// --list and --make-extlist: the survey of each pack on stdout. A pack that
// cannot be surveyed is reported and the others are still listed.
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
        } catch (const std::exception& e) {
            std::fflush(stdout);
            // An error about no file in particular: say which pack it was.
            const auto* error = dynamic_cast<const eit::FileError*>(&e);
            std::cerr << (error == nullptr || error->File().empty() ? pack + ": " : "") << e.what() << '\n';
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

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const int status = ParseArguments(eit::ProgramArguments(argc, argv), options); status >= 0)
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
            std::cerr << "extract-insert-batch: no file matching " << mask << " below " << scanRoot << '\n';
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
            std::cerr << e.what() << '\n';
            return 1;
        }
        if (inputs.empty()) {
            std::cerr << "extract-insert-batch: no pack named in " << lists.front()
                      << (lists.size() > 1 ? " or the other lists" : "") << '\n';
            return 1;
        }
        state.ScannedList = false;
        filter = FilterOfMode("bin");
        state.ProcessingMode = eit::FilterModeAt(filter);
    }

    state.ExtListPath = Absolute(state.ExtListPath);
    const std::string dir = eit::NormalPath(Absolute(options.Output));
    // A name too long, a link loop or a folder we may not search is a
    // refusal, not a crash. A dry run writes nothing, folders included.
    if (!state.DryRun && !eit::CreateDirectories(dir)) {
        std::cerr << "Cannot create directory " << dir << '\n';
        return 1;
    }

    // The batch names the output folder without a separator at its end,
    // unless the separator is the root ("/", "C:\").
    const bool rootOnly = eit::FileNamePart(std::string_view(dir).substr(0, dir.size() - 1)).empty();
    eit::ConsoleView view(std::move(inputs), dir.back() == eit::kPathSep && !rootOnly ? dir.substr(0, dir.size() - 1) : dir,
                          state.StopFlag, options.Console);
    view.SetFilterIndex(filter);
    eit::Batch batch(state, view);
    eit::InstallStopHandler(state.StopFlag);

    try {
        batch.BProcessClick();
    } catch (const std::exception& e) {
        view.EndLine();
        std::cout.flush();
        std::cerr << e.what() << '\n';
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
                std::cerr << eit::NoPackRecordLine(file) << '\n';
        return 1;
    }
    view.EndLine();
    std::cout << eit::StopLine(state) << std::endl;
    return 128 + signal;
}
