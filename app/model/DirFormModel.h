#pragma once

#include "WindowSkin.h"

#include <functional>
#include <string>
#include <vector>

namespace eit {

// The bytes of a path text that started as the picture of original, shown
// as originalText: original itself while the text still shows it, original
// followed by the rest of text when the text only goes on below it,
// otherwise text. All three are bytes; text and originalText in the
// encoding the field reports.
std::string EditedPath(const std::string& original, const std::string& originalText, const std::string& text);

// The scan dialog ("Directory to add") without a toolkit: the folder to scan
// and the type of file to collect. One model lives beside its dialog for the
// whole session and is shown again for every scan; between showings it keeps
// the field's text, the folder last picked and whether Ok is enabled, while
// every showing starts again at the first type.
//
// Every entry point shows its errors through the skin's ShowMessage with
// the caption "Extract\Insert Tool" and never throws.
class DirFormModel {
public:
    // filterText returns the open dialog's filter text
    // ("Description|mask|Description|mask..."), asked at every showing. skin
    // must outlive the model.
    DirFormModel(DirFormSkin& skin, std::function<std::string()> filterText);

    // The dialog is being shown: the field's text and Ok's state are shown
    // again (a skin may make its dialog anew for every showing), the types
    // are filled afresh from the filter text and the first is chosen. On the
    // first showing an empty field starts at lastFolder (the folder of the
    // last scan, empty for none), as if it had been picked.
    void FormShow(const std::string& lastFolder = {});
    // The user changed the field; text is its content as bytes. Ok is
    // enabled exactly while text is not empty.
    void ScanDirChange(const std::string& text);
    // The user chose the type at index (from 0).
    void FilterChange(int index);
    // The folder button: "Select Directory" opened at ScanDirPath(); a
    // confirmed folder is shown in the field and its bytes kept.
    void CallDialogClick();

    // The field's text as the skin last reported it.
    const std::string& ScanDir() const { return FText; }
    // The folder's bytes: those the picker handed back while the field still
    // shows them (or only goes on below them), otherwise the field's text.
    std::string ScanDirPath() const;
    int TypeIndex() const { return FTypeIndex; }
    const std::string& FileMask() const { return FFileMask; }
    const std::string& FilterText() const { return FFilterText; }
    bool OkEnabled() const { return FOkEnabled; }
    // What Ok hands back: ScanDirPath(), TypeIndex(), FileMask().
    ScanChoice Choice() const;

private:
    template <typename Handler>
    void Guarded(Handler&& handler);
    void TakeText(const std::string& text);
    void ShowPicked(const std::string& dir);

    DirFormSkin& FSkin;
    std::function<std::string()> FFilterSource;
    std::string FFilterText;
    int FTypeIndex = 0;
    std::string FFileMask;
    std::string FText;
    std::string FPicked;      // the picker's bytes
    std::string FPickedText;  // the field's text while it showed them
    bool FOkEnabled = false;
    bool FShown = false;
};

} // namespace eit
