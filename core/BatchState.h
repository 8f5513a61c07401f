#pragma once

#include "LineList.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace eit {

// First words of a result-log line that the replay recognises.
inline constexpr std::array<const char*, 3> LogMarkers{"#Format:", "#Source:", "#Target"};

// The first word of text as the "%s" scan reads it: leading blanks, tabs and
// line ends skipped, then everything up to the next of them. Empty when the
// text holds no word. end receives the index just after the word.
std::string_view FirstWord(std::string_view text, std::size_t* end = nullptr);
// Whether word is one of LogMarkers.
bool IsLogMarker(std::string_view word);

// The processing modes. Which input type runs in which mode, and the format
// names of "#Format: " records, are the batch's table of input types.
inline constexpr std::uint8_t kModeExtract = 1;
inline constexpr std::uint8_t kModeReplayLogs = 2;
inline constexpr std::uint8_t kModeReplayList = 3;
// ReplayMode while the replayed file has named no known format.
inline constexpr std::uint8_t kReplayNoFormat = 4;

// Where the extension list lives: the build's EIT_EXTLIST_PATH when set,
// otherwise $HOME/Projects/Kestrane/extlist.txt.
std::string DefaultExtListPath();

// The state one batch shares between the batch run, the extraction and the
// replay. The main window, the tests and the batch driver each own one.
struct BatchState {
    std::uint8_t ProcessingMode = 0;     // 0 until the input list is first filled
    LineList ResultLog;
    std::string TargetDir;               // every output path is built from it
    std::string StartDir;
    bool ScannedList = false;
    std::string ScanRoot;                // exactly as typed in the scan dialog
    std::atomic<int> StopFlag{0};        // set by Stop (or Ctrl-C in the driver)
    std::int64_t ExtractedBytes = 0;
    std::int64_t ExtractedFiles = 0;
    std::string ExtListPath = DefaultExtListPath();

    // The list replay: the lines of the file being replayed (recognised
    // records shortened in memory, never written back), the mode of its last
    // "#Format: " record, and whether the current line's first word is no
    // marker (1) or a marker (0).
    LineList ReplayLines;
    std::uint8_t ReplayMode = kReplayNoFormat;
    std::uint8_t MarkerFlag = 1;
    std::string ReplayFile;              // the file being replayed

    // Rebuilding packs from a replay: each pack path rebuilt in this batch
    // (its OutputPathKey) with the source it was rebuilt from (emptied when a
    // batch starts), and whether rebuilds only report what they would do.
    std::map<std::string, std::string> RebuiltPacks;
    bool DryRun = false;
    // What the replays of a batch came to (emptied when a batch starts): the
    // sources handed to a pack format's replay handler, and the replayed
    // files in which no "#Format: " record named a pack format.
    std::int64_t ReplayedPacks = 0;
    std::vector<std::string> FilesWithoutPacks;

    // Whether the output folder's file system takes names that differ only
    // in case as one name; found out when a batch has its output folder.
    bool OutputIgnoresCase = false;
};

// path as the output folder tells names apart: its ASCII letters upper-cased
// when state.OutputIgnoresCase, otherwise as it is. Two output paths name
// one file when their keys are equal.
std::string OutputPathKey(const BatchState& state, std::string_view path);

// Everything of the window that the batch, the extraction and the replay
// touch. The main window implements it with its widgets; tests and the
// batch driver implement it with plain objects.
class BatchView {
public:
    virtual ~BatchView() = default;

    // The input list (LogList), read afresh at every step of a batch.
    virtual int InputCount() const = 0;
    virtual std::string InputEntry(int index) const = 0;
    // Position of the open dialog's chosen filter, counted from 1.
    virtual int FilterIndex() const = 0;

    virtual void SetStatus(const std::string& text) = 0;          // CurrentMessage
    virtual int ProgressPosition() const = 0;
    virtual void SetProgress(int position) = 0;                     // 0..100
    virtual int TotalPosition() const = 0;
    virtual void SetTotal(int position) = 0;                        // 0..100
    virtual void SetExtracted(const std::string& caption) = 0;     // the Extracted label

    virtual void ClearResults() = 0;
    virtual void AppendResult(const std::string& line) = 0;
    virtual int ResultLineCount() const = 0;
    virtual void FocusResults() = 0;

    virtual void SetStopEnabled(bool enabled) = 0;
    virtual void SetSaveLogEnabled(bool enabled) = 0;

    // The modal "Select Directory" picker opened at dir (creation allowed,
    // with the confirmation prompt). On OK, dir receives the chosen existing
    // directory and the result is true.
    virtual bool PickDirectory(std::string& dir) = 0;
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // Runs pending window events and returns.
    virtual void ProcessEvents() = 0;

    // One line saying what the list replay did with a source: "Opened
    // <path>", "Passed over <path> (missing)" or "Passed over <path> (not a
    // regular file)". The window shows none of them; the batch driver prints
    // them. What became of a pack goes to the results.
    virtual void ReportReplayStep(const std::string& line) { (void)line; }
    // The last line of a batch that Stop ended (StopLine): the window ends
    // its results with it; the batch driver words the stop itself.
    virtual void ReportStop(const std::string& line) { AppendResult(line); }
    // A line warning of something the batch goes on with. The window adds
    // it to the results; the batch driver prints it on stderr.
    virtual void AppendWarning(const std::string& line) { AppendResult(line); }
};

// A BatchView without a window, the base of the driver's console, the fuzz
// targets' view and the tests' views: an empty input list, a picker that is
// cancelled, and every display call ignored except the two bars, which keep
// their positions because the batch decides from them when to move them.
class QuietBatchView : public BatchView {
public:
    int InputCount() const override { return 0; }
    std::string InputEntry(int) const override { return {}; }
    int FilterIndex() const override { return 1; }
    void SetStatus(const std::string&) override {}
    int ProgressPosition() const override { return FProgress; }
    void SetProgress(int position) override { FProgress = position; }
    int TotalPosition() const override { return FTotal; }
    void SetTotal(int position) override { FTotal = position; }
    void SetExtracted(const std::string&) override {}
    void ClearResults() override {}
    void AppendResult(const std::string&) override {}
    int ResultLineCount() const override { return 0; }
    void FocusResults() override {}
    void SetStopEnabled(bool) override {}
    void SetSaveLogEnabled(bool) override {}
    bool PickDirectory(std::string&) override { return false; }
    void ShowMessage(const std::string&, const std::string&) override {}
    void ProcessEvents() override {}

private:
    int FProgress = 0;
    int FTotal = 0;
};

// Moves view's Progress bar to position and runs the window's events, but
// only when the bar stands elsewhere: moving it for every block would cost
// more than the work. alongside, when given, runs between the move and the
// events, for what is shown with the bar. True when the bar moved.
bool MoveProgress(BatchView& view, int position, const std::function<void()>& alongside = nullptr);

} // namespace eit
