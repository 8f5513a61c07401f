#include "DirFormModel.h"

#include "CollectFiles.h"
#include "FileUtil.h"
#include "Guarded.h"

namespace eit {

std::string EditedPath(const std::string& original, const std::string& originalText, const std::string& text)
{
    if (text == originalText)
        return original;
    if (!original.empty() && text.starts_with(originalText)
        && (original.back() == kPathSep || text[originalText.size()] == kPathSep))
        return original + text.substr(originalText.size());
    return text;
}

DirFormModel::DirFormModel(DirFormSkin& skin, std::function<std::string()> filterText)
    : FSkin(skin), FFilterSource(std::move(filterText))
{
}

template <typename Handler>
void DirFormModel::Guarded(Handler&& handler)
{
    RunShowingErrors([this](const std::string& text) { FSkin.ShowMessage(text, kWindowCaption); },
                     std::forward<Handler>(handler));
}

void DirFormModel::FormShow(const std::string& lastFolder)
{
    Guarded([&] {
        const bool first = !FShown;
        FShown = true;
        if (first && FText.empty() && !lastFolder.empty())
            ShowPicked(lastFolder);
        else
            FSkin.ShowFolder(FText); // a dialog made afresh for this showing gets its text back
        FSkin.SetOkEnabled(FOkEnabled);
        FFilterText = FFilterSource ? FFilterSource() : std::string();
        std::vector<std::string> descriptions;
        for (const FilterPair& pair : FilterPairs(FFilterText))
            descriptions.push_back(pair.Description);
        FTypeIndex = 0;
        FFileMask = FilterMask(FFilterText, 0);
        FSkin.ShowTypes(descriptions, descriptions.empty() ? -1 : 0);
    });
}

void DirFormModel::ScanDirChange(const std::string& text)
{
    Guarded([&] { TakeText(text); });
}

void DirFormModel::TakeText(const std::string& text)
{
    FText = text;
    if (FOkEnabled != !FText.empty()) {
        FOkEnabled = !FText.empty();
        FSkin.SetOkEnabled(FOkEnabled);
    }
}

void DirFormModel::FilterChange(int index)
{
    Guarded([&] {
        FTypeIndex = index;
        FFileMask = FilterMask(FFilterText, index);
    });
}

void DirFormModel::CallDialogClick()
{
    Guarded([&] {
        std::string dir = ScanDirPath();
        if (FSkin.AskDirectory(dir))
            ShowPicked(dir);
    });
}

void DirFormModel::ShowPicked(const std::string& dir)
{
    FPicked = dir;
    FPickedText = FSkin.ShowFolder(dir);
    TakeText(FPickedText);
}

std::string DirFormModel::ScanDirPath() const
{
    return EditedPath(FPicked, FPickedText, FText);
}

ScanChoice DirFormModel::Choice() const
{
    return {ScanDirPath(), FTypeIndex, FFileMask};
}

} // namespace eit
