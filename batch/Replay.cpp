#include "Replay.h"

#include "FileUtil.h"
#include "Formats.h"

#include <algorithm>
#include <cstdint>

namespace eit {

namespace {

enum class Marker { None, Format, Source, Target };

Marker MarkerOf(std::string_view word)
{
    static_assert(LogMarkers.size() == 3);
    if (word == LogMarkers[0])
        return Marker::Format;
    if (word == LogMarkers[1])
        return Marker::Source;
    if (word == LogMarkers[2])
        return Marker::Target;
    return Marker::None;
}

int TotalPosition(std::int32_t line, std::int32_t count)
{
    // A file of one line shows its only line as done.
    if (count <= 1)
        return 100;
    return static_cast<int>(std::int64_t{line} * 100 / (count - 1));
}

// Handles line i of state.ReplayLines and returns the index of the last line
// it consumed. The source stream lives only as long as this line.
std::int32_t ReplayLine(BatchState& state, BatchView& view, std::int32_t i, const ReplayPackFn& packHandler)
{
    std::string line(state.ReplayLines.Get(i));
    std::size_t wordEnd = 0;
    const Marker marker = MarkerOf(FirstWord(line, &wordEnd));
    state.MarkerFlag = marker == Marker::None ? 1 : 0;
    if (marker == Marker::None)
        return i;

    // The marker, the blank after it and any indentation before it go; a
    // record written by the batch keeps just its value.
    line.erase(0, std::min(wordEnd + 1, line.size()));
    state.ReplayLines.Put(i, line);

    if (marker == Marker::Format) {
        state.ReplayMode = ModeOfFormatName(FirstWord(line));
        return i;
    }
    if (marker != Marker::Source)
        return i;

    // The whole value is the path: blanks inside it belong to it.
    const std::string& path = line;
    SourceStream source;
    if (!PathExists(path)) {
        view.ReportReplayStep("Passed over " + path + " (missing)");
        return i;
    }
    if (!source.Open(path)) {
        view.ReportReplayStep("Passed over " + path + " (not a regular file)");
        return i;
    }
    view.ReportReplayStep("Opened " + path);
    const std::string name = FileNamePart(path);
    view.SetStatus("Processing " + name + "...");
    const InputType* format = InputTypeOfMode(state.ReplayMode);
    if (!format || !format->Replay)
        return i;
    const std::string target = JoinPath(state.TargetDir, name);
    // The handler says what it did with the pack in the results.
    return packHandler ? packHandler(state, view, source.File(), target, i + 1)
                       : format->Replay(state, view, source.File(), target, i + 1);
}

} // namespace


void ReplayLog(BatchState& state, BatchView& view, const std::string& fileName, const ReplayPackFn& packHandler)
{
    LineList& lines = state.ReplayLines;
    lines.Clear();
    lines.LoadFromFile(fileName);
    state.ReplayFile = fileName;
    const std::string status = "Processing " + FileNamePart(fileName) + "...";
    view.SetStatus(status);
    view.SetTotal(0);
    state.ReplayMode = kReplayNoFormat;

    // The count is read afresh before every line: the pack handler may
    // insert or consume lines.
    for (std::int32_t i = 0; i < lines.Count() && state.StopFlag.load() == 0; ++i) {
        view.SetStatus(status);
        view.SetTotal(TotalPosition(i, lines.Count()));
        i = ReplayLine(state, view, i, packHandler);
        view.SetProgress(std::min(view.ProgressPosition() + 1, 100));
        view.ProcessEvents();
    }
}

} // namespace eit
