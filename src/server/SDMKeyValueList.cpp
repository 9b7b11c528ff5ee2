#include "server/SDMKeyValueList.h"

#include <algorithm>

#include "platform/Log.h"
#include "server/SDMAllocator.h"
#include "server/SDMText.h"

namespace quill {

SDMKeyValueList* SDMCreateKeyValueList(const SDMAllocator& allocator, const WidePairs& pairs) {
  auto* list = static_cast<SDMKeyValueList*>(allocator.Allocate(sizeof(SDMKeyValueList)));
  if (list == nullptr) return nullptr;
  list->count = 0;
  list->entries = nullptr;
  if (pairs.empty()) return list;
  list->entries =
      static_cast<SDMKeyValue*>(allocator.Allocate(pairs.size() * sizeof(SDMKeyValue)));
  if (list->entries == nullptr) {
    allocator.Release(list);
    return nullptr;
  }
  for (const auto& [key, value] : pairs) {
    SDMKeyValue& entry = list->entries[list->count];
    entry.key = allocator.CopyWide(key);
    entry.value = allocator.CopyWide(value);
    ++list->count;  // counted at once, so that a failure below releases what was made
    if (entry.key == nullptr || entry.value == nullptr) {
      SDMFreeKeyValueList(allocator, list);
      return nullptr;
    }
  }
  return list;
}

void SDMFreeKeyValueList(const SDMAllocator& allocator, SDMKeyValueList* list) {
  if (list == nullptr) return;
  if (list->entries != nullptr) {
    const uint64_t count = std::min<uint64_t>(list->count, kMaxListEntries);
    for (uint64_t i = 0; i < count; ++i) {
      allocator.Release(list->entries[i].key);
      allocator.Release(list->entries[i].value);
    }
    allocator.Release(list->entries);
  }
  allocator.Release(list);
}

WidePairs SDMReadKeyValueList(const SDMKeyValueList* list) {
  WidePairs pairs;
  if (list == nullptr || list->count == 0) return pairs;
  if (list->entries == nullptr) {
    PanelLog("SDMReadKeyValueList: a list of %llu entries without entries; read as empty",
             static_cast<unsigned long long>(list->count));
    return pairs;
  }
  uint64_t count = list->count;
  if (count > kMaxListEntries) {
    PanelLog("SDMReadKeyValueList: a list of %llu entries; the first %zu are read",
             static_cast<unsigned long long>(count), kMaxListEntries);
    count = kMaxListEntries;
  }
  pairs.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    const SDMKeyValue& entry = list->entries[i];
    if (entry.key == nullptr) continue;
    std::wstring key(entry.key, BoundedWideLength(entry.key, kMaxListString));
    std::wstring value;
    if (entry.value != nullptr) value.assign(entry.value, BoundedWideLength(entry.value, kMaxListString));
    pairs.emplace_back(std::move(key), std::move(value));
  }
  return pairs;
}

int SDMAllocKeyValueListFromKeyValueSetWChar(const std::vector<std::wstring>& lines,
                                             const SDMAllocator& allocator, std::size_t n,
                                             SDMKeyValueList** out) {
  if (out == nullptr) return 7100;
  *out = nullptr;
  WidePairs pairs;
  n = std::min(n, lines.size());
  pairs.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::wstring_view line = lines[i];
    if (line.size() > 4095) line = line.substr(0, 4095);
    const std::size_t eq = line.find(L'=');
    if (eq == std::wstring_view::npos) {
      pairs.emplace_back(std::wstring(line), std::wstring());
    } else {
      pairs.emplace_back(std::wstring(line.substr(0, eq)), std::wstring(line.substr(eq + 1)));
    }
  }
  *out = SDMCreateKeyValueList(allocator, pairs);
  return *out == nullptr ? 4096 : 0;
}

}  // namespace quill
