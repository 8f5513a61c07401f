#pragma once

#include "FileError.h"
#include "LineList.h"

#include <string>
#include <vector>

namespace eit {

// The extension list that pack p is extracted with: listPath itself, or,
// when listPath names a folder, the list in it named after the pack's base
// name as output names use it: "<listPath>/<PackBaseName(p)>.txt".
std::string ExtensionListOf(const std::string& listPath, const std::string& p);

// The extension list at path, one line per non-empty slot. A UTF-8
// byte-order mark at its start is not part of its first line.
// Throws FileError "Extension list %s is UTF-16 text; save it as UTF-8"
// (it starts with the byte-order mark FF FE or FE FF, or its first bytes
// hold zero bytes in every other place and nowhere else), and what
// LineList::LoadFromFile throws; when the list cannot be opened or read
// (missing, a folder, no permission, a read failure) that message gets a
// second line saying how to give a list or make one.
LineList LoadExtensionList(const std::string& path);

// The FileError of an extension list at listPath of `lines` lines that a
// pack needs more of: "List index out of bounds (<lines>)", the index of
// the first missing line, and on a second line "<listPath> has <lines>
// lines, <pack> needs <needed>; make a starter list with --make-extlist".
FileError ExtensionListTooShort(const std::string& listPath, int lines, const std::string& pack, int needed);

// What is said of an extension list at listPath of `lines` lines used for
// a pack that needs fewer: "Extension list <listPath> has <lines> lines,
// <pack> needs <needed>: is it the list of another pack?"
std::string ExtensionListTooLong(const std::string& listPath, int lines, const std::string& pack, int needed);

// Surveys pack and writes its starter extension list (MakeExtensionList)
// into folder, creating the folder when missing, as the list that
// ExtensionListOf(folder, pack) finds there; returns that list's path. An
// existing file of that name is kept: it may be a list already edited.
// Throws what SurveyPack throws, FileError "Stream read error: <pack>" when
// an entry lies past the pack's end (extraction would fail there; a file
// that is no pack looks so), "Extension list %s exists; remove it to make a
// new one" and "Cannot create file %s".
std::string WriteStarterList(const std::string& pack, const std::string& folder);

} // namespace eit
