#include "ModelEvents.h"

namespace eit {

void ModelEvents::Clicked(MainButton button)
{
    struct Handler {
        MainButton Button;
        void (MainWindowModel::*Click)();
    };
    static constexpr Handler kHandlers[] = {
        {MainButton::AddLog, &MainWindowModel::BAddLogClick},
        {MainButton::SaveList, &MainWindowModel::BSaveListClick},
        {MainButton::RemLog, &MainWindowModel::BRemLogClick},
        {MainButton::ClearAll, &MainWindowModel::BClearAllClick},
        {MainButton::Process, &MainWindowModel::BProcessClick},
        {MainButton::ProcessDir, &MainWindowModel::ProcessDirClick},
        {MainButton::Exit, &MainWindowModel::BExitClick},
        {MainButton::ExtList, &MainWindowModel::BExtListClick},
        {MainButton::SaveLog, &MainWindowModel::SaveLogClick},
        {MainButton::Stop, &MainWindowModel::StopClick},
    };
    for (const Handler& handler : kHandlers)
        if (handler.Button == button)
            (FModel.*handler.Click)();
}

} // namespace eit
