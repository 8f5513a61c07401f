#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace eit {

// An ordered list of 8-bit text lines, the list type every part of the tool
// shares (input lists, result logs, the extension list, replayed lists and the
// text container's lines).
//
// Loading splits at CR LF, lone LF and lone CR; a last line without a line
// end counts, a line end at the very end adds no empty line, and a zero byte
// ends the text. Saving writes every line followed by CR LF. Every indexed
// access outside the list throws FileError "List index out of bounds (%d)".
//
// The lines share one buffer, so a list costs its text plus about 16 bytes
// a line, however short the lines; text a Put or Delete leaves unused is
// reclaimed once it outweighs the lines.
class LineList {
public:
    LineList() = default;

    int Count() const { return static_cast<int>(FLines.size()); }
    bool Empty() const { return FLines.empty(); }

    // The line in place: valid until the list next changes.
    std::string_view Get(int index) const;
    void Put(int index, std::string_view text);
    void Add(std::string_view text);
    void Insert(int index, std::string_view text); // index may equal Count()
    void Delete(int index);
    // Empties the list and gives its memory back.
    void Clear();
    // A hint that n lines will follow. The list grows without moving what
    // it holds, so it needs no room up front.
    void Reserve(std::size_t n) { static_cast<void>(n); }

    // A copy of every line, in order.
    std::vector<std::string> Items() const;

    // Replaces the content with the lines of text.
    void SetText(std::string_view text);
    // The lines joined, each followed by CR LF.
    std::string Text() const;

    // What the lines of a file hold: names of files and types, which must be
    // UTF-8 on Windows (CheckNameText), or text kept as its bytes.
    enum class Content { Names, Bytes };
    // Reads the file no further than its first zero byte. Throws FileError
    // "Cannot open file %s" when it cannot be read or is no regular file,
    // "Out of memory reading %s" when its lines do not fit in memory, and for
    // Names what CheckNameText throws.
    void LoadFromFile(const std::string& path, Content content = Content::Names);
    // Replaces the file atomically: a reader sees the old file or the complete
    // new one, never a part. Throws FileError "Cannot create file %s".
    void SaveToFile(const std::string& path) const;

private:
    // Where one line's text lies in FText.
    struct Span {
        std::size_t Start = 0;
        std::size_t Size = 0;
    };

    void CheckIndex(int index, int limit) const;
    // Appends text to FText and returns where it lies.
    Span Store(std::string_view text);
    // Replaces the content with the lines of text, reusing its buffer.
    void Split(std::string text);
    // Drops the text no line uses once there is more of it than of used text.
    void Reclaim();

    std::string FText;
    // A deque: growing it never holds the old and the new copy at once.
    std::deque<Span> FLines;
    std::size_t FUsed = 0; // bytes of FText that lines use
};

} // namespace eit
