// KRTPPD: the page hierarchy (property pages, declared group names, parents that make scroll
// panes and roll-downs) and the constraint lines.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/GroupName.h"
#include "PPDX/PPDObjects/PPDXGroups.h"
#include "PPDX/PPDObjects/PPDXProperties.h"
#include "PPDX/PPDObjects/PPDXProperty.h"
#include "PPDX/PPDObjects/PPDXRollDown.h"
#include "PPDX/PPDObjects/PPDXScrollPane.h"
#include "PPDX/PPDStream.h"
#include "constraints/UIConstraints.h"
#include "foundation/ProcessGlobals.h"

namespace {

// Reads the flag words that end a line ("True|Prop") and calls `take` with each.
template <typename Take>
void read_flags(PPDX& ppd, PPDStream& stream, Take take) {
  char flag[kLineSizeLimit];
  while (stream.PeekChar() != -1) {
    if (ppd.NextToken(stream, flag, kFlagKeywordDelimiters, true) && flag[0] != '\0') take(flag);
  }
}

}  // namespace

GroupName* KRTPPD::FindGroupName(char const* keyword) const {
  if (keyword == nullptr) return nullptr;
  for (const auto& name : groupNames_) {
    if (name->Keyword() != nullptr && std::strcmp(name->Keyword(), keyword) == 0) return name.get();
  }
  return nullptr;
}

KRTPPD::ErrorPtr KRTPPD::ParseGroupName(PPDStream& stream, char const*) {
  char keyword[kLineSizeLimit];
  if (!NextToken(stream, keyword, kOptionKeywordDelimiters, true) || keyword[0] == '\0') {
    return Error(PPDErr_GroupNameParsing, nullptr);
  }
  if (groups_->Find(keyword, true) != nullptr) return Error(PPDErr_Duplicate, keyword);

  char translation[kLineSizeLimit] = "";
  NextToken(stream, translation, kTranslationStringDelimiters, false);
  const std::string name = DisplayName((std::string(translation) + " ").c_str(), keyword);
  bool visible = false;
  read_flags(*this, stream, [&](const char* flag) { visible |= std::strcmp(flag, "True") == 0; });
  if (!visible && !ParseHidden()) return nullptr;
  groupNames_.push_back(std::make_unique<GroupName>(keyword, name, visible));
  return nullptr;
}

KRTPPD::ErrorPtr KRTPPD::ParseSubGroupName(PPDStream& stream, char const*) {
  char keyword[kLineSizeLimit];
  if (!NextToken(stream, keyword, kOptionKeywordDelimiters, true) || keyword[0] == '\0') {
    return Error(PPDErr_SubGroupNameParsing, nullptr);
  }
  if (std::strcmp(keyword, "QPPopupAccounting") != 0) return nullptr;
  char translation[kLineSizeLimit] = "";
  NextToken(stream, translation, kTranslationStringDelimiters, false);
  Globals().popupJobNotesWindowTitle = DisplayName((std::string(translation) + " ").c_str(), "");
  return nullptr;
}

KRTPPD::ErrorPtr KRTPPD::ParseParent(PPDStream& stream, char const*) {
  char child[kLineSizeLimit], parent[kLineSizeLimit];
  if (!NextToken(stream, child, kOptionKeywordDelimiters, true) || child[0] == '\0' ||
      !NextToken(stream, parent, kOptionKeywordDelimiters, true) || parent[0] == '\0') {
    return Error(PPDErr_ParentParsing, nullptr);
  }
  enum class Kind { kNone, kScrollPane, kRollDown } kind = Kind::kNone;
  bool visible = false;
  read_flags(*this, stream, [&](const char* flag) {
    if (std::strcmp(flag, "True") == 0) visible = true;
    if (std::strcmp(flag, "Scrollpane") == 0) kind = Kind::kScrollPane;
    if (std::strcmp(flag, "Rolldown") == 0) kind = Kind::kRollDown;
  });
  if (!visible && !ParseHidden()) return nullptr;
  GroupName* declared = FindGroupName(child);
  if (declared == nullptr || kind == Kind::kNone) return nullptr;

  if (kind == Kind::kRollDown) {
    auto* pane = dynamic_cast<PPDXScrollPane*>(groups_->Find(parent, true));
    if (pane == nullptr) return Error(PPDErr_ParentParsingNoParent, parent);
    auto* roll_down = new PPDXRollDown(child, declared->DisplayName(), visible);
    roll_down->SetParent(pane);
    pane->RollDowns()->Add(roll_down);
    groups_->Add(roll_down);
    return nullptr;
  }
  PPDXProperty* page = properties_->Find(parent, true);
  if (page == nullptr) return Error(PPDErr_ParentParsingNoParent, parent);
  auto* pane = new PPDXScrollPane(child, declared->DisplayName(), visible);
  pane->SetParent(page);
  page->SetScrollDown(pane);
  groups_->Add(pane);
  return nullptr;
}

KRTPPD::ErrorPtr KRTPPD::ParseUIConstraint(PPDStream& stream, bool requiresLine) {
  // Runs of blanks separate the words of the line. The stream holds one line of text (no line
  // end, no NUL byte, at most 255 bytes), so a word is simply the bytes up to the next blank; the
  // blank after it is consumed, as a token delimiter is.
  char words[4][kLineSizeLimit];
  for (auto& word : words) word[0] = '\0';
  const unsigned char* p = stream.Current();
  const unsigned char* const end = stream.End();
  auto is_blank = [](unsigned char c) { return c == ' ' || c == '\t'; };
  auto next = [&](char* out) {
    while (p < end && is_blank(*p)) ++p;
    const unsigned char* const word_start = p;
    while (p < end && !is_blank(*p)) ++p;
    const auto n = std::min(static_cast<size_t>(p - word_start), kLineSizeLimit - 1);
    std::memcpy(out, word_start, n);
    out[n] = '\0';
    if (p < end) ++p;
    stream.Advance(p, p == end);
    return n > 0;
  };
  char* key1 = words[0];
  char* option1 = words[1];
  char* key2 = words[2];
  char* option2 = words[3];
  if (!next(key1)) return nullptr;
  char second[kLineSizeLimit];
  if (!next(second)) return nullptr;
  if (second[0] == '*') {
    std::strcpy(key2, second);
  } else {
    std::strcpy(option1, second);
    if (!next(key2)) key2[0] = '\0';
  }
  if (!next(option2)) option2[0] = '\0';
  if (key2[0] == '\0') return Error(PPDErr_BadConstraint, key1);
  constraints_->Add(key1, option1, key2, option2, requiresLine);
  return nullptr;
}

KRTPPD::ErrorPtr KRTPPD::ParsePropertyPage(PPDStream& stream, char const*) {
  char keyword[kLineSizeLimit];
  if (!NextToken(stream, keyword, kOptionKeywordDelimiters, true) || keyword[0] == '\0') {
    return Error(PPDErr_PropPageParsing, nullptr);
  }
  if (properties_->Find(keyword, true) != nullptr) return Error(PPDErr_Duplicate, keyword);
  char translation[kLineSizeLimit];
  if (!NextToken(stream, translation, kTranslationStringDelimiters, false)) return nullptr;

  bool visible = false, show_in_print_prop = true, show_in_app = true;
  read_flags(*this, stream, [&](const char* flag) {
    if (std::strcmp(flag, "True") == 0) visible = true;
    if (std::strcmp(flag, "Prop") == 0) show_in_app = false;
    if (std::strcmp(flag, "App") == 0) show_in_print_prop = false;
  });
  if (!visible && !ParseHidden()) return nullptr;
  properties_->Add(new PPDXProperty(keyword, DisplayName(translation, keyword), visible,
                                    show_in_print_prop, show_in_app));
  return nullptr;
}
