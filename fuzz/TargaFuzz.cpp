// Loads the input as a TGA file, swaps red and blue twice, saves it and loads
// the saved file again: the swaps undo each other, the second load gives the
// same header and pixels, the saved file has the size its header announces,
// and the loaded file stays as it was. A failed load changes nothing.
// Then converts the picture to another depth and resizes it.

#include "FileError.h"
#include "FuzzSupport.h"
#include "TTarga.h"

#include <stdexcept>

namespace {

using namespace eit::fuzz;

// Pictures above this are refused by the target to keep runs fast; the load
// limit itself is tested elsewhere.
constexpr std::uint64_t kFuzzPictureBytes = std::uint64_t{1} << 20;

std::uint64_t AnnouncedBytes(const TTarga::HeaderBytes& defaults, std::string_view file)
{
    TTarga::HeaderBytes header = defaults;
    for (std::size_t i = 0; i < header.size() && i < file.size(); ++i)
        header[i] = static_cast<std::uint8_t>(file[i]);
    const std::uint64_t width = header[12] | header[13] << 8;
    const std::uint64_t height = header[14] | header[15] << 8;
    return width * height * std::max<std::uint64_t>(4, (header[16] + 7) / 8);
}

std::uint64_t FileRowBytes(const TTarga& targa)
{
    return std::uint64_t{targa.Width()} * ((targa.GetDepth() + 7) / 8);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string file(reinterpret_cast<const char*>(data), size);
    // Header bytes a short file lacks keep their values: make those a small
    // picture, so that short inputs stay fast.
    TTarga targa;
    targa.SetDepth(32);
    targa.SetWidth(7);
    targa.SetHeight(5);
    if (AnnouncedBytes(targa.Header(), file) > kFuzzPictureBytes)
        return 0;
    const std::string path = Scratch().File("in.tga");
    const std::string saved = Scratch().File("saved.tga");
    WriteBytes(path, file);

    const TTarga::HeaderBytes before = targa.Header();
    const QImage* store = targa.Canvas();
    try {
        targa.LoadFromFile(path);
    } catch (const eit::FileError&) {
        Check(targa.Header() == before && targa.Canvas() == store, "a failed load changed the picture");
        return 0;
    }
    Check(ReadBytes(path) == file, "loading changed the file");
    Check(targa.Canvas() != nullptr, "no pixel store after a load");
    const QImage loaded = targa.Canvas()->copy();
    targa.ReverseColors();
    targa.ReverseColors();
    Check(*targa.Canvas() == loaded, "swapping red and blue twice changed the picture");

    targa.SaveToFile(saved);
    const std::uint64_t expected = 18 + std::uint64_t{targa.Height()} * FileRowBytes(targa) + 26;
    Check(ReadBytes(saved).size() == expected, "the saved file has another size than its header says");
    TTarga again;
    again.LoadFromFile(saved);
    Check(again.Header() == targa.Header(), "the saved header loads back differently");
    Check(*again.Canvas() == *targa.Canvas(), "the saved pixels load back differently");

    const int height = targa.Canvas()->height();
    for (int row = 0; row < height; ++row)
        Check(targa.GetScanLine(row) != nullptr, "a row without pixels");
    try {
        targa.GetScanLine(height);
        Fail("a row below the picture was handed out");
    } catch (const std::out_of_range&) {
    }

    static const quint16 kDepths[] = {15, 16, 24, 32, 8, 0};
    targa.SetResetImage(size % 2 == 0);
    targa.SetDepth(kDepths[size % 6]);
    targa.SetWidth(targa.Width() / 2);
    targa.SetHeight(targa.Height() + 1);
    targa.ReverseColors();
    targa.SaveToFile(saved);
    return 0;
}
