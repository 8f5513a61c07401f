// Line list memory benchmark.
//
//   list-bench [--dir DIR] [--runs N] [--mib M]
//
// Writes four lists of M MiB (default 128) in DIR (default: a temporary
// folder): "empty" lines ending in LF, "tiny" lines of one character ending
// in CR, "short" lines of 4 to 12 characters (a project list of short names)
// and "long" lines of about 120 characters (a result log of deep paths),
// both ending in CR LF. Each is
// loaded by a child process of its own, whose peak resident memory is
// measured: an idle child that only starts (the baseline every figure is
// taken against), a child that loads the list into a LineList, one that
// builds it line by line with Add (as a result log grows), and one that
// keeps every line in a std::string of its own (the usual way, for
// comparison). Prints, per list and way, the median of the peak above the
// idle child's, that peak as a multiple of the file's size and in bytes a
// line, the load time, and whether the peak stays within 3 times the file's
// size plus 16 bytes a line.

#include "FileUtil.h"
#include "LineList.h"

#include "BenchSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "list-bench";

struct ListShape {
    const char* Name;
    std::size_t MinLength;
    std::size_t MaxLength;
    const char* LineEnd;
};

constexpr ListShape kShapes[] = {
    {"empty", 0, 0, "\n"}, {"tiny", 1, 1, "\r"}, {"short", 4, 12, "\r\n"}, {"long", 100, 140, "\r\n"}};

const ListShape& ShapeNamed(const std::string& name)
{
    for (const ListShape& shape : kShapes)
        if (name == shape.Name)
            return shape;
    eit::bench::Die(kProgram, "no list shape " + name);
}

// Calls take(line) for the lines of a list of shape that fill mib MiB with
// their line ends; the same lines every time.
template <typename Take>
void ForEachLine(const ListShape& shape, std::uint64_t mib, Take take)
{
    const std::uint64_t size = mib << 20;
    const std::size_t endSize = std::strlen(shape.LineEnd);
    std::uint32_t seed = 12345;
    std::string line;
    for (std::uint64_t written = 0; written < size; written += line.size() + endSize) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t length = shape.MinLength + (seed >> 16) % (shape.MaxLength - shape.MinLength + 1);
        line.resize(length);
        for (std::size_t i = 0; i < length; ++i)
            line[i] = i % 13 == 12 ? '/' : static_cast<char>('a' + (seed >> (i % 16)) % 26);
        take(std::string_view(line));
    }
}

// Writes the list of shape to path; returns how many lines it has.
std::uint64_t WriteList(const std::string& path, const ListShape& shape, std::uint64_t mib)
{
    std::ofstream out(path, std::ios::binary);
    std::uint64_t lines = 0;
    std::string block;
    ForEachLine(shape, mib, [&](std::string_view line) {
        block += line;
        block += shape.LineEnd;
        ++lines;
        if (block.size() >= (1u << 20)) {
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
            block.clear();
        }
    });
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
    if (!out.flush())
        eit::bench::Die(kProgram, "cannot write " + path);
    return lines;
}

// Every line in a std::string of its own, split as LineList splits, with
// room made for as many lines as there are LFs.
std::vector<std::string> StringPerLine(const std::string& path)
{
    const std::string text = eit::ReadTextUntilZero(path);
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t stop = text.find_first_of("\r\n", start);
        if (stop == std::string::npos)
            stop = text.size();
        lines.emplace_back(text, start, stop - start);
        start = stop + (text.compare(stop, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

// The child's work; its exit status says whether it holds the lines it
// should.
int RunWay(const std::string& way, const std::string& path, const ListShape& shape, std::uint64_t mib,
           std::uint64_t lines)
{
    std::uint64_t held = 0;
    if (way == "load") {
        eit::LineList list;
        list.LoadFromFile(path);
        held = static_cast<std::uint64_t>(list.Count());
    } else if (way == "add") {
        eit::LineList list;
        ForEachLine(shape, mib, [&list](std::string_view line) { list.Add(line); });
        held = static_cast<std::uint64_t>(list.Count());
    } else if (way == "strings") {
        held = StringPerLine(path).size();
    } else {
        held = lines;
    }
    return held == lines ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 7 && std::strcmp(argv[1], "--child") == 0)
        return RunWay(argv[2], argv[3], ShapeNamed(argv[4]), std::strtoull(argv[5], nullptr, 10),
                      std::strtoull(argv[6], nullptr, 10));

    eit::bench::Options options = eit::bench::ParseOptions(argc, argv, kProgram, 3);
    std::uint64_t mib = 128;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--mib") == 0)
            mib = std::max<std::uint64_t>(1, std::strtoull(argv[i + 1], nullptr, 10));
    const std::string self = fs::canonical("/proc/self/exe").string();

    std::printf("%-6s %-8s %10s %8s %10s %8s %10s  %s\n", "list", "way", "peak MiB", "x size", "B/line", "load s",
                "budget MiB", "within");
    for (const ListShape& shape : kShapes) {
        const std::string path = (fs::path(options.Dir) / (std::string(shape.Name) + ".lst")).string();
        const std::uint64_t lines = WriteList(path, shape, mib);
        const double size = static_cast<double>(fs::file_size(path));
        const double budget = 3 * size + 16.0 * static_cast<double>(lines);
        const auto child = [&](const char* way) {
            return eit::bench::RunChild(kProgram,
                                        {self, "--child", way, path, shape.Name, std::to_string(mib), std::to_string(lines)});
        };
        for (const char* way : {"load", "add", "strings"}) {
            std::vector<double> peaks;
            std::vector<double> seconds;
            for (int run = 0; run < options.Runs; ++run) {
                const eit::bench::ChildRun idle = child("idle");
                const eit::bench::ChildRun used = child(way);
                peaks.push_back(static_cast<double>(used.PeakKiB - idle.PeakKiB) * 1024);
                seconds.push_back(used.Seconds - idle.Seconds);
            }
            const double peak = eit::bench::Median(peaks);
            std::printf("%-6s %-8s %10.1f %8.2f %10.1f %8.2f %10.1f  %s\n", shape.Name, way, peak / 1048576, peak / size,
                        peak / static_cast<double>(lines), eit::bench::Median(seconds), budget / 1048576,
                        peak <= budget ? "yes" : "NO");
            std::fflush(stdout);
        }
        fs::remove(path);
    }
    if (options.OwnDir)
        fs::remove_all(options.Dir);
    return 0;
}
