#pragma once

#include "NativeDialogs.h"
#include "Win32DirForm.h"

#include <functional>
#include <string>
#include <vector>

// Answers the native window's dialogs from a script and records what was
// asked, so that no test waits on a modal loop.
class ScriptedNativeDialogs : public eit::NativeDialogs {
public:
    struct Shown {
        std::string Text;
        std::string Caption;
    };

    // The next answers; an empty list answers "cancelled".
    std::vector<std::vector<std::string>> OpenFilesAnswers;
    int OpenFilesFilter = 1;
    std::vector<std::string> FileAnswers;      // OpenFile and SaveFile, in order
    std::vector<std::string> DirectoryAnswers; // PickDirectory
    // Acts on the shown scan dialog as a user would (null: Cancel).
    std::function<void(eit::Win32DirForm&)> ScanScript;

    std::vector<Shown> Messages;
    std::vector<std::string> Titles; // of OpenFile and SaveFile
    std::vector<std::string> Suffixes;
    std::vector<std::string> AskedDirectories;

    bool OpenFiles(HWND, const std::vector<eit::DialogFilter>&, std::vector<std::string>& files, int& filterIndex,
                   std::string&) override
    {
        if (OpenFilesAnswers.empty())
            return false;
        files = OpenFilesAnswers.front();
        OpenFilesAnswers.erase(OpenFilesAnswers.begin());
        filterIndex = OpenFilesFilter;
        return true;
    }
    bool OpenFile(HWND, const std::string& title, const std::vector<eit::DialogFilter>&, std::string& file) override
    {
        Titles.push_back(title);
        return Next(FileAnswers, file);
    }
    bool SaveFile(HWND, const std::string& title, const std::vector<eit::DialogFilter>&,
                  const std::string& defaultSuffix, std::string& file) override
    {
        Titles.push_back(title);
        Suffixes.push_back(defaultSuffix);
        return Next(FileAnswers, file);
    }
    bool PickDirectory(HWND, std::string& dir) override
    {
        AskedDirectories.push_back(dir);
        return Next(DirectoryAnswers, dir);
    }
    void Message(HWND, const std::string& text, const std::string& caption) override
    {
        Messages.push_back({text, caption});
    }
    bool ExecModal(eit::Win32DirForm& form) override
    {
        form.Show();
        if (ScanScript)
            ScanScript(form);
        else
            ::SendMessageW(form.Control(IDCANCEL), BM_CLICK, 0, 0);
        ::ShowWindow(form.Handle(), SW_HIDE);
        return form.Finished() && form.Accepted();
    }

private:
    static bool Next(std::vector<std::string>& answers, std::string& value)
    {
        if (answers.empty())
            return false;
        value = answers.front();
        answers.erase(answers.begin());
        return true;
    }
};
