#pragma once

#include <cstddef>
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
class LineList {
public:
    LineList() = default;

    int Count() const { return static_cast<int>(FItems.size()); }
    bool Empty() const { return FItems.empty(); }

    const std::string& Get(int index) const;
    void Put(int index, std::string text);
    void Add(std::string text) { FItems.push_back(std::move(text)); }
    void Insert(int index, std::string text);   // index may equal Count()
    void Delete(int index);
    void Clear() { FItems.clear(); }
    void Reserve(std::size_t n) { FItems.reserve(n); }

    const std::vector<std::string>& Items() const { return FItems; }

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
    void CheckIndex(int index, int limit) const;

    std::vector<std::string> FItems;
};

} // namespace eit
