#include "server/JPModule.h"

#include <dlfcn.h>
#include <langinfo.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/Log.h"
#include "server/CUtil.h"
#include "server/JPModuleInterface.h"
#include "server/SDMCallbacks.h"
#include "server/SDMText.h"
#include "server/SharedMemoryList.h"
#include "server/SpoolerCommands.h"

namespace quill {
namespace {

struct ModuleFunctions {
  JP1_1BeginSessionFn beginSession = nullptr;
  JP1_1IsServerReadyFn isServerReady = nullptr;
  JP1_1SetJobKeyValuesFn setJobKeyValues = nullptr;
  JPSetJobReadOnlyKeysFn setReadOnlyKeys = nullptr;
  JP1_1SetJobVeiledKeysFn setVeiledKeys = nullptr;
  JP1_1SetWatermarksFn setWatermarks = nullptr;
  JP1_1OpenUIFn openUI = nullptr;
  JP1_1GetJobKeyValuesFn getJobKeyValues = nullptr;
  JP1_1GetWatermarksFn getWatermarks = nullptr;
  JP1_1FreeFn free = nullptr;
  JP1_1EndSessionFn endSession = nullptr;
  JP1_1DllEndFn dllEnd = nullptr;
  SDMAllocMemoryFn allocMemory = nullptr;
  SDMTerminateFn terminate = nullptr;
  SDMDllEndFn sdmDllEnd = nullptr;
};

struct BridgeState {
  std::string path;
  std::string defaultPath;
  std::chrono::milliseconds readyLimit{30000};
  bool readyLimitSet = false;
  void* library = nullptr;
  ModuleFunctions fn;
  std::unique_ptr<SDMCallbackTable> table;
  void* session = nullptr;
  void* memory = nullptr;
  bool loaded = false;
  bool insideRun = false;
  SharedMemoryList* shared = nullptr;
  std::string dmtText;
  std::string title = "Printing Preferences";
  std::string lastError;
  std::string previousAddress;
  bool previousTwoWay = false;
  std::chrono::steady_clock::time_point loadingSince{};
  bool loading = false;
  std::function<bool()> remoteLookup;
};

BridgeState& State() {
  static BridgeState state;
  return state;
}

template <typename F>
bool Resolve(void* library, const char* name, F& out, std::string* missing) {
  out = reinterpret_cast<F>(dlsym(library, name));
  if (out == nullptr && missing->empty()) *missing = name;
  return out != nullptr;
}

bool TwoWay(const SharedMemoryList* shared) {
  return shared != nullptr && QUILL_SML_GET(*shared, bidi) == "1";
}

void WriteResult(int result) {
  BridgeState& s = State();
  if (s.shared != nullptr) QUILL_SML_SET(*s.shared, result, std::to_string(result));
}

int32_t MeasurementCode() {
  const char* value = nl_langinfo(_NL_MEASUREMENT_MEASUREMENT);
  return value != nullptr && value[0] == 1 ? kJPMeasurementMetric : kJPMeasurementImperial;
}

SDMAllocator ModuleAllocator() {
  const BridgeState& s = State();
  return SDMAllocator::Module(s.fn.allocMemory, s.fn.free,
                              s.memory != nullptr ? s.memory : kJPPlaceholderMemory);
}

void EndSession() {
  BridgeState& s = State();
  if (s.session != nullptr && s.fn.endSession != nullptr) s.fn.endSession(s.session);
  s.session = nullptr;
  s.memory = nullptr;
}

// Switches LC_ALL for the module's run and puts the host's back when it goes.
class LocaleForModule {
 public:
  LocaleForModule() {
    const char* current = std::setlocale(LC_ALL, nullptr);
    if (current != nullptr) saved_ = current;
    if (std::setlocale(LC_ALL, "en_US.UTF-8") == nullptr) std::setlocale(LC_ALL, "en_US");
  }
  ~LocaleForModule() {
    if (!saved_.empty()) std::setlocale(LC_ALL, saved_.c_str());
  }
  LocaleForModule(const LocaleForModule&) = delete;
  LocaleForModule& operator=(const LocaleForModule&) = delete;

 private:
  std::string saved_;
};

WidePairs MapPairs(const DMTKeyValueMap& map) { return WidePairs(map.begin(), map.end()); }

}  // namespace

void SetJPModulePath(std::string path) { State().path = std::move(path); }
void SetJPDefaultModulePath(std::string path) { State().defaultPath = std::move(path); }

std::string JPModulePath() {
  const BridgeState& s = State();
  if (!s.path.empty()) return s.path;
  if (const char* env = std::getenv(kJPModuleVariable); env != nullptr && *env != '\0') return env;
  if (!s.defaultPath.empty()) return s.defaultPath;
  return kJPModuleFileName;
}

void SetJPReadyLimit(std::chrono::milliseconds limit) {
  State().readyLimit = limit;
  State().readyLimitSet = true;
}

void SetJPSharedList(SharedMemoryList* list) { State().shared = list; }
void SetJPDeviceManagementText(std::string text) { State().dmtText = std::move(text); }
void SetJPWindowTitle(std::string title) { State().title = std::move(title); }
const std::string& JPLastError() { return State().lastError; }
bool JPModuleLoaded() { return State().loaded; }
bool JPInsideModuleRun() { return State().insideRun; }

int LoadJPModule() {
  BridgeState& s = State();
  s.lastError.clear();
  if (!s.loaded) {
    const std::string path = JPModulePath();
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
      const char* why = dlerror();
      s.lastError = "no job-properties module at " + path + (why != nullptr ? std::string(": ") + why : "");
      PanelLog("LoadJPModule: %s", s.lastError.c_str());
      return -1;
    }
    ModuleFunctions fn;
    std::string missing;
    Resolve(library, "JP1_1BeginSession", fn.beginSession, &missing);
    Resolve(library, "JP1_1IsServerReady", fn.isServerReady, &missing);
    Resolve(library, "JP1_1SetJobKeyValues", fn.setJobKeyValues, &missing);
    Resolve(library, "JPSetJobReadOnlyKeys", fn.setReadOnlyKeys, &missing);
    Resolve(library, "JP1_1SetJobVeiledKeys", fn.setVeiledKeys, &missing);
    Resolve(library, "JP1_1SetWatermarks", fn.setWatermarks, &missing);
    Resolve(library, "JP1_1OpenUI", fn.openUI, &missing);
    Resolve(library, "JP1_1GetJobKeyValues", fn.getJobKeyValues, &missing);
    Resolve(library, "JP1_1GetWatermarks", fn.getWatermarks, &missing);
    Resolve(library, "JP1_1Free", fn.free, &missing);
    Resolve(library, "JP1_1EndSession", fn.endSession, &missing);
    Resolve(library, "JP1_1DllEnd", fn.dllEnd, &missing);
    Resolve(library, "SDMAllocMemory", fn.allocMemory, &missing);
    Resolve(library, "SDMTerminate", fn.terminate, &missing);
    Resolve(library, "SDMDllEnd", fn.sdmDllEnd, &missing);
    if (!missing.empty()) {
      dlclose(library);
      s.lastError = "the job-properties module " + path + " lacks " + missing;
      PanelLog("LoadJPModule: %s", s.lastError.c_str());
      return -1;
    }
    s.library = library;
    s.fn = fn;
  }
  if (!s.table) s.table = std::make_unique<SDMCallbackTable>();
  const bool twoWay = TwoWay(s.shared);
  FillSDMCallbackTable(*s.table, twoWay);
  SDMCallbackContext& context = CallbackContext();
  context.shared = s.shared;
  context.twoWay = twoWay;
  context.moduleAlloc = s.fn.allocMemory;
  context.moduleFree = s.fn.free;
  context.tonerSectionEmpty = false;
  context.traySectionEmpty = false;
  s.loaded = true;
  return 0;
}

bool UnloadJPModule() {
  BridgeState& s = State();
  if (!s.loaded) return false;
  if (s.memory != nullptr) {
    s.fn.terminate(s.memory);
    s.memory = nullptr;
    s.fn.sdmDllEnd();
  }
  EndSession();
  const bool ok = s.fn.dllEnd() == 0;
  CallbackContext().moduleAlloc = nullptr;
  CallbackContext().moduleFree = nullptr;
  dlclose(s.library);
  s.library = nullptr;
  s.fn = ModuleFunctions{};
  s.loaded = false;
  return ok;
}

bool GetDMTOverridesToSDM(const std::wstring& text, const SDMAllocator& allocator,
                          SDMKeyValueList** defaults, SDMKeyValueList** locked,
                          SDMKeyValueList** hidden) {
  *defaults = *locked = *hidden = nullptr;
  DMTKeyValueMap controls, lockedKeys, hiddenKeys;
  // All three lists are read whatever the others found.
  const bool anyControls = CUtil::GetControlKeyValFromDMTXmlData(text, controls);
  const bool anyLocked = CUtil::GetLockedKeyValFromDMTXmlData(text, lockedKeys);
  const bool anyHidden = CUtil::GetHiddenKeyValFromDMTXmlData(text, hiddenKeys);
  if (!anyControls && !anyLocked && !anyHidden) return false;
  if (!controls.empty()) *defaults = SDMCreateKeyValueList(allocator, MapPairs(controls));
  if (!lockedKeys.empty()) *locked = SDMCreateKeyValueList(allocator, MapPairs(lockedKeys));
  if (!hiddenKeys.empty()) *hidden = SDMCreateKeyValueList(allocator, MapPairs(hiddenKeys));
  return true;
}

int OpenUI(const char* action) {
  BridgeState& s = State();
  if (!s.loaded || s.shared == nullptr) {
    if (s.lastError.empty()) s.lastError = "no job-properties module loaded";
    WriteResult(-1);
    return -1;
  }
  s.insideRun = true;
  const SDMAllocator host = SDMAllocator::Host();
  SDMKeyValueList* settings = Create_SDMList_From_SharedMemoryList(*s.shared, host);
  int result = -1;
  EndSession();  // a session left by an earlier run
  void* session = nullptr;
  const int begun = s.fn.beginSession(s.table.get(), &session);
  if (begun != 0 || session == nullptr) {
    s.lastError = "the job-properties module started no session (" + std::to_string(begun) + ")";
    PanelLog("OpenUI: %s", s.lastError.c_str());
  } else {
    s.session = session;
    s.memory = TwoWay(s.shared) ? session : nullptr;
    JPUIParams params{};
    CopyToField(params.title, 256, s.title, "window title");
    params.measurement = MeasurementCode();

    bool ready = false;
    std::chrono::milliseconds limit = s.readyLimit;
    if (const char* env = std::getenv("QUILL_JP_READY_LIMIT_MS"); env != nullptr && !s.readyLimitSet) {
      limit = std::chrono::milliseconds(std::atol(env));
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      if (s.fn.isServerReady(session) != 0) {
        ready = true;
        break;
      }
      if (std::chrono::steady_clock::now() >= deadline) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!ready) {
      s.lastError = "the job-properties module did not become ready in " +
                    std::to_string(limit.count()) + " ms";
      PanelLog("OpenUI: %s", s.lastError.c_str());
    } else {
      const SDMAllocator module = ModuleAllocator();
      bool settingsGiven = false;
      if (!s.dmtText.empty()) {
        SDMKeyValueList *defaults = nullptr, *locked = nullptr, *hidden = nullptr;
        if (GetDMTOverridesToSDM(WideFromUTF8(s.dmtText), module, &defaults, &locked, &hidden)) {
          if (settings != nullptr && settings->count > 0) s.fn.setJobKeyValues(session, settings);
          settingsGiven = true;
          if (locked != nullptr && locked->count > 0) s.fn.setReadOnlyKeys(session, locked);
          if (hidden != nullptr && hidden->count > 0) s.fn.setVeiledKeys(session, hidden);
        } else {
          PanelLog("OpenUI: the device-management document has no usable section; the settings go unchanged");
        }
        SDMFreeKeyValueList(module, defaults);
        SDMFreeKeyValueList(module, locked);
        SDMFreeKeyValueList(module, hidden);
      }
      if (!settingsGiven && settings != nullptr) s.fn.setJobKeyValues(session, settings);
      if (SharedCount(s.shared->watermarkCount, sizeof(s.shared->watermarkCount), 20) > 0) {
        SDMKeyValueList* marks = Create_SDMWatermarkList_From_SharedMemoryList(*s.shared, host);
        if (marks != nullptr) s.fn.setWatermarks(session, marks);
        SDMFreeKeyValueList(host, marks);
      }
      int answer = 1;
      if (action != nullptr && std::strcmp(action, kJPOpenMainUI) == 0) {
        s.fn.openUI(session, &params, 3, 0, &answer);
      }
      if (answer < 0 || answer > 2) {
        PanelLog("OpenUI: the module answered %d; recorded as 2", answer);
        answer = 2;
      }
      result = answer;
      if (answer == 0) {
        SDMKeyValueList* returned = nullptr;
        SDMKeyValueList* other = nullptr;
        SDMKeyValueList* marks = nullptr;
        s.fn.getJobKeyValues(session, 0, &returned, &other);
        s.fn.getWatermarks(session, &marks);
        if (marks != nullptr) Create_SharedMemoryWatermarkList_From_SDMList(marks, *s.shared);
        // A missing list, or one whose count promises entries it does not hold, is no answer:
        // the settings stay as they were rather than being emptied.
        if (returned != nullptr && (returned->count == 0 || !SDMReadKeyValueList(returned).empty())) {
          Create_SharedMemoryList_From_SDMList(returned, *s.shared);
        } else {
          PanelLog("OpenUI: the module returned no usable settings; the settings stay as they were");
        }
        SDMFreeKeyValueList(module, returned);
        SDMFreeKeyValueList(module, marks);
      }
    }
  }
  SDMFreeKeyValueList(host, settings);
  WriteResult(result);
  s.insideRun = false;
  return result;
}

int mainJP() {
  BridgeState& s = State();
  LocaleForModule locale;
  if (s.shared == nullptr) return 1;
  CallbackContext().languageCode = getCurrentLocaleCode();
  s.previousTwoWay = TwoWay(s.shared);
  s.previousAddress = std::string(QUILL_SML_GET(*s.shared, address));
  if (LoadJPModule() != 0) {
    WriteResult(-1);
    return 2;
  }
  WriteResult(0);
  OpenUI(kJPOpenMainUI);
  return 0;
}

void NoteHelperLoading() {
  State().loading = true;
  State().loadingSince = std::chrono::steady_clock::now();
}

void SetRemoteLookup(std::function<bool()> lookup) { State().remoteLookup = std::move(lookup); }

bool CheckRemote(bool wait) {
  BridgeState& s = State();
  auto lookup = [&s] { return s.remoteLookup ? s.remoteLookup() : s.loaded; };
  constexpr int kRounds = 10;  // one second apart
  for (int round = 0;; ++round) {
    if (lookup()) {
      s.loading = false;
      return true;
    }
    if (s.loading && std::chrono::steady_clock::now() - s.loadingSince >= std::chrono::seconds(kRounds)) {
      s.loading = false;
    }
    if (!(s.loading || wait) || round >= kRounds) {
      s.loading = false;
      return false;
    }
    SpoolerWaits::Sleep(1000);
  }
}

}  // namespace quill
