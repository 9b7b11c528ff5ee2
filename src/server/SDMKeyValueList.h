// SDMKeyValueList: a counted array of wide key/value pairs, the form in which settings, presets,
// defaults and server items pass between the host and the job-properties module. The layout is a
// binary interface with the module. Every list is made and released by one SDMAllocator (the
// list block, the entry array and every string).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "server/SDMKeyValue.h"

struct SDMKeyValueList {
  uint64_t count;        // number of entries
  SDMKeyValue* entries;  // `count` entries
};

static_assert(sizeof(SDMKeyValueList) == 16);
static_assert(offsetof(SDMKeyValueList, count) == 0);
static_assert(offsetof(SDMKeyValueList, entries) == 8);

namespace quill {

class SDMAllocator;

using WidePairs = std::vector<std::pair<std::wstring, std::wstring>>;

// Most entries read from a list that came from outside, and the longest string read from it.
inline constexpr std::size_t kMaxListEntries = 3000;
inline constexpr std::size_t kMaxListString = 1 << 16;

// A new list holding copies of `pairs`; null (with everything released) when an allocation fails.
[[nodiscard]] SDMKeyValueList* SDMCreateKeyValueList(const SDMAllocator& allocator,
                                                     const WidePairs& pairs);
// Releases the list, its entries and strings; null is ignored. Null entries or strings are
// skipped, and at most kMaxListEntries entries are looked at when the count is larger.
void SDMFreeKeyValueList(const SDMAllocator& allocator, SDMKeyValueList* list);

// The pairs of a list that came from outside, checked: a null list, or a non-zero count with no
// entries, gives nothing; a count above kMaxListEntries is read as kMaxListEntries (logged);
// entries with a null key are skipped, a null value reads as empty; strings are read up to
// kMaxListString characters.
[[nodiscard]] WidePairs SDMReadKeyValueList(const SDMKeyValueList* list);

// Builds a list from lines "key=value" (the key before the first "=", the value after it; a line
// without "=" is all key with an empty value; each line cut to 4095 characters). 7100 for a null
// `out`; 4096 when an allocation fails (*out null); 0 otherwise (n = 0 gives an empty list).
int SDMAllocKeyValueListFromKeyValueSetWChar(const std::vector<std::wstring>& lines,
                                             const SDMAllocator& allocator, std::size_t n,
                                             SDMKeyValueList** out);

}  // namespace quill
