// The two-way data sections as the module's callbacks read them. The input is used twice: as
// the loaded data text itself (records, Base64, zlib), and as the text of every section, written
// in the record format, so that each section parser sees arbitrary text. Every callback is
// called in two-way mode with an allocator that tracks its blocks; every answer must be released
// through the free callback, and nothing may stay allocated.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "server/BidiSections.h"
#include "server/CFileHdlr.h"
#include "server/SDMAllocator.h"
#include "server/SDMCallbacks.h"
#include "server/SDMText.h"
#include "server/SharedMemoryList.h"

namespace {

std::set<void*>& Live() {
  static std::set<void*> live;
  return live;
}
int Alloc(void*, void** pointer, unsigned long size) {
  *pointer = std::malloc(size == 0 ? 1 : size);
  Live().insert(*pointer);
  return 0;
}
int Free(void** pointer) {
  if (Live().erase(*pointer) == 0) std::abort();  // released by the wrong allocator
  std::free(*pointer);
  *pointer = nullptr;
  return 0;
}
void Release(void* p) {
  if (p != nullptr) sdmFuncPtrFree(&p);
}
void ReleaseList(SDMKeyValueList* list) {
  if (list == nullptr) return;
  for (uint64_t i = 0; i < list->count; ++i) {
    Release(list->entries[i].key);
    Release(list->entries[i].value);
  }
  Release(list->entries);
  Release(list);
}

void CallEverything() {
  wchar_t* text = nullptr;
  sdmFuncPtrGetServerData(nullptr, &text);
  Release(text);
  sdmUpdateToneSmithOptions(nullptr, 0, &text);
  Release(text);
  for (const wchar_t* name : {L"SPD_MAPPING_ENABLE", L"VD1_NO_RECORD", L"MaxCopies", L""}) {
    sdmFuncPtrGetServerValueFromDict(nullptr, 0, &text, name);
    Release(text);
  }
  for (int item : {0, 1, 5, 16}) {
    if (sdmFuncPtrGetServerInfo(nullptr, item, &text) != 0) Release(text);
  }
  sdmFuncPtrIsServerFeatureSupported(nullptr, L"Duplex");
  if (sdmFuncPtrGetServerFeatureValue(nullptr, L"Duplex", &text) != 0) Release(text);
  SDMTonerInfoArray* toners = nullptr;
  if (sdmFuncPtrGetTonerInfo(nullptr, 0, &toners) == 0) {
    for (int i = 0; i < toners->count; ++i) {
      Release(toners->entries[i].name);
      Release(toners->entries[i].color);
    }
    Release(toners->entries);
    Release(toners);
  }
  SDMTrayInfoArray* trays = nullptr;
  if (sdmFuncPtrGetTrayInfo(nullptr, 0, &trays) == 0) {
    for (int i = 0; i < trays->count; ++i) {
      for (wchar_t* t : trays->entries[i].texts) Release(t);
    }
    Release(trays->entries);
    Release(trays);
  }
  wchar_t** names = nullptr;
  int count = 0;
  std::wstring first;
  if (sdmFuncPtrGetServerPresetNamesList(nullptr, &names, &count, 0) == 0) {
    if (count > 0) first = names[0];
    for (int i = 0; i < count; ++i) Release(names[i]);
    Release(names);
  }
  SDMKeyValueList *job = nullptr, *impose = nullptr, *preset = nullptr;
  sdmFuncPtrGetServerPresetDataByName(nullptr, first.c_str(), &job, &impose, &preset);
  ReleaseList(job);
  ReleaseList(impose);
  ReleaseList(preset);
  wchar_t** help = nullptr;
  long helpCount = 0;
  if (sdmFuncPtrGetLoclHelpStrings(nullptr, 0, nullptr, nullptr, &help, &helpCount) == 0) {
    for (long i = 0; i < helpCount; ++i) Release(help[i]);
    Release(help);
  }
  SDMKeyValueList* list = nullptr;
  sdmFuncPtrGetAllDeviceLinkProfiles(nullptr, 0, &list);
  ReleaseList(list);
  sdmFuncPtrGetServerInfoAll(nullptr, &list);
  ReleaseList(list);
  sdmFuncPtrGetServerFeaturesAll(nullptr, &list);
  ReleaseList(list);
  sdmFuncPtrGetColorKeysFactoryDefaultValues(nullptr, 0, &list);
  ReleaseList(list);
  SDMKeyValueList* locked = nullptr;
  sdmFuncPtrGetHoldQueueAttributes(nullptr, &list, &locked);
  ReleaseList(list);
  ReleaseList(locked);
  SDMKeyValueList* mine = quill::SDMCreateKeyValueList(quill::CallbackAllocator(nullptr),
                                                       {{L"*Duplex", L"x"}, {L"*KRStaple", L"y"}});
  sdmGetPPDDefaults(nullptr, 0, mine);
  ReleaseList(mine);
  if (!Live().empty()) std::abort();  // something was not handed over or not released
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quill::SDMCallbackContext& c = quill::CallbackContext();
  c.twoWay = true;
  c.moduleAlloc = &Alloc;
  c.moduleFree = &Free;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  quill::BidiSections::Current().Load(input);
  CallEverything();

  const std::wstring wide = quill::WideFromUTF8(input);
  std::string text;
  // The record writer copies everything to standard error: send that copy nowhere meanwhile.
  std::fflush(stderr);
  const int saved = dup(2);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, 2);
  for (const char* name : {"BidiData", "TonerInfo", "TrayInfo", "ServerInfo", "ServerFeatureSupport",
                           "PresetsList", "PresetsData", "DeviceLinkProfilesList", "CDIHelpStrings",
                           "PpdDefaults", "ColorDefaultList", "QueuePropList", "ListLockedKeys", "ToneSmith",
                           "ServerValFrmDict", "ServerValFrmDictspdmapen", "ServerValFrmDictvdnorec"}) {
    CFileHdlr::fileWriteData(name, wide.data(), wide.size() * sizeof(wchar_t), &text);
  }
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  close(null);
  quill::BidiSections::Current().Load(text);
  CallEverything();
  return 0;
}
