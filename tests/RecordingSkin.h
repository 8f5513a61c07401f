#pragma once

#include "FileUtil.h"
#include "Guarded.h"
#include "WindowSkin.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace eit::test {

// Takes the next scripted answer; a dialog the script does not expect fails
// the test loudly.
template <class T>
T NextAnswer(std::deque<T>& answers)
{
    if (answers.empty())
        throw std::logic_error("a dialog the test did not expect");
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

// The text a field shows for a name's bytes, read back as bytes: a name
// that is not UTF-8 loses its odd bytes, as in a real field.
inline std::string FieldText(const std::string& bytes)
{
    if (IsUtf8(bytes))
        return bytes;
    std::string text;
    for (const char c : bytes)
        text += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : std::string("\xef\xbf\xbd");
    return text;
}

// "Select Directory" from a script: records where it opened, runs onPick
// (which may throw), and takes the next answer (nullopt: cancelled; "":
// confirmed as opened).
inline bool AnswerPicker(std::deque<std::optional<std::string>>& answers, std::vector<std::string>& starts,
                         const std::function<void()>& onPick, std::string& dir)
{
    starts.push_back(dir);
    if (onPick)
        onPick();
    const std::optional<std::string> answer = NextAnswer(answers);
    if (answer && !answer->empty())
        dir = *answer;
    return answer.has_value();
}

// Remembers in memory.
class MapSettings : public WindowSettings {
public:
    std::map<std::string, std::string> Values;
    std::string Read(const std::string& key) const override
    {
        const auto found = Values.find(key);
        return found == Values.end() ? std::string() : found->second;
    }
    void Write(const std::string& key, const std::string& value) override { Values[key] = value; }
};

// A main window that keeps what the model shows and answers every dialog
// from a script. Boxes with the error caption go to Errors, others to
// Messages.
class RecordingSkin : public MainWindowSkin {
public:
    std::vector<std::string> Shown;
    std::vector<int> Selected;
    int CurrentRow = -1;
    std::map<MainButton, bool> Enabled;
    std::string Status;
    std::string Extracted;
    int Progress = 0;
    int Total = 0;
    std::vector<int> Totals; // every position Total was given
    std::vector<std::string> Results;
    int ResultsFocused = 0;
    // Runs whenever the results are cleared or a line appended.
    std::function<void()> OnResults;

    struct OpenAnswer {
        std::vector<std::string> Files; // empty: cancelled
        int Filter = 1;
    };
    std::deque<OpenAnswer> Opens;
    std::vector<std::pair<std::string, int>> OpenStarts; // folder and filter each open dialog started at
    std::deque<std::string> Saves;                       // empty: cancelled
    std::vector<std::string> SaveTitles;
    std::deque<std::string> ExtLists;                    // empty: cancelled
    std::vector<std::string> ExtListStarts;
    std::deque<std::optional<std::string>> Dirs;         // nullopt: cancelled; "": kept as opened
    std::vector<std::string> PickerStarts;
    std::function<void()> OnPick;                        // runs as the picker opens; may throw
    std::deque<std::optional<ScanChoice>> Scans;         // nullopt: cancelled
    std::vector<std::string> ScanStarts;
    std::vector<std::pair<std::string, std::string>> Messages;
    std::vector<std::string> Errors;
    // Runs at the next event pump, once (a click queued during a batch).
    std::function<void()> OnPump;
    // Runs whenever the Progress bar is moved.
    std::function<void(int)> OnProgress;
    bool Closed = false;

    void ShowEntries(const std::vector<std::string>& entries) override
    {
        Shown = entries;
        Selected.clear();
    }
    std::vector<int> SelectedRows() const override { return Selected; }
    void SetCurrentRow(int row) override { CurrentRow = row; }
    void SetEnabled(MainButton button, bool enabled) override { Enabled[button] = enabled; }
    bool IsEnabled(MainButton button) const override
    {
        const auto found = Enabled.find(button);
        return found != Enabled.end() && found->second;
    }
    void SetStatus(const std::string& text) override { Status = text; }
    void SetExtracted(const std::string& caption) override { Extracted = caption; }
    void SetProgress(int position) override
    {
        Progress = position;
        if (OnProgress)
            OnProgress(position);
    }
    void SetTotal(int position) override
    {
        Total = position;
        Totals.push_back(position);
    }
    void ClearResults() override
    {
        Results.clear();
        if (OnResults)
            OnResults();
    }
    void AppendResult(const std::string& line) override
    {
        Results.push_back(line);
        if (OnResults)
            OnResults();
    }
    std::string ResultsText() const override
    {
        std::string text;
        for (std::size_t i = 0; i < Results.size(); ++i)
            text += (i == 0 ? "" : "\n") + Results[i];
        return text;
    }
    void FocusResults() override { ++ResultsFocused; }

    bool AskOpenFiles(const std::vector<DialogFilter>&, std::vector<std::string>& files, int& filterIndex,
                      std::string& dir) override
    {
        OpenStarts.emplace_back(dir, filterIndex);
        OpenAnswer answer = NextAnswer(Opens);
        if (answer.Files.empty())
            return false;
        files = answer.Files;
        filterIndex = answer.Filter;
        dir = DirectoryPart(files.front());
        if (dir.size() > 1 && dir.back() == kPathSep)
            dir.pop_back();
        return true;
    }
    bool AskOpenFile(const std::string&, const std::vector<DialogFilter>&, std::string& file) override
    {
        ExtListStarts.push_back(file);
        const std::string answer = NextAnswer(ExtLists);
        if (!answer.empty())
            file = answer;
        return !answer.empty();
    }
    bool AskSaveFile(const std::string& title, const std::vector<DialogFilter>&, const std::string&,
                     std::string& file) override
    {
        SaveTitles.push_back(title);
        file = NextAnswer(Saves);
        return !file.empty();
    }
    bool AskDirectory(std::string& dir) override { return AnswerPicker(Dirs, PickerStarts, OnPick, dir); }
    bool AskScan(ScanChoice& choice) override
    {
        ScanStarts.push_back(choice.Folder);
        const std::optional<ScanChoice> answer = NextAnswer(Scans);
        if (answer)
            choice = *answer;
        return answer.has_value();
    }
    void ShowMessage(const std::string& text, const std::string& caption) override
    {
        if (caption == kWindowCaption)
            Errors.push_back(text);
        else
            Messages.emplace_back(text, caption);
    }
    void PumpEvents() override
    {
        if (OnPump)
            std::exchange(OnPump, nullptr)();
    }
    void CloseWindow() override { Closed = true; }
};

// The scan dialog as a script: the field's text as the dialog would report
// it, the types it lists, Ok's state, and the picker's answers.
class RecordingDirSkin : public DirFormSkin {
public:
    std::vector<std::string> Types;
    int Type = -1;
    std::string Field;
    bool OkEnabled = false;
    std::deque<std::optional<std::string>> Dirs; // nullopt: cancelled; "": kept as opened
    std::vector<std::string> PickerStarts;
    std::function<void()> OnPick;                // runs as the picker opens; may throw
    std::vector<std::pair<std::string, std::string>> Messages;

    void ShowTypes(const std::vector<std::string>& descriptions, int current) override
    {
        Types = descriptions;
        Type = current;
    }
    std::string ShowFolder(const std::string& folder) override { return Field = FieldText(folder); }
    void SetOkEnabled(bool enabled) override { OkEnabled = enabled; }
    bool AskDirectory(std::string& dir) override { return AnswerPicker(Dirs, PickerStarts, OnPick, dir); }
    void ShowMessage(const std::string& text, const std::string& caption) override
    {
        Messages.emplace_back(text, caption);
    }
};

} // namespace eit::test
