// PPDDataBlockUpdate: changing a data block of a queue's PPD from what it holds now, in one step
// that no other writer can come between.
//
// ppdxWriteData replaces a block whole. A writer that builds the new data from the old one (the
// pop-up job-note dictionary, which holds one entry per user) must read the block under the same
// lock that it writes it under, or two writers that read before either writes lose one update.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Rewrites block `name` (full attribute prefix, e.g. "KRPopupJnData") of the PPD file at `ppdPath`
// under the exclusive lock that ppdxWriteData takes: reads the file, calls `update` with the
// block's current data (empty when the block is missing or unreadable) and stores what it returns
// in the block's place, in place, as ppdxWriteData does. When `update` returns nothing, the file is
// left as it is. 0 on success (also when nothing was stored); -1 for bad arguments or new data
// over 16,777,216 bytes; -2 when the file cannot be opened, locked, read or written (errno kept).
int ppdxUpdateData(const char* ppdPath, const char* name,
                   const std::function<std::optional<std::string>(std::string_view current)>& update);
