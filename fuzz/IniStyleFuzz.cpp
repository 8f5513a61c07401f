// Loads the input as an IniStyle file and reads it whole: every read ends,
// the length announced before a read is the size of what it returns, the total
// size is the sum of the texts, and the file itself stays as it was.
//
// Input: a flags byte (AsciiZ, SingleLine, LinuxFormat, NoErrors), TextAlign
// as a signed byte, a block number to go back to, then the file.

#include "FileError.h"
#include "FuzzSupport.h"
#include "TextMarkers.h"
#include "TextObject.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace eit::fuzz;

    InputReader in(data, size);
    const std::uint8_t flags = in.Byte();
    const auto align = static_cast<std::int8_t>(in.Byte());
    const std::uint8_t backTo = in.Byte();
    const std::string file(in.Rest());
    const std::string path = Scratch().File("texts.ini");
    WriteBytes(path, file);

    TTextObject texts;
    texts.TextStyle = TTextObject::IniStyle;
    texts.AsciiZ = flags & 1;
    texts.SingleLine = flags & 2;
    texts.LinuxFormat = flags & 4;
    texts.NoErrors = flags & 8;
    texts.TextAlign = align;
    texts.FileName = path;
    const std::int32_t status = texts.New(TTextObject::omRead);
    Check(status == texts.Status(), "New returned another status than it kept");

    const std::int32_t total = texts.GetSize();
    std::int64_t sum = 0;
    for (std::int32_t read = 0;; ++read) {
        Check(read <= texts.Count(), "reading does not end");
        const std::int32_t announced = texts.GetCurrentLength();
        const std::string text = texts.Read();
        // A file may hold the marker texts themselves: only the announced
        // length tells them from the markers.
        if (announced == -1) {
            if (text == eit::kOutOfText)
                break;
            Check(text == eit::kNoText, "no length announced for a text that was read");
            sum += texts.GetStringLength("");
        } else {
            Check(announced == texts.GetStringLength(text), "announced length differs from the text read");
            sum += announced;
        }
    }
    if (status == 0)
        Check(total == std::min<std::int64_t>(sum, INT32_MAX), "the total size is not the sum of the texts");
    else
        Check(total == 0 && sum == 0, "texts read from a file whose numbers have a gap");

    texts.SetPosition(backTo);
    texts.Read();
    texts.GetCharString("[0x", "]");
    const std::string_view some(file);
    texts.GetCharString(some.substr(0, 4), some.substr(std::min<std::size_t>(4, some.size()), 3));

    Check(ReadBytes(path) == file, "reading changed the file");
    return 0;
}
