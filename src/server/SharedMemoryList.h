// SharedMemoryList: the flat block of fixed-size 8-bit text fields in which the panel hands the
// job settings, watermarks and session facts to the module bridge and takes the module's answer
// back. Its layout is fixed (2,298,426 bytes); every field is filled through CopyToField, so a
// text that does not fit is cut at a UTF-8 character boundary with a log line, never overrun.
//
// Values beginning with the UTF-8 byte-order mark are stored with the three bytes replaced by the
// six characters "EFBBBF" and turned back when the list is read.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/SDMKeyValueList.h"
#include "server/SDMText.h"

struct SharedMemoryList {
  static constexpr std::size_t kSlots = 3000;
  static constexpr std::size_t kKeySize = 64;
  static constexpr std::size_t kValueSize = 700;
  static constexpr std::size_t kWatermarks = 20;

  char keys[kSlots][kKeySize];
  char values[kSlots][kValueSize];
  char count[5];                 // slots used, decimal
  char watermarkIds[kWatermarks][3];
  char watermarkTexts[kWatermarks][256];
  char watermarkCount[3];        // decimal
  char result[4];                // last module run: "0".."2", or "-1" without a session
  char bidi[2];                  // "1" when two-way data is on
  char ppdPath[512];             // the session's copy of the PPD
  char address[128];             // printer address
  char installable[64];          // "n," slot numbers of the installable options
  char extraCount[5];            // slots that follow the settings, decimal
  char furtherCount[32];         // reset to "0" after each run
  char bundleName[16];           // the panel bundle's file name
  char driverVersion[16];        // the panel bundle's version
  char makerVersion[459];        // the PPD's maker version when it is a later "4." version
};

static_assert(sizeof(SharedMemoryList) == 2298426);
static_assert(offsetof(SharedMemoryList, values) == 192000);
static_assert(offsetof(SharedMemoryList, count) == 2292000);
static_assert(offsetof(SharedMemoryList, watermarkIds) == 2292005);
static_assert(offsetof(SharedMemoryList, watermarkTexts) == 2292065);
static_assert(offsetof(SharedMemoryList, watermarkCount) == 2297185);
static_assert(offsetof(SharedMemoryList, result) == 2297188);
static_assert(offsetof(SharedMemoryList, bidi) == 2297192);
static_assert(offsetof(SharedMemoryList, ppdPath) == 2297194);
static_assert(offsetof(SharedMemoryList, address) == 2297706);
static_assert(offsetof(SharedMemoryList, installable) == 2297834);
static_assert(offsetof(SharedMemoryList, extraCount) == 2297898);
static_assert(offsetof(SharedMemoryList, furtherCount) == 2297903);
static_assert(offsetof(SharedMemoryList, bundleName) == 2297935);
static_assert(offsetof(SharedMemoryList, driverVersion) == 2297951);
static_assert(offsetof(SharedMemoryList, makerVersion) == 2297967);

namespace quill {

class SDMAllocator;

// A zeroed list from the heap; release with DeleteSharedMemoryList (or the unique_ptr's deleter).
struct SharedMemoryListDeleter {
  void operator()(SharedMemoryList* list) const;
};
using SharedMemoryListPtr = std::unique_ptr<SharedMemoryList, SharedMemoryListDeleter>;
[[nodiscard]] SharedMemoryListPtr NewSharedMemoryList();

// Writes `text` into the named field (see CopyToField); false when it was cut.
#define QUILL_SML_SET(list, field, text) ::quill::CopyToField((list).field, sizeof((list).field), (text), #field)
// The text of a field.
#define QUILL_SML_GET(list, field) ::quill::FieldText((list).field, sizeof((list).field))

// The decimal number of a count field; 0 when it does not start with a digit, capped at `limit`.
[[nodiscard]] std::size_t SharedCount(const char* field, std::size_t size, std::size_t limit);

// "EFBBBF" for a leading byte-order mark, and back.
[[nodiscard]] std::string EncodeByteOrderMark(std::string_view value);
[[nodiscard]] std::string DecodeByteOrderMark(std::string_view value);

// The settings slots (used count plus extra count, at most kSlots) as UTF-8 pairs, values with
// their byte-order mark restored.
[[nodiscard]] std::vector<std::pair<std::string, std::string>> SharedSettings(
    const SharedMemoryList& list);
// Replaces the settings slots by `pairs` (at most kSlots; keys cut to 63 and values to 699 bytes);
// the count field gets the number stored and the extra and further counts "0". The number of
// pairs that were cut.
int SetSharedSettings(SharedMemoryList& list,
                      const std::vector<std::pair<std::string, std::string>>& pairs);

// What the last conversions remember between a module's answer and the next hand-over: whether
// the module returned a named preset, and the settings it returned.
struct SharedPresetTracking {
  bool presetReturned = false;
  std::vector<std::pair<std::string, std::string>> returned;
};
SharedPresetTracking& PresetTracking();

// The settings slots as a new module-bound list (made with `allocator`). When the module returned
// a preset in the last run and a slot's value now differs from what it returned, the value of
// "PresetName" is cleared; the tracking is then reset. Null when an allocation fails.
[[nodiscard]] SDMKeyValueList* Create_SDMList_From_SharedMemoryList(const SharedMemoryList& list,
                                                                    const SDMAllocator& allocator);
// The module's list into the settings slots (see SetSharedSettings, keys and values narrowed to
// UTF-8); a non-empty "PresetName" records that a preset came back. Returns the number of
// entries stored; a null list stores none.
int Create_SharedMemoryList_From_SDMList(const SDMKeyValueList* sdm, SharedMemoryList& list);

// The watermark fields as a new list (identifier, text), made with `allocator`; null when an
// allocation fails.
[[nodiscard]] SDMKeyValueList* Create_SDMWatermarkList_From_SharedMemoryList(
    const SharedMemoryList& list, const SDMAllocator& allocator);
// The module's watermarks into the text fields (at most 20, each at most 255 bytes; a longer list
// is recorded as 20); identifiers stay as they were. Returns the count recorded.
int Create_SharedMemoryWatermarkList_From_SDMList(const SDMKeyValueList* sdm,
                                                  SharedMemoryList& list);
// The watermark record texts of the list, in order.
[[nodiscard]] std::vector<std::string> GetWatermarkList_From_CombinedList(
    const SharedMemoryList& list);

}  // namespace quill
