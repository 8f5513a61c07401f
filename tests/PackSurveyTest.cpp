#include "PackSurvey.h"

#include "FileError.h"
#include "LineList.h"
#include "PackBuilder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <vector>

namespace eit {

void PrintTo(const SurveyedEntry& e, std::ostream* os)
{
    *os << "{slot " << e.Slot << ", " << e.Entry.StartSector << "+" << e.Entry.SectorCount
        << (e.PastEnd ? ", past the end" : "") << ", " << TypeName(e.Type) << "}";
}

namespace {

using namespace std::string_literals;

std::string Le32(std::uint32_t value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
    return bytes;
}

std::string Padded(std::string head, std::size_t size = kSignatureBytes)
{
    head.resize(size, '\0');
    return head;
}

struct SignatureCase {
    const char* Name;
    std::string Head;
    EntryType Type;
    std::string_view Extension;
};

TEST(GuessEntryType, KnowsEachSignatureAndRefusesItsNearMisses)
{
    const std::string tim = "\x10\0\0\0"s;
    const std::string png = "\x89PNG\r\n\x1A\n"s;
    const std::string text = "Opening line\r\n\tindented line\n";
    const SignatureCase cases[] = {
        {"TIM 4-bit with CLUT", Padded(tim + Le32(8) + Le32(44)), EntryType::Tim, "tim"},
        {"TIM 24-bit", Padded(tim + Le32(3) + Le32(12)), EntryType::Tim, "tim"},
        {"TIM mixed mode", Padded(tim + Le32(4) + Le32(44)), EntryType::Unknown, ""},
        {"TIM stray flag bit", Padded(tim + Le32(0x18) + Le32(44)), EntryType::Unknown, ""},
        {"TIM block shorter than its header", Padded(tim + Le32(2) + Le32(11)), EntryType::Unknown, ""},
        {"TIM2", Padded("TIM2\x04\0\x01\0"s), EntryType::Tim2, "tm2"},
        {"TIM3", Padded("TIM3"), EntryType::Unknown, ""},
        {"VAGp", Padded("VAGp" + Le32(0x20000000)), EntryType::Vag, "vag"},
        {"VAGP", Padded("VAGP" + Le32(0x20000000)), EntryType::Unknown, ""},
        {"RIFF/WAVE", Padded("RIFF" + Le32(4000) + "WAVEfmt "), EntryType::Wave, "wav"},
        {"RIFF/AVI", Padded("RIFF" + Le32(4000) + "AVI LIST"), EntryType::Unknown, ""},
        {"OggS", Padded("OggS\0\x02"s), EntryType::Ogg, "ogg"},
        {"Oggs", Padded("Oggs\0\x02"s), EntryType::Unknown, ""},
        {"PNG", Padded(png + Le32(0x0D000000) + "IHDR"), EntryType::Png, "png"},
        {"PNG with a mangled line end", Padded("\x89PNG\r\n\x1A\r"s), EntryType::Unknown, ""},
        {"BMP", Padded("BM" + Le32(4000) + Le32(0) + Le32(54) + Le32(40)), EntryType::Bmp, "bmp"},
        {"BMP reserved word set", Padded("BM" + Le32(4000) + Le32(1) + Le32(54) + Le32(40)), EntryType::Unknown, ""},
        {"BMP odd info size", Padded("BM" + Le32(4000) + Le32(0) + Le32(54) + Le32(41)), EntryType::Unknown, ""},
        {"DDS", Padded("DDS " + Le32(124)), EntryType::Dds, "dds"},
        {"DDS wrong header size", Padded("DDS " + Le32(100)), EntryType::Unknown, ""},
        {"text filling the head", std::string(kSignatureBytes, 'x'), EntryType::Text, "txt"},
        {"text padded with zeros", Padded(text), EntryType::Text, "txt"},
        {"UTF-8 text", Padded("Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC 12"), EntryType::Text, "txt"},
        {"UTF-8 cut at the head's end", std::string(kSignatureBytes - 1, 'x') + "\xE2", EntryType::Text, "txt"},
        {"only the head counts", std::string(kSignatureBytes, 'x') + "\x01", EntryType::Text, "txt"},
        {"text with a control byte", Padded(text + "\x01"), EntryType::Unknown, ""},
        {"text with a stray continuation byte", Padded(text + "\x80"), EntryType::Unknown, ""},
        {"overlong UTF-8", Padded(text + "\xC0\x80"), EntryType::Unknown, ""},
        {"text too short", Padded("short"), EntryType::Unknown, ""},
        {"zeros then data after text", Padded(text + "\0\0x"s), EntryType::Unknown, ""},
        {"all zeros", Padded(""), EntryType::Unknown, ""},
        {"nothing", "", EntryType::Unknown, ""},
    };
    for (const SignatureCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const EntryType type = GuessEntryType(c.Head);
        EXPECT_EQ(type, c.Type);
        EXPECT_EQ(TypeExtension(type), c.Extension);
        EXPECT_EQ(TypeName(type).empty(), type == EntryType::Unknown);
    }
}

class PackSurveyTest : public ::testing::Test {
protected:
    // Writes head over the start of slot's data in pack bytes.
    static void WriteHead(std::string& pack, int slot, std::string_view head)
    {
        PackDirectory::Bytes directory;
        std::memcpy(directory.data(), pack.data(), directory.size());
        pack.replace(PackDirectory::Decode(directory).Entry(slot).Offset(), head.size(), head);
    }

    std::string ErrorOf(const std::string& path) { return test::ErrorOf([&] { SurveyPack(path); }); }

    TempDir Dir;
};

TEST_F(PackSurveyTest, ListsNonEmptySlotsWithTheirGuessesAndStartsTheirExtensionList)
{
    // Five sectors of data; slots 9 and 10 point beyond them (10 only partly).
    PackBuilder builder;
    builder.Entry(0, 1).Entry(2, 2).Entry(5, 1).Entry(0x1FFF, 1).RawSlot(9, 1000, 1).RawSlot(10, 4, 2);
    std::string bytes = builder.Bytes();
    WriteHead(bytes, 0, "\x10\0\0\0\x08\0\0\0\x2C\0\0\0"s);
    WriteHead(bytes, 2, Padded("A line of text\r\n"));
    WriteHead(bytes, 5, "\x89PNG\r\n\x1A\n"s);
    const std::string path = Dir.File("DATA.BIN");
    WriteFile(path, bytes);

    const std::vector<SurveyedEntry> entries = SurveyPack(path);
    const std::vector<SurveyedEntry> expected{
        {0, {0, 1}, false, EntryType::Tim},          {2, {1, 2}, false, EntryType::Text},
        {5, {3, 1}, false, EntryType::Png},          {9, {1000, 1}, true, EntryType::Unknown},
        {10, {4, 2}, true, EntryType::Unknown},      {0x1FFF, {4, 1}, false, EntryType::Unknown},
    };
    EXPECT_EQ(entries, expected);

    EXPECT_EQ(FormatPackList(entries), "slot  StartSector  SectorCount          bytes  type\n"
                                       "0000            0            1           2048  TIM\n"
                                       "0002            1            2           4096  text\n"
                                       "0005            3            1           2048  PNG\n"
                                       "0009         1000            1           2048  (past the end of the pack)\n"
                                       "000A            4            2           4096  (past the end of the pack)\n"
                                       "1FFF            4            1           2048\n"
                                       "6 non-empty slots: the extension list needs 6 lines\n");

    const std::string extlist = MakeExtensionList(entries);
    EXPECT_EQ(extlist, "tim\r\ntxt\r\npng\r\n\r\n\r\n\r\n");
    LineList reread;
    reread.SetText(extlist);
    EXPECT_EQ(reread.Count(), 6);
}

TEST_F(PackSurveyTest, EmptyPackNeedsNoExtensionLines)
{
    const std::string path = Dir.File("EMPTY.BIN");
    WriteFile(path, PackBuilder().Bytes());
    const std::vector<SurveyedEntry> entries = SurveyPack(path);
    EXPECT_EQ(FormatPackList(entries), "slot  StartSector  SectorCount          bytes  type\n"
                                       "0 non-empty slots: the extension list needs 0 lines\n");
    EXPECT_EQ(MakeExtensionList(entries), "");
}

// Tests of all the error paths follow.

TEST_F(PackSurveyTest, RefusesWhatIsNotAWholePackWithTheExtractionsMessages)
{
    const std::string shortPack = Dir.File("short.bin");
    WriteFile(shortPack, PackBuilder().Bytes().substr(0, 65535));
    EXPECT_EQ(ErrorOf(shortPack), "Data pack " + shortPack + " is shorter than its 65536-byte directory");

    std::vector<std::string> unreadable{Dir.File("missing.bin"), Dir.Path()};
    if (!test::kOnWindows) {
        unreadable.push_back(Dir.File("fifo.bin"));
        test::MakeFifo(unreadable.back());
    }
    for (const std::string& path : unreadable)
        EXPECT_EQ(ErrorOf(path), "Cannot open file " + path);
}

} // namespace
} // namespace eit
