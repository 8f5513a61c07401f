#pragma once

#include "MainWindowModel.h"
#include "Win32MainWindow.h"

namespace eit {

// The native window's events as the model's entry points.
class ModelEvents : public MainWindowEvents {
public:
    explicit ModelEvents(MainWindowModel& model) : FModel(model) {}

    void Clicked(MainButton button) override;
    bool CanTake(const std::vector<std::string>& paths) override { return MainWindowModel::CanTake(paths); }
    void Dropped(const std::vector<std::string>& paths) override { FModel.AddPaths(paths); }
    void ResultsEdited() override { FModel.ResultsEdited(); }
    bool CloseRequested() override { return FModel.CloseRequested(); }

private:
    MainWindowModel& FModel;
};

} // namespace eit
