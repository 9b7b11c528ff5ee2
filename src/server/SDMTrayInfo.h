// SDMTrayInfo: one paper tray of the server as the job-properties module receives it, and the
// array that carries them. Binary interface with the module; the texts and numbers are the
// module's to interpret (the host fills them from the "TrayInfo" section of the two-way data).
#pragma once

#include <cstddef>
#include <cstdint>

struct SDMTrayInfo {
  wchar_t* texts[8];  // fields 1 to 8 ("EMPTY" stored as "", a missing field as "N/A")
  int32_t number1;    // field 9
  int32_t number2;    // field 10
};

struct SDMTrayInfoArray {
  SDMTrayInfo* entries;
  int32_t count;
};

static_assert(sizeof(SDMTrayInfo) == 72);
static_assert(offsetof(SDMTrayInfo, texts) == 0);
static_assert(offsetof(SDMTrayInfo, number1) == 64);
static_assert(offsetof(SDMTrayInfo, number2) == 68);
static_assert(sizeof(SDMTrayInfoArray) == 16);
static_assert(offsetof(SDMTrayInfoArray, entries) == 0);
static_assert(offsetof(SDMTrayInfoArray, count) == 8);
