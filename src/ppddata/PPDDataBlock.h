// PPDDataBlock: reading the named data blocks that the spooler side stores in a queue's PPD.
//
// A block named N is one zlib stream cut into chunks of at most 158 bytes; chunk k is the Base64
// value of the PPD attribute N followed by k as four lower-case hex digits ("*N0000: \"...\"").
// The chunks run from 0 without gaps and end at the first missing attribute or the first empty
// one (the writer adds an empty one after the last chunk).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

typedef struct ppd_file_s ppd_file_t;  // from <cups/ppd.h>

// Reads block `name` from `ppd`. Returns the data as a malloc'd buffer (release it with free())
// followed by one NUL byte that *datasize does not count. *datasize is set to 0 first (when
// `datasize` is not null) and to the data length at the end.
// Null when `ppd` or `name` is null, when the attribute name0000 is missing, or when memory runs
// out. A chunk that is not Base64 or decodes to nothing ends the data; a chunk that zlib rejects
// is reported on standard error ("ERROR: inflate returned %d (%s)") and the following chunks are
// still fed. Data beyond 16,777,216 bytes is not kept.
char* ppdxReadData(ppd_file_t* ppd, char const* name, size_t* datasize);

namespace quill {
class PPDDataBlocks;
}

// As above, from the block attributes that the parser collected from a PPD file: the same data and
// the same failures as reading that file through libcups.
char* ppdxReadData(const quill::PPDDataBlocks& blocks, char const* name, size_t* datasize);

namespace quill {

// Prefix put in front of every block name the panel asks for ("PopupJnData" is stored as the
// attributes KRPopupJnData0000, ...).
inline constexpr std::string_view kDataBlockKeyPrefix = "KR";

// Reads block `key` (the full attribute prefix, "KR" included) of the PPD file at `ppd_path` and
// returns its data: from the blocks that a parse of that file collected while the parsed tree is
// alive and the file unchanged (PPDDataBlocks::ForFile), otherwise by opening the file with
// libcups. Empty when the path or key is empty, the file does not open as a PPD, or the block is
// missing or empty.
std::string ReadPPDDataBlock(const std::string& ppd_path, const std::string& key);

}  // namespace quill
