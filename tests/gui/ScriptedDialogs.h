#pragma once

#include "Dialogs.h"
#include "TDirForm.h"
#include "ui_TDirForm.h"

#include <QDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QComboBox>

#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace eit::test {

// Answers every dialog from a script and records what was shown.
class ScriptedDialogs : public TDialogs {
public:
    struct OpenAnswer {
        QStringList Files;   // empty: cancelled
        int Filter = 1;
    };
    std::deque<OpenAnswer> Opens;
    std::deque<QString> Saves;                 // empty string: cancelled
    std::deque<std::optional<std::string>> Dirs;   // nullopt: cancelled; "": kept as opened
    std::vector<std::string> PickerStarts;
    std::function<void()> OnPick;                      // runs as the picker opens; may throw
    std::vector<std::pair<QString, QString>> Messages;
    std::vector<QString> Errors;
    std::vector<QString> SaveTitles;
    std::vector<std::pair<QString, int>> OpenStarts;   // folder and filter each open dialog started at
    std::deque<QString> ExtLists;                      // empty string: cancelled
    std::vector<QString> ExtListStarts;

    bool OpenFiles(QWidget*, const QString&, QStringList& files, int& filterIndex, QString& dir) override
    {
        OpenStarts.emplace_back(dir, filterIndex);
        const OpenAnswer answer = Next(Opens);
        if (answer.Files.isEmpty())
            return false;
        files = answer.Files;
        filterIndex = answer.Filter;
        dir = QFileInfo(files.first()).absolutePath();
        return true;
    }
    bool OpenFile(QWidget*, const QString&, const QString&, QString& file) override
    {
        ExtListStarts.push_back(file);
        const QString answer = Next(ExtLists);
        if (!answer.isEmpty())
            file = answer;
        return !answer.isEmpty();
    }
    bool SaveFile(QWidget*, const QString& title, const QString&, const QString&, QString& file) override
    {
        SaveTitles.push_back(title);
        file = Next(Saves);
        return !file.isEmpty();
    }
    bool PickDirectory(QWidget*, QByteArray& dir) override
    {
        PickerStarts.push_back(dir.toStdString());
        if (OnPick)
            OnPick();
        const std::optional<std::string> answer = Next(Dirs);
        if (answer && !answer->empty())
            dir = QByteArray::fromStdString(*answer);
        return answer.has_value();
    }
    void Message(QWidget*, const QString& text, const QString& caption) override
    {
        Messages.emplace_back(text, caption);
    }
    void ShowError(QWidget*, const QString& text) override { Errors.push_back(text); }
    // The directory-scan dialog: shown (so it fills its types), typed into,
    // then closed with OK; nullopt cancels it.
    struct ScanAnswer {
        QString Dir;
        int Type = 0;
    };
    std::deque<std::optional<ScanAnswer>> Scans;
    bool ExecModal(QDialog& form) override
    {
        const std::optional<ScanAnswer> answer = Next(Scans);
        auto& dirForm = dynamic_cast<TDirForm&>(form);
        dirForm.show();
        if (answer) {
            dirForm.Controls().ScanDir->setText(answer->Dir);
            dirForm.Controls().Filter->setCurrentIndex(answer->Type);
        }
        dirForm.hide();
        return answer.has_value();
    }

private:
    template <class T>
    static T Next(std::deque<T>& answers)
    {
        if (answers.empty())
            throw std::logic_error("a dialog the test did not expect");
        T answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace eit::test
