#pragma once

#include "Env.h"
#include "FileError.h"
#include "InsertPlan.h"
#include "PackCopier.h"
#include "SlotFiles.h"

#include <string>

namespace eit {

// The error "Rebuilt pack %s does not hold file %s at slot %04X" for
// changed, out's path first.
FileError NotHeld(const AtomicFile& out, const SlotFiles::ChangedFile& changed);

// Whether entry's bytes in out equal the file at path, padded, the file
// opened anew so that one replaced since it was compared shows. stamp, when
// given, gets the file's stamp from before the reading. Throws FileError
// "Cannot open file %s".
bool HoldsFile(const PackEntry& entry, const std::string& path, const AtomicFile& out, Buffers& buffers,
               FileStamp* stamp);

// Whether no two written pieces of plan share a byte, so that a slot read
// back right after its writing keeps those bytes to the end.
bool PiecesApart(const InsertPlan& plan);

// The last look before the new pack is named: its directory as planned and
// each inserted slot holding its file as that file is now. Each slot was
// read back right after it was written; it is read again only when its
// file has changed since (or, were the plan at fault, when a later piece
// could have written over it). Throws the error of NotHeld for the first
// slot that fails, and "Cannot open file %s" for a file that can no
// longer be read.
void Verify(const InsertPlan& plan, const SlotFiles& files, const AtomicFile& out, Buffers& buffers);

} // namespace eit
