// Loads the input as a line list and checks what loading promises: no line
// holds a line end or a zero byte, the lines take no more bytes than the text
// up to its first zero byte, and saving and loading again gives the same lines.

#include "FileError.h"
#include "FuzzSupport.h"
#include "LineList.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace eit;
    using eit::fuzz::Check;

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    LineList lines;
    lines.SetText(text);

    const std::size_t end = std::min(text.find('\0'), text.size());
    std::size_t bytes = 0;
    for (const std::string& line : lines.Items()) {
        Check(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos,
              "a line holds a line end or a zero byte");
        bytes += line.size();
    }
    Check(bytes <= end, "the lines hold more bytes than the text");
    Check(lines.Count() <= static_cast<int>(end), "more lines than bytes");

    LineList again;
    again.SetText(lines.Text());
    Check(again.Items() == lines.Items(), "saved lines load back differently");
    if (lines.Count() > 0) {
        Check(lines.Get(lines.Count() - 1) == lines.Items().back(), "the last line is out of reach");
        try {
            lines.Get(lines.Count());
            eit::fuzz::Fail("an index past the end was accepted");
        } catch (const FileError&) {
        }
    }
    return 0;
}
