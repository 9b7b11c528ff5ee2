// The settings part of UI_Panel: the current settings handed to the module, the module's answer
// applied to the option tree, watermarks, the dialog's paper, presets and resets.
#include <plist/plist.h>
#include <pwd.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "PPDX/PPDObjects/PPDXGroup.h"
#include "PPDX/PPDObjects/PPDXGroups.h"
#include "foundation/CString.h"
#include "foundation/PointerList.h"
#include "panel/PDEData.h"
#include "panel/UI_Panel.h"
#include "platform/Bundle.h"
#include "platform/Log.h"
#include "platform/PrintSettings.h"
#include "server/SDMAllocator.h"
#include "server/SDMText.h"

namespace {

using quill::WideFromUTF8;
using quill::UTF8FromWide;

constexpr std::size_t kMaxValueBytes = 1023;
constexpr long kJobNoteMaxLength = 700;
constexpr const char* kSpecialNotes[] = {"*KROutProfile", "*KRSimulation", "*KRRGBOverride",
                                         "*KRSpotPriority", "*KRGrayOverride"};
constexpr const char* kPresetNotes[] = {"*PresetName", "*PresetType", "*PresetTimestampModified"};

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool StartsWithAny(std::string_view text, std::initializer_list<const char*> prefixes) {
  for (const char* p : prefixes) {
    if (StartsWith(text, p)) return true;
  }
  return false;
}

std::string TableFull(const std::string& key) {
  quill::PanelLog("UI_Panel::SetUpdatedSettings: no room for %s in its table; left out", key.c_str());
  return "refused: table full";
}

std::string Cut(std::string text, const char* what) {
  const std::size_t keep = quill::UTF8PrefixLength(text, kMaxValueBytes);
  if (keep < text.size()) {
    quill::PanelLog("UI_Panel::GetDefaultSettings: the value of %s cut to %zu bytes", what, keep);
    text.resize(keep);
  }
  return text;
}

// A number as a whole text ("1.00", "-2", "3e1"); false for anything else.
bool AsNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return end != nullptr && *end == '\0' && std::isfinite(*value);
}

}  // namespace

PPDXControl* UI_Panel::FindControl(const char* keyword) const {
  KRTPPD* ppd = pdeData_ != nullptr ? pdeData_->PPD() : nullptr;
  if (ppd == nullptr || ppd->GetControls() == nullptr) return nullptr;
  CNTL_TYPE type = kBaseControl;
  return ppd->GetControls()->Find(keyword, type, true);
}

PPDXControl* UI_Panel::EnsureJobNote(const char* keyword) {
  KRTPPD* ppd = pdeData_ != nullptr ? pdeData_->PPD() : nullptr;
  if (ppd == nullptr || ppd->GetControls() == nullptr) return nullptr;
  if (PPDXControl* note = ppd->GetControls()->FindJobNote(keyword, true)) return note;
  PointerList no_flags;
  auto* note = new PPDXJobNote(keyword, keyword, no_flags, nullptr, 0, new CString(""), nullptr, true,
                               kJobNoteMaxLength, JobNoteFlag{0}, 0);
  if (ppd->GetGroups() != nullptr) {
    if (PPDXGroup* group = ppd->GetGroups()->Find("QPKRNotes", true)) note->SetParent(group);
  }
  if (!ppd->GetControls()->Add(note)) {
    delete note;
    return nullptr;
  }
  return note;
}

void UI_Panel::SetJobNote(const char* keyword, const std::string& value) {
  auto* note = static_cast<PPDXJobNote*>(EnsureJobNote(keyword));
  if (note != nullptr) note->SetUTF8Notes(value.substr(0, quill::UTF8PrefixLength(value, kJobNoteMaxLength)));
}

std::vector<std::pair<std::string, std::string>> UI_Panel::CurrentSettings() {
  std::vector<std::pair<std::string, std::string>> pairs;
  KRTPPD* ppd = pdeData_ != nullptr ? pdeData_->PPD() : nullptr;
  if (ppd == nullptr || ppd->GetControls() == nullptr) return pairs;
  SharedMemoryList& shared = Shared();
  std::string installable;

  PPDXControls* controls = ppd->GetControls();
  const bool customPaper = pdeData_->CustomPaper() && !customSize_.empty();
  CNTL_TYPE type = kBaseControl;
  for (PPDXControl* c = controls->First(type); c != nullptr; c = controls->Next(type)) {
    const char* keyword = c->Keyword();
    if (keyword == nullptr) continue;
    const std::string_view key(keyword);
    if (key == "*KRControlBar" || key == "*CustomPrintSize") continue;
    if (key == "*PageSize" && customPaper) continue;
    if (twoWay_ && pdeData_->isSpecialTonesmithControl(keyword)) continue;
    // With two-way data the module learns a dynamic pop-up's choices from the server; one that
    // still sits on its default is left to the module.
    if (twoWay_ && type == kPopupControl && c->IsDynamic()) {
      const char* fallback = static_cast<PPDXPopupControl*>(c)->GetDefaultKeyword();
      const std::optional<std::string> current = c->CopyCurrentControlValueString();
      if (fallback != nullptr && current && *current == fallback) continue;
    }
    const PPDXElement* parent = c->GetParent();
    if (parent != nullptr && parent->Keyword() != nullptr &&
        std::strcmp(parent->Keyword(), "KRPPInstallableOptions") == 0) {
      installable += std::to_string(pairs.size()) + ",";
    }
    pairs.emplace_back(keyword, Cut(c->CopyCurrentControlValueString().value_or(""), keyword));
  }
  // Whole slot numbers only: a number cut in half would name another slot.
  if (installable.size() >= sizeof(shared.installable)) {
    const std::size_t keep = installable.rfind(',', sizeof(shared.installable) - 2);
    quill::PanelLog("UI_Panel::GetDefaultSettings: installable options past slot list of %zu bytes left out",
                    sizeof(shared.installable) - 1);
    installable.resize(keep == std::string::npos ? 0 : keep + 1);
  }
  QUILL_SML_SET(shared, installable, installable);

  if (FindControl("*CustomPrintSize") != nullptr) {
    PPDXControl* size = FindControl("*CustomPrintSize");
    PPDXControl* printSize = FindControl("*KRPrintSize");
    const std::string printSizeValue =
        printSize != nullptr ? printSize->CopyCurrentControlValueString().value_or("") : "";
    pairs.emplace_back("CustomPrintSize", printSizeValue != "CustomPrintSize"
                                              ? "False"
                                              : Cut(size->CopyCurrentControlValueString().value_or(""), "CustomPrintSize"));
    pairs.emplace_back("PageSize", "Custom");
    pairs.emplace_back("CustomPageSize", customSize_);
  }
  if (PPDXControl* bar = controls->FindJobNote("*KRControlBar", true)) {
    pairs.emplace_back("*KRControlBar", Cut(bar->CopyCurrentControlValueString().value_or(""), "*KRControlBar"));
  }
  for (const char* keyword : kSpecialNotes) {
    if (PPDXControl* note = controls->FindJobNote(keyword, true)) {
      pairs.emplace_back(keyword, Cut(note->CopyCurrentControlValueString().value_or(""), keyword));
    }
  }
  std::optional<long long> firstPage;
  if (pdeData_->PrintSettings() != nullptr) {
    if (auto v = pdeData_->PrintSettings()->GetInteger(KRTWatermarkList::kFirstPageInfoKey)) firstPage = *v;
  }
  for (auto& pair : pdeData_->Watermarks().ModuleSelection(firstPage)) pairs.push_back(std::move(pair));
  auto addTable = [&pairs](const KeyValueTable& table) {
    for (int32_t i = 0; i < table.Count(); ++i) {
      const KeyValueTable::Pair* p = table.At(static_cast<std::size_t>(i));
      if (p != nullptr) pairs.emplace_back(UTF8FromWide(p->key), UTF8FromWide(p->value));
    }
  };
  addTable(pdeData_->PaperCatalog());
  const std::string copies = std::to_string(pdeData_->GetNumCopiesFromOS());
  pairs.emplace_back("*KR_COPIES", copies);
  pairs.emplace_back("num copies", copies);
  if (FindControl("*KROrientation") == nullptr) {
    pairs.emplace_back("*KROrientation", pdeData_->GetPageOrientationFromOS() == 2 ? "Landscape" : "Portrait");
  }
  addTable(pdeData_->MixedMedia());
  addTable(pdeData_->PadCover());
  addTable(pdeData_->CoverPage());
  addTable(pdeData_->SlipSheet());
  return pairs;
}

SDMKeyValueList* UI_Panel::GetDefaultSettings() {
  if (pdeData_ == nullptr || pdeData_->PPD() == nullptr) return nullptr;
  quill::WidePairs wide;
  for (const auto& [k, v] : CurrentSettings()) wide.emplace_back(WideFromUTF8(k), WideFromUTF8(v));
  return quill::SDMCreateKeyValueList(quill::SDMAllocator::Host(), wide);
}

bool UI_Panel::GetDefaultSettings(SDMKeyValueList** out) {
  if (out == nullptr) return false;
  *out = GetDefaultSettings();
  return *out != nullptr;
}

void UI_Panel::FreeSDMList(SDMKeyValueList* list) {
  quill::SDMFreeKeyValueList(quill::SDMAllocator::Host(), list);
}

void UI_Panel::SetUpdatedSettings(const SDMKeyValueList* list) {
  lastApplied_.clear();
  if (pdeData_ == nullptr) return;
  pdeData_->MixedMedia().Clear();
  pdeData_->PadCover().Clear();
  pdeData_->CoverPage().Clear();
  pdeData_->SlipSheet().Clear();
  quill::PrintSettings* settings = pdeData_->PrintSettings();
  for (const auto& [wideKey, wideValue] : quill::SDMReadKeyValueList(list)) {
    AppliedSetting applied{UTF8FromWide(wideKey), UTF8FromWide(wideValue), "", "ignored"};
    const std::string& key = applied.key;
    const std::string& value = applied.value;
    if (key == KRTWatermarkList::kModuleSelectionKey || key == KRTWatermarkList::kModuleFirstPageKey) {
      pdeData_->Watermarks().ApplyModuleSetting(key, value);
      applied.outcome = "watermark";
    } else if (key == "*KR_COPIES") {
      char* end = nullptr;
      const long copies = std::strtol(value.c_str(), &end, 10);
      if (end != value.c_str() && *end == '\0' && copies >= 1 && copies <= 0x7FFFFFFF) {
        if (settings != nullptr) settings->SetInteger(PDEData::kCopiesKey, copies);
        applied.outcome = "copies";
      } else {
        applied.outcome = "refused: not a number of copies";
      }
    } else if (StartsWithAny(key, {"*RangeProp", "*RangeNum", "*Chapters", "*SubsetFinishing", "*MM_A"})) {
      applied.outcome = pdeData_->MixedMedia().Append(wideKey, wideValue) ? "table" : TableFull(key);
    } else if (StartsWith(key, "*PadCover")) {
      applied.outcome = pdeData_->PadCover().Append(wideKey, wideValue) ? "table" : TableFull(key);
    } else if (StartsWith(key, "*CoverPage_")) {
      applied.outcome = pdeData_->CoverPage().Append(wideKey, wideValue) ? "table" : TableFull(key);
    } else if (StartsWith(key, "*SlipSheet_")) {
      applied.outcome = pdeData_->SlipSheet().Append(wideKey, wideValue) ? "table" : TableFull(key);
    } else if (StartsWithAny(key, {"*KRPCMID", "*KRPCName", "*KRCoverSizePCMID", "*KRCoverSizePCName"})) {
      if (settings != nullptr) settings->SetString(key, value);
      applied.outcome = "print settings";
    } else if (pdeData_->isSpecialTonesmithControl(key.c_str())) {
      SetJobNote(key.c_str(), value);
      if (settings != nullptr && (key == "*KRSpotPriority" || key == "*KRGrayOverride")) {
        settings->SetString(key, value);
      }
      applied.outcome = "job note";
    } else if (key == "*PresetName" || key == "*PresetType" || key == "*PresetTimestampModified" ||
               key == "*KRControlBar" || key == "*KRDSFileName" || key == "*KRDSUserName" ||
               key == "*KRDSPassword") {
      SetJobNote(key.c_str(), value);
      applied.outcome = "job note";
    } else if (KRTPPD* ppd = pdeData_->PPD(); ppd != nullptr && ppd->GetControls() != nullptr) {
      PPDXControl* control = ppd->GetControls()->FindPopup(key.c_str(), true);
      if (control == nullptr) control = ppd->GetControls()->FindBoolean(key.c_str(), true);
      if (control != nullptr) {
        applied.before = control->CopyCurrentControlValueString().value_or("");
        std::string why;
        if (!control->AcceptsValue(value, &why)) {
          applied.outcome = "refused: " + why;
          quill::PanelLog("UI_Panel::SetUpdatedSettings: value \"%s\" for %s %s; left out", value.c_str(),
                          key.c_str(), why.c_str());
        } else {
          control->SetCurrentControlWithCFString(value);
          applied.outcome = applied.before == control->CopyCurrentControlValueString().value_or("") ? "unchanged" : "set";
        }
      }
    }
    lastApplied_.push_back(std::move(applied));
  }
}

void UI_Panel::GetWatermarks(SharedMemoryList* list) {
  if (list == nullptr || pdeData_ == nullptr) return;
  KRTWatermarkList& marks = pdeData_->Watermarks();
  pdeData_->GetWatermarksFromPreferences();
  if (marks.Empty() && pdeData_->Bundle() != nullptr) {
    quill::Bundle* bundle = pdeData_->Bundle();
    marks.AddDefaults([bundle](const std::string& key) { return bundle->LocalizedString(key); });
  }
  int n = marks.Count();
  if (n > static_cast<int>(SharedMemoryList::kWatermarks)) {
    quill::PanelLog("UI_Panel::GetWatermarks: %d watermarks; the module is given the first 20", n);
    n = SharedMemoryList::kWatermarks;
  }
  for (int i = 0; i < n; ++i) {
    QUILL_SML_SET(*list, watermarkIds[i], std::to_string(i));
    QUILL_SML_SET(*list, watermarkTexts[i], marks.At(i)->RecordText());
  }
  QUILL_SML_SET(*list, watermarkCount, std::to_string(n));
}

void UI_Panel::UpdateWatermarks(const SharedMemoryList* list) {
  if (list == nullptr || pdeData_ == nullptr) return;
  const std::vector<std::string> texts = quill::GetWatermarkList_From_CombinedList(*list);
  KRTWatermarkList& marks = pdeData_->Watermarks();
  const int selected = marks.SelectedIndex();
  marks.Clear();
  for (const std::string& text : texts) {
    std::string why;
    if (!marks.Add(text.c_str(), &why)) {
      quill::PanelLog("UI_Panel::UpdateWatermarks: record \"%s\" refused: %s", text.c_str(), why.c_str());
    }
  }
  marks.Select(selected);
}

bool UI_Panel::GetOSPageSize() {
  if (pdeData_ == nullptr || pdeData_->PrintSettings() == nullptr) return false;
  plist_t info = pdeData_->PrintSettings()->GetValue("com.apple.print.subTicket.paper_info_ticket");
  if (info == nullptr || plist_get_node_type(info) != PLIST_DICT) return false;
  std::string name;
  plist_t nameNode = plist_dict_get_item(info, "com.apple.print.PaperInfo.ppd.PMPaperName");
  if (nameNode != nullptr && plist_get_node_type(nameNode) == PLIST_STRING) {
    char* text = nullptr;
    plist_get_string_val(nameNode, &text);
    if (text != nullptr) name = text;
    std::free(text);
  } else {
    name = pdeData_->Bundle() != nullptr
               ? pdeData_->Bundle()->LocalizedString("DocumentSizeCustom", "Localizable", "Custom")
               : "Custom";
  }
  std::string ascii;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x80 && ascii.size() < 62) ascii += c;
  }
  customPaperName_ = ascii;
  auto* popup = dynamic_cast<PPDXPopupControl*>(FindControl("*PageSize"));
  if (popup == nullptr) return false;
  popup->SetCurrentControlWithCFString(ascii);
  const std::string selected = popup->CopyCurrentControlValueString().value_or("");
  if (selected == ascii) return false;
  if (ascii == "US Letter" || ascii == "US Legal") {
    popup->SetCurrentControlWithCFString(ascii == "US Letter" ? "Letter" : "Legal");
    return false;
  }
  double rect[4] = {0, 0, 0, 0};
  plist_t rectNode = plist_dict_get_item(info, "com.apple.print.PaperInfo.PMUnadjustedPaperRect");
  if (rectNode != nullptr && plist_get_node_type(rectNode) == PLIST_ARRAY) {
    for (uint32_t i = 0; i < 4 && i < plist_array_get_size(rectNode); ++i) {
      plist_t item = plist_array_get_item(rectNode, i);
      if (plist_get_node_type(item) == PLIST_REAL) {
        plist_get_real_val(item, &rect[i]);
      } else if (plist_get_node_type(item) == PLIST_UINT) {
        uint64_t n = 0;
        plist_get_uint_val(item, &n);
        rect[i] = static_cast<double>(static_cast<int64_t>(n));
      }
    }
  }
  char size[96];
  std::snprintf(size, sizeof size, "%f %f", std::fabs(rect[1]) + std::fabs(rect[3]),
                std::fabs(rect[0]) + std::fabs(rect[2]));
  customSize_ = size;
  pdeData_->SetCustomPaper(true);
  return true;
}

bool UI_Panel::compareJPServerPresets() {
  const auto current = CurrentSettings();
  for (const auto& [wideKey, wideValue] : serverPreset_) {
    const std::string key = UTF8FromWide(wideKey);
    if (key == "PresetName" || key == "PresetType" || key == "PresetTimestampModified") continue;
    const std::string saved = UTF8FromWide(wideValue);
    for (const auto& [k, v] : current) {
      if (k != key) continue;
      double a = 0, b = 0;
      const bool same = v == saved || (AsNumber(v, &a) && AsNumber(saved, &b) && a == b);
      if (!same) return false;
      break;
    }
  }
  return true;
}

void UI_Panel::revertBackJPServerPresets() {
  for (const auto& [wideKey, wideValue] : serverPreset_) {
    const std::string key = UTF8FromWide(wideKey);
    if (key == "PresetType" || key == "PresetName" || key == "PresetTimestampModified") {
      SetJobNote(("*" + key).c_str(), UTF8FromWide(wideValue));
    }
  }
}

void UI_Panel::ResetControlsToDefault() {
  KRTPPD* ppd = pdeData_ != nullptr ? pdeData_->PPD() : nullptr;
  if (ppd == nullptr || ppd->GetControls() == nullptr) return;
  PPDXControls* controls = ppd->GetControls();
  auto emptyNoteOnly = [controls](const char* keyword) {
    PPDXControl* note = controls->FindJobNote(keyword, true);
    if (note != nullptr && controls->FindPopup(keyword, true) == nullptr) {
      static_cast<PPDXJobNote*>(note)->SetUTF8Notes("");
    }
  };
  for (const char* keyword : kSpecialNotes) emptyNoteOnly(keyword);
  emptyNoteOnly("*KRControlBar");
  for (const char* keyword : kPresetNotes) {
    if (PPDXControl* note = controls->FindJobNote(keyword, true)) static_cast<PPDXJobNote*>(note)->SetUTF8Notes("");
  }
  CNTL_TYPE type = kBaseControl;
  for (PPDXControl* c = controls->First(type); c != nullptr; c = controls->Next(type)) {
    const PPDXElement* parent = c->GetParent();
    if (parent != nullptr && parent->Keyword() != nullptr &&
        std::strcmp(parent->Keyword(), "KRPPInstallableOptions") == 0) {
      continue;
    }
    if (c->Keyword() != nullptr && std::strcmp(c->Keyword(), "*PageSize") == 0) continue;
    c->ResetToDefaultValue();
  }
  pdeData_->MixedMedia().Clear();
  pdeData_->PadCover().Clear();
  pdeData_->CoverPage().Clear();
  pdeData_->SlipSheet().Clear();
  for (int32_t i = 0; i < pdeData_->PaperCatalog().Count(); ++i) {
    pdeData_->PaperCatalog().At(static_cast<std::size_t>(i))->value = L"-1";
  }
  pdeData_->dmtSetNonPPDKeys();
}

void UI_Panel::makeJobNotesForSpecialControls() {
  if (!twoWay_) return;
  static constexpr const char* kKeywords[] = {"*KROutProfile", "*KRControlBar", "*KRSimulation",
                                              "*KRRGBOverride", "*KRSpotPriority", "*KRGrayOverride"};
  KRTPPD* ppd = pdeData_ != nullptr ? pdeData_->PPD() : nullptr;
  if (ppd == nullptr || ppd->GetControls() == nullptr) return;
  for (const char* keyword : kKeywords) {
    PPDXControl* control = ppd->GetControls()->FindPopup(keyword, true);
    if (control == nullptr) control = FindControl(keyword);
    if (control == nullptr) {
      quill::PanelLog("UI_Panel::makeJobNotesForSpecialControls: no control %s; the others go on", keyword);
      continue;
    }
    if (std::strcmp(keyword, "*KRControlBar") == 0 && control->Type() == kJobNoteControl) continue;
    if (control->Type() == kJobNoteControl) continue;  // the note itself holds the value
    std::optional<std::string> value = control->CopyCurrentControlValueString();
    if (!value) {
      control->ResetToDefaultValue();
      value = control->CopyCurrentControlValueString();
    }
    SetJobNote(keyword, value.value_or(""));
  }
}


void UI_Panel::GetOSAccountName() {
  PPDXControl* control = FindControl("*KRUserAuthName");
  if (control == nullptr) return;
  const passwd* user = getpwuid(getuid());
  if (user == nullptr || user->pw_name == nullptr) return;
  const std::string name(user->pw_name);
  control->SetCurrentControlWithCFString(name.substr(0, quill::UTF8PrefixLength(name, 256)));
}
