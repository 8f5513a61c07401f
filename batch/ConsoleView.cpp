#include "ConsoleView.h"

#include <cstdio>
#include <iostream>

#include <unistd.h>

namespace eit {

ConsoleView::ConsoleView(std::vector<std::string> inputs, std::string output, const std::atomic<int>& stopFlag)
    : FInputs(std::move(inputs)), FOutput(std::move(output)), FStopFlag(stopFlag), FTerminal(::isatty(STDERR_FILENO) != 0)
{
}

void ConsoleView::SetStatus(const std::string& text)
{
    FStatus = text;
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
    EndLine();
    std::cout << line << '\n';
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
        std::fputs("\r\033[K", stderr);
    FDrawn = false;
}

void ConsoleView::Draw()
{
    if (!FTerminal || FStatus.empty())
        return;
    const int progress = ProgressPosition();
    const int filled = progress / 5;
    std::fprintf(stderr, "\r\033[K[%.*s%.*s] %3d%%  total %3d%%  %s", filled, "####################",
                 20 - filled, "                    ", progress, TotalPosition(), FStatus.c_str());
    FDrawn = true;
}

} // namespace eit
