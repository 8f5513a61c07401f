#pragma once

#include "BatchState.h"

#include <atomic>
#include <string>
#include <vector>

namespace eit {

// The window's controls as a console, for the batch driver: results and
// messages on stdout, a progress line on stderr when it is a terminal. The
// picker answers with the output folder given at construction.
class ConsoleView final : public QuietBatchView {
public:
    ConsoleView(std::vector<std::string> inputs, std::string output, const std::atomic<int>& stopFlag);

    int InputCount() const override { return static_cast<int>(FInputs.size()); }
    std::string InputEntry(int index) const override { return FInputs.at(static_cast<std::size_t>(index)); }
    int FilterIndex() const override { return FFilter; }
    // The open dialog's filter that would have chosen the driver's mode.
    void SetFilterIndex(int position) { FFilter = position; }

    void SetStatus(const std::string& text) override;
    void SetProgress(int position) override;
    void SetTotal(int position) override;
    void AppendResult(const std::string& line) override;
    bool PickDirectory(std::string& dir) override;
    // A stopped batch did not complete: the driver says how it ended instead.
    void ShowMessage(const std::string& text, const std::string& caption) override;

    // Clears the progress line, so the next output starts on a clean line.
    void EndLine();

private:
    void Draw();

    std::vector<std::string> FInputs;
    std::string FOutput;
    const std::atomic<int>& FStopFlag;
    bool FTerminal;
    bool FDrawn = false;
    int FFilter = 1;
    std::string FStatus;
};

} // namespace eit
