#pragma once

#include "BatchState.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace eit::test {

// A BatchView made of plain members that records what the batch showed.
class RecordingView : public QuietBatchView {
public:
    std::vector<std::string> Inputs;
    int Filter = 1;
    std::optional<std::string> PickedDir;   // nullopt: the picker is cancelled
    std::vector<std::string> PickerOpenedAt;
    std::function<void()> OnEvents;          // runs inside every event pump

    std::string Status;
    std::vector<std::string> StatusHistory;
    int Progress = 0;
    std::vector<int> ProgressHistory;
    int Total = 0;
    std::vector<int> TotalHistory;
    std::string Extracted = "Extracted: 0";
    std::vector<std::string> Results;
    bool StopEnabled = false;
    bool SaveLogEnabled = false;
    std::vector<std::pair<std::string, std::string>> Messages;
    int EventPumps = 0;

    int InputCount() const override { return static_cast<int>(Inputs.size()); }
    std::string InputEntry(int index) const override { return Inputs.at(static_cast<std::size_t>(index)); }
    int FilterIndex() const override { return Filter; }
    void SetStatus(const std::string& text) override { Status = text; StatusHistory.push_back(text); }
    int ProgressPosition() const override { return Progress; }
    void SetProgress(int position) override { Progress = position; ProgressHistory.push_back(position); }
    int TotalPosition() const override { return Total; }
    void SetTotal(int position) override { Total = position; TotalHistory.push_back(position); }
    void SetExtracted(const std::string& caption) override { Extracted = caption; }
    void ClearResults() override { Results.clear(); }
    void AppendResult(const std::string& line) override { Results.push_back(line); }
    int ResultLineCount() const override { return static_cast<int>(Results.size()); }
    void FocusResults() override {}
    void SetStopEnabled(bool enabled) override { StopEnabled = enabled; }
    void SetSaveLogEnabled(bool enabled) override { SaveLogEnabled = enabled; }
    bool PickDirectory(std::string& dir) override
    {
        PickerOpenedAt.push_back(dir);
        if (!PickedDir)
            return false;
        dir = *PickedDir;
        return true;
    }
    void ShowMessage(const std::string& text, const std::string& caption) override
    {
        Messages.emplace_back(text, caption);
    }
    void ProcessEvents() override
    {
        ++EventPumps;
        if (OnEvents)
            OnEvents();
    }
};

} // namespace eit::test

namespace eit {
using test::RecordingView;
} // namespace eit
