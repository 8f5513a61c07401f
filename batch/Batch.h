#pragma once

#include "BatchState.h"
#include "Env.h"
#include "Replay.h"

#include <cstdint>
#include <functional>
#include <string>

namespace eit {

// What a batch that Stop ended did: "Stopped after <N> files; result.log
// lists what was done." for an extraction, and for a replay whether any pack
// was rebuilt before the stop.
std::string StopLine(const BatchState& state);

// The batch run behind the BProcess button, toolkit-free: the main window,
// the tests and the headless driver all run this code through their own
// BatchView.
class Batch {
public:
    using FileHandlerFn = std::function<void(std::uint8_t mode, const std::string& entry)>;
    using ProgressHandlerFn = std::function<void(int value)>;

    Batch(BatchState& state, BatchView& view);

    // Asks for the output directory, starting at the working directory, runs
    // every listed file through FileHandler, saves "result.log" (extraction
    // only) and shows "Operation complete!"; a batch that Stop ended reports
    // its StopLine through the view's ReportStop just before. Every output is written below
    // the chosen directory by its full path; the working directory stays
    // where it was. A FileError from a handler or from saving the log ends
    // the batch where it stands and propagates to the caller, with the bars,
    // texts and buttons left as after a finished batch.
    // Before the first file, a list the batch cannot run safely is refused
    // with a FileError and nothing written: a name holding CR or LF
    // ("Cannot process file name with a line break: %s", the breaks shown
    // as \r and \n), in mode 1 two different packs that would write the
    // same output files, compared as CaseProbe says the output folder
    // compares names ("Packs %s and %s would write the same files below %s;
    // extract them separately or scan their folder"), in mode 1 what
    // CheckExtensionList finds wrong with the extension lists or the packs,
    // and in the replay modes one pack named in two sections
    // (CheckPacksNamedOnce).
    // Does nothing while a batch is already running (a click that reaches
    // us through the running batch's event pump).
    void BProcessClick();
    // Runs one listed file through the handler of its mode: the extract
    // handler of the pack format with that mode (ExtractPack for mode 1),
    // ReplayLog for a list type's mode (2 and 3). Any other mode runs nothing.
    void DispatchFile(std::uint8_t mode, const std::string& entry);
    void StopClick();
    void ShowProgress(int value);

    bool Running() const { return FRunning; }

    FileHandlerFn FileHandler;
    ProgressHandlerFn ProgressHandler;
    // When set, what the list replay hands every pack source to in place of
    // its format's replay handler.
    ReplayPackFn PackHandler;
    // Asked once per batch whether the output folder takes names that differ
    // only in case as one (BatchState::OutputIgnoresCase).
    std::function<bool(const std::string& folder)> CaseProbe = FolderIgnoresCase;
    // When set, called once the input list passed the checks above and
    // before anything is written; a FileError it throws ends the batch as
    // the checks' do. The driver checks its inputs further and creates the
    // output folder there, so that a refused batch leaves no folder.
    std::function<void()> PrepareOutput;

private:
    void CheckInputs() const;
    void RunFiles();
    // Bars at 0, status empty, Extracted showing the batch's file count,
    // Stop off, "Save results" on when the pane has lines.
    void ShowBatchEnded();

    BatchState& FState;
    BatchView& FView;
    bool FRunning = false;
};

} // namespace eit
