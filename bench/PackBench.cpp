// Extraction benchmark.
//
//   pack-bench [--dir DIR] [--runs N] [--driver PATH] [--speed-only | --response-only]
//
// Speed: generates a 512 MiB pack of 8192 entries of 64 KiB and a 16 MiB
// pack of 8192 entries of 2 KiB in DIR (default: a temporary folder) and
// runs the batch driver (this build's, or PATH) against a minimal extractor (one in-kernel copy per
// entry into a new file of its own), alternating which runs first. Prints
// the median of each side's wall time, the median and spread of the paired
// ratios and the driver's peak memory.
//
// Response: extracts a pack of 16 entries of 128 MiB in-process through a
// view that timestamps every event pump, and prints the longest time the
// window would go without one; then presses Stop (as a click seen by the
// next pump) at moments that fall inside entries and prints how long
// ExtractPack takes to return after the press, and checks that no partial
// file was left.

#include "BatchState.h"
#include "DataPack.h"
#include "RecordingView.h"

#include "BenchSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSlots = 8192;

void Die(const std::string& what)
{
    std::fprintf(stderr, "pack-bench: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Writes a pack whose first `entries` slots hold `sectorsPerEntry` sectors
// each, every entry filled with its own byte.
void WritePack(const std::string& path, int entries, std::uint32_t sectorsPerEntry)
{
    std::vector<unsigned char> directory(65536);
    for (std::uint32_t slot = 0; slot < static_cast<std::uint32_t>(entries); ++slot) {
        const std::uint32_t start = slot * sectorsPerEntry;
        std::memcpy(&directory[slot * 8], &start, 4);
        std::memcpy(&directory[slot * 8 + 4], &sectorsPerEntry, 4);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        Die(path);
    std::fwrite(directory.data(), 1, directory.size(), f);
    const std::size_t entrySize = std::size_t{sectorsPerEntry} * 2048;
    std::vector<char> block(std::min<std::size_t>(entrySize, 1 << 20));
    for (int slot = 0; slot < entries; ++slot) {
        std::memset(block.data(), slot & 0xff, block.size());
        for (std::size_t left = entrySize; left > 0; left -= std::min(left, block.size()))
            std::fwrite(block.data(), 1, std::min(left, block.size()), f);
    }
    if (std::fclose(f) != 0)
        Die(path);
}

// The baseline: read the directory, then copy each entry into a new file of
// its own with the in-kernel copy. No names beyond the slot number, no log.
int Baseline(const std::string& pack, const std::string& outDir)
{
    const int in = ::open(pack.c_str(), O_RDONLY);
    if (in < 0)
        Die(pack);
    std::vector<unsigned char> directory(65536);
    if (::pread(in, directory.data(), directory.size(), 0) != 65536)
        Die(pack);
    for (int slot = 0; slot < kSlots; ++slot) {
        std::uint32_t start, count;
        std::memcpy(&start, &directory[slot * 8], 4);
        std::memcpy(&count, &directory[slot * 8 + 4], 4);
        off_t offset = 65536 + off_t{start} * 2048;
        std::uint64_t left = std::uint64_t{count} * 2048;
        const std::string name = outDir + "/" + std::to_string(slot);
        const int out = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (out < 0)
            Die(name);
        while (left > 0) {
            const ssize_t n = ::copy_file_range(in, &offset, out, nullptr, left, 0);
            if (n <= 0)
                Die(name);
            left -= static_cast<std::uint64_t>(n);
        }
        ::close(out);
    }
    ::close(in);
    return 0;
}

using Sample = eit::bench::ChildRun;

Sample RunProcess(const std::vector<std::string>& args)
{
    return eit::bench::RunChild("pack-bench", args);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// "median (min-max)" of values, each printed with format.
std::string Spread(const std::vector<double>& values, const char* format)
{
    char text[128];
    const std::string f = std::string(format) + " (" + format + "-" + format + ")";
    std::snprintf(text, sizeof text, f.c_str(), Median(values), *std::min_element(values.begin(), values.end()),
                  *std::max_element(values.begin(), values.end()));
    return text;
}

void MeasureSpeed(const std::string& driverPath, const std::string& self, const std::string& dir, const std::string& label, std::uint32_t sectors,
                  int runs)
{
    const std::string pack = dir + "/" + label + ".bin";
    const std::string extlist = dir + "/extlist.txt";
    WritePack(pack, kSlots, sectors);
    std::vector<double> driverTimes, baselineTimes, ratios;
    long peak = 0;
    // Every run writes into a folder of its own: new files right after a
    // large delete are slowed by the file system looking for inodes it may
    // not reuse yet, and that slowdown would land on whichever side ran next.
    auto driver = [&](const std::string& out) {
        fs::create_directories(out);
        ::sync();
        return RunProcess({driverPath, "--extlist", extlist, "--output", out, pack});
    };
    auto baseline = [&](const std::string& out) {
        fs::create_directories(out);
        ::sync();
        return RunProcess({self, "--baseline", pack, out});
    };
    for (int i = 0; i < runs; ++i) {
        const std::string out = dir + "/out-" + std::to_string(i);
        // Take turns at running first.
        Sample d{}, b{};
        if (i % 2 == 0) {
            d = driver(out + "-driver");
            b = baseline(out + "-baseline");
        } else {
            b = baseline(out + "-baseline");
            d = driver(out + "-driver");
        }
        driverTimes.push_back(d.Seconds);
        baselineTimes.push_back(b.Seconds);
        ratios.push_back(d.Seconds / b.Seconds);
        peak = std::max(peak, d.PeakKiB);
    }
    for (int i = 0; i < runs; ++i) {
        fs::remove_all(dir + "/out-" + std::to_string(i) + "-driver");
        fs::remove_all(dir + "/out-" + std::to_string(i) + "-baseline");
    }
    fs::remove(pack);
    std::printf("%-14s driver %s s | in-kernel-copy baseline %s s | paired ratio %s | driver peak memory %.1f MiB\n",
                label.c_str(), Spread(driverTimes, "%.3f").c_str(), Spread(baselineTimes, "%.3f").c_str(),
                Spread(ratios, "%.3f").c_str(), peak / 1024.0);
}

// Longest stretch without an event pump while ExtractPack ran, counting its
// start and its return.
double LongestGap(Clock::time_point start, const std::vector<Clock::time_point>& pumps, Clock::time_point end)
{
    double longest = 0;
    Clock::time_point last = start;
    for (const auto& t : pumps) {
        longest = std::max(longest, Seconds(t - last));
        last = t;
    }
    return std::max(longest, Seconds(end - last));
}

// One in-process extraction of pack into out through a view that records
// when events are pumped. With pressAt, Stop is pressed that long after the
// start; the press takes effect in the next pump, as a click does.
struct ResponseRun {
    double Seconds = 0;
    double LongestGap = 0;
    std::optional<double> PressToPump;   // when the press came before the end
    std::optional<double> PressToReturn;
};

ResponseRun ExtractWithPumpClock(const std::string& pack, const std::string& out, const std::string& extlist,
                                 std::optional<double> pressAt)
{
    fs::remove_all(out);
    ::sync();
    eit::BatchState state;
    state.TargetDir = out;
    state.ExtListPath = extlist;
    eit::test::RecordingView view;
    std::vector<Clock::time_point> pumps;
    pumps.reserve(1000);
    std::atomic<bool> pressed{false};
    Clock::time_point pressTime{}, pressSeen{};
    view.OnEvents = [&] {
        pumps.push_back(Clock::now());
        if (pressed && state.StopFlag == 0) {
            pressSeen = pumps.back();
            state.StopFlag = 1;
        }
    };
    std::thread presser;
    if (pressAt)
        presser = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::duration<double>(*pressAt));
            pressTime = Clock::now();
            pressed = true;
        });
    const auto start = Clock::now();
    eit::ExtractPack(pack, state, view);
    const auto end = Clock::now();
    if (presser.joinable())
        presser.join();
    ResponseRun run{Seconds(end - start), LongestGap(start, pumps, end), {}, {}};
    if (pressAt && state.StopFlag != 0) {
        run.PressToPump = Seconds(pressSeen - pressTime);
        run.PressToReturn = Seconds(end - pressTime);
    }
    return run;
}

void MeasureResponse(const std::string& dir, int runs)
{
    constexpr int kEntries = 16;
    constexpr std::uint32_t kEntrySectors = 128 * 512; // 128 MiB
    const std::string pack = dir + "/big.bin";
    const std::string out = dir + "/response-out";
    const std::string extlist = dir + "/extlist.txt";
    WritePack(pack, kEntries, kEntrySectors);

    std::vector<double> totals, gaps, pressToPump, pressToReturn;
    for (int run = 0; run < runs; ++run) {
        const ResponseRun r = ExtractWithPumpClock(pack, out, extlist, std::nullopt);
        totals.push_back(r.Seconds);
        gaps.push_back(r.LongestGap);
    }
    bool partialLeft = false;
    for (int run = 0; run < runs; ++run) {
        // Presses spread over the first part of the pack, at moments that
        // fall anywhere within an entry.
        const double at = Median(totals) * (0.1 + 0.6 * (run + 0.37) / runs);
        const ResponseRun r = ExtractWithPumpClock(pack, out, extlist, at);
        if (r.PressToReturn) {
            pressToPump.push_back(*r.PressToPump);
            pressToReturn.push_back(*r.PressToReturn);
        }
        for (const auto& entry : fs::recursive_directory_iterator(out))
            if (entry.is_regular_file() && entry.file_size() != std::uint64_t{kEntrySectors} * 2048)
                partialLeft = true;
    }
    fs::remove_all(out);
    fs::remove(pack);
    std::printf("16 x 128 MiB   whole pack %s s | longest time without an event pump %s s (goal < 0.25)\n",
                Spread(totals, "%.2f").c_str(), Spread(gaps, "%.3f").c_str());
    if (pressToReturn.empty())
        std::printf("               Stop: every pack ended before the press\n");
    else
        std::printf("               Stop (%zu presses): to the next pump %s s, to the return %s s (goal < 0.5); %s\n",
                    pressToReturn.size(), Spread(pressToPump, "%.3f").c_str(), Spread(pressToReturn, "%.3f").c_str(),
                    partialLeft ? "A PARTIAL FILE WAS LEFT" : "no partial file left");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--baseline") == 0)
        return Baseline(argv[2], argv[3]);
    std::string dir;
    std::string driverPath = EIT_BATCH_DRIVER;
    int runs = 5;
    bool speed = true;
    bool response = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc)
            dir = argv[++i];
        else if (std::strcmp(argv[i], "--driver") == 0 && i + 1 < argc)
            driverPath = argv[++i];
        else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--speed-only") == 0)
            response = false;
        else if (std::strcmp(argv[i], "--response-only") == 0)
            speed = false;
    }
    const bool ownDir = dir.empty();
    if (ownDir) {
        std::string pattern = (fs::temp_directory_path() / "pack-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            Die("mkdtemp");
        dir = pattern;
    }
    fs::create_directories(dir);
    {
        // One extension line per entry: every file lands in the same folder.
        FILE* f = std::fopen((dir + "/extlist.txt").c_str(), "wb");
        for (int i = 0; i < kSlots; ++i)
            std::fputs("dat\r\n", f);
        std::fclose(f);
    }
    const std::string self = fs::canonical("/proc/self/exe").string();
    std::printf("%d alternating runs each; figures are median (min-max)\n", runs);
    if (speed) {
        MeasureSpeed(driverPath, self, dir, "64KiB-entries", 32, runs);
        MeasureSpeed(driverPath, self, dir, "2KiB-entries", 1, runs);
    }
    if (response)
        MeasureResponse(dir, runs);
    if (ownDir)
        fs::remove_all(dir);
    return 0;
}
