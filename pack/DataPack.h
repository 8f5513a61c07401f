#pragma once

#include "BatchState.h"
#include "LineList.h"
#include "PackDirectory.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace eit {

// Hexadecimal digits used for slot numbers among `count` slots: 2, 4, 6, ...
// chosen so that the largest digit group covers count (256 slots need 4).
int HexDigitsFor(std::uint32_t count);
// A slot's number as output names and messages give it: HexDigitsFor(kPackSlots)
// upper-case hexadecimal digits ("00A7").
std::string SlotText(int slot);

// The pack's base name: its file name up to the first "."; the whole name
// when it has none. Every output file of pack p is named after it.
std::string PackBaseName(const std::string& p);

// The name of slot `slot` of pack p relative to the output folder:
// "EXT/BASE_SSSS.ext", EXT the extension upper-cased, BASE the pack's base
// name and SSSS the slot in HexDigitsFor(kPackSlots) upper-case hex digits.
// An empty ext (an empty extension line) stands for "raw".
std::string OutputName(const std::string& p, int slot, std::string_view ext);

// Whether ext can name both a folder and a file extension below the output
// folder on every system the files may move to: no trailing space or dot
// (so neither "." nor ".."), none of < > : " | ? * \ / nor a control
// character, and no device name that Windows reserves (CON, COM1, ...).
bool IsFileExtension(std::string_view ext);

// The extension list at listPath, its first `used` lines (those a pack of
// `used` non-empty slots names its files with) checked by IsFileExtension.
// Throws FileError "Cannot open file %s", "Out of memory reading %s" and
// "Extension list %s line %d: \"%s\" cannot be a file extension" (the line
// numbered from 1).
LineList LoadCheckedExtensionList(const std::string& listPath, int used);

// The full output path of relative name r for pack p, without touching the
// disk.
std::string OutputPathFor(const BatchState& state, const std::string& p, const std::string& r);

// Creates the missing folders of output file path (as OutputPathFor gives
// it) below TargetDir; TargetDir itself may be a link. Throws FileError
// "Cannot create file %s" with path when a folder cannot be created or a
// link, or anything but a folder, stands where one goes below TargetDir:
// nothing is ever written through it.
void CreateOutputFolders(const BatchState& state, const std::string& path);

// The full output path of relative name r for pack p: below TargetDir,
// mirroring p's folder below ScanRoot when the list came from a directory
// scan. Creates the missing folders of the path as CreateOutputFolders does
// and throws its error.
std::string MakeOutputPath(const BatchState& state, const std::string& p, const std::string& r);

// Extracts every non-empty slot of pack p to its own file and appends one
// ResultLog line per slot (the output path, or "NULL"), naming the slots
// with the extension list ExtensionListOf(state.ExtListPath, p); a list
// with more lines than the pack needs is said through view.AppendWarning
// (ExtensionListTooLong) and used. The Progress bar
// shows the share of the pack's entry bytes copied (of its slots when the
// entries hold no bytes), 0..99; the bar, the Extracted caption and the
// event pump are touched only when the position changes, also within a
// large entry. StopFlag ends the pack between slots and between the chunks
// of a large entry; an entry stopped midway leaves no file and no line.
// Throws FileError: "Cannot open file %s" (pack missing, unreadable or no
// regular file), LoadExtensionList's errors,
// "Data pack %s is shorter than its 65536-byte directory",
// "Extension list %s line %d: \"%s\" cannot be a file extension" (a line
// the pack would use, numbered from 1, fails IsFileExtension; checked
// before anything is written),
// ExtensionListTooShort's "List index out of bounds (%d)" and its second
// line (extension list too short),
// "Cannot create file %s", "Stream read error: %s" (an entry past the pack's end, or a read failure).
// An output file is only ever replaced by a complete one.
void ExtractPack(const std::string& p, BatchState& state, BatchView& view);

} // namespace eit
