// Extracts a data pack built from the input, with an extension list from the
// input, and checks that nothing was lost: the pack and the list are
// untouched, every slot the result log names holds exactly that slot's bytes,
// and no other file (no temporary) is left in the output folder.
//
// Input: a flags byte (bit 0: the rest is the pack file as it stands; bit 1:
// the pack lies below a scanned folder; bit 2: directory entries take four
// bytes per number instead of one), the extension list's length byte and
// text, then either the raw pack or: the number of data sectors (0..15), the
// number of directory entries, the entries (slot as two bytes, start sector,
// sector count) and the bytes that open the data area.

#include "DataPack.h"
#include "FileError.h"
#include "FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>

namespace {

using namespace eit;
using namespace eit::fuzz;

constexpr std::uint8_t kRawPack = 1;
constexpr std::uint8_t kScanned = 2;
constexpr std::uint8_t kWideNumbers = 4;

std::string BuildPack(InputReader& in, std::uint8_t flags)
{
    if (flags & kRawPack)
        return std::string(in.Rest());
    const std::size_t sectors = in.Byte() % 16;
    std::string pack(kPackDirectorySize + sectors * kPackSectorSize, '\0');
    for (std::size_t i = kPackDirectorySize; i < pack.size(); ++i)
        pack[i] = static_cast<char>(i * 31 >> 8);
    PackDirectory directory;
    const int entries = in.Byte() % 64;
    for (int e = 0; e < entries; ++e) {
        const int slot = (in.Byte() | in.Byte() << 8) % kPackSlots;
        const std::uint32_t start = (flags & kWideNumbers) ? in.Le32() : in.Byte();
        const std::uint32_t count = (flags & kWideNumbers) ? in.Le32() : in.Byte();
        directory.SetEntry(slot, {start, count});
    }
    const PackDirectory::Bytes encoded = directory.Encode();
    std::memcpy(pack.data(), encoded.data(), encoded.size());
    const std::string_view head = in.Take(pack.size() - kPackDirectorySize);
    std::memcpy(pack.data() + kPackDirectorySize, head.data(), head.size());
    return pack;
}

void CheckNothingLost(const BatchState& state, const std::string& packPath, const std::string& pack,
                      const std::string& extPath, const std::string& extList, bool completed)
{
    Check(ReadBytes(packPath) == pack, "the pack changed");
    Check(ReadBytes(extPath) == extList, "the extension list changed");
    const LineList& log = state.ResultLog;
    Check(log.Count() <= kPackSlots, "more log lines than slots");
    Check(!completed || log.Count() == kPackSlots, "a completed pack logged fewer lines than slots");
    // A pack too short for its directory logs nothing.
    Check(log.Count() == 0 || pack.size() >= kPackDirectorySize, "a pack without a directory logged slots");
    PackDirectory::Bytes bytes{};
    std::memcpy(bytes.data(), pack.data(), std::min<std::size_t>(pack.size(), bytes.size()));
    const PackDirectory directory = PackDirectory::Decode(bytes);
    std::set<std::string> written;
    for (int slot = 0; slot < log.Count(); ++slot) {
        const std::string line(log.Get(slot));
        const PackEntry& entry = directory.Entry(slot);
        if (entry.SectorCount == 0) {
            Check(line == "NULL", "an empty slot logged as " + line);
            continue;
        }
        Check(entry.Offset() + entry.Length() <= pack.size(), "a slot past the end was logged as extracted");
        Check(ReadBytes(line) == pack.substr(entry.Offset(), entry.Length()),
              "extracted file " + line + " differs from its slot");
        written.insert(std::filesystem::path(line).lexically_normal().string());
    }
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(state.TargetDir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory())
            continue;
        const std::string path = it->path().lexically_normal().string();
        Check(written.count(path) == 1, "file " + path + " was left in the output folder");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    InputReader in(data, size);
    const std::uint8_t flags = in.Byte();
    const std::string extList(in.Take(in.Byte()));
    const std::string pack = BuildPack(in, flags);

    const ScratchDir& dir = Scratch();
    BatchState state;
    state.TargetDir = dir.File("out");
    state.ExtListPath = dir.File("extlist.txt");
    std::error_code ec;
    std::filesystem::remove_all(state.TargetDir, ec);
    std::filesystem::create_directories(dir.File("in/sub"));
    WriteBytes(state.ExtListPath, extList);
    std::string packPath = dir.File("p.bin");
    if (flags & kScanned) {
        state.ScannedList = true;
        state.ScanRoot = dir.File("in");
        packPath = dir.File("in/sub/p.bin");
    }
    WriteBytes(packPath, pack);

    NullView view;
    bool completed = false;
    try {
        ExtractPack(packPath, state, view);
        completed = true;
    } catch (const FileError&) {
        // Every failure of a hostile pack must be one of ours, naming its cause.
    }
    CheckNothingLost(state, packPath, pack, state.ExtListPath, extList, completed);
    return 0;
}
