// extract-insert-batch: the main window's batch without a window.

#include "Batch.h"
#include "BatchState.h"
#include "CollectFiles.h"
#include "ConsoleView.h"
#include "FileError.h"
#include "FileUtil.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace {

const char* const kUsage =
    "Usage: extract-insert-batch [--mode bin|log|lst] [--extlist FILE] --output DIR FILE...\n"
    "       extract-insert-batch --scan ROOT [--type bin|lst|log] [--extlist FILE] --output DIR\n"
    "\n"
    "Runs every FILE as the Extract\\Insert Tool window's batch does. In the\n"
    "default mode bin each FILE is a data pack, extracted into files below\n"
    "DIR, and DIR/result.log records the batch. In modes log (result logs)\n"
    "and lst (project lists) each FILE is replayed: every data pack it names\n"
    "is rebuilt as DIR/<pack name> with the files of its slot lines that\n"
    "were changed (DIR being the pack's own folder replaces the pack and keeps\n"
    "the first original as <pack name>.bak); no result.log is written.\n"
    "\n"
    "With --scan the input files are instead every file of one type found in\n"
    "the folder tree below ROOT, as the window's \"Directory to add\" collects\n"
    "them: the files of each subfolder before those of its parent, each folder\n"
    "in name order, folders beginning with \".\" and links to folders not\n"
    "entered. The type sets the mode: bin extracts packs, lst replays project\n"
    "lists, log replays result logs. Packs found by a scan are extracted into\n"
    "the same subfolders below DIR as they have below ROOT.\n"
    "\n"
    "  --mode MODE      bin (default), log or lst\n"
    "  --scan ROOT      collect the input files below folder ROOT\n"
    "  --type TYPE      with --scan: the files to collect, bin (*.bin, the\n"
    "                   default), lst (*.lst) or log (*.log)\n"
    "  --output DIR     output directory; created when missing\n"
    "  --dry-run        modes log and lst: say what each pack's rebuild would\n"
    "                   do, write nothing\n"
    "  --extlist FILE   extension list (default: %s)\n"
    "  --help           show this text\n"
    "  --version        show the program's version\n"
    "\n"
    "Ctrl-C, SIGTERM or SIGHUP stops after the current file entry or replayed\n"
    "line; in mode bin result.log then lists what was done. A second Ctrl-C\n"
    "ends the program at once.\n"
    "\n"
    "Exit status: 0 when every file was done; 1 after a failure, whose message\n"
    "is printed; 2 for a usage error; 128 + the signal's number after a stop\n"
    "(130 for Ctrl-C, 143 for SIGTERM, 129 for SIGHUP).\n";

std::atomic<int>* gStopFlag = nullptr;
volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void OnStopSignal(int signal)
{
    gStopSignal = signal;
    if (gStopFlag)
        gStopFlag->store(1);
}

// Ctrl-C, SIGTERM and SIGHUP ask the batch to stop. A signal the driver was
// started with ignored (nohup, a background job) stays ignored.
void CatchStopSignals(std::atomic<int>& stopFlag)
{
    gStopFlag = &stopFlag;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        action.sa_flags = SA_RESETHAND; // a second one ends the program at once
        sigaction(signal, &action, nullptr);
    }
}

// path made full against the working directory; path itself when that
// cannot be found.
std::string Absolute(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.string();
}

int UsageError(const std::string& message)
{
    std::cerr << "extract-insert-batch: " << message << "\nTry 'extract-insert-batch --help'.\n";
    return 2;
}

// The open dialog's filter position for a --mode value; 0 for none.
int FilterOfMode(const std::string& mode)
{
    if (mode == "bin")
        return 1;
    if (mode == "lst")
        return 2;
    if (mode == "log")
        return 3;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    eit::BatchState state;
    std::string output;
    int filter = FilterOfMode("bin");
    std::vector<std::string> inputs;
    std::string scanRoot;
    bool scan = false;
    int scanType = -1;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--version") {
            std::printf("extract-insert-batch %s\n", EIT_VERSION);
            return 0;
        } else if (arg == "--help" || arg == "-h") {
            std::printf(kUsage, eit::DefaultExtListPath().c_str());
            return 0;
        } else if (arg == "--output" && hasValue) {
            output = args[++i];
        } else if (arg == "--mode" && hasValue) {
            filter = FilterOfMode(args[++i]);
            if (filter == 0)
                return UsageError("--mode takes bin, log or lst, not " + args[i]);
        } else if (arg == "--scan" && hasValue) {
            scanRoot = args[++i];
            scan = true;
        } else if (arg == "--type" && hasValue) {
            // The scan dialog lists the types in the open dialog's order.
            scanType = FilterOfMode(args[++i]) - 1;
            if (scanType < 0)
                return UsageError("--type takes bin, lst or log, not " + args[i]);
        } else if (arg == "--dry-run") {
            state.DryRun = true;
        } else if (arg == "--extlist" && hasValue) {
            state.ExtListPath = args[++i];
        } else if (arg == "--") {
            inputs.insert(inputs.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError(hasValue || arg.rfind("--", 0) != 0 ? "unknown option " + arg : "option " + arg + " needs a value");
        } else {
            inputs.push_back(arg);
        }
    }
    if (output.empty())
        return UsageError("--output DIR is required");
    if (scan && !inputs.empty())
        return UsageError("--scan collects the input files; give no FILE with it");
    if (!scan && scanType >= 0)
        return UsageError("--type needs --scan");
    if (!scan && inputs.empty())
        return UsageError("no input file given");

    // The batch moves the working directory to the output folder, so relative
    // names are made full here, as the open dialog gives them. A relative
    // scan root becomes full the same way; the rest of it stays as typed.
    std::error_code ec;
    if (scan) {
        if (scanType < 0)
            scanType = FilterOfMode("bin") - 1;
        if (!scanRoot.empty() && scanRoot[0] != eit::kPathSep)
            scanRoot = eit::JoinPath(eit::CurrentDirectory(), scanRoot);
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
    state.ExtListPath = Absolute(state.ExtListPath);
    const std::string dir = std::filesystem::path(Absolute(output)).lexically_normal().string();
    // Every check of the output folder takes an error code: a name too
    // long, a link loop or a folder we may not search is a refusal, not a
    // crash.
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) {
        std::cerr << "Cannot create directory " << dir << '\n';
        return 1;
    }
    state.ProcessingMode = eit::FilterModeAt(scan ? scanType + 1 : filter);

    eit::ConsoleView view(std::move(inputs), dir.size() > 1 && dir.back() == '/' ? dir.substr(0, dir.size() - 1) : dir,
                     state.StopFlag);
    view.SetFilterIndex(filter);
    eit::Batch batch(state, view);
    CatchStopSignals(state.StopFlag);

    try {
        batch.BProcessClick();
    } catch (const std::exception& e) {
        view.EndLine();
        std::cerr << e.what() << '\n';
        return 1;
    }
    if (gStopSignal == 0)
        return 0;
    view.EndLine();
    if (state.ProcessingMode == eit::kModeExtract)
        std::cout << "Stopped after " << state.ExtractedFiles << " files; result.log lists what was done." << std::endl;
    else if (state.RebuiltPacks.empty() || state.DryRun)
        std::cout << "Stopped before the end of the replay; no file was changed." << std::endl;
    else
        std::cout << "Stopped before the end of the replay; the packs rebuilt before the stop are complete, "
                     "the one under way was left as it was." << std::endl;
    return 128 + gStopSignal;
}
