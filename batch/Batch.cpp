#include "Batch.h"

#include "DataPack.h"
#include "FileError.h"
#include "FileUtil.h"
#include "Formats.h"
#include "PackSurvey.h"

#include <map>
#include <vector>

namespace eit {

namespace {

class RunningFlag {
public:
    explicit RunningFlag(bool& flag) : FFlag(flag) { FFlag = true; }
    ~RunningFlag() { FFlag = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

private:
    bool& FFlag;
};

std::string WithBreaksEscaped(std::string_view name)
{
    std::string shown;
    for (const char c : name)
        shown += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    return shown;
}

} // namespace

Batch::Batch(BatchState& state, BatchView& view)
    : FileHandler([this](std::uint8_t mode, const std::string& entry) { DispatchFile(mode, entry); })
    , ProgressHandler([this](int value) { ShowProgress(value); })
    , FState(state)
    , FView(view)
{
}

void Batch::BProcessClick()
{
    if (FRunning || FView.InputCount() == 0)
        return;
    RunningFlag running(FRunning);

    FView.ClearResults();
    FState.ResultLog.Clear();
    FState.StopFlag = 0;
    FState.ExtractedBytes = 0;
    FState.ExtractedFiles = 0;
    FState.RebuiltPacks.clear();
    FState.ReplayedPacks = 0;
    FState.FilesWithoutPacks.clear();
    FState.TargetDir = CurrentDirectory();
    std::string dir = FState.TargetDir;
    if (FView.PickDirectory(dir)) {
        FState.TargetDir = dir;
        FState.OutputIgnoresCase = CaseProbe(dir);
        CheckInputs();
        if (PrepareOutput)
            PrepareOutput();
        FView.SetExtracted("Extracted: 0");
        FView.SetTotal(0);
        try {
            RunFiles();
        } catch (...) {
            ShowBatchEnded(); // the error box then finds the window at rest
            throw;
        }
        ShowBatchEnded();
        if (FState.ExtractedBytes != 0) {
            FView.AppendResult("Total " + std::to_string(FState.ExtractedBytes) + " bytes extracted.");
            FView.SetSaveLogEnabled(true);
        }
        if (FState.StopFlag != 0)
            FView.ReportStop(StopLine(FState));
    }
    const auto mode = FState.ProcessingMode;
    if (FState.ResultLog.Count() > 0 && mode != kModeReplayLogs && mode != kModeReplayList)
        FState.ResultLog.SaveToFile(JoinPath(FState.TargetDir, "result.log"));
    FView.ShowMessage("Operation complete!", "Process status:");
}

std::string StopLine(const BatchState& state)
{
    if (state.ProcessingMode == kModeExtract)
        return "Stopped after " + std::to_string(state.ExtractedFiles) + " files; result.log lists what was done.";
    if (state.RebuiltPacks.empty() || state.DryRun)
        return "Stopped before the end of the replay; no file was changed.";
    return "Stopped before the end of the replay; the packs rebuilt before the stop are complete, "
           "every other pack was left as it was.";
}

void Batch::CheckInputs() const
{
    std::vector<std::string> entries;
    for (int i = 0; i < FView.InputCount(); ++i) {
        // result.log holds one record per line: a break in a name would add
        // records of its own, which a later replay would honour.
        std::string entry = FView.InputEntry(i);
        if (entry.find_first_of("\r\n") != std::string::npos)
            throw FileError("Cannot process file name with a line break: " + WithBreaksEscaped(entry));
        entries.push_back(std::move(entry));
    }
    const InputType* type = InputTypeOfMode(FState.ProcessingMode);
    if (!type)
        return;
    if (!type->IsPack()) {
        CheckPacksNamedOnce(entries);
        return;
    }
    // Output files are named after the pack's base name in a folder chosen
    // by OutputPathFor, so packs agreeing in both write the same files.
    std::map<std::string, std::string> packOf;
    for (const std::string& entry : entries) {
        const std::string output = OutputPathFor(FState, entry, PackBaseName(entry));
        const auto [first, isNew] = packOf.emplace(OutputPathKey(FState, output), entry);
        if (!isNew && !SameFile(first->second, entry))
            throw FileError("Packs " + first->second + " and " + entry + " would write the same files below "
                            + FState.TargetDir + "; extract them separately or scan their folder");
    }
    // Every list is read before the first file is written: one that is
    // missing, short or of the wrong encoding is said before any pack.
    if (FState.ProcessingMode == kModeExtract)
        CheckExtensionList(FState.ExtListPath, entries);
}

void Batch::RunFiles()
{
    for (int i = 0; i < FView.InputCount() && FState.StopFlag == 0; ++i) {
        FState.ResultLog.Add("#Format: " + FormatNameAt(FView.FilterIndex()));
        const std::string entry = FView.InputEntry(i);
        FState.ResultLog.Add("#Source: " + entry);
        FileHandler(FState.ProcessingMode, entry);
        const int count = FView.InputCount();
        FView.SetTotal(count > 0 ? i * 100 / count : 0);
        FView.ProcessEvents();
    }
}

void Batch::ShowBatchEnded()
{
    FView.SetStatus("");
    // The count stays up until the next batch starts: the extraction moves
    // the label once per percent, so it may not show the last files yet.
    FView.SetExtracted("Extracted: " + std::to_string(FState.ExtractedFiles));
    FView.SetProgress(0);
    FView.SetTotal(0);
    FView.SetStopEnabled(false);
    if (FView.ResultLineCount() > 0)
        FView.SetSaveLogEnabled(true);
}

void Batch::DispatchFile(std::uint8_t mode, const std::string& entry)
{
    FView.FocusResults();
    FView.SetSaveLogEnabled(false);
    FView.SetStopEnabled(true);
    if (const InputType* type = InputTypeOfMode(mode); type && type->IsPack())
        type->Extract(entry, FState, FView);
    else if (type)
        ReplayLog(FState, FView, entry, PackHandler);
    FView.SetStopEnabled(false);
    if (FView.ResultLineCount() > 0)
        FView.SetSaveLogEnabled(true);
}

void Batch::StopClick()
{
    FState.StopFlag = 1;
    FView.SetStopEnabled(false);
}

void Batch::ShowProgress(int value)
{
    MoveProgress(FView, value);
}

} // namespace eit
