// Replays the input as a result log or project list over a small tree of
// sources, and checks that the replay never writes outside its output folder
// (which does not exist, so no pack can be rebuilt): the log, every source and
// the tree's listing stay as they were, and a failure is a file-layer error.
// Every "@" of the input stands for the tree's folder, so records can name
// its files: a pack, a name with blanks, a read-only file and a folder.

#include "FileError.h"
#include "FuzzSupport.h"
#include "Replay.h"

#include <filesystem>
#include <map>

#include <sys/stat.h>

namespace {

using namespace eit;
using namespace eit::fuzz;

std::map<std::string, std::string> Snapshot(const std::string& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        files[entry.path().string()] = entry.is_directory() ? "<folder>" : ReadBytes(entry.path().string());
    return files;
}

const std::string& SourceTree()
{
    static const std::string tree = [] {
        const std::string root = Scratch().File("src");
        std::filesystem::create_directories(root + "/dir.bin");
        std::filesystem::create_directories(root + "/sub");
        WriteBytes(root + "/a.bin", std::string(65536, '\0') + std::string(2048, 'a'));
        WriteBytes(root + "/sub/with blank.log", "#Format: BIN\r\n#Source: " + root + "/a.bin\r\n");
        WriteBytes(root + "/ro.bin", "read-only");
        ::chmod((root + "/ro.bin").c_str(), 0444);
        return root;
    }();
    return tree;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& tree = SourceTree();
    static const std::map<std::string, std::string> sources = Snapshot(tree);

    std::string text;
    text.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '@')
            text += tree;
        else
            text += static_cast<char>(data[i]);
    }
    const std::string logPath = Scratch().File("replayed.log");
    WriteBytes(logPath, text);

    BatchState state;
    state.TargetDir = Scratch().File("out");
    NullView view;
    try {
        ReplayLog(state, view, logPath);
    } catch (const FileError& e) {
        // A pack section is checked whole before its pack is rebuilt.
        const std::string_view message = e.what();
        const bool expected = message.starts_with("Cannot open file ") || message.starts_with("Result log ")
            || message.starts_with("Data pack ") || message.starts_with("Cannot insert empty file ")
            || message.starts_with("Cannot create file ");
        Check(expected, std::string("unexpected error: ") + e.what());
    }
    LineList lines;
    lines.SetText(text);
    Check(state.ReplayLines.Count() == lines.Count(), "the replay changed the number of lines");
    Check(state.ReplayMode == kModeExtract || state.ReplayMode == kReplayNoFormat, "an unknown replay mode");
    Check(ReadBytes(logPath) == text, "the replayed file changed");
    Check(Snapshot(tree) == sources, "a source changed");
    Check(!std::filesystem::exists(state.TargetDir), "the replay wrote into the output folder");
    return 0;
}
