#include "output/KRTWatermarkList.h"

#include <charconv>

#include "platform/Log.h"

namespace {

std::string CutUTF8(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

// A whole decimal number (an optional minus sign and digits); nullopt otherwise.
std::optional<long long> ReadNumber(std::string_view text) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

KRTWatermark* KRTWatermarkList::At(int index) {
  return index >= 0 && index < Count() ? records_[index].get() : nullptr;
}

const KRTWatermark* KRTWatermarkList::At(int index) const {
  return index >= 0 && index < Count() ? records_[index].get() : nullptr;
}

int KRTWatermarkList::Select(long long index) {
  selected_ = index >= 0 && index < Count() ? static_cast<int>(index) : -1;
  return selected_;
}

bool KRTWatermarkList::Add(const char* recordText, std::string* why) {
  if (records_.size() >= kMaxWatermarks) {
    if (why != nullptr) *why = "the watermark list is full";
    return false;
  }
  auto record = std::make_unique<KRTWatermark>(recordText);
  if (!record->IsValid()) {
    if (why != nullptr) *why = record->Problem();
    return false;
  }
  records_.push_back(std::move(record));
  return true;
}

void KRTWatermarkList::Clear() {
  records_.clear();
  selected_ = -1;
}

bool KRTWatermarkList::LoadFromLines(const std::vector<std::string>& lines) {
  if (lines.empty()) return false;
  const int selected = selected_;
  Clear();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (records_.size() >= kMaxWatermarks) {
      quill::PanelLog("KRTWatermarkList::LoadFromLines: %zu stored watermarks, %zu kept",
                      lines.size(), kMaxWatermarks);
      break;
    }
    std::string why;
    if (!Add(CutUTF8(lines[i], kMaxStoredLine).c_str(), &why)) {
      quill::PanelLog("KRTWatermarkList::LoadFromLines: watermark %zu skipped: %s", i, why.c_str());
    }
  }
  Select(selected);
  return true;
}

std::vector<std::string> KRTWatermarkList::StoredLines() const {
  std::vector<std::string> lines;
  lines.reserve(records_.size());
  for (const auto& record : records_) lines.push_back(record->RecordText());
  return lines;
}

int KRTWatermarkList::AddDefaults(
    const std::function<std::string(const std::string& key)>& localized) {
  if (!records_.empty() || !localized) return Count();
  for (int i = 0; i < 5; ++i) {
    const std::string key = "Watermark" + std::to_string(i);
    std::string why;
    if (!Add(localized(key).c_str(), &why)) {
      quill::PanelLog("KRTWatermarkList::AddDefaults: %s skipped: %s", key.c_str(), why.c_str());
    }
  }
  return Count();
}

int32_t KRTWatermarkList::FirstPageInfo() const {
  const KRTWatermark* selected = Selected();
  return selected != nullptr && selected->FirstPageOnly() ? 1 : 0;
}

void KRTWatermarkList::RestoreSelection(std::optional<long long> storedIndex,
                                        long long storedCount,
                                        std::optional<long long> firstPageInfo) {
  selected_ = -1;
  if (storedIndex && *storedIndex < storedCount) Select(*storedIndex);
  if (firstPageInfo && *firstPageInfo != 0) {
    if (KRTWatermark* selected = Selected()) selected->SetFirstPageOnly(true);
  }
}

bool KRTWatermarkList::ApplyModuleSetting(std::string_view key, std::string_view value) {
  if (key == kModuleSelectionKey) {
    const long long number = ReadNumber(value).value_or(0);
    if (number <= 0) {
      selected_ = -1;
    } else {
      Select(std::min<long long>(number, kModuleMaxWatermarks) - 1);
    }
    return true;
  }
  if (key == kModuleFirstPageKey) {
    if (KRTWatermark* selected = Selected()) selected->SetFirstPageOnly(value == "True");
    return true;
  }
  return false;
}

std::vector<std::pair<std::string, std::string>> KRTWatermarkList::ModuleSelection(
    std::optional<long long> firstPageInfo) const {
  bool first_page_only = false;
  if (firstPageInfo) {
    first_page_only = *firstPageInfo != 0;
  } else if (const KRTWatermark* selected = Selected()) {
    first_page_only = selected->FirstPageOnly();
  }
  return {{kModuleSelectionKey, std::to_string(selected_ + 1)},
          {kModuleFirstPageKey, first_page_only ? "True" : "False"}};
}
