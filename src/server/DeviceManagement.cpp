#include "server/DeviceManagement.h"

#include <array>
#include <cstring>
#include <string_view>

#include "server/CUtil.h"

namespace quill {
namespace {

constexpr std::string_view kCategoryStart = "<Category name=\"UI-Modification\">";
constexpr std::string_view kCategoryEnd = "</Category>";

// The option test on the raw document: the keyword in double quotes inside the section, and the
// marker value between it and the end of its element.
bool SectionMarks(const char* dmtText, const char* keyword, std::string_view sectionStart,
                  std::string_view sectionEnd, std::string_view marker) {
  if (dmtText == nullptr || keyword == nullptr) return false;
  if (const char* star = std::strchr(keyword, '*')) keyword = star + 1;
  if (*keyword == '\0') return false;
  const std::string_view text(dmtText);

  const auto category = text.find(kCategoryStart);
  if (category == std::string_view::npos) return false;
  const auto category_end = text.find(kCategoryEnd, category + kCategoryStart.size());
  if (category_end == std::string_view::npos) return false;
  const auto section = text.find(sectionStart, category + kCategoryStart.size());
  if (section == std::string_view::npos) return false;
  const auto section_end = text.find(sectionEnd, section + sectionStart.size());
  if (section_end == std::string_view::npos || section_end > category_end) return false;

  const std::string quoted = std::string("\"") + keyword + "\"";
  const auto hit = text.find(quoted, section + sectionStart.size());
  if (hit == std::string_view::npos || hit + quoted.size() > section_end) return false;
  const auto after = hit + quoted.size();
  const auto element_end = text.find("/>", after);
  if (element_end == std::string_view::npos) return false;
  const auto value = text.find(marker, after);
  return value != std::string_view::npos && value + marker.size() <= element_end;
}

struct KeyPrefix {
  std::wstring_view prefix;
  DMTNonPPDTarget target;
};

constexpr std::array<KeyPrefix, 12> kPrefixes{{
    {L"RangeProp", DMTNonPPDTarget::kMixedMedia},
    {L"RangeNum", DMTNonPPDTarget::kMixedMedia},
    {L"Chapters", DMTNonPPDTarget::kMixedMedia},
    {L"SubsetFinishing", DMTNonPPDTarget::kMixedMedia},
    {L"MM_A", DMTNonPPDTarget::kMixedMedia},
    {L"PadCover", DMTNonPPDTarget::kPadCover},
    {L"SlipSheet_", DMTNonPPDTarget::kSlipSheet},
    {L"CoverPage_", DMTNonPPDTarget::kCoverPage},
    {L"KRPCMID", DMTNonPPDTarget::kPaperCatalog},
    {L"KRPCName", DMTNonPPDTarget::kPaperCatalog},
    {L"KRCoverSizePCMID", DMTNonPPDTarget::kPaperCatalog},
    {L"KRCoverSizePCName", DMTNonPPDTarget::kPaperCatalog},
}};

}  // namespace

bool dmtHides(const char* dmtText, const char* keyword) {
  return SectionMarks(dmtText, keyword, "<Show>", "</Show>", "value=\"False\"");
}

bool dmtLocks(const char* dmtText, const char* keyword) {
  return SectionMarks(dmtText, keyword, "<Lock>", "</Lock>", "value=\"True\"");
}

bool fetchHiddenKeysFromDMTXML(const char* dmtText, std::vector<std::string>& keys) {
  if (dmtText == nullptr || *dmtText == '\0') return false;
  DMTKeyValueMap hidden;
  if (!CUtil::GetHiddenKeyValFromDMTXmlData(CUtil::widen(dmtText), hidden)) return false;
  for (const auto& [key, value] : hidden) keys.push_back("*" + CUtil::narrow(key));
  return true;
}

bool dmtClassifyKey(std::wstring_view key, DMTNonPPDTarget* target) {
  for (const auto& row : kPrefixes) {
    if (key.substr(0, row.prefix.size()) == row.prefix) {
      if (target != nullptr) *target = row.target;
      return true;
    }
  }
  return false;
}

std::vector<DMTNonPPDDefault> dmtNonPPDDefaults(const char* dmtText,
                                                const DMTControlQuery& isJobNote,
                                                const DMTControlQuery& hasControl) {
  std::vector<DMTNonPPDDefault> defaults;
  if (dmtText == nullptr || *dmtText == '\0') return defaults;
  DMTKeyValueMap controls;
  if (!CUtil::GetControlKeyValFromDMTXmlData(CUtil::widen(dmtText), controls)) return defaults;
  for (const auto& [key, value] : controls) {
    const std::string settings_key = "*" + CUtil::narrow(key);
    DMTNonPPDTarget target{};
    if (!dmtClassifyKey(key, &target)) {
      if (isJobNote && isJobNote(settings_key)) {
        target = DMTNonPPDTarget::kJobNote;
      } else if (key == L"CustomPrintSize" && hasControl && hasControl(settings_key)) {
        target = DMTNonPPDTarget::kCustomPrintSize;
      } else {
        continue;
      }
    }
    defaults.push_back({target, L"*" + key, value, settings_key, CUtil::narrow(value)});
  }
  return defaults;
}

}  // namespace quill
