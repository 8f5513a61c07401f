#include "ConsoleView.h"

#include "Env.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace eit {

ConsoleView::ConsoleView(std::vector<std::string> inputs, std::string output, const std::atomic<int>& stopFlag,
                         ConsoleOutput mode)
    : FInputs(std::move(inputs)), FOutput(std::move(output)), FStopFlag(stopFlag), FQuiet(mode.Quiet)
{
    const bool terminal = StderrIsTerminal();
    FEscapes = terminal && StderrTakesEscapes();
    if (terminal && (!mode.Quiet || mode.ProgressLines))
        FProgress = Progress::Bar;
    else if (!terminal && mode.ProgressLines)
        FProgress = Progress::Lines;
    else
        FProgress = Progress::None;
}

void ConsoleView::SetStatus(const std::string& text)
{
    FStatus = text;
    // A replay sets its status once per line, to the same text: only a
    // change of a percentage adds a progress line.
    if (FProgress == Progress::Bar)
        Draw();
}

void ConsoleView::SetProgress(int position)
{
    QuietBatchView::SetProgress(position);
    Draw();
}

void ConsoleView::SetTotal(int position)
{
    QuietBatchView::SetTotal(position);
    Draw();
}

void ConsoleView::AppendResult(const std::string& line)
{
    if (FQuiet)
        return;
    EndLine();
    std::cout << line << '\n';
    CheckOutput();
}

void ConsoleView::ReportReplayStep(const std::string& line)
{
    AppendResult(line);
}

void ConsoleView::AppendWarning(const std::string& line)
{
    EndLine();
    // stdout and stderr may go to one log: the lines keep their order.
    std::cout.flush();
    std::cerr << line << '\n';
    CheckOutput();
}

bool ConsoleView::PickDirectory(std::string& dir)
{
    dir = FOutput;
    return true;
}

void ConsoleView::ShowMessage(const std::string& text, const std::string&)
{
    EndLine();
    if (FStopFlag.load() == 0)
        std::cout << text << std::endl;
}

void ConsoleView::EndLine()
{
    if (FDrawn)
        std::fputs(FEscapes ? "\r\033[K" : ("\r" + std::string(FDrawnWidth, ' ') + "\r").c_str(), stderr);
    FDrawn = false;
    FDrawnWidth = 0;
    CheckOutput();
}

void ConsoleView::CheckOutput()
{
    if (FStopFlag.load() == 0 && (!std::cout || std::ferror(stdout) || std::ferror(stderr)))
        ReportBrokenOutput();
}

void ConsoleView::Draw()
{
    if (FProgress == Progress::None || FStatus.empty())
        return;
    const int progress = ProgressPosition();
    const int total = TotalPosition();
    if (FProgress == Progress::Lines) {
        if (progress == FLineProgress && total == FLineTotal)
            return;
        FLineProgress = progress;
        FLineTotal = total;
        // stdout and stderr may go to one log: the lines keep their order.
        std::cout.flush();
        std::fprintf(stderr, "%3d%%  total %3d%%  %s\n", progress, total, FStatus.c_str());
        CheckOutput();
        return;
    }
    const int filled = progress / 5;
    char bar[64];
    std::snprintf(bar, sizeof bar, "[%.*s%.*s] %3d%%  total %3d%%  ", filled, "####################", 20 - filled,
                  "                    ", progress, total);
    std::string line = bar + FStatus;
    if (FEscapes) {
        std::fprintf(stderr, "\r\033[K%s", line.c_str());
    } else {
        // Without the erase escape, spaces cover what a longer line left.
        const std::size_t width = line.size();
        line.resize(std::max(width, FDrawnWidth), ' ');
        std::fprintf(stderr, "\r%s", line.c_str());
        FDrawnWidth = width;
    }
    FDrawn = true;
    CheckOutput();
}

} // namespace eit
