#pragma once

#include "BatchState.h"

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace eit {

// How much the console view says besides errors and the final line.
struct ConsoleOutput {
    // No results and replay lines, and no progress bar on a terminal.
    bool Quiet = false;
    // Progress as plain lines on stderr, one per change of a percentage,
    // when stderr is no terminal (on a terminal the bar is drawn anyway).
    bool ProgressLines = false;
};

// text in at most width columns of a terminal: as it is when it fits,
// otherwise with "..." in place of its middle, keeping twice as much of its
// end (where file names differ) as of its start. A UTF-8 sequence is kept
// or dropped whole; one of three or four bytes counts two columns, as it
// may be a wide character, so the text never takes more than width.
std::string FitToWidth(std::string_view text, std::size_t width);

// The window's controls as a console, for the batch driver: results, replay
// steps and messages on stdout, warnings and progress on stderr (a bar
// redrawn in place when it is a terminal, plain lines when asked for). The
// picker answers with the output folder given at construction. Output that
// can no longer be written (a closed pipe: `| head`) stops the batch as a
// broken pipe does (ReportBrokenOutput()).
class ConsoleView final : public QuietBatchView {
public:
    ConsoleView(std::vector<std::string> inputs, std::string output, const std::atomic<int>& stopFlag,
                ConsoleOutput mode = {});

    int InputCount() const override { return static_cast<int>(FInputs.size()); }
    std::string InputEntry(int index) const override { return FInputs.at(static_cast<std::size_t>(index)); }
    int FilterIndex() const override { return FFilter; }
    // The open dialog's filter that would have chosen the driver's mode.
    void SetFilterIndex(int position) { FFilter = position; }

    void SetStatus(const std::string& text) override;
    void SetProgress(int position) override;
    void SetTotal(int position) override;
    void AppendResult(const std::string& line) override;
    void ReportReplayStep(const std::string& line) override;
    void ReportStop(const std::string&) override {}
    // On stderr, also when quiet: a warning is said like an error.
    void AppendWarning(const std::string& line) override;
    bool PickDirectory(std::string& dir) override;
    // A stopped batch did not complete: the driver says how it ended instead.
    void ShowMessage(const std::string& text, const std::string& caption) override;

    // Clears the progress bar, so the next output starts on a clean line.
    void EndLine();

private:
    void Draw();
    void CheckOutput();

    enum class Progress { None, Bar, Lines };

    std::vector<std::string> FInputs;
    std::string FOutput;
    const std::atomic<int>& FStopFlag;
    bool FQuiet;
    Progress FProgress;
    bool FDrawn = false;
    // Whether the terminal erases with "\033[K"; if not, the width of the
    // bar drawn last, which the next drawing overwrites with spaces.
    bool FEscapes = false;
    std::size_t FDrawnWidth = 0;
    int FFilter = 1;
    std::string FStatus;
    // The percentages of the last progress line written; -1 before the first.
    int FLineProgress = -1;
    int FLineTotal = -1;
};

} // namespace eit
