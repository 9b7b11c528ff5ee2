// SDMKeyValue: one key/value pair of wide text as the job-properties module exchanges it. The
// layout is a binary interface with the module (64-bit pointers, natural alignment).
#pragma once

#include <cstddef>

struct SDMKeyValue {
  wchar_t* key;    // zero-terminated wide text (32-bit characters, host order)
  wchar_t* value;  // zero-terminated wide text; an empty value is an empty string
};

static_assert(sizeof(wchar_t) == 4, "the module's wide text has 32-bit characters");
static_assert(sizeof(SDMKeyValue) == 16);
static_assert(offsetof(SDMKeyValue, key) == 0);
static_assert(offsetof(SDMKeyValue, value) == 8);
