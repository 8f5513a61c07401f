#include "ConsoleView.h"

#include "Env.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace eit {

namespace {

// A terminal's width when the system does not tell it.
constexpr std::size_t kDefaultColumns = 80;

// The columns the UTF-8 sequence starting with lead takes.
std::size_t ColumnsOf(unsigned char lead)
{
    return lead >= 0xE0 ? 2 : 1;
}

// Whether byte starts a character rather than continuing one.
bool StartsCharacter(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
}

} // namespace

std::string FitToWidth(std::string_view text, std::size_t width)
{
    std::vector<std::size_t> starts; // the byte where each character starts
    std::size_t columns = 0;
    for (std::size_t at = 0; at < text.size(); ++at)
        if (StartsCharacter(text[at])) {
            starts.push_back(at);
            columns += ColumnsOf(static_cast<unsigned char>(text[at]));
        }
    if (columns <= width)
        return std::string(text);
    const std::string_view ellipsis = "...";
    if (width <= ellipsis.size())
        return std::string(ellipsis.substr(0, width));
    const std::size_t room = width - ellipsis.size();
    std::size_t headEnd = 0;
    for (std::size_t used = 0, k = 0; k < starts.size(); ++k) {
        used += ColumnsOf(static_cast<unsigned char>(text[starts[k]]));
        if (used > room / 3)
            break;
        headEnd = k + 1 < starts.size() ? starts[k + 1] : text.size();
    }
    std::size_t tailStart = text.size();
    for (std::size_t used = 0, k = starts.size(); k-- > 0;) {
        used += ColumnsOf(static_cast<unsigned char>(text[starts[k]]));
        if (used > room - room / 3)
            break;
        tailStart = starts[k];
    }
    return std::string(text.substr(0, headEnd)) + std::string(ellipsis) + std::string(text.substr(tailStart));
}

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
    // The line stays off the terminal's last column, where some terminals
    // wrap: a wrapped bar redraws on a new line each time.
    const int columns = StderrColumns();
    const std::size_t width = (columns > 0 ? static_cast<std::size_t>(columns) : kDefaultColumns) - 1;
    std::string line = bar;
    if (line.size() < width)
        line += FitToWidth(FStatus, width - line.size());
    else
        line.resize(width);
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
