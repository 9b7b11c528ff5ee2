// SDMTonerInfo: one toner of the server as the job-properties module receives it, and the array
// that carries them. Binary interface with the module; the meanings of the numbers are the
// module's (the host fills them from the "TonerInfo" section of the two-way data).
#pragma once

#include <cstddef>
#include <cstdint>

struct SDMTonerInfo {
  wchar_t* name;     // field 1
  int32_t level;     // field 2
  int32_t scale;     // always 100
  wchar_t* color;    // field 4; null for "NULL"
  int32_t low;       // field 5
  int32_t high;      // field 6
  int32_t kind;      // field 7
};

struct SDMTonerInfoArray {
  SDMTonerInfo* entries;
  int32_t count;
};

static_assert(sizeof(SDMTonerInfo) == 40);
static_assert(offsetof(SDMTonerInfo, name) == 0);
static_assert(offsetof(SDMTonerInfo, level) == 8);
static_assert(offsetof(SDMTonerInfo, scale) == 12);
static_assert(offsetof(SDMTonerInfo, color) == 16);
static_assert(offsetof(SDMTonerInfo, low) == 24);
static_assert(offsetof(SDMTonerInfo, high) == 28);
static_assert(offsetof(SDMTonerInfo, kind) == 32);
static_assert(sizeof(SDMTonerInfoArray) == 16);
static_assert(offsetof(SDMTonerInfoArray, entries) == 0);
static_assert(offsetof(SDMTonerInfoArray, count) == 8);
