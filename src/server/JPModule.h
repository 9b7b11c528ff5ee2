// JPModule: the host's side of one job-properties module session. The module (a shared library
// with the C interface of JPModuleInterface.h) is loaded from a configurable path; a session hands
// it the current settings, locked and hidden keys and watermarks from the shared list, runs its
// window, and writes its answer back into the shared list.
//
// Every wait on the module is bounded: the ready poll (every 100 ms, up to the ready limit), the
// helper lookup of CheckRemote. The process locale is switched to "en_US" for the module and
// restored when it returns. Whatever the module returns is read through SDMReadKeyValueList
// (counts capped, null pointers tolerated) and released through its own JP1_1Free.
//
// Process-wide state, used from the panel's thread only.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "server/SDMAllocator.h"
#include "server/SDMKeyValueList.h"

struct SharedMemoryList;

namespace quill {

// Environment variable naming the module, and the name looked up when neither it nor
// SetJPModulePath names one.
inline constexpr char kJPModuleVariable[] = "QUILL_JP_MODULE";
inline constexpr char kJPModuleFileName[] = "libquilljp.so";
// The action that opens the main window.
inline constexpr char kJPOpenMainUI[] = "jpOpenMainUI";
// Result field texts.
inline constexpr char kJPResultNoSession[] = "-1";

// The module to load: the path set here (non-empty), else $QUILL_JP_MODULE, else the built-in
// default (the stand-in module of this build when known, else kJPModuleFileName).
void SetJPModulePath(std::string path);
[[nodiscard]] std::string JPModulePath();
void SetJPDefaultModulePath(std::string path);

// How long OpenUI waits for JP1_1IsServerReady (default 30 s; QUILL_JP_READY_LIMIT_MS overrides).
void SetJPReadyLimit(std::chrono::milliseconds limit);

// What a session works on: the shared list (not owned), the device-management text, the window
// title (UTF-8) and the server language code.
void SetJPSharedList(SharedMemoryList* list);
void SetJPDeviceManagementText(std::string text);
void SetJPWindowTitle(std::string title);

// Why the last load or session failed ("" after success).
[[nodiscard]] const std::string& JPLastError();
[[nodiscard]] bool JPModuleLoaded();
[[nodiscard]] bool JPInsideModuleRun();

// Loads the module (once; later calls only refill the callback table for the mode the shared
// list's two-way field gives) and sets up the callbacks. 0 on success; -1 when the library cannot
// be loaded or lacks a function (JPLastError says which; nothing stays loaded).
int LoadJPModule();
// Ends the module: SDMTerminate, SDMDllEnd and JP1_1EndSession when a memory handle is held,
// then JP1_1DllEnd, and unloads the library. True when JP1_1DllEnd answered 0.
bool UnloadJPModule();

// Runs one session with `action` (kJPOpenMainUI opens the window) on the shared list and writes
// the result field: the module's answer kept within 0..2, or "-1" when no session could begin or
// the module never became ready. Returns the number written (-1 also without a module or list).
int OpenUI(const char* action);
// The whole run: 1 without a shared list; 2 (result "-1") when the module cannot be loaded;
// otherwise loads the module, runs OpenUI(kJPOpenMainUI) and returns 0. The process locale is
// restored before it returns.
int mainJP();

// The placeholder memory handle used when the module gave none.
inline void* const kJPPlaceholderMemory = reinterpret_cast<void*>(1193199);

// The device-management document's defaults, locked and hidden keys as module lists made with
// `allocator` (null where a section has no entries). False when the document has none of the
// three sections; the lists are null then.
bool GetDMTOverridesToSDM(const std::wstring& text, const SDMAllocator& allocator,
                          SDMKeyValueList** defaults, SDMKeyValueList** locked,
                          SDMKeyValueList** hidden);

// The helper check: NoteHelperLoading marks the start of loading; CheckRemote asks `lookup`
// (default: whether the module is loaded) every second while loading is in progress (at most
// 10 s after NoteHelperLoading) or, with `wait`, for at most 10 s. Returns whether it answered.
void NoteHelperLoading();
void SetRemoteLookup(std::function<bool()> lookup);
bool CheckRemote(bool wait);

}  // namespace quill
