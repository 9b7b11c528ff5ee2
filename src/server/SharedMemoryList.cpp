#include "server/SharedMemoryList.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Log.h"
#include "server/SDMAllocator.h"

namespace quill {
namespace {

constexpr std::string_view kBOM = "\xEF\xBB\xBF";
constexpr std::string_view kBOMText = "EFBBBF";

void SetNumber(char* field, std::size_t size, std::size_t n, const char* what) {
  CopyToField(field, size, std::to_string(n), what);
}

}  // namespace

void SharedMemoryListDeleter::operator()(SharedMemoryList* list) const { std::free(list); }

SharedMemoryListPtr NewSharedMemoryList() {
  return SharedMemoryListPtr(static_cast<SharedMemoryList*>(std::calloc(1, sizeof(SharedMemoryList))));
}

std::size_t SharedCount(const char* field, std::size_t size, std::size_t limit) {
  const std::string_view text = FieldText(field, size);
  std::size_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    n = n * 10 + static_cast<std::size_t>(c - '0');
    if (n > limit) return limit;
  }
  return n;
}

std::string EncodeByteOrderMark(std::string_view value) {
  if (value.substr(0, kBOM.size()) != kBOM) return std::string(value);
  return std::string(kBOMText) + std::string(value.substr(kBOM.size()));
}

std::string DecodeByteOrderMark(std::string_view value) {
  if (value.substr(0, kBOMText.size()) != kBOMText) return std::string(value);
  return std::string(kBOM) + std::string(value.substr(kBOMText.size()));
}

std::vector<std::pair<std::string, std::string>> SharedSettings(const SharedMemoryList& list) {
  const std::size_t used = SharedCount(list.count, sizeof(list.count), SharedMemoryList::kSlots);
  const std::size_t extra =
      SharedCount(list.extraCount, sizeof(list.extraCount), SharedMemoryList::kSlots);
  const std::size_t n = std::min(used + extra, SharedMemoryList::kSlots);
  std::vector<std::pair<std::string, std::string>> pairs;
  pairs.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    pairs.emplace_back(std::string(FieldText(list.keys[i], SharedMemoryList::kKeySize)),
                       DecodeByteOrderMark(FieldText(list.values[i], SharedMemoryList::kValueSize)));
  }
  return pairs;
}

int SetSharedSettings(SharedMemoryList& list,
                      const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::size_t n = pairs.size();
  if (n > SharedMemoryList::kSlots) {
    PanelLog("SharedMemoryList: %zu settings; the first %zu are kept", n, SharedMemoryList::kSlots);
    n = SharedMemoryList::kSlots;
  }
  int cut = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!CopyToField(list.keys[i], SharedMemoryList::kKeySize, pairs[i].first, "key")) ++cut;
    if (!CopyToField(list.values[i], SharedMemoryList::kValueSize,
                     EncodeByteOrderMark(pairs[i].second), "value")) {
      ++cut;
    }
  }
  SetNumber(list.count, sizeof(list.count), n, "count");
  QUILL_SML_SET(list, extraCount, "0");
  QUILL_SML_SET(list, furtherCount, "0");
  return cut;
}

SharedPresetTracking& PresetTracking() {
  static SharedPresetTracking tracking;
  return tracking;
}

SDMKeyValueList* Create_SDMList_From_SharedMemoryList(const SharedMemoryList& list,
                                                      const SDMAllocator& allocator) {
  std::vector<std::pair<std::string, std::string>> settings = SharedSettings(list);
  SharedPresetTracking& tracking = PresetTracking();
  if (tracking.presetReturned) {
    bool differs = settings.size() != tracking.returned.size();
    for (std::size_t i = 0; !differs && i < settings.size(); ++i) {
      differs = settings[i] != tracking.returned[i];
    }
    if (differs) {
      for (auto& [key, value] : settings) {
        if (key == "PresetName") value.clear();
      }
    }
  }
  tracking = SharedPresetTracking{};
  WidePairs pairs;
  pairs.reserve(settings.size());
  for (const auto& [key, value] : settings) pairs.emplace_back(WideFromUTF8(key), WideFromUTF8(value));
  return SDMCreateKeyValueList(allocator, pairs);
}

int Create_SharedMemoryList_From_SDMList(const SDMKeyValueList* sdm, SharedMemoryList& list) {
  const WidePairs pairs = SDMReadKeyValueList(sdm);
  std::vector<std::pair<std::string, std::string>> settings;
  settings.reserve(pairs.size());
  bool preset = false;
  for (const auto& [key, value] : pairs) {
    settings.emplace_back(UTF8FromWide(key), UTF8FromWide(value));
    if (key == L"PresetName" && !value.empty()) preset = true;
  }
  SetSharedSettings(list, settings);
  SharedPresetTracking& tracking = PresetTracking();
  tracking.presetReturned = preset;
  // What the next hand-over compares with: the slots as stored (after any cut).
  tracking.returned = SharedSettings(list);
  return static_cast<int>(std::min(settings.size(), SharedMemoryList::kSlots));
}

SDMKeyValueList* Create_SDMWatermarkList_From_SharedMemoryList(const SharedMemoryList& list,
                                                               const SDMAllocator& allocator) {
  const std::size_t n =
      SharedCount(list.watermarkCount, sizeof(list.watermarkCount), SharedMemoryList::kWatermarks);
  WidePairs pairs;
  for (std::size_t i = 0; i < n; ++i) {
    pairs.emplace_back(WideFromUTF8(FieldText(list.watermarkIds[i], sizeof(list.watermarkIds[i]))),
                       WideFromUTF8(FieldText(list.watermarkTexts[i], sizeof(list.watermarkTexts[i]))));
  }
  return SDMCreateKeyValueList(allocator, pairs);
}

int Create_SharedMemoryWatermarkList_From_SDMList(const SDMKeyValueList* sdm,
                                                  SharedMemoryList& list) {
  const WidePairs pairs = SDMReadKeyValueList(sdm);
  std::size_t n = pairs.size();
  if (n > SharedMemoryList::kWatermarks) {
    PanelLog("SharedMemoryList: %zu watermarks from the module; 20 are kept", n);
    n = SharedMemoryList::kWatermarks;
  }
  for (std::size_t i = 0; i < n; ++i) {
    CopyToField(list.watermarkTexts[i], sizeof(list.watermarkTexts[i]), UTF8FromWide(pairs[i].second),
                "watermark text");
  }
  SetNumber(list.watermarkCount, sizeof(list.watermarkCount), n, "watermark count");
  return static_cast<int>(n);
}

std::vector<std::string> GetWatermarkList_From_CombinedList(const SharedMemoryList& list) {
  const std::size_t n =
      SharedCount(list.watermarkCount, sizeof(list.watermarkCount), SharedMemoryList::kWatermarks);
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < n; ++i) {
    texts.emplace_back(FieldText(list.watermarkTexts[i], sizeof(list.watermarkTexts[i])));
  }
  return texts;
}

}  // namespace quill
