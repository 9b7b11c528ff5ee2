#include "server/SDMCallbacks.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <cwctype>

#include "platform/Log.h"
#include "platform/PrintSession.h"
#include "platform/Printer.h"
#include "server/BidiSections.h"
#include "server/CPPDMsgHdlr.h"
#include "server/SDMText.h"
#include "server/SharedMemoryList.h"
#include "server/SpoolerCommands.h"

namespace quill {
namespace {

constexpr int kOk = 0;
constexpr int kNoData = 4096;
constexpr int kNoOutput = 7100;

BidiSections& Sections() {
  SDMCallbackContext& context = CallbackContext();
  return context.sections != nullptr ? *context.sections : BidiSections::Current();
}

// The section's text; null when absent or empty.
const std::wstring* Section(std::string_view name) {
  const std::wstring* text = Sections().Section(name);
  return text != nullptr && !text->empty() ? text : nullptr;
}

int AnswerText(void* module, std::wstring_view text, wchar_t** out) {
  *out = nullptr;
  if (text.empty()) return kNoData;
  *out = CallbackAllocator(module).CopyWide(text);
  return *out != nullptr ? kOk : kNoData;
}

// "count, then N pairs of lines (key, value)"; "EMPTYSTRING" is an empty value.
WidePairs CountedPairs(std::wstring_view text) {
  const std::vector<std::wstring> lines = SectionLines(text);
  WidePairs pairs;
  if (lines.empty()) return pairs;
  const long count = CountLine(lines[0]);
  for (long i = 0; i < count; ++i) {
    const std::size_t at = 1 + 2 * static_cast<std::size_t>(i);
    if (at >= lines.size()) break;
    std::wstring value = at + 1 < lines.size() ? lines[at + 1] : std::wstring();
    if (value == L"EMPTYSTRING") value.clear();
    pairs.emplace_back(lines[at], std::move(value));
  }
  return pairs;
}

int AnswerList(void* module, const WidePairs& pairs, SDMKeyValueList** out) {
  *out = SDMCreateKeyValueList(CallbackAllocator(module), pairs);
  return *out != nullptr ? kOk : kNoData;
}

// Up to 30 lines split at their first `separator`, each part cut to 255 characters (logged).
WidePairs SplitLines(std::wstring_view text, wchar_t separator, bool valueFirst) {
  WidePairs pairs;
  std::vector<std::wstring> lines = SectionLines(text);
  if (lines.size() > 30) {
    PanelLog("sdmFuncPtrGetServerInfoAll: %zu lines; the first 30 are taken", lines.size());
    lines.resize(30);
  }
  for (const std::wstring& line : lines) {
    if (line.empty()) continue;
    const std::size_t at = line.find(separator);
    std::wstring before = line.substr(0, at);
    std::wstring after = at == std::wstring::npos ? std::wstring() : line.substr(at + 1);
    for (std::wstring* part : {&before, &after}) {
      if (part->size() > 255) {
        PanelLog("sdmFuncPtrGetServerInfoAll: a part of %zu characters cut to 255", part->size());
        part->resize(255);
      }
    }
    if (valueFirst) {
      pairs.emplace_back(std::move(after), std::move(before));
    } else {
      pairs.emplace_back(std::move(before), std::move(after));
    }
  }
  return pairs;
}

std::string XMLEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

// A wide text of at most 2047 characters in an 8192-byte block.
int AnswerFixedBlock(const SDMAllocator& allocator, std::wstring_view text, wchar_t** out) {
  *out = static_cast<wchar_t*>(allocator.Allocate(8192));
  if (*out == nullptr) return kNoData;
  if (text.size() > 2047) {
    PanelLog("SDMCallbacks: a text of %zu characters cut to 2047", text.size());
    text = text.substr(0, 2047);
  }
  std::memcpy(*out, text.data(), text.size() * sizeof(wchar_t));
  return kOk;
}

bool LanguageIs(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

SDMCallbackContext& CallbackContext() {
  static SDMCallbackContext context;
  return context;
}

SDMAllocator CallbackAllocator(void* module) {
  const SDMCallbackContext& context = CallbackContext();
  if (!context.twoWay) return SDMAllocator::Host();
  return SDMAllocator::Module(context.moduleAlloc, context.moduleFree, module);
}

std::vector<std::wstring> SectionLines(std::wstring_view text, wchar_t separator) {
  std::vector<std::wstring> lines;
  while (!text.empty()) {
    const std::size_t end = text.find(separator);
    std::wstring_view line = text.substr(0, end);
    if (separator == L'\n' && !line.empty() && line.back() == L'\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::wstring_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

long CountLine(std::wstring_view line) {
  long n = 0;
  for (wchar_t c : line) {
    if (c < L'0' || c > L'9') break;
    n = n * 10 + (c - L'0');
    if (n > 1000000) return 1000000;
  }
  return n;
}

std::optional<std::wstring> ServerInfoItem(std::wstring_view text, std::wstring_view name) {
  if (name.empty()) return std::nullopt;
  for (const std::wstring& line : SectionLines(text)) {
    const std::size_t colon = line.find(L':');
    if (colon != std::wstring::npos && std::wstring_view(line).substr(colon + 1) == name) {
      return line.substr(0, colon);
    }
  }
  return std::nullopt;
}

std::optional<std::wstring> ServerFeature(std::wstring_view text, std::wstring_view name) {
  if (name.empty()) return std::nullopt;
  for (const std::wstring& line : SectionLines(text)) {
    const std::size_t eq = line.find(L'=');
    if (eq != std::wstring::npos && std::wstring_view(line).substr(0, eq) == name) {
      return line.substr(eq + 1);
    }
  }
  return std::nullopt;
}

std::string NonBidiDataDocument(const SharedMemoryList& shared, std::string_view locale) {
  std::string doc = "<?xml version=\"1.0\" encoding=\"UTF8\"?>\n<SMDData>\n <Configuration locale=\"";
  doc += XMLEscape(locale);
  doc += "\" encoding=\"UTF8\" ppdLocation0=\"";
  doc += XMLEscape(QUILL_SML_GET(shared, ppdPath));
  doc += "\" ControlScope=\"Driver\"  /> \n <Device deviceName=\"\" deviceID=\"0\"> \n";
  doc += "  <InstallableOptions>";
  std::string_view slots = QUILL_SML_GET(shared, installable);
  while (!slots.empty()) {
    const std::size_t comma = slots.find(',');
    const std::string_view number = slots.substr(0, comma);
    slots = comma == std::string_view::npos ? std::string_view() : slots.substr(comma + 1);
    if (number.empty() || number.size() > 4) continue;
    std::size_t slot = 0;
    bool digits = true;
    for (char c : number) {
      digits = digits && c >= '0' && c <= '9';
      slot = slot * 10 + static_cast<std::size_t>(c - '0');
    }
    if (!digits || slot >= SharedMemoryList::kSlots) continue;
    doc += "\n   <InstalledOptions key=\"";
    doc += XMLEscape(FieldText(shared.keys[slot], SharedMemoryList::kKeySize));
    doc += "\" value=\"";
    doc += XMLEscape(DecodeByteOrderMark(FieldText(shared.values[slot], SharedMemoryList::kValueSize)));
    doc += "\"/>";
  }
  doc += "\n  </InstallableOptions>";
  doc += "\n </Device> \n</SMDData>";
  if (doc.size() > 2047) {
    PanelLog("sdmFuncPtrGetServerDataNonBidi: the document of %zu bytes is cut to 2047", doc.size());
    doc.resize(UTF8PrefixLength(doc, 2047));
  }
  return doc;
}

std::string ServerLanguageCode(std::string_view preferred) {
  // "zh-Hant-TW", "zh_TW.UTF-8@variant": language, then script (4 letters) or country.
  std::string_view tag = preferred.substr(0, preferred.find_first_of(".@"));
  std::vector<std::string> parts;
  while (!tag.empty()) {
    const std::size_t sep = tag.find_first_of("-_");
    parts.emplace_back(tag.substr(0, sep));
    if (sep == std::string_view::npos) break;
    tag.remove_prefix(sep + 1);
  }
  if (parts.empty()) return "en";
  std::string code = parts[0];
  for (char& c : code) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (code == "ZH") {
    std::string script;
    if (parts.size() > 1 && parts[1].size() == 4) {
      script = parts[1];
    } else if (parts.size() > 1) {
      std::string country = parts[1];
      for (char& c : country) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      script = country == "TW" || country == "HK" || country == "MO" ? "Hant" : "Hans";
    }
    if (!script.empty()) code += "-" + script;
  }
  static const std::pair<const char*, const char*> kCodes[] = {
      {"en", "en"},     {"ko", "ko_KR"},   {"ja", "ja"}, {"fr", "fr"}, {"de", "de"}, {"sv", "sv"},
      {"nl", "nl"},     {"zh-Hans", "zh_CN"}, {"zh-Hant", "zh_TW"}, {"tr", "tr"}, {"es", "es"},
      {"fi", "fi"},     {"no", "no"},      {"nb", "no"}, {"nn", "no"}, {"ru", "ru"}, {"pt-BR", "pt"},
      {"it", "it"},     {"da", "da"},      {"pl", "pl"}, {"cs", "cs_CZ"}, {"pt", "pt"}, {"wa", "fr"},
      {"ca", "es"}};
  for (const auto& [language, result] : kCodes) {
    if (LanguageIs(code, language)) return result;
  }
  return "en";
}

std::string getCurrentLocaleCode() {
  for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    std::string_view first(value);
    first = first.substr(0, first.find(':'));
    if (first.empty() || first == "C" || first == "POSIX") continue;
    return ServerLanguageCode(first);
  }
  return "en";
}

}  // namespace quill

using namespace quill;

extern "C" {

int sdmFuncPtrGetServerData(void* module, wchar_t** out) {
  if (out == nullptr) return kNoOutput;
  const std::wstring* text = Section("BidiData");
  return AnswerText(module, text != nullptr ? *text : std::wstring_view(), out);
}

int sdmFuncPtrGetServerDataNonBidi(void*, wchar_t** out) {
  if (out == nullptr) return kNoOutput;
  const SDMCallbackContext& context = CallbackContext();
  std::string doc;
  if (context.shared != nullptr) doc = NonBidiDataDocument(*context.shared, context.languageCode);
  return AnswerFixedBlock(SDMAllocator::Host(), WideFromUTF8(doc), out);
}

int sdmGetPPDDefaults(void*, unsigned long, SDMKeyValueList* list) {
  if (list == nullptr) return kNoOutput;
  const std::wstring* text = Section("PpdDefaults");
  if (text == nullptr) return kNoData;
  const WidePairs parsed = CountedPairs(*text);
  if (parsed.empty()) return kNoData;
  if (list->count > 0 && list->entries == nullptr) return kNoData;
  const uint64_t count = std::min<uint64_t>(list->count, kMaxListEntries);
  // The module's list: its value strings are replaced by copies from its own allocator, the
  // old ones released by it.
  const SDMAllocator allocator = CallbackAllocator(nullptr);
  for (uint64_t i = 0; i < count; ++i) {
    SDMKeyValue& entry = list->entries[i];
    if (entry.key == nullptr) continue;
    const std::wstring_view key(entry.key, BoundedWideLength(entry.key, kMaxListString));
    for (const auto& [k, v] : parsed) {
      if (k != key) continue;
      wchar_t* copy = allocator.CopyWide(v);
      if (copy == nullptr) return kNoData;
      allocator.Release(entry.value);
      entry.value = copy;
      break;
    }
  }
  return kOk;
}

int sdmFuncPtrGetColorKeysFactoryDefaultValues(void* module, int, SDMKeyValueList** out) {
  if (!CallbackContext().twoWay) return kOk;
  if (out == nullptr) return kNoOutput;
  *out = nullptr;
  const std::wstring* text = Section("ColorDefaultList");
  if (text == nullptr) return kNoData;
  const WidePairs pairs = CountedPairs(*text);
  if (pairs.empty()) return kNoData;
  return AnswerList(module, pairs, out);
}

int sdmFuncPtrGetHoldQueueAttributes(void* module, SDMKeyValueList** props, SDMKeyValueList** locked) {
  if (!CallbackContext().twoWay) return kOk;
  if (props == nullptr || locked == nullptr) return kNoOutput;
  *props = nullptr;
  *locked = nullptr;
  int result = kOk;
  const std::wstring* text = Section("QueuePropList");
  if (text == nullptr || AnswerList(module, CountedPairs(*text), props) != kOk) result = kNoData;
  text = Section("ListLockedKeys");
  if (text == nullptr || AnswerList(module, CountedPairs(*text), locked) != kOk) result = kNoData;
  return result;
}

int sdmUpdateToneSmithOptions(void* module, int, wchar_t** out) {
  if (out == nullptr) return kNoOutput;
  const std::wstring* text = Section("ToneSmith");
  return AnswerText(module, text != nullptr ? *text : std::wstring_view(), out);
}

int sdmFuncPtrGetServerValueFromDict(void* module, int, wchar_t** out, const wchar_t* name) {
  if (out == nullptr) return kNoOutput;
  *out = nullptr;
  if (name == nullptr) return kNoData;
  const std::wstring_view key(name, BoundedWideLength(name, 101));
  if (key.size() > 100) return kNoData;
  std::wstring value;
  if (key == L"SPD_MAPPING_ENABLE" || key == L"VD1_NO_RECORD") {
    const std::wstring* text =
        Section(key == L"SPD_MAPPING_ENABLE" ? "ServerValFrmDictspdmapen" : "ServerValFrmDictvdnorec");
    if (text != nullptr) value = *text;
  } else if (const std::wstring* text = Section("ServerValFrmDict")) {
    const std::vector<std::wstring> lines = SectionLines(*text);
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
      if (lines[i] == key) {
        value = lines[i + 1].substr(0, 10);
        break;
      }
    }
  }
  if (value.empty()) return kNoData;
  // A 128-byte block holds 31 characters and the terminator.
  if (value.size() > 31) {
    PanelLog("sdmFuncPtrGetServerValueFromDict: a value of %zu characters cut to 31", value.size());
    value.resize(31);
  }
  *out = static_cast<wchar_t*>(CallbackAllocator(module).Allocate(128));
  if (*out == nullptr) return kNoData;
  std::memcpy(*out, value.data(), value.size() * sizeof(wchar_t));
  return kOk;
}

int sdmFuncPtrGetTonerInfo(void* module, unsigned long, SDMTonerInfoArray** out) {
  if (out == nullptr) return kNoOutput;
  *out = nullptr;
  const std::wstring* raw = Sections().Section("TonerInfo");
  if (raw != nullptr && raw->empty()) CallbackContext().tonerSectionEmpty = true;
  if (raw == nullptr || raw->empty()) return kNoData;
  const std::vector<std::wstring> lines = SectionLines(*raw);
  const long announced = lines.empty() ? 0 : CountLine(lines[0]);
  if (announced < 1) return kNoData;
  const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(announced), lines.size() - 1);
  const SDMAllocator allocator = CallbackAllocator(module);
  auto* array = static_cast<SDMTonerInfoArray*>(allocator.Allocate(sizeof(SDMTonerInfoArray)));
  if (array == nullptr) return kNoData;
  array->entries = static_cast<SDMTonerInfo*>(allocator.Allocate(std::max<std::size_t>(count, 1) * sizeof(SDMTonerInfo)));
  if (array->entries == nullptr) {
    allocator.Release(array);
    return kNoData;
  }
  bool failed = false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::vector<std::wstring> f = SectionLines(lines[i + 1], L'@');
    auto field = [&f](std::size_t n) { return n < f.size() ? f[n] : std::wstring(); };
    SDMTonerInfo& t = array->entries[i];
    t.name = allocator.CopyWide(field(0));
    t.level = static_cast<int32_t>(CountLine(field(1)));
    t.scale = 100;
    t.color = field(3) == L"NULL" ? nullptr : allocator.CopyWide(field(3));
    t.low = static_cast<int32_t>(CountLine(field(4)));
    t.high = static_cast<int32_t>(CountLine(field(5)));
    t.kind = static_cast<int32_t>(CountLine(field(6)));
    array->count = static_cast<int32_t>(i + 1);
    failed = failed || t.name == nullptr || (t.color == nullptr && field(3) != L"NULL");
  }
  if (failed) {
    for (int32_t i = 0; i < array->count; ++i) {
      allocator.Release(array->entries[i].name);
      allocator.Release(array->entries[i].color);
    }
    allocator.Release(array->entries);
    allocator.Release(array);
    return kNoData;
  }
  *out = array;
  return kOk;
}

int sdmFuncPtrGetTrayInfo(void* module, unsigned long, SDMTrayInfoArray** out) {
  if (out == nullptr) return kNoOutput;
  *out = nullptr;
  const std::wstring* raw = Sections().Section("TrayInfo");
  if (raw != nullptr && raw->empty()) CallbackContext().traySectionEmpty = true;
  if (raw == nullptr || raw->empty()) return kNoData;
  std::vector<std::wstring> parts = SectionLines(*raw, L':');
  const long announced = parts.empty() ? 0 : CountLine(parts[0]);
  if (announced < 1) return kNoData;
  std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(announced), 20);
  count = std::min(count, parts.size() - 1);
  if (count == 0) return kNoData;
  const SDMAllocator allocator = CallbackAllocator(module);
  auto* array = static_cast<SDMTrayInfoArray*>(allocator.Allocate(sizeof(SDMTrayInfoArray)));
  if (array == nullptr) return kNoData;
  array->entries = static_cast<SDMTrayInfo*>(allocator.Allocate(count * sizeof(SDMTrayInfo)));
  if (array->entries == nullptr) {
    allocator.Release(array);
    return kNoData;
  }
  bool failed = false;
  for (std::size_t i = 0; i < count; ++i) {
    if (parts[i + 1].size() > 2055) {
      PanelLog("sdmFuncPtrGetTrayInfo: tray %zu of %zu characters cut to 2055", i, parts[i + 1].size());
    }
    std::wstring part = parts[i + 1].substr(0, 2055);
    const std::vector<std::wstring> f = SectionLines(part, L'@');
    SDMTrayInfo& tray = array->entries[i];
    for (std::size_t n = 0; n < 8; ++n) {
      std::wstring text = n < f.size() ? f[n] : std::wstring(L"N/A");
      if (n < f.size() && text.empty() && n > 0) text = L"N/A";
      if (text == L"EMPTY") text.clear();
      tray.texts[n] = allocator.CopyWide(text);
      failed = failed || tray.texts[n] == nullptr;
    }
    tray.number1 = f.size() > 8 ? static_cast<int32_t>(CountLine(f[8])) : 0;
    tray.number2 = f.size() > 9 ? static_cast<int32_t>(CountLine(f[9])) : 0;
  }
  array->count = static_cast<int32_t>(count);
  if (failed) {
    for (std::size_t i = 0; i < count; ++i) {
      for (wchar_t* text : array->entries[i].texts) allocator.Release(text);
    }
    allocator.Release(array->entries);
    allocator.Release(array);
    return kNoData;
  }
  *out = array;
  return kOk;
}

int sdmFuncPtrGetServerInfo(void* module, int item, wchar_t** out) {
  if (out == nullptr) return 0;
  *out = nullptr;
  static const std::pair<int, const wchar_t*> kItems[] = {
      {0, L"ServerName"},   {1, L"ServerVersion"}, {5, L"DiskAvailable"}, {6, L"DiskTotal"},
      {7, L"MemAvailable"}, {11, L"ProductFamily"}, {12, L"ServerOS"},     {13, L"PCLSupport"},
      {14, L"PSSupport"},   {15, L"ToneSmith"},     {16, L"MemSize"}};
  const wchar_t* name = nullptr;
  for (const auto& [value, itemName] : kItems) {
    if (value == item) name = itemName;
  }
  const std::wstring* text = Section("ServerInfo");
  if (name == nullptr || text == nullptr) return 0;
  const std::optional<std::wstring> value = ServerInfoItem(*text, name);
  if (!value) return 0;
  *out = CallbackAllocator(module).CopyWide(*value);
  return *out != nullptr ? 1 : 0;
}

int sdmFuncPtrIsServerFeatureSupported(void*, const wchar_t* name) {
  const std::wstring* text = Section("ServerFeatureSupport");
  if (name == nullptr || text == nullptr) return 0;
  const std::optional<std::wstring> value =
      ServerFeature(*text, std::wstring_view(name, BoundedWideLength(name, kMaxListString)));
  return value && *value == L"yes" ? 1 : 0;
}

int sdmFuncPtrGetServerFeatureValue(void* module, const wchar_t* name, wchar_t** out) {
  if (out == nullptr) return 0;
  *out = nullptr;
  const std::wstring* text = Section("ServerFeatureSupport");
  if (name == nullptr || text == nullptr) return 0;
  const std::optional<std::wstring> value =
      ServerFeature(*text, std::wstring_view(name, BoundedWideLength(name, kMaxListString)));
  if (!value) return 0;
  *out = CallbackAllocator(module).CopyWide(*value);
  return *out != nullptr ? 1 : 0;
}

int sdmFuncPtrGetServerPresetNamesList(void* module, wchar_t*** names, int* count, int) {
  if (names == nullptr || count == nullptr) return kNoOutput;
  *names = nullptr;
  *count = 0;
  const std::wstring* text = Section("PresetsList");
  if (text == nullptr) return kNoData;
  const std::vector<std::wstring> lines = SectionLines(*text);
  const long announced = lines.empty() ? 0 : CountLine(lines[0]);
  const std::size_t n = std::min<std::size_t>(announced < 1 ? 0 : static_cast<std::size_t>(announced), lines.size() - 1);
  if (n == 0) return kNoData;
  const SDMAllocator allocator = CallbackAllocator(module);
  auto* array = static_cast<wchar_t**>(allocator.Allocate(n * sizeof(wchar_t*)));
  if (array == nullptr) return kNoData;
  for (std::size_t i = 0; i < n; ++i) {
    array[i] = allocator.CopyWide(std::wstring_view(lines[i + 1]).substr(0, 1023));
    if (array[i] == nullptr) {
      for (std::size_t j = 0; j < i; ++j) allocator.Release(array[j]);
      allocator.Release(array);
      return kNoData;
    }
  }
  *names = array;
  *count = static_cast<int>(n);
  return kOk;
}

int sdmFuncPtrGetServerPresetDataByName(void* module, const wchar_t* name, SDMKeyValueList** job,
                                        SDMKeyValueList** impose, SDMKeyValueList** preset) {
  if (job == nullptr || impose == nullptr || preset == nullptr) return kNoOutput;
  *job = *impose = *preset = nullptr;
  const std::wstring* text = Section("PresetsData");
  if (name == nullptr || text == nullptr) return kNoData;
  const std::wstring_view wanted(name, BoundedWideLength(name, kMaxListString));
  const std::vector<std::wstring> lines = SectionLines(*text);
  std::size_t at = 0;
  while (at < lines.size() && lines[at] != wanted) ++at;
  if (at == lines.size()) return kNoData;
  ++at;
  static const wchar_t* const kHeaders[] = {L"JPKeyValues=", L"ImposeKeyValues=", L"PresetKeyValues="};
  SDMKeyValueList** outs[] = {job, impose, preset};
  const SDMAllocator allocator = CallbackAllocator(module);
  for (int block = 0; block < 3; ++block) {
    if (at >= lines.size() || lines[at].rfind(kHeaders[block], 0) != 0) break;
    const long n = CountLine(std::wstring_view(lines[at]).substr(std::wcslen(kHeaders[block])));
    ++at;
    const std::size_t found = std::min<std::size_t>(n < 0 ? 0 : static_cast<std::size_t>(n), lines.size() - at);
    if (n > 0 && found == static_cast<std::size_t>(n)) {
      std::vector<std::wstring> block_lines(lines.begin() + static_cast<long>(at),
                                            lines.begin() + static_cast<long>(at + found));
      if (SDMAllocKeyValueListFromKeyValueSetWChar(block_lines, allocator, found, outs[block]) != kOk) {
        return kNoData;
      }
    }
    at += found;
  }
  return *job != nullptr || *impose != nullptr || *preset != nullptr ? kOk : kNoData;
}

int sdmFuncPtrGetAllDeviceLinkProfiles(void* module, unsigned long, SDMKeyValueList** out) {
  if (out == nullptr) return kNoOutput;
  *out = nullptr;
  const std::wstring* text = Section("DeviceLinkProfilesList");
  if (text == nullptr) return kNoData;
  std::vector<std::wstring> lines = SectionLines(*text);
  const long announced = lines.empty() ? 0 : CountLine(lines[0]);
  if (announced < 1) return kNoData;
  lines.erase(lines.begin());
  return SDMAllocKeyValueListFromKeyValueSetWChar(lines, CallbackAllocator(module),
                                                  static_cast<std::size_t>(announced), out);
}

int sdmFuncPtrGetLoclHelpStrings(void* module, unsigned long, wchar_t*, wchar_t*, wchar_t*** strings,
                                 long* count) {
  if (strings == nullptr || count == nullptr) return kNoOutput;
  *strings = nullptr;
  *count = 0;
  const std::wstring* text = Section("CDIHelpStrings");
  if (text == nullptr) return kNoData;
  const std::vector<std::wstring> lines = SectionLines(*text);
  const long announced = lines.empty() ? 0 : CountLine(lines[0]);
  const std::size_t n = std::min<std::size_t>(announced < 1 ? 0 : static_cast<std::size_t>(announced), lines.size() - 1);
  if (n == 0) return kNoData;
  const SDMAllocator allocator = CallbackAllocator(module);
  auto* array = static_cast<wchar_t**>(allocator.Allocate(n * sizeof(wchar_t*)));
  if (array == nullptr) return kNoData;
  for (std::size_t i = 0; i < n; ++i) {
    array[i] = allocator.CopyWide(lines[i + 1]);
    if (array[i] == nullptr) {
      for (std::size_t j = 0; j < i; ++j) allocator.Release(array[j]);
      allocator.Release(array);
      return kNoData;
    }
  }
  *strings = array;
  *count = static_cast<long>(n);
  return kOk;
}

int sdmFuncPtrGetServerInfoAll(void* module, SDMKeyValueList** out) {
  if (out == nullptr) return kNoOutput;
  *out = nullptr;
  const std::wstring* text = Section("ServerInfo");
  if (text == nullptr) return kNoData;
  return AnswerList(module, SplitLines(*text, L':', true), out);
}

int sdmFuncPtrGetServerFeaturesAll(void* module, SDMKeyValueList** out) {
  if (out == nullptr) return kNoOutput;
  *out = nullptr;
  const std::wstring* text = Section("ServerFeatureSupport");
  if (text == nullptr) return kNoData;
  return AnswerList(module, SplitLines(*text, L'=', false), out);
}

int sdmFuncPtrGetDriverVersion(void* module, int which, wchar_t** out) {
  if (out == nullptr) return kNoOutput;
  const SDMCallbackContext& context = CallbackContext();
  std::string_view text;
  if (context.shared != nullptr && which == 1) text = QUILL_SML_GET(*context.shared, driverVersion);
  if (context.shared != nullptr && which == 0) text = QUILL_SML_GET(*context.shared, makerVersion);
  AnswerFixedBlock(CallbackAllocator(module), WideFromUTF8(text), out);
  return kOk;
}

int sdmFuncPtrGetLocalPresetsData(void* module, wchar_t** out, int) {
  if (out == nullptr) return kNoOutput;
  *out = nullptr;
  SDMCallbackContext& context = CallbackContext();
  std::string text;
  if (context.readLocalPresets) {
    text = context.readLocalPresets();
  } else if (context.shared != nullptr) {
    const std::string path(QUILL_SML_GET(*context.shared, ppdPath));
    if (!path.empty()) text = CPPDMsgHdlr("localPreset", path).GetCStringData();
  }
  if (text.empty()) return kNoData;
  std::string restored;
  for (std::size_t at = 0; at < text.size();) {
    if (text.compare(at, 6, "EFBBBF") == 0) {
      restored += "\xEF\xBB\xBF";
      at += 6;
    } else {
      restored += text[at++];
    }
  }
  *out = CallbackAllocator(module).CopyWide(WideFromUTF8(restored));
  return *out != nullptr ? kOk : kNoData;
}

int sdmFuncPtrSetLocalPresetsData(void*, const char** data, int) {
  if (data == nullptr || *data == nullptr) return kNoData;
  std::string text;
  for (std::string_view rest(*data); !rest.empty();) {
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") {
      text += "EFBBBF";
      rest.remove_prefix(3);
    } else {
      text += rest.front();
      rest.remove_prefix(1);
    }
  }
  SDMCallbackContext& context = CallbackContext();
  if (context.sendLocalPresets) return context.sendLocalPresets(text) ? kOk : kNoData;
  // Without a hook the presets go to the current printer's filter, which stores them as the
  // block "localPreset"; the module is answered once that command job has completed.
  const Printer* printer = PrintSession::Current().CurrentPrinter();
  if (printer == nullptr) return kNoData;
  const std::string title = std::string(kCommandWritePresetData) + NewCommandIdentifier();
  const Printer::SendResult sent = printer->SendCommand(text, title);
  if (!sent) {
    PanelLog("sdmFuncPtrSetLocalPresetsData cannot send the presets: %s", sent.error.c_str());
    return kNoData;
  }
  return isJobComple(*printer, sent.jobId, title.c_str()) ? kOk : kNoData;
}

int sdmFuncPtrFree(void** pointer) {
  if (pointer == nullptr || *pointer == nullptr) return kNoOutput;
  const SDMCallbackContext& context = CallbackContext();
  if (context.moduleFree != nullptr) {
    context.moduleFree(pointer);
  } else {
    PanelLog("sdmFuncPtrFree: no module to release a block; it is left alone");
  }
  *pointer = nullptr;
  return kOk;
}

int sdmFuncPtrFreeNonBidi(void** pointer) {
  if (pointer == nullptr || *pointer == nullptr) return kNoData;
  std::free(*pointer);
  *pointer = nullptr;
  return kOk;
}

int sdmGetPreviewPagesCount(void*) { return kNoData; }
int sdmFuncPtrGetCalibration(void*) { return kNoData; }
int pGetDeviceLinkProfile(void*) { return kNoData; }
int sdmFuncPtrGetCalibrationEx(void*) { return kOk; }
int sdmFuncPtrUpdateVarDataMasters(void*) { return kOk; }
int pGetCalibration(void*) { return kOk; }
int pGetCalibrationEx(void*) { return kOk; }
int pGetNonQuillCalibrationInfo(void*) { return kOk; }
int pUpdateOutsidePPDOptions(void*) { return kOk; }
int pGetFontList(void*) { return kOk; }
int pGetFonts(void*) { return kOk; }
int pGetServerFeatureValue(void*) { return kOk; }
int pGetPreviewPageThumbnailPNG(void*) { return kOk; }
int pGetPreviewPagesCount(void*) { return kOk; }
int pPerformJobAction(void*) { return kOk; }
int pUpdateToneSmithOptions(void*, int, wchar_t**) { return kOk; }

}  // extern "C"

namespace quill {

void FillSDMCallbackTable(SDMCallbackTable& table, bool twoWay) {
  std::memset(&table, 0, sizeof table);
  table.version = 19;
  table.twoWay = twoWay ? 1 : 0;
  table.getDriverVersion = sdmFuncPtrGetDriverVersion;
  table.getServerInfoAll = sdmFuncPtrGetServerInfoAll;
  table.getServerFeaturesAll = sdmFuncPtrGetServerFeaturesAll;
  table.getHoldQueueAttributes = sdmFuncPtrGetHoldQueueAttributes;
  table.getColorKeysFactoryDefaultValues = sdmFuncPtrGetColorKeysFactoryDefaultValues;
  if (twoWay) {
    table.getServerData = sdmFuncPtrGetServerData;
    table.getPPDDefaults = sdmGetPPDDefaults;
    table.getPreviewPagesCount = sdmGetPreviewPagesCount;
    table.free = sdmFuncPtrFree;
    table.getTrayInfo = sdmFuncPtrGetTrayInfo;
    table.getTonerInfo = sdmFuncPtrGetTonerInfo;
    table.updateVarDataMasters = sdmFuncPtrUpdateVarDataMasters;
    table.updateToneSmithOptions = sdmUpdateToneSmithOptions;
    table.getCalibration = sdmFuncPtrGetCalibration;
    table.getServerValueFromDict = sdmFuncPtrGetServerValueFromDict;
    table.getServerPresetNamesList = sdmFuncPtrGetServerPresetNamesList;
    table.getServerPresetDataByName = sdmFuncPtrGetServerPresetDataByName;
    table.getCalibrationEx = sdmFuncPtrGetCalibrationEx;
    table.getLoclHelpStrings = sdmFuncPtrGetLoclHelpStrings;
    table.getAllDeviceLinkProfiles = sdmFuncPtrGetAllDeviceLinkProfiles;
  } else {
    table.getServerData = sdmFuncPtrGetServerDataNonBidi;
    table.updateOutsidePPDOptions = pUpdateOutsidePPDOptions;
    table.getFontList = pGetFontList;
    table.getFonts = pGetFonts;
    table.getDeviceLinkProfile = pGetDeviceLinkProfile;
    table.getServerFeatureValue = pGetServerFeatureValue;
    table.getPreviewPageThumbnailPNG = pGetPreviewPageThumbnailPNG;
    table.getPreviewPagesCount = pGetPreviewPagesCount;
    table.performJobAction = pPerformJobAction;
    table.free = sdmFuncPtrFreeNonBidi;
    table.updateToneSmithOptions = pUpdateToneSmithOptions;
    table.getCalibration = pGetCalibration;
    table.getCalibrationEx = pGetCalibrationEx;
    table.getNonQuillCalibrationInfo = pGetNonQuillCalibrationInfo;
  }
}

}  // namespace quill
