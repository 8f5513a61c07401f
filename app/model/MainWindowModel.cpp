#include "MainWindowModel.h"

#include "CollectFiles.h"
#include "FileError.h"
#include "FileUtil.h"
#include "Formats.h"
#include "Guarded.h"
#include "LineList.h"
#include "PackSurvey.h"

#include <algorithm>
#include <charconv>

namespace eit {

namespace {

// The open dialog's filter position (from 1) whose mask names path's type;
// 0 when none does.
int FilterOfFile(const std::string& path)
{
    const std::vector<FilterPair> pairs = FilterPairs(kInputFilter);
    for (std::size_t i = 0; i < pairs.size(); ++i)
        if (MatchesMask(FileNamePart(path), pairs[i].Mask))
            return static_cast<int>(i) + 1;
    return 0;
}

std::vector<DialogFilter> InputFilters()
{
    std::vector<DialogFilter> filters;
    for (const FilterPair& pair : FilterPairs(kInputFilter))
        filters.push_back({pair.Description, pair.Mask});
    return filters;
}

// Runs write with flag set, and clears it however write ends.
template <typename Write>
void WithFlag(bool& flag, Write&& write)
{
    flag = true;
    try {
        std::forward<Write>(write)();
    } catch (...) {
        flag = false;
        throw;
    }
    flag = false;
}

int ToInt(const std::string& text, int otherwise)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : otherwise;
}

} // namespace

MainWindowModel::MainWindowModel(MainWindowSkin& skin, WindowSettings& settings)
    : FSkin(skin), FSettings(settings), FBatch(FState, *this)
{
    FState.StartDir = CurrentDirectory();
}

MainWindowModel::~MainWindowModel() = default;

template <typename Handler>
void MainWindowModel::Guarded(Handler&& handler)
{
    const auto showError = [this](const std::string& text) { FSkin.ShowMessage(text, kWindowCaption); };
    RunShowingErrors(showError, std::forward<Handler>(handler));
    if (FCloseRequested && !FBatch.Running()) {
        FCloseRequested = false;
        RunShowingErrors(showError, [this] { FSkin.CloseWindow(); });
    }
}

void MainWindowModel::Start()
{
    Guarded([this] {
        if (std::string list = FSettings.Read(kExtListKey); !list.empty())
            FState.ExtListPath = std::move(list);
        FSelectLogDir = FSettings.Read(kOpenFolderKey);
        if (const int filter = ToInt(FSettings.Read(kOpenFilterKey), 1); FilterModeAt(filter) != 0)
            FSelectLogFilterIndex = filter;
        FScanFolder = FSettings.Read(kScanFolderKey);
        for (const MainButton button : {MainButton::AddLog, MainButton::ProcessDir, MainButton::Exit, MainButton::ExtList})
            FSkin.SetEnabled(button, true);
        SetListButtons(false);
        SetStopEnabled(false);
        SetSaveLogEnabled(false);
        ShowExtListStatus();
    });
}

void MainWindowModel::ShowEntries()
{
    if (FEntriesChanged) {
        FEntriesChanged = false;
        FSkin.ShowEntries(FEntries);
    }
}

template <typename Step>
void MainWindowModel::Refilling(Step&& step)
{
    // Whatever the step throws, the list and its buttons end up showing what
    // the list still holds.
    try {
        std::forward<Step>(step)();
    } catch (...) {
        ShowEntries();
        EnableListButtonsIfFilled();
        throw;
    }
    ShowEntries();
    EnableListButtonsIfFilled();
}

void MainWindowModel::SetListButtons(bool enabled)
{
    for (const MainButton button : {MainButton::ClearAll, MainButton::RemLog, MainButton::Process, MainButton::SaveList})
        FSkin.SetEnabled(button, enabled);
}

void MainWindowModel::HoldListButtons()
{
    for (const MainButton button : {MainButton::RemLog, MainButton::Process, MainButton::SaveList})
        FSkin.SetEnabled(button, false);
}

void MainWindowModel::EnableListButtonsIfFilled()
{
    if (!FEntries.empty())
        SetListButtons(true);
}

void MainWindowModel::BeginAdding()
{
    if (FState.ScannedList) {
        FEntries.clear();
        FEntriesChanged = true;
        FState.ScannedList = false;
    }
    HoldListButtons();
}

void MainWindowModel::BAddLogClick()
{
    Guarded([this] {
        BeginAdding();
        Refilling([this] {
            std::vector<std::string> files;
            int filterIndex = FSelectLogFilterIndex;
            if (FSkin.AskOpenFiles(InputFilters(), files, filterIndex, FSelectLogDir)) {
                FSettings.Write(kOpenFolderKey, FSelectLogDir);
                AddSelection(files, filterIndex);
            }
        });
    });
}

void MainWindowModel::AddSelection(const std::vector<std::string>& files, int filterIndex)
{
    if (files.empty())
        return;
    FSelectLogFilterIndex = filterIndex;
    FSettings.Write(kOpenFilterKey, std::to_string(filterIndex));
    const std::uint8_t mode = FilterModeAt(filterIndex);
    FEntriesChanged = true;
    if (mode != FState.ProcessingMode)
        FEntries.clear(); // the list never mixes files of different modes
    FState.ProcessingMode = mode;
    if (mode == kModeReplayList) {
        LineList lines;
        lines.LoadFromFile(files.front());
        FEntries = lines.Items();
    } else {
        FEntries.insert(FEntries.end(), files.begin(), files.end());
    }
}

void MainWindowModel::AddPaths(const std::vector<std::string>& paths)
{
    Guarded([&] {
        for (const std::string& path : paths) {
            const std::string absolute = MakeAbsolute(path);
            if (KindOf(absolute) == FileKind::Directory) {
                HoldListButtons();
                Refilling([&] { ScanFolder(absolute, FilterMask(kInputFilter, 0), 0); });
                return;
            }
            if (const int filter = FilterOfFile(path); filter != 0) {
                std::vector<std::string> files;
                for (const std::string& other : paths)
                    if (FilterOfFile(other) == filter && KindOf(other) != FileKind::Directory)
                        files.push_back(MakeAbsolute(other));
                BeginAdding();
                Refilling([&] { AddSelection(files, filter); });
                return;
            }
        }
    });
}

bool MainWindowModel::CanTake(const std::vector<std::string>& paths) noexcept
{
    try {
        return std::any_of(paths.begin(), paths.end(), [](const std::string& path) {
            return FilterOfFile(path) != 0 || KindOf(path) == FileKind::Directory;
        });
    } catch (...) {
        return false;
    }
}

void MainWindowModel::BRemLogClick()
{
    Guarded([this] {
        std::vector<int> rows = FSkin.SelectedRows();
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        for (auto row = rows.rbegin(); row != rows.rend(); ++row)
            if (*row >= 0 && *row < static_cast<int>(FEntries.size())) {
                FEntries.erase(FEntries.begin() + *row);
                FEntriesChanged = true;
            }
        ShowEntries();
        if (!FEntries.empty()) {
            FSkin.SetCurrentRow(static_cast<int>(FEntries.size()) - 1);
        } else {
            SetListButtons(false);
            FSkin.SetCurrentRow(-1);
        }
    });
}

void MainWindowModel::BClearAllClick()
{
    Guarded([this] {
        FEntries.clear();
        FEntriesChanged = true;
        ShowEntries();
        SetListButtons(false);
    });
}

void MainWindowModel::BSaveListClick()
{
    Guarded([this] {
        std::string file;
        if (!FSkin.AskSaveFile("Select file...", {{"Project list files (*.lst)", "*.lst"}}, "lst", file))
            return;
        LineList lines;
        lines.Reserve(FEntries.size());
        for (const std::string& entry : FEntries)
            lines.Add(entry);
        lines.SaveToFile(file);
    });
}

void MainWindowModel::SaveLogClick()
{
    Guarded([this] {
        std::string file;
        if (!FSkin.AskSaveFile("Select target...", {{"Text files (*.txt)", "*.txt"}}, "txt", file))
            return;
        LineList lines;
        if (FResultsOurs) {
            for (const std::string& line : FResultLines)
                lines.Add(line);
        } else if (const std::string text = FSkin.ResultsText(); !text.empty()) {
            for (std::size_t start = 0;;) {
                const std::size_t end = text.find('\n', start);
                lines.Add(text.substr(start, end - start));
                if (end == std::string::npos)
                    break;
                start = end + 1;
            }
        }
        lines.SaveToFile(file);
        FSkin.ShowMessage(FileNamePart(file), "Operation status");
        FSkin.SetEnabled(MainButton::SaveLog, false);
    });
}

void MainWindowModel::BExitClick()
{
    Guarded([this] {
        if (CloseRequested())
            FSkin.CloseWindow();
    });
}

bool MainWindowModel::CloseRequested()
{
    if (!FBatch.Running())
        return true;
    // Closing from inside the batch's event pump: the batch stops at its
    // next step and unwinds first; Guarded() closes the window then.
    FCloseRequested = true;
    FState.StopFlag = 1;
    return false;
}

void MainWindowModel::BProcessClick()
{
    Guarded([this] {
        // A missing or short extension list is named before the output
        // folder is asked for, not after the first packs were written.
        if (!FBatch.Running() && FState.ProcessingMode == kModeExtract && !FEntries.empty())
            CheckExtensionList(FState.ExtListPath, FEntries);
        // The list was checked for this batch: it cannot change under it.
        const bool wasRunning = FBatch.Running();
        FSkin.SetEnabled(MainButton::ExtList, false);
        try {
            FBatch.BProcessClick();
        } catch (...) {
            FSkin.SetEnabled(MainButton::ExtList, !wasRunning);
            throw;
        }
        FSkin.SetEnabled(MainButton::ExtList, !wasRunning);
    });
}

void MainWindowModel::StopClick()
{
    Guarded([this] { FBatch.StopClick(); });
}

void MainWindowModel::ProcessDirClick()
{
    Guarded([this] {
        HoldListButtons();
        Refilling([this] {
            ScanChoice choice;
            choice.Folder = FScanFolder;
            if (!FSkin.AskScan(choice))
                return;
            // The scan folder stays valid whatever the working folder does
            // later: a relative one is anchored now, where the user typed it.
            std::string root = choice.Folder;
            if (!root.empty())
                root = MakeAbsolute(root);
            FScanFolder = root;
            FSettings.Write(kScanFolderKey, root);
            ScanFolder(root, choice.Mask, choice.TypeIndex);
        });
    });
}

void MainWindowModel::ScanFolder(const std::string& root, const std::string& mask, int typeIndex)
{
    FEntries.clear();
    FEntriesChanged = true;
    FState.ScannedList = false;
    FState.ScanRoot = root;
    CollectFiles(root, mask, FEntries);
    FState.ProcessingMode = FilterModeAt(typeIndex + 1);
    // The scan's types are the open dialog's, in its order: the batch names
    // the list's format from that position, so it follows the scanned type.
    FSelectLogFilterIndex = typeIndex + 1;
    FState.ScannedList = !FEntries.empty();
}

void MainWindowModel::BExtListClick()
{
    Guarded([this] {
        std::string file = FState.ExtListPath;
        if (!FSkin.AskOpenFile("Select extension list...", {{"Extension lists (*.txt)", "*.txt"}, {"All files (*)", "*"}},
                               file))
            return;
        FState.ExtListPath = file;
        FSettings.Write(kExtListKey, file);
        if (!FBatch.Running())
            ShowExtListStatus();
    });
}

void MainWindowModel::ShowExtListStatus()
{
    FSkin.SetStatus("Extension list: " + FState.ExtListPath);
}

void MainWindowModel::ResultsEdited()
{
    FResultsOurs = false;
    FResultLines.clear();
}

int MainWindowModel::InputCount() const
{
    return static_cast<int>(FEntries.size());
}

std::string MainWindowModel::InputEntry(int index) const
{
    if (index < 0 || index >= InputCount())
        throw FileError::ListIndex(index);
    return FEntries[static_cast<std::size_t>(index)];
}

void MainWindowModel::SetStatus(const std::string& text)
{
    FSkin.SetStatus(text);
}

void MainWindowModel::SetProgress(int position)
{
    FProgress = position;
    FSkin.SetProgress(position);
}

void MainWindowModel::SetTotal(int position)
{
    FTotal = position;
    FSkin.SetTotal(position);
}

void MainWindowModel::SetExtracted(const std::string& caption)
{
    FSkin.SetExtracted(caption);
}

void MainWindowModel::ClearResults()
{
    WithFlag(FWritingResults, [this] { FSkin.ClearResults(); });
    FResultLines.clear();
    FResultsOurs = true;
}

void MainWindowModel::AppendResult(const std::string& line)
{
    WithFlag(FWritingResults, [&] { FSkin.AppendResult(line); });
    if (FResultsOurs)
        FResultLines.push_back(line);
}

int MainWindowModel::ResultLineCount() const
{
    const std::string text = FSkin.ResultsText();
    return text.empty() ? 0 : static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
}

void MainWindowModel::FocusResults()
{
    FSkin.FocusResults();
}

void MainWindowModel::SetStopEnabled(bool enabled)
{
    FSkin.SetEnabled(MainButton::Stop, enabled);
}

void MainWindowModel::SetSaveLogEnabled(bool enabled)
{
    FSkin.SetEnabled(MainButton::SaveLog, enabled);
}

bool MainWindowModel::PickDirectory(std::string& dir)
{
    // A new session starts where the last one put its output.
    std::string chosen = FSettings.Read(kOutputFolderKey);
    if (chosen.empty() || KindOf(chosen) != FileKind::Directory)
        chosen = dir;
    if (!FSkin.AskDirectory(chosen))
        return false;
    dir = chosen;
    FSettings.Write(kOutputFolderKey, chosen);
    return true;
}

void MainWindowModel::ShowMessage(const std::string& text, const std::string& caption)
{
    if (!FCloseRequested)
        FSkin.ShowMessage(text, caption);
}

void MainWindowModel::ProcessEvents()
{
    FSkin.PumpEvents();
}

} // namespace eit
