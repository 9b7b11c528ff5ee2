// SDMCallbacks: what the host answers when the job-properties module asks for the server's state.
// Each two-way callback reads one section of the loaded two-way data (BidiSections::Current(),
// decoded once per load), parses its wide-text format and returns the result in memory of the
// allocator that the matching free callback releases: the module's (SDMAllocMemory, released by
// sdmFuncPtrFree through JP1_1Free) in two-way mode, the C library's otherwise.
//
// Result codes: 0 success, 4096 no data or failure, 7100 a missing output argument; three
// callbacks answer a truth value (noted). Every output slot is set (null on failure) before the
// callback returns. Nothing here blocks except sdmFuncPtrSetLocalPresetsData (a command job).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/SDMAllocator.h"
#include "server/SDMCallbackTable.h"

struct SharedMemoryList;

namespace quill {

class BidiSections;

// Process-wide state of the callbacks, set by the module bridge before a session.
struct SDMCallbackContext {
  SharedMemoryList* shared = nullptr;  // the bridge's shared list (not owned); null: none
  BidiSections* sections = nullptr;    // null: BidiSections::Current()
  bool twoWay = false;
  SDMAllocator::AllocFn moduleAlloc = nullptr;  // the module's SDMAllocMemory
  SDMAllocator::FreeFn moduleFree = nullptr;    // the module's JP1_1Free
  std::string languageCode = "en";              // the server language code
  // Reads the local presets stored in the queue's PPD ("" for none). Default: the data named
  // "localPreset" of the PPD at the shared list's path.
  std::function<std::string()> readLocalPresets;
  // Sends presets to the filter and waits for the command job; true when it completed.
  std::function<bool(const std::string& text)> sendLocalPresets;
  // Set when "TonerInfo" or "TrayInfo" is present but empty (stop polling for updates).
  bool tonerSectionEmpty = false;
  bool traySectionEmpty = false;
};
SDMCallbackContext& CallbackContext();

// The allocator a callback answers with, for the module handle it was given.
[[nodiscard]] SDMAllocator CallbackAllocator(void* module);

// The server language code for a preferred language such as "zh-Hant-TW", "pt-BR" or
// "de_DE.UTF-8" (table of the module's languages; anything else "en"). For Chinese without a
// script the country decides (TW, HK, MO: traditional; else simplified).
[[nodiscard]] std::string ServerLanguageCode(std::string_view preferred);
// The code for the user's first preferred language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).
[[nodiscard]] std::string getCurrentLocaleCode();

// Parsers of the section formats (wide text), for the callbacks and their tests.
// Lines of `text` split at line feeds (a carriage return before one is dropped).
[[nodiscard]] std::vector<std::wstring> SectionLines(std::wstring_view text, wchar_t separator = L'\n');
// The value of a count line: its leading decimal digits; 0 when there are none (so below 1
// means empty).
[[nodiscard]] long CountLine(std::wstring_view line);
// "ServerInfo" item `name`: the value of the first line "<value>:<name>" whose name part is
// exactly `name`. nullopt when none.
[[nodiscard]] std::optional<std::wstring> ServerInfoItem(std::wstring_view text, std::wstring_view name);
// "ServerFeatureSupport" feature `name`: the value of the first line "<name>=<value>" whose name
// part is exactly `name` (so "DuplexMode" never answers for "Duplex").
[[nodiscard]] std::optional<std::wstring> ServerFeature(std::wstring_view text, std::wstring_view name);
// The data document without two-way data (XML-escaped values; at most 2047 characters).
[[nodiscard]] std::string NonBidiDataDocument(const SharedMemoryList& shared, std::string_view locale);

}  // namespace quill

extern "C" {
int sdmFuncPtrGetServerData(void* module, wchar_t** out);
int sdmFuncPtrGetServerDataNonBidi(void* module, wchar_t** out);
int sdmGetPPDDefaults(void* module, unsigned long kind, SDMKeyValueList* list);
int sdmFuncPtrGetColorKeysFactoryDefaultValues(void* module, int kind, SDMKeyValueList** out);
int sdmFuncPtrGetHoldQueueAttributes(void* module, SDMKeyValueList** props, SDMKeyValueList** locked);
int sdmUpdateToneSmithOptions(void* module, int kind, wchar_t** out);
int sdmFuncPtrGetServerValueFromDict(void* module, int kind, wchar_t** out, const wchar_t* name);
int sdmFuncPtrGetTonerInfo(void* module, unsigned long kind, SDMTonerInfoArray** out);
int sdmFuncPtrGetTrayInfo(void* module, unsigned long kind, SDMTrayInfoArray** out);
// Truth value: 1 when the item was found and copied.
int sdmFuncPtrGetServerInfo(void* module, int item, wchar_t** out);
// Truth value: 1 when the feature's value is "yes".
int sdmFuncPtrIsServerFeatureSupported(void* module, const wchar_t* name);
// Truth value: 1 when found and copied.
int sdmFuncPtrGetServerFeatureValue(void* module, const wchar_t* name, wchar_t** out);
int sdmFuncPtrGetServerPresetNamesList(void* module, wchar_t*** names, int* count, int kind);
int sdmFuncPtrGetServerPresetDataByName(void* module, const wchar_t* name, SDMKeyValueList** job,
                                        SDMKeyValueList** impose, SDMKeyValueList** preset);
int sdmFuncPtrGetAllDeviceLinkProfiles(void* module, unsigned long kind, SDMKeyValueList** out);
int sdmFuncPtrGetLoclHelpStrings(void* module, unsigned long kind, wchar_t* a, wchar_t* b,
                                 wchar_t*** strings, long* count);
int sdmFuncPtrGetServerInfoAll(void* module, SDMKeyValueList** out);
int sdmFuncPtrGetServerFeaturesAll(void* module, SDMKeyValueList** out);
int sdmFuncPtrGetDriverVersion(void* module, int which, wchar_t** out);
int sdmFuncPtrGetLocalPresetsData(void* module, wchar_t** out, int kind);
int sdmFuncPtrSetLocalPresetsData(void* module, const char** data, int kind);
int sdmFuncPtrFree(void** pointer);
int sdmFuncPtrFreeNonBidi(void** pointer);
// Fixed answers.
int sdmGetPreviewPagesCount(void* module);           // 4096
int sdmFuncPtrGetCalibration(void* module);          // 4096
int pGetDeviceLinkProfile(void* module);             // 4096
int sdmFuncPtrGetCalibrationEx(void* module);        // 0 for the rest
int sdmFuncPtrUpdateVarDataMasters(void* module);
int pGetCalibration(void* module);
int pGetCalibrationEx(void* module);
int pGetNonQuillCalibrationInfo(void* module);
int pUpdateOutsidePPDOptions(void* module);
int pGetFontList(void* module);
int pGetFonts(void* module);
int pGetServerFeatureValue(void* module);
int pGetPreviewPageThumbnailPNG(void* module);
int pGetPreviewPagesCount(void* module);
int pPerformJobAction(void* module);
int pUpdateToneSmithOptions(void* module, int kind, wchar_t** out);
}
