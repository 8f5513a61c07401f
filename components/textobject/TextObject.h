#pragma once

#include "IniBlockIndex.h"
#include "LineList.h"

#include <QObject>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A non-visual component that keeps a numbered sequence of texts (numbered
// from 0 in the order they were written) in a translation text file, and
// reports the bytes each text takes as a byte string: one more for a
// terminating zero with AsciiZ, rounded up to a multiple of TextAlign.
//
// TextStyle picks one of two layouts:
// - IniStyle: a file of blocks, each opened by a header line "[0x" + the
//   block number in 8 upper-case hexadecimal digits + "]". Written one block
//   per Write, read by loading the whole file with New.
// - BlanshStyle: records in the line list Lines(): a separator line, a header
//   line, the text and an end line. LoadText fills the list, SaveText stores it.
//
// Texts are 8-bit byte strings. The component reports problems in-band
// (marker texts from Read, status bits from New, -1 from size queries, lines
// in Log()); the only exceptions it lets through are eit::FileError from the
// file layer (an IniStyle file that exists but cannot be read, LoadText and
// SaveText) and the line list's "List index out of bounds (%d)" when a
// BlanshStyle operation runs off a list that does not consist of whole records.
class TTextObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(TTextTypes TextType MEMBER TextType)
    Q_PROPERTY(TObjectStyle TextStyle MEMBER TextStyle)
    Q_PROPERTY(bool NoErrors MEMBER NoErrors)
    Q_PROPERTY(bool AsciiZ MEMBER AsciiZ)
    Q_PROPERTY(bool CRC MEMBER CRC)
    Q_PROPERTY(bool SingleLine MEMBER SingleLine)
    Q_PROPERTY(bool ClearBounds MEMBER ClearBounds)
    Q_PROPERTY(bool LinuxFormat MEMBER LinuxFormat)
    Q_PROPERTY(std::int32_t TextAlign MEMBER TextAlign)

public:
    enum TTextTypes : std::uint8_t { ttIndexed = 0, ttPlain = 1, ttStringDepeneded = 2 };
    Q_ENUM(TTextTypes)
    enum TObjectStyle : std::uint8_t { BlanshStyle = 0, IniStyle = 1 };
    Q_ENUM(TObjectStyle)
    // omWrite starts a new, empty IniStyle file; every other value loads the
    // file, and any value but omRead also lets writes append to it.
    enum TOpenModes : std::uint8_t { omRead = 0, omWrite = 1 };
    Q_ENUM(TOpenModes)

    // Status bits of the last IniStyle open.
    static constexpr std::int32_t kStatusNotFound = INT32_MIN;   // bit 0x80000000
    static constexpr std::int32_t kStatusGap = 0x40000000;

    // What the existence test of the IniStyle open found.
    struct TSearchRec {
        std::int64_t Time = 0;   // last modification, seconds since the epoch
        std::int64_t Size = 0;
        std::uint32_t Attr = 0;  // the file's mode bits
        std::string Name;
    };

    explicit TTextObject(QObject* owner = nullptr);
    ~TTextObject() override;

    // Puts TTextObject on the palette page "Translation Tools".
    static void Register();

    // Operations handed to the layout that TextStyle selects.

    // Empties Log() and opens the layout afresh. IniStyle: returns the new
    // status (0, kStatusNotFound or kStatusGap); BlanshStyle: returns 0.
    // unused is accepted for callers that pass it and ignored.
    std::int32_t New(TOpenModes mode, std::int32_t unused = 0);
    // The next text, or kOutOfText / kNoText.
    std::string Read();
    void Write(std::string text);
    // BlanshStyle replaces the text of the record at the current line;
    // IniStyle has no rewriting and appends a new block like Write.
    void Rewrite(std::string text);
    // Total size of all texts; IniStyle gives -1 when opened with omWrite.
    std::int32_t GetSize();
    void SetPosition(std::int32_t number);

    // IniStyle.

    // Sets the mode and resets the counters. omWrite creates (or empties)
    // FileName; any other mode loads it, or sets kStatusNotFound when it does
    // not exist. Returns the status. Throws eit::FileError when the file
    // exists but cannot be read.
    std::int32_t NewINI(TOpenModes mode, std::int32_t unused);
    // Loads FileName, indexes its block headers and checks that their numbers
    // run without a gap (unless NoErrors); a gap sets kStatusGap, adds one
    // "Block 0x%08X not found!" line per gap to Log() and empties the index.
    void PreloadINI();
    std::string ReadINI();
    // Appends the block "[0x%08X]" CR LF text CR LF, numbered Position(), with
    // every LF of the text stored as CR LF; the text ends at its first zero
    // byte. Ignored when opened with omRead. A file that cannot be opened
    // gets nothing, and a failed write leaves the file as it was; either
    // sets kStatusNotFound and adds "Cannot write file %s" to Log().
    void WriteINI(std::string_view text);
    // Sum of the sizes of all loaded texts (a missing block counts as an empty
    // text); -1 after omWrite, 0 when a gap emptied the index.
    std::int32_t GetIniSize() const;
    // Makes block index the next to read; values outside 0..Count()-1 are
    // ignored.
    void SetIniPos(std::int32_t index);
    // The bytes of the loaded text between the first occurrence of startText
    // (plus the line end after it) and the next occurrence of endText, without
    // the line end before it; kNoText when startText does not occur.
    std::string GetCharString(std::string_view startText, std::string_view endText) const;
    // text, up to its first zero byte, with its line ends converted as
    // LinuxFormat (LF) and SingleLine (none) ask; unchanged when neither is set.
    std::string MakeString(std::string_view text) const;
    // The size of text by the AsciiZ / TextAlign rule.
    std::int32_t GetStringLength(std::string_view text) const;
    // Size of the text the next ReadINI returns, or -1 when there is none.
    std::int32_t GetCurrentLength() const;

    // BlanshStyle.

    void NewBlansh();
    // Replaces the list with the lines of file name (CR LF, LF or CR). Returns
    // false, changing nothing, when the file does not exist. Throws
    // eit::FileError when it exists but cannot be read (the list is then
    // already emptied).
    bool LoadText(const std::string& name);
    // Stores the list in file name, every line followed by CR LF, replacing the
    // file atomically. Throws eit::FileError "Cannot create file %s".
    void SaveText(const std::string& name) const;
    // Inserts a record for text at the current line.
    void WriteBlansh(std::string text);
    // Replaces the text of the record at the current line, keeping its header;
    // appends a new record at the end of the list.
    void RewriteBlansh(std::string text);
    // The text of the record at the current line (its lines joined with CR LF,
    // LF or nothing), also added to Log(); kOutOfText when fewer than three
    // lines remain.
    std::string ReadBlansh();
    std::int32_t GetBlanshSize() const;
    // Moves to record number by walking over separator lines.
    void SetBlanshPos(std::int32_t number);
    // text without any blank (code 32).
    static std::string ClearString(std::string_view text);
    // With ClearBounds, text without blanks and tabs at either end; otherwise
    // text unchanged.
    std::string EraseSpace(std::string_view text) const;

    // State, for the component's users.
    std::int32_t Status() const { return FStatus; }
    std::int32_t FileSize() const { return FFileSize; }
    TOpenModes OpenMode() const { return FOpenMode; }
    const TSearchRec& SearchRec() const { return FSearchRec; }
    std::int32_t Position() const { return FPosition; }
    std::int32_t Line() const { return FLine; }
    std::int32_t Count() const { return FCount; }
    // BlanshStyle: the lines of the text; IniStyle: the block index, one
    // IniBlockName per header in file order plus the number that follows.
    const eit::LineList& Lines() const { return FLines; }
    const eit::LineList& Log() const { return FLog; }
    // The loaded IniStyle text up to its first zero byte.
    std::string_view LoadedText() const;

private:
    std::int64_t SizeOf(std::size_t length) const;
    static std::int32_t ClampSize(std::int64_t size);
    std::optional<std::string_view> FindBlock(std::int32_t index) const;
    std::string JoinRecordLines(std::int32_t& line, std::string_view lineEnd) const;

    std::int32_t FStatus = 0;
    std::int32_t FFileSize = 0;
    TOpenModes FOpenMode = omRead;
    TSearchRec FSearchRec;
    // The loaded IniStyle file; std::string keeps a zero byte after it.
    std::string FBuffer;
    std::size_t FTextLength = 0;   // up to the first zero byte
    eit::IniBlockIndex FBlocks;

public:
    TTextTypes TextType = ttIndexed;
    TObjectStyle TextStyle = BlanshStyle;
    std::int32_t TextAlign = 1;

private:
    std::int32_t FPosition = 0;
    std::int32_t FLine = 0;
    std::int32_t FCount = 0;

public:
    bool AsciiZ = false;
    bool SingleLine = false;
    bool CRC = false;
    bool ClearBounds = false;
    bool LinuxFormat = false;
    bool NoErrors = false;

private:
    eit::LineList FLines;

public:
    // The IniStyle file; assign it before New.
    std::string FileName;

private:
    eit::LineList FLog;
};
