// Insertion benchmark: the batch driver replaying a result log that rebuilds
// a 512 MiB pack of 8192 entries of 64 KiB, a tenth of whose files changed
// (half of them grown by a sector, so moved to the end), against `cp` of the
// pack, alternating runs.
//
//   insert-bench [--dir DIR] [--runs N]
//
// Prints each side's median and spread, the median of the paired ratios and
// the driver's peak memory, first with only the changed files left beside
// the log (what users do), then with every extracted file there (the other
// nine tenths compared and found unchanged).

#include "BenchSupport.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace eit::bench;

namespace {

constexpr const char* kProgram = "insert-bench";
constexpr int kSlots = 8192;
constexpr std::size_t kEntry = 64 * 1024;

void Write(const std::string& path, const std::vector<char>& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
        Die(kProgram, path);
}

std::vector<char> EntryBytes(int slot, std::size_t size, int version)
{
    return std::vector<char>(size, static_cast<char>((slot * 7 + version) & 0xff));
}

void WritePack(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        Die(kProgram, path);
    std::vector<unsigned char> directory(65536);
    for (std::uint32_t slot = 0; slot < kSlots; ++slot) {
        const std::uint32_t start = slot * 32, count = 32;
        std::memcpy(&directory[slot * 8], &start, 4);
        std::memcpy(&directory[slot * 8 + 4], &count, 4);
    }
    std::fwrite(directory.data(), 1, directory.size(), f);
    for (int slot = 0; slot < kSlots; ++slot) {
        const std::vector<char> entry = EntryBytes(slot, kEntry, 0);
        std::fwrite(entry.data(), 1, entry.size(), f);
    }
    if (std::fclose(f) != 0)
        Die(kProgram, path);
}

// The files of the pack's slots and the result log naming them: every tenth
// slot changed, every other changed one grown; with all, the unchanged files
// are there too.
std::string WriteFiles(const std::string& dir, const std::string& pack, bool all)
{
    fs::remove_all(dir + "/files");
    fs::create_directories(dir + "/files");
    std::string log = "#Format: BIN\r\n#Source: " + pack + "\r\n";
    for (int slot = 0; slot < kSlots; ++slot) {
        const std::string file = dir + "/files/" + std::to_string(slot) + ".bin";
        log += file + "\r\n";
        if (slot % 10 == 0)
            Write(file, EntryBytes(slot, slot % 20 == 0 ? kEntry + 2048 : kEntry, 1));
        else if (all)
            Write(file, EntryBytes(slot, kEntry, 0));
    }
    const std::string logPath = dir + "/result.log";
    Write(logPath, std::vector<char>(log.begin(), log.end()));
    return logPath;
}

void Measure(const std::string& dir, const std::string& pack, const std::string& label, bool all, int runs)
{
    const std::string log = WriteFiles(dir, pack, all);
    const std::string out = dir + "/out";
    const std::vector<std::string> driver{EIT_BATCH_DRIVER, "--mode", "log", "--output", out, log};
    const std::vector<std::string> copy{"/bin/cp", pack, out + "/DATA.BIN"};
    std::vector<double> driverTimes, copyTimes, ratios;
    long peak = 0;
    auto fresh = [&] {
        fs::remove_all(out);
        fs::create_directories(out);
        ::sync();
    };
    auto rebuild = [&] {
        const ChildRun run = RunChild(kProgram, driver);
        if (fs::file_size(out + "/DATA.BIN") <= fs::file_size(pack))
            Die(kProgram, "the rebuilt pack did not grow");
        return run;
    };
    for (int run = 0; run < runs; ++run) {
        // Writeback of the run before lands on the next one: take turns at
        // going first.
        ChildRun rebuilt{}, copied{};
        fresh();
        if (run % 2 == 0) {
            rebuilt = rebuild();
            fresh();
            copied = RunChild(kProgram, copy);
        } else {
            copied = RunChild(kProgram, copy);
            fresh();
            rebuilt = rebuild();
        }
        driverTimes.push_back(rebuilt.Seconds);
        copyTimes.push_back(copied.Seconds);
        ratios.push_back(rebuilt.Seconds / copied.Seconds);
        peak = std::max(peak, rebuilt.PeakKiB);
    }
    fs::remove_all(out);
    auto spread = [](const std::vector<double>& v) {
        return *std::max_element(v.begin(), v.end()) - *std::min_element(v.begin(), v.end());
    };
    std::printf("%-22s rebuild %.3f s (spread %.3f) | cp %.3f s (spread %.3f) | ratio median %.3f (%.3f..%.3f) | "
                "driver peak memory %.1f MiB\n",
                label.c_str(), Median(driverTimes), spread(driverTimes), Median(copyTimes), spread(copyTimes),
                Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()), peak / 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = ParseOptions(argc, argv, kProgram, 7);
    const std::string pack = options.Dir + "/in/DATA.BIN";
    fs::create_directories(options.Dir + "/in");
    WritePack(pack);
    std::printf("%d alternating runs each; 8192 x 64 KiB, 820 files changed (410 grown)\n", options.Runs);
    Measure(options.Dir, pack, "changed-files-only", false, options.Runs);
    Measure(options.Dir, pack, "all-files-present", true, options.Runs);
    if (options.OwnDir)
        fs::remove_all(options.Dir);
    return 0;
}
