// Loads the input as a BlanshStyle line list and runs a sequence of
// operations chosen by the input on it. A list that does not consist of whole
// records may end an operation with the line list's index error and nothing
// else; saving the list and loading it again gives the same lines; the loaded
// file stays as it was.
//
// Input: the number of operation bytes and the operations (low three bits:
// which, the rest: its argument), a flags byte (AsciiZ, SingleLine,
// LinuxFormat, ClearBounds, CRC, two bits of TextType), TextAlign as a signed
// byte, then the file.

#include "FileError.h"
#include "FuzzSupport.h"
#include "TextObject.h"

namespace {

using namespace eit::fuzz;

void Run(TTextObject& texts, std::uint8_t op, std::string& lastRead)
{
    const int arg = op >> 3;
    switch (op & 7) {
    case 0: lastRead = texts.Read(); break;
    case 1: texts.Write("w " + std::to_string(arg) + " \t"); break;
    case 2: texts.Rewrite(" r" + std::to_string(arg)); break;
    case 3: texts.SetPosition(arg - 8); break;
    case 4: texts.GetSize(); break;
    case 5: lastRead = texts.EraseSpace(TTextObject::ClearString(lastRead)); break;
    case 6: {
        const std::string saved = Scratch().File("saved.txt");
        texts.SaveText(saved);
        TTextObject again;
        Check(again.LoadText(saved), "a saved list cannot be found");
        Check(again.Lines().Items() == texts.Lines().Items(), "a saved list loads back differently");
        break;
    }
    default: texts.New(TTextObject::omRead); break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    InputReader in(data, size);
    const std::string ops(in.Take(in.Byte() % 64));
    const std::uint8_t flags = in.Byte();
    const auto align = static_cast<std::int8_t>(in.Byte());
    const std::string file(in.Rest());
    const std::string path = Scratch().File("texts.txt");
    WriteBytes(path, file);

    TTextObject texts;
    texts.AsciiZ = flags & 1;
    texts.SingleLine = flags & 2;
    texts.LinuxFormat = flags & 4;
    texts.ClearBounds = flags & 8;
    texts.CRC = flags & 16;
    texts.TextType = static_cast<TTextObject::TTextTypes>(flags >> 5 & 3);
    texts.TextAlign = align;
    Check(texts.LoadText(path), "an existing file was not loaded");
    Check(ReadBytes(path) == file, "loading changed the file");

    std::string lastRead;
    for (const char op : ops) {
        try {
            Run(texts, static_cast<std::uint8_t>(op), lastRead);
        } catch (const eit::FileError& e) {
            Check(std::string_view(e.what()).starts_with("List index out of bounds ("),
                  std::string("unexpected error: ") + e.what());
        }
    }
    Check(ReadBytes(path) == file, "the operations changed the loaded file");
    return 0;
}
