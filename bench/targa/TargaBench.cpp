// TTarga load + save of a large 32-bit picture against copying the same file,
// taking turns in one run.
//
//   targa-bench [--dir DIR] [--runs N] [--size PIXELS]
//
// Writes a PIXELS x PIXELS x 32 TGA (default 4096, a 64 MiB file) in DIR
// (default: a temporary folder), then times, in alternating order:
// - TTarga LoadFromFile of it and SaveToFile to a new name;
// - `cp` of the file to a new name (spawned without a shell);
// - an in-process copy in 1 MiB blocks through one buffer.
// Each output is removed before its run, outside the timing. Prints the
// median, the spread (min - max) of each and the ratios of TTarga to both
// copies (ratio of the medians and the median of the paired ratios). The goal
// is at most 2x cp.

#include "TTarga.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kGoal = 2.0;

[[noreturn]] void Die(const std::string& what)
{
    std::fprintf(stderr, "targa-bench: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

void MakePicture(const std::string& path, int size)
{
    TTarga targa;
    targa.SetDepth(32);
    targa.SetWidth(static_cast<quint16>(size));
    targa.SetHeight(static_cast<quint16>(size));
    for (int k = 0; k < size; ++k) {
        auto* row = reinterpret_cast<quint32*>(targa.Canvas()->scanLine(k));
        for (int x = 0; x < size; ++x)
            row[x] = static_cast<quint32>(k * 2654435761u + x * 40503u);
    }
    targa.SaveToFile(path);
}

double TimeTarga(const std::string& in, const std::string& out)
{
    const auto start = Clock::now();
    TTarga targa;
    targa.LoadFromFile(in);
    targa.SaveToFile(out);
    return Seconds(Clock::now() - start);
}

double TimeCp(const std::string& in, const std::string& out)
{
    const char* argv[] = {"cp", in.c_str(), out.c_str(), nullptr};
    pid_t pid;
    const auto start = Clock::now();
    if (posix_spawnp(&pid, "cp", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        Die("cp");
    int status = 0;
    ::waitpid(pid, &status, 0);
    const auto took = Clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        Die("cp failed");
    return Seconds(took);
}

void WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0)
            Die("write");
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

// A plain user-space copy: 1 MiB blocks read and written through one buffer.
double TimeBlockCopy(const std::string& in, const std::string& out)
{
    const auto start = Clock::now();
    const int src = ::open(in.c_str(), O_RDONLY | O_CLOEXEC);
    if (src < 0)
        Die(in);
    const int dst = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (dst < 0)
        Die(out);
    std::vector<char> buffer(std::size_t{1} << 20);
    for (ssize_t n; (n = ::read(src, buffer.data(), buffer.size())) != 0;) {
        if (n < 0)
            Die("read " + in);
        WriteAll(dst, buffer.data(), static_cast<std::size_t>(n));
    }
    ::close(src);
    if (::close(dst) != 0)
        Die(out);
    return Seconds(Clock::now() - start);
}

struct Figures {
    std::vector<double> times;

    double Median() const { return Percentile(0.5); }
    double Min() const { return *std::min_element(times.begin(), times.end()); }
    double Max() const { return *std::max_element(times.begin(), times.end()); }
    double Percentile(double p) const
    {
        std::vector<double> sorted = times;
        std::sort(sorted.begin(), sorted.end());
        return sorted[static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5)];
    }
};

void Print(const char* label, const Figures& f)
{
    std::printf("  %-26s median %8.1f ms   spread %7.1f - %7.1f ms (IQR %.1f - %.1f)\n", label, f.Median() * 1e3,
                f.Min() * 1e3, f.Max() * 1e3, f.Percentile(0.25) * 1e3, f.Percentile(0.75) * 1e3);
}

void PrintRatio(const char* label, const Figures& targa, const Figures& baseline)
{
    Figures paired;
    for (std::size_t i = 0; i < targa.times.size(); ++i)
        paired.times.push_back(targa.times[i] / baseline.times[i]);
    std::printf("  %-26s %5.2fx (median of paired ratios %.2fx, spread %.2f - %.2f)\n", label,
                targa.Median() / baseline.Median(), paired.Median(), paired.Min(), paired.Max());
}

} // namespace

int main(int argc, char** argv)
{
    std::string dir;
    int runs = 9;
    int size = 4096;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--dir") == 0)
            dir = argv[i + 1];
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--size") == 0)
            size = std::clamp(std::atoi(argv[i + 1]), 1, 65535);
    }
    const bool temporary = dir.empty();
    if (temporary) {
        std::string pattern = (fs::temp_directory_path() / "targa-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            Die("mkdtemp");
        dir = pattern;
    }
    const std::string in = dir + "/in.tga";
    const std::string outTarga = dir + "/out-targa.tga";
    const std::string outCp = dir + "/out-cp.tga";
    const std::string outCopy = dir + "/out-copy.tga";
    MakePicture(in, size);
    const auto fileSize = fs::file_size(in);

    const auto run = [&](int which, Figures& figures) {
        static const std::string* const outs[] = {&outTarga, &outCp, &outCopy};
        fs::remove(*outs[which]);
        ::sync(); // every contender starts without the others' dirty pages
        switch (which) {
        case 0: figures.times.push_back(TimeTarga(in, outTarga)); break;
        case 1: figures.times.push_back(TimeCp(in, outCp)); break;
        default: figures.times.push_back(TimeBlockCopy(in, outCopy)); break;
        }
    };
    Figures warm;
    for (int which = 0; which < 3; ++which)
        run(which, warm);

    Figures figures[3];
    for (int r = 0; r < runs; ++r)
        for (int i = 0; i < 3; ++i) {
            // Take turns at running first, so no contender always follows the same one.
            const int which = (r + i) % 3;
            run(which, figures[which]);
        }

    std::printf("%d x %d x 32 TGA, %.1f MiB, %d runs taking turns\n", size, size,
                static_cast<double>(fileSize) / (1 << 20), runs);
    Print("TTarga load + save", figures[0]);
    Print("cp", figures[1]);
    Print("1 MiB block copy", figures[2]);
    PrintRatio("TTarga / cp", figures[0], figures[1]);
    PrintRatio("TTarga / block copy", figures[0], figures[2]);
    const double ratio = figures[0].Median() / figures[1].Median();
    std::printf("  goal: TTarga / cp <= %.1fx: %s\n", kGoal, ratio <= kGoal ? "met" : "NOT MET");

    if (temporary)
        fs::remove_all(dir);
    return 0;
}
