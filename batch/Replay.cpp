#include "Replay.h"

#include "FileError.h"
#include "FileUtil.h"
#include "Formats.h"
#include "PackDirectory.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>

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

// The marker that starts line; for a record, line is cut down to its value:
// the marker, the blank after it and any indentation before it go.
Marker TakeMarker(std::string& line)
{
    std::size_t wordEnd = 0;
    const Marker marker = MarkerOf(FirstWord(line, &wordEnd));
    if (marker != Marker::None)
        line.erase(0, std::min(wordEnd + 1, line.size()));
    return marker;
}

// The pack format whose mode is mode; nullptr when it is none.
const InputType* PackFormatOfMode(std::uint8_t mode)
{
    const InputType* type = InputTypeOfMode(mode);
    return type && type->Replay ? type : nullptr;
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
    const Marker marker = TakeMarker(line);
    state.MarkerFlag = marker == Marker::None ? 1 : 0;
    if (marker == Marker::None)
        return i;
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
    const InputType* format = PackFormatOfMode(state.ReplayMode);
    if (!format)
        return i;
    const std::string target = JoinPath(state.TargetDir, name);
    ++state.ReplayedPacks;
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
    bool namedPack = false;
    for (std::int32_t i = 0; i < lines.Count() && state.StopFlag.load() == 0; ++i) {
        view.SetStatus(status);
        view.SetTotal(TotalPosition(i, lines.Count()));
        i = ReplayLine(state, view, i, packHandler);
        namedPack = namedPack || PackFormatOfMode(state.ReplayMode) != nullptr;
        view.SetProgress(std::min(view.ProgressPosition() + 1, 100));
        view.ProcessEvents();
    }
    if (!namedPack && state.StopFlag.load() == 0) {
        state.FilesWithoutPacks.push_back(fileName);
        view.AppendResult(NoPackRecordLine(fileName));
    }
}

std::string NoPackRecordLine(const std::string& fileName)
{
    return fileName + ": no \"#Format: BIN\" record, nothing rebuilt";
}

void CheckPacksNamedOnce(const std::vector<std::string>& files)
{
    struct Naming {
        std::string Pack;
        const std::string* File;
    };
    // Keyed by the file's identity, which every path reaching it shares.
    std::map<std::pair<std::uint64_t, std::uint64_t>, Naming> named;
    LineList lines;
    for (const std::string& file : files) {
        lines.Clear();
        try {
            lines.LoadFromFile(file);
        } catch (const FileError&) {
            continue;
        }
        std::uint8_t mode = kReplayNoFormat;
        for (std::int32_t i = 0; i < lines.Count(); ++i) {
            std::string line(lines.Get(i));
            const Marker marker = TakeMarker(line);
            if (marker == Marker::Format)
                mode = ModeOfFormatName(FirstWord(line));
            FileStamp stamp;
            if (marker != Marker::Source || !PackFormatOfMode(mode) || KindOf(line) != FileKind::Regular
                || !StampOf(line, stamp))
                continue;
            const auto [first, isNew] = named.try_emplace({stamp.Device, stamp.Number}, Naming{line, &file});
            if (!isNew)
                throw FileError("Pack " + first->second.Pack + " is named twice in the replay (" + *first->second.File
                                + ", " + file + "); replay one log at a time");
            // The pack's slot lines are its handler's, records or not, up to
            // the next format record, where a cut-short section ends.
            for (int slot = 0; slot < kPackSlots && i + 1 < lines.Count()
                               && FirstWord(lines.Get(i + 1)) != LogMarkers[0];
                 ++slot)
                ++i;
        }
    }
}

} // namespace eit
