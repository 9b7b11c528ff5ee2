// SDMCallbackTable: the 512-byte table of callbacks that the host hands to the job-properties
// module when a session begins. Its slot offsets are a binary interface with the module; a slot
// that the current mode does not fill is null. The module calls the slots while its window is
// open (see SDMCallbacks for what each answers).
#pragma once

#include <cstddef>
#include <cstdint>

#include "server/SDMKeyValueList.h"
#include "server/SDMTonerInfo.h"
#include "server/SDMTrayInfo.h"

extern "C" {
using SDMFnText = int (*)(void* module, wchar_t** out);
using SDMFnDefaults = int (*)(void* module, unsigned long, SDMKeyValueList* list);
using SDMFnFixed = int (*)(void* module);
using SDMFnFree = int (*)(void** pointer);
using SDMFnTrays = int (*)(void* module, unsigned long, SDMTrayInfoArray** out);
using SDMFnToners = int (*)(void* module, unsigned long, SDMTonerInfoArray** out);
using SDMFnToneSmith = int (*)(void* module, int, wchar_t** out);
using SDMFnDictValue = int (*)(void* module, int, wchar_t** out, const wchar_t* name);
using SDMFnDriverVersion = int (*)(void* module, int which, wchar_t** out);
using SDMFnPresetNames = int (*)(void* module, wchar_t*** names, int* count, int);
using SDMFnPresetData = int (*)(void* module, const wchar_t* name, SDMKeyValueList** job,
                                SDMKeyValueList** impose, SDMKeyValueList** preset);
using SDMFnHelpStrings = int (*)(void* module, unsigned long, wchar_t*, wchar_t*,
                                 wchar_t*** strings, long* count);
using SDMFnList = int (*)(void* module, SDMKeyValueList** out);
using SDMFnListKind = int (*)(void* module, unsigned long, SDMKeyValueList** out);
using SDMFnTwoLists = int (*)(void* module, SDMKeyValueList** first, SDMKeyValueList** second);
using SDMFnIntList = int (*)(void* module, int, SDMKeyValueList** out);
}

struct SDMCallbackTable {
  int32_t version;                           // 0: always 19
  int32_t reserved4;
  uint64_t twoWay;                           // 8: 1 with two-way data, else 0
  void* reserved16[2];
  SDMFnText getServerData;                   // 32
  SDMFnDefaults getPPDDefaults;              // 40
  SDMFnFixed updateOutsidePPDOptions;        // 48
  void* reserved56;
  SDMFnFixed getFontList;                    // 64
  SDMFnFixed getFonts;                       // 72
  SDMFnFixed getDeviceLinkProfile;           // 80
  void* reserved88;
  SDMFnFixed getServerFeatureValue;          // 96
  SDMFnFixed getPreviewPageThumbnailPNG;     // 104
  SDMFnFixed getPreviewPagesCount;           // 112
  SDMFnFixed performJobAction;               // 120
  void* reserved128[3];
  SDMFnFree free;                            // 152
  void* reserved160[2];
  SDMFnTrays getTrayInfo;                    // 176
  SDMFnToners getTonerInfo;                  // 184
  void* reserved192;
  SDMFnFixed updateVarDataMasters;           // 200
  SDMFnToneSmith updateToneSmithOptions;     // 208
  void* reserved216[14];
  SDMFnFixed getCalibration;                 // 328
  void* reserved336;
  SDMFnDictValue getServerValueFromDict;     // 344
  void* reserved352;
  SDMFnDriverVersion getDriverVersion;       // 360
  SDMFnPresetNames getServerPresetNamesList;  // 368
  SDMFnPresetData getServerPresetDataByName;  // 376
  void* reserved384[3];
  SDMFnFixed getCalibrationEx;               // 408
  void* reserved416;
  SDMFnHelpStrings getLoclHelpStrings;       // 424
  SDMFnFixed getNonQuillCalibrationInfo;     // 432
  SDMFnListKind getAllDeviceLinkProfiles;    // 440
  SDMFnList getServerInfoAll;                // 448
  SDMFnList getServerFeaturesAll;            // 456
  void* reserved464[4];
  SDMFnTwoLists getHoldQueueAttributes;      // 496
  SDMFnIntList getColorKeysFactoryDefaultValues;  // 504
};

static_assert(sizeof(SDMCallbackTable) == 512);
static_assert(offsetof(SDMCallbackTable, twoWay) == 8);
static_assert(offsetof(SDMCallbackTable, getServerData) == 32);
static_assert(offsetof(SDMCallbackTable, getPPDDefaults) == 40);
static_assert(offsetof(SDMCallbackTable, updateOutsidePPDOptions) == 48);
static_assert(offsetof(SDMCallbackTable, getFontList) == 64);
static_assert(offsetof(SDMCallbackTable, getFonts) == 72);
static_assert(offsetof(SDMCallbackTable, getDeviceLinkProfile) == 80);
static_assert(offsetof(SDMCallbackTable, getServerFeatureValue) == 96);
static_assert(offsetof(SDMCallbackTable, getPreviewPageThumbnailPNG) == 104);
static_assert(offsetof(SDMCallbackTable, getPreviewPagesCount) == 112);
static_assert(offsetof(SDMCallbackTable, performJobAction) == 120);
static_assert(offsetof(SDMCallbackTable, free) == 152);
static_assert(offsetof(SDMCallbackTable, getTrayInfo) == 176);
static_assert(offsetof(SDMCallbackTable, getTonerInfo) == 184);
static_assert(offsetof(SDMCallbackTable, updateVarDataMasters) == 200);
static_assert(offsetof(SDMCallbackTable, updateToneSmithOptions) == 208);
static_assert(offsetof(SDMCallbackTable, getCalibration) == 328);
static_assert(offsetof(SDMCallbackTable, getServerValueFromDict) == 344);
static_assert(offsetof(SDMCallbackTable, getDriverVersion) == 360);
static_assert(offsetof(SDMCallbackTable, getServerPresetNamesList) == 368);
static_assert(offsetof(SDMCallbackTable, getServerPresetDataByName) == 376);
static_assert(offsetof(SDMCallbackTable, getCalibrationEx) == 408);
static_assert(offsetof(SDMCallbackTable, getLoclHelpStrings) == 424);
static_assert(offsetof(SDMCallbackTable, getNonQuillCalibrationInfo) == 432);
static_assert(offsetof(SDMCallbackTable, getAllDeviceLinkProfiles) == 440);
static_assert(offsetof(SDMCallbackTable, getServerInfoAll) == 448);
static_assert(offsetof(SDMCallbackTable, getServerFeaturesAll) == 456);
static_assert(offsetof(SDMCallbackTable, getHoldQueueAttributes) == 496);
static_assert(offsetof(SDMCallbackTable, getColorKeysFactoryDefaultValues) == 504);

namespace quill {
// Fills `table` (zeroed first) for two-way mode or the other mode.
void FillSDMCallbackTable(SDMCallbackTable& table, bool twoWay);
}  // namespace quill
