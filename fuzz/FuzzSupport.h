#pragma once

// Shared by the fuzz targets: a window that does nothing, a scratch folder
// for the files a target writes, and the checks that end a run loudly.

#include "BatchState.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include <stdlib.h>
#include <unistd.h>

namespace eit::fuzz {

// The fuzz targets' window: does nothing.
using NullView = QuietBatchView;

// Ends the run as a crash, so the fuzzer keeps the input that broke a rule.
[[noreturn]] inline void Fail(const std::string& what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

inline void Check(bool condition, const std::string& what)
{
    if (!condition)
        Fail(what);
}

// One folder per process, in memory when the system offers it, removed when
// the process ends normally.
class ScratchDir {
public:
    ScratchDir()
    {
        const std::string base = std::filesystem::is_directory("/dev/shm")
            ? std::string("/dev/shm")
            : std::filesystem::temp_directory_path().string();
        std::string pattern = base + "/eit-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            Fail("cannot create a scratch folder below " + base);
        FPath = pattern;
    }
    ~ScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return FPath; }
    std::string File(std::string_view name) const { return FPath + "/" + std::string(name); }

private:
    std::string FPath;
};

inline ScratchDir& Scratch()
{
    static ScratchDir dir;
    return dir;
}

inline void WriteBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        Fail("cannot write " + path);
}

inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Fail("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Takes bytes off the front of the fuzzer's input.
class InputReader {
public:
    InputReader(const std::uint8_t* data, std::size_t size)
        : FRest(reinterpret_cast<const char*>(data), size) {}

    std::uint8_t Byte()
    {
        if (FRest.empty())
            return 0;
        const auto b = static_cast<std::uint8_t>(FRest.front());
        FRest.remove_prefix(1);
        return b;
    }
    std::uint32_t Le32()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= std::uint32_t{Byte()} << (8 * i);
        return value;
    }
    std::string_view Take(std::size_t count)
    {
        const std::string_view part = FRest.substr(0, count);
        FRest.remove_prefix(part.size());
        return part;
    }
    std::string_view Rest() const { return FRest; }

private:
    std::string_view FRest;
};

} // namespace eit::fuzz
