#pragma once

#include "Batch.h"
#include "FileUtil.h"
#include "PackBuilder.h"
#include "RecordingView.h"
#include "TestSupport.h"

#include <filesystem>
#include <string>

namespace eit::test {

// A batch in a scratch folder: packs and lists beside the output folder
// "out" (what the picker answers), the extension list "extlist.txt" with
// two lines, mode 1, and the working directory put back afterwards.
struct BatchScene {
    BatchScene() : SavedDir(CurrentDirectory()), TheBatch(State, View)
    {
        SetCurrentDirectory(Dir.Path());
        State.ExtListPath = Dir.File("extlist.txt");
        WriteFile(State.ExtListPath, "tim\nraw\n");
        State.ProcessingMode = kModeExtract;
        View.PickedDir = Dir.File("out");
        std::filesystem::create_directories(*View.PickedDir);
    }
    ~BatchScene() { SetCurrentDirectory(SavedDir); }
    BatchScene(const BatchScene&) = delete;
    BatchScene& operator=(const BatchScene&) = delete;

    // Writes a pack (two entries unless told otherwise) and returns its path.
    std::string WritePack(const std::string& name, const PackBuilder& builder = PackBuilder().Entry(0, 1).Entry(7, 1))
    {
        WriteFile(Dir.File(name), builder.Bytes());
        return Dir.File(name);
    }
    // Writes a file and appends it to the input list.
    std::string AddInput(const std::string& name, const std::string& bytes)
    {
        WriteFile(Dir.File(name), bytes);
        View.Inputs.push_back(Dir.File(name));
        return Dir.File(name);
    }
    std::string AddPack(const std::string& name, const PackBuilder& builder = PackBuilder().Entry(0, 1).Entry(7, 1))
    {
        return AddInput(name, builder.Bytes());
    }
    // A path below the output folder; name's "/" become the system's separator.
    std::string Out(const std::string& name) const { return JoinPath(*View.PickedDir, NativePath(name)); }

    std::string SavedDir;
    TempDir Dir;
    BatchState State;
    RecordingView View;
    Batch TheBatch;
};

} // namespace eit::test
