// The stand-in job-properties module. It does what the host relies on: starts a session, says
// when it is ready, takes the settings, read-only and veiled keys and watermarks, calls every
// callback of the host's table when its window "opens" and records each answer, and returns
// settings and watermarks. What it returns comes from the scenario file named by
// QUILL_JP_SCENARIO; without one it returns the settings unchanged and answers 0 (accepted).
// What it saw goes, line by line, to the report file named by QUILL_JP_REPORT (when set).
//
// Everything it hands over comes from its own allocator (SDMAllocMemory) and goes back through
// JP1_1Free; a release of a block it did not make is counted and refused, not performed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Scenario.h"
#include "server/JPModuleInterface.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using quill::standin::Pairs;
using quill::standin::ParseScenario;
using quill::standin::Scenario;
using quill::standin::Widen;

struct Session {
  SDMCallbackTable* table = nullptr;
  int polls = 0;
  Pairs settings;
  Pairs watermarks;
};

std::set<void*>& Live() {
  static std::set<void*> live;
  return live;
}
int foreign_releases = 0;
Scenario scenario;

std::string Narrow(const wchar_t* w) {
  if (w == nullptr) return "(null)";
  std::string out;
  for (; *w != 0; ++w) {
    const uint32_t c = static_cast<uint32_t>(*w);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// One report line; line breaks inside become "\n".
void Report(const std::string& line) {
  const char* path = std::getenv("QUILL_JP_REPORT");
  if (path == nullptr || *path == '\0') return;
  std::string text;
  for (char c : line) text += c == '\n' ? std::string("\\n") : std::string(1, c);
  std::ofstream(path, std::ios::app) << text << '\n';
}

void LoadScenario() {
  scenario = Scenario{};
  const char* path = std::getenv("QUILL_JP_SCENARIO");
  if (path == nullptr || *path == '\0') return;
  std::ifstream in(path);
  if (!in) {
    Report("scenario-unreadable " + std::string(path));
    return;
  }
  std::ostringstream text;
  text << in.rdbuf();
  for (const std::string& line : ParseScenario(text.str(), scenario)) Report("scenario-unknown " + line);
}

void* Allocate(std::size_t size) {
  void* block = std::calloc(1, size == 0 ? 1 : size);
  if (block != nullptr) Live().insert(block);
  return block;
}

wchar_t* Copy(const std::wstring& text) {
  auto* copy = static_cast<wchar_t*>(Allocate((text.size() + 1) * sizeof(wchar_t)));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  return copy;
}

Pairs Read(const SDMKeyValueList* list) {
  Pairs pairs;
  if (list == nullptr || list->entries == nullptr) return pairs;
  const uint64_t n = list->count > 3000 ? 3000 : list->count;
  for (uint64_t i = 0; i < n; ++i) {
    const SDMKeyValue& e = list->entries[i];
    if (e.key == nullptr) continue;
    pairs.emplace_back(e.key, e.value != nullptr ? e.value : L"");
  }
  return pairs;
}

SDMKeyValueList* MakeList(const Pairs& pairs, std::size_t slots) {
  auto* list = static_cast<SDMKeyValueList*>(Allocate(sizeof(SDMKeyValueList)));
  list->count = pairs.size();
  list->entries = static_cast<SDMKeyValue*>(Allocate((slots > pairs.size() ? slots : pairs.size()) * sizeof(SDMKeyValue)));
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    list->entries[i].key = Copy(pairs[i].first);
    list->entries[i].value = Copy(pairs[i].second);
  }
  return list;
}

// --- calling the host's callbacks ---------------------------------------------------------

struct Caller {
  Session* s;
  SDMCallbackTable* t;
  void Free(void* p) {
    if (p != nullptr && t->free != nullptr) t->free(&p);
  }
  void FreeList(SDMKeyValueList* list) {
    if (list == nullptr) return;
    if (list->entries != nullptr) {
      for (uint64_t i = 0; i < list->count && i < 3000; ++i) {
        Free(list->entries[i].key);
        Free(list->entries[i].value);
      }
      Free(list->entries);
    }
    Free(list);
  }
  void ReportList(const std::string& name, int rc, SDMKeyValueList* list) {
    Report("callback " + name + " rc=" + std::to_string(rc) +
           " count=" + std::to_string(list != nullptr ? list->count : 0));
    for (const auto& [k, v] : Read(list)) Report("  " + name + " " + Narrow(k.c_str()) + "=" + Narrow(v.c_str()));
    FreeList(list);
  }
  void ReportText(const std::string& name, int rc, wchar_t* text) {
    Report("callback " + name + " rc=" + std::to_string(rc) + " text=" + Narrow(text));
    Free(text);
  }
  void ReportStrings(const std::string& name, int rc, wchar_t** strings, long count) {
    Report("callback " + name + " rc=" + std::to_string(rc) + " count=" + std::to_string(count));
    for (long i = 0; strings != nullptr && i < count; ++i) {
      Report("  " + name + " " + Narrow(strings[i]));
      Free(strings[i]);
    }
    Free(strings);
  }

  void All() {
    void* module = s;
    if (t->getServerData != nullptr) {
      wchar_t* text = nullptr;
      const int rc = t->getServerData(module, &text);
      ReportText("getServerData", rc, text);
    }
    if (t->getPPDDefaults != nullptr) {
      SDMKeyValueList* list = MakeList(s->settings, 0);
      const int rc = t->getPPDDefaults(module, 0, list);
      ReportList("getPPDDefaults", rc, list);
    }
    struct Fixed {
      const char* name;
      SDMFnFixed fn;
    };
    const Fixed fixed[] = {{"updateOutsidePPDOptions", t->updateOutsidePPDOptions},
                           {"getFontList", t->getFontList},
                           {"getFonts", t->getFonts},
                           {"getDeviceLinkProfile", t->getDeviceLinkProfile},
                           {"getServerFeatureValue", t->getServerFeatureValue},
                           {"getPreviewPageThumbnailPNG", t->getPreviewPageThumbnailPNG},
                           {"getPreviewPagesCount", t->getPreviewPagesCount},
                           {"performJobAction", t->performJobAction},
                           {"updateVarDataMasters", t->updateVarDataMasters},
                           {"getCalibration", t->getCalibration},
                           {"getCalibrationEx", t->getCalibrationEx},
                           {"getNonQuillCalibrationInfo", t->getNonQuillCalibrationInfo}};
    for (const Fixed& f : fixed) {
      if (f.fn != nullptr) Report(std::string("callback ") + f.name + " rc=" + std::to_string(f.fn(module)));
    }
    if (t->getTrayInfo != nullptr) {
      SDMTrayInfoArray* trays = nullptr;
      const int rc = t->getTrayInfo(module, 0, &trays);
      Report("callback getTrayInfo rc=" + std::to_string(rc) + " count=" + std::to_string(trays != nullptr ? trays->count : 0));
      if (trays != nullptr) {
        for (int32_t i = 0; i < trays->count; ++i) {
          std::string line = "  getTrayInfo";
          for (wchar_t* text : trays->entries[i].texts) line += " " + Narrow(text) + "|";
          line += " " + std::to_string(trays->entries[i].number1) + " " + std::to_string(trays->entries[i].number2);
          Report(line);
          for (wchar_t* text : trays->entries[i].texts) Free(text);
        }
        Free(trays->entries);
        Free(trays);
      }
    }
    if (t->getTonerInfo != nullptr) {
      SDMTonerInfoArray* toners = nullptr;
      const int rc = t->getTonerInfo(module, 0, &toners);
      Report("callback getTonerInfo rc=" + std::to_string(rc) + " count=" + std::to_string(toners != nullptr ? toners->count : 0));
      if (toners != nullptr) {
        for (int32_t i = 0; i < toners->count; ++i) {
          const SDMTonerInfo& e = toners->entries[i];
          Report("  getTonerInfo " + Narrow(e.name) + "|" + std::to_string(e.level) + "|" + std::to_string(e.scale) +
                 "|" + Narrow(e.color) + "|" + std::to_string(e.low) + "|" + std::to_string(e.high) + "|" +
                 std::to_string(e.kind));
          Free(e.name);
          Free(e.color);
        }
        Free(toners->entries);
        Free(toners);
      }
    }
    if (t->updateToneSmithOptions != nullptr) {
      wchar_t* text = nullptr;
      const int rc = t->updateToneSmithOptions(module, 0, &text);
      ReportText("updateToneSmithOptions", rc, text);
    }
    if (t->getServerValueFromDict != nullptr) {
      std::vector<std::wstring> names = scenario.dictNames;
      names.insert(names.begin(), L"SPD_MAPPING_ENABLE");
      for (const std::wstring& name : names) {
        wchar_t* text = nullptr;
        const int rc = t->getServerValueFromDict(module, 0, &text, name.c_str());
        ReportText("getServerValueFromDict(" + Narrow(name.c_str()) + ")", rc, text);
      }
    }
    if (t->getDriverVersion != nullptr) {
      for (int which : {0, 1}) {
        wchar_t* text = nullptr;
        const int rc = t->getDriverVersion(module, which, &text);
        ReportText("getDriverVersion(" + std::to_string(which) + ")", rc, text);
      }
    }
    std::wstring firstPreset;
    if (t->getServerPresetNamesList != nullptr) {
      wchar_t** names = nullptr;
      int count = 0;
      const int rc = t->getServerPresetNamesList(module, &names, &count, 0);
      if (names != nullptr && count > 0 && names[0] != nullptr) firstPreset = names[0];
      ReportStrings("getServerPresetNamesList", rc, names, count);
    }
    if (t->getServerPresetDataByName != nullptr) {
      SDMKeyValueList *job = nullptr, *impose = nullptr, *preset = nullptr;
      const int rc = t->getServerPresetDataByName(module, firstPreset.c_str(), &job, &impose, &preset);
      ReportList("getServerPresetDataByName.job", rc, job);
      ReportList("getServerPresetDataByName.impose", rc, impose);
      ReportList("getServerPresetDataByName.preset", rc, preset);
    }
    if (t->getLoclHelpStrings != nullptr) {
      wchar_t** strings = nullptr;
      long count = 0;
      const int rc = t->getLoclHelpStrings(module, 0, nullptr, nullptr, &strings, &count);
      ReportStrings("getLoclHelpStrings", rc, strings, count);
    }
    if (t->getAllDeviceLinkProfiles != nullptr) {
      SDMKeyValueList* list = nullptr;
      const int rc = t->getAllDeviceLinkProfiles(module, 0, &list);
      ReportList("getAllDeviceLinkProfiles", rc, list);
    }
    if (t->getServerInfoAll != nullptr) {
      SDMKeyValueList* list = nullptr;
      const int rc = t->getServerInfoAll(module, &list);
      ReportList("getServerInfoAll", rc, list);
    }
    if (t->getServerFeaturesAll != nullptr) {
      SDMKeyValueList* list = nullptr;
      const int rc = t->getServerFeaturesAll(module, &list);
      ReportList("getServerFeaturesAll", rc, list);
    }
    if (t->getHoldQueueAttributes != nullptr) {
      SDMKeyValueList *props = nullptr, *locked = nullptr;
      const int rc = t->getHoldQueueAttributes(module, &props, &locked);
      ReportList("getHoldQueueAttributes.props", rc, props);
      ReportList("getHoldQueueAttributes.locked", rc, locked);
    }
    if (t->getColorKeysFactoryDefaultValues != nullptr) {
      SDMKeyValueList* list = nullptr;
      const int rc = t->getColorKeysFactoryDefaultValues(module, 0, &list);
      ReportList("getColorKeysFactoryDefaultValues", rc, list);
    }
  }
};

}  // namespace

EXPORT int SDMAllocMemory(void*, void** pointer, unsigned long size) {
  if (pointer == nullptr) return 7100;
  *pointer = Allocate(size);
  return *pointer != nullptr ? 0 : 4096;
}

EXPORT int JP1_1Free(void** pointer) {
  if (pointer == nullptr || *pointer == nullptr) return 7100;
  if (Live().erase(*pointer) == 0) {
    ++foreign_releases;
    Report("foreign-release");
    return 4096;
  }
  std::free(*pointer);
  *pointer = nullptr;
  return 0;
}

EXPORT int JP1_1BeginSession(SDMCallbackTable* table, void** session) {
  LoadScenario();
  if (session == nullptr) return 7100;
  *session = nullptr;
  if (scenario.beginFails || table == nullptr) {
    Report("begin failed");
    return 1;
  }
  auto* s = new Session;
  s->table = table;
  *session = s;
  Report("begin version=" + std::to_string(table->version) + " twoWay=" + std::to_string(table->twoWay));
  return 0;
}

EXPORT int JP1_1IsServerReady(void* session) {
  auto* s = static_cast<Session*>(session);
  if (s == nullptr || scenario.readyAfter < 0) return 0;
  return s->polls++ >= scenario.readyAfter ? 1 : 0;
}

EXPORT int JP1_1SetJobKeyValues(void* session, SDMKeyValueList* list) {
  auto* s = static_cast<Session*>(session);
  if (s == nullptr) return 4096;
  s->settings = Read(list);
  Report("settings-in count=" + std::to_string(s->settings.size()));
  for (const auto& [k, v] : s->settings) Report("  in " + Narrow(k.c_str()) + "=" + Narrow(v.c_str()));
  return 0;
}

EXPORT int JPSetJobReadOnlyKeys(void* session, SDMKeyValueList* list) {
  if (session == nullptr) return 4096;
  for (const auto& [k, v] : Read(list)) Report("readonly " + Narrow(k.c_str()) + "=" + Narrow(v.c_str()));
  return 0;
}

EXPORT int JP1_1SetJobVeiledKeys(void* session, SDMKeyValueList* list) {
  if (session == nullptr) return 4096;
  for (const auto& [k, v] : Read(list)) Report("veiled " + Narrow(k.c_str()) + "=" + Narrow(v.c_str()));
  return 0;
}

EXPORT int JP1_1SetWatermarks(void* session, SDMKeyValueList* list) {
  auto* s = static_cast<Session*>(session);
  if (s == nullptr) return 4096;
  s->watermarks = Read(list);
  for (const auto& [k, v] : s->watermarks) Report("watermark-in " + Narrow(k.c_str()) + "=" + Narrow(v.c_str()));
  return 0;
}

#ifndef QUILL_STANDIN_WITHOUT_OPENUI
EXPORT int JP1_1OpenUI(void* session, JPUIParams* params, int, int, int* answer) {
  auto* s = static_cast<Session*>(session);
  if (s == nullptr || answer == nullptr) return 4096;
  if (params != nullptr) {
    Report("open title=" + std::string(params->title, strnlen(params->title, sizeof params->title)) +
           " measurement=" + std::to_string(params->measurement));
  }
  Caller{s, s->table}.All();
  *answer = scenario.answer;
  Report("answer " + std::to_string(scenario.answer));
  return 0;
}
#endif

EXPORT int JP1_1GetJobKeyValues(void* session, int, SDMKeyValueList** list, SDMKeyValueList**) {
  auto* s = static_cast<Session*>(session);
  if (s == nullptr || list == nullptr) return 4096;
  Pairs out = s->settings;
  for (const auto& [key, value] : scenario.sets) {
    bool found = false;
    for (auto& [k, v] : out) {
      if (k == key) {
        v = value;
        found = true;
      }
    }
    if (!found) out.emplace_back(key, value);
  }
  const std::string& mode = scenario.settingsMode;
  if (mode == "null") {
    *list = nullptr;
  } else if (mode == "null-entries") {
    *list = static_cast<SDMKeyValueList*>(Allocate(sizeof(SDMKeyValueList)));
    (*list)->count = 5;
  } else if (mode == "garbage-count") {
    *list = MakeList(out, 3000);
    (*list)->count = uint64_t{1} << 40;
  } else {
    *list = MakeList(out, 0);
    if (mode == "null-strings" && !out.empty()) {
      JP1_1Free(reinterpret_cast<void**>(&(*list)->entries[0].value));
      if (out.size() > 1) JP1_1Free(reinterpret_cast<void**>(&(*list)->entries[1].key));
    }
  }
  return 0;
}

EXPORT int JP1_1GetWatermarks(void* session, SDMKeyValueList** list) {
  auto* s = static_cast<Session*>(session);
  if (s == nullptr || list == nullptr) return 4096;
  if (scenario.watermarkMode == "null") {
    *list = nullptr;
    return 0;
  }
  *list = MakeList(scenario.watermarksGiven ? scenario.watermarks : s->watermarks, 0);
  return 0;
}

EXPORT int JP1_1EndSession(void* session) {
  delete static_cast<Session*>(session);
  Report("end-session");
  return 0;
}

EXPORT int SDMTerminate(void*) { return 0; }
EXPORT int SDMDllEnd() { return 0; }

EXPORT int JP1_1DllEnd() {
  Report("dll-end live=" + std::to_string(Live().size()) + " foreign=" + std::to_string(foreign_releases));
  return 0;
}
