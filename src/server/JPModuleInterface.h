// JPModuleInterface: the C interface of the job-properties module as the host calls it: the
// exported function names and types, and the parameter block of the window call. The module is
// loaded at run time (JPModule); the stand-in module in module/ implements the same interface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "server/SDMCallbackTable.h"
#include "server/SDMKeyValueList.h"

// The block handed to JP1_1OpenUI.
struct JPUIParams {
  char title[512];      // window title, UTF-8, at most 255 bytes and a NUL
  int32_t measurement;  // 4096, or 8192 for metric units
};
static_assert(sizeof(JPUIParams) == 516);
static_assert(offsetof(JPUIParams, measurement) == 512);

inline constexpr int32_t kJPMeasurementImperial = 4096;
inline constexpr int32_t kJPMeasurementMetric = 8192;

extern "C" {
using JP1_1BeginSessionFn = int (*)(SDMCallbackTable* table, void** session);
using JP1_1IsServerReadyFn = int (*)(void* session);
using JP1_1SetJobKeyValuesFn = int (*)(void* session, SDMKeyValueList* list);
using JPSetJobReadOnlyKeysFn = int (*)(void* session, SDMKeyValueList* list);
using JP1_1SetJobVeiledKeysFn = int (*)(void* session, SDMKeyValueList* list);
using JP1_1SetWatermarksFn = int (*)(void* session, SDMKeyValueList* list);
using JP1_1OpenUIFn = int (*)(void* session, JPUIParams* params, int mode, int flags, int* answer);
using JP1_1GetJobKeyValuesFn = int (*)(void* session, int kind, SDMKeyValueList** list,
                                       SDMKeyValueList** other);
using JP1_1GetWatermarksFn = int (*)(void* session, SDMKeyValueList** list);
using JP1_1FreeFn = int (*)(void** pointer);
using JP1_1EndSessionFn = int (*)(void* session);
using JP1_1DllEndFn = int (*)();
using SDMAllocMemoryFn = int (*)(void* memory, void** pointer, unsigned long size);
using SDMTerminateFn = int (*)(void* memory);
using SDMDllEndFn = int (*)();
}
