// KRTPPD: vendor controls. A control is a flags line (*%KRTFlags), an optional group line
// (*%KRTGroup) and its definition: a UI group (PickOne, PickMany, Boolean), a range, a float range
// or a job note. Also the custom page size lines.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PPDX/ByteScan.h"
#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXBooleanControl.h"
#include "PPDX/PPDObjects/Controls/PPDXCustomPageSizeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXFloatRangeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/Controls/PPDXRangeControl.h"
#include "PPDX/PPDObjects/Controls/PopupItem.h"
#include "PPDX/PPDObjects/GroupName.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "PPDX/PPDObjects/PPDXGroup.h"
#include "PPDX/PPDObjects/PPDXGroups.h"
#include "PPDX/PPDObjects/PPDXRollDown.h"
#include "PPDX/PPDStream.h"
#include "TextConverter/TextConverter.h"
#include "constraints/UIConstraints.h"
#include "foundation/CStringUtils.h"
#include "foundation/PointerList.h"

namespace {

// Deletes the flag strings still held by a list when a control definition fails; a control that
// is made takes the strings and the list is emptied.
class FlagsGuard {
 public:
  explicit FlagsGuard(PointerList& flags) : flags_(flags) {}
  ~FlagsGuard() {
    for (void* flag : flags_) delete static_cast<CString*>(flag);
    flags_.MakeEmpty();
  }
  FlagsGuard(const FlagsGuard&) = delete;
  FlagsGuard& operator=(const FlagsGuard&) = delete;

 private:
  PointerList& flags_;
};

bool is_one_of(char const* text, std::initializer_list<const char*> words) {
  for (const char* word : words) {
    if (std::strcmp(text, word) == 0) return true;
  }
  return false;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool starts_with(char const* text, char const* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool is_open_ui(char const* keyword) {
  return is_one_of(keyword, {"*OpenUI", "*KROpenUI", "*BeginUI"});
}

bool is_close_ui(char const* keyword) {
  return is_one_of(keyword, {"*CloseUI", "*KRCloseUI", "*CloseUIKRT", "*EndUI"});
}

// True when the keyword at the stream's position is followed by a translation ("/...") before
// the colon that ends it.
bool has_translation(const PPDStream& stream) {
  static constexpr ByteSet kSlashOrColon(std::string_view("/:"));
  const unsigned char* const found = kSlashOrColon.Find(stream.Current(), stream.End());
  return found != stream.End() && *found == '/';
}

// A malloc'd copy of `length` bytes, or null for none.
unsigned char* copy_code(const char* code, unsigned long length) {
  if (length == 0) return nullptr;
  auto* copy = static_cast<unsigned char*>(std::malloc(length));
  if (copy != nullptr) std::memcpy(copy, code, length);
  return copy;
}

PPDStream stream_over(const char* text) {
  return PPDStream(text, static_cast<long>(std::strlen(text)));
}

}  // namespace

KRTPPD::ErrorPtr KRTPPD::ParseControl(PPDStream& stream, char const*) {
  char keyword[kLineSizeLimit];
  stream.SkipWhiteSpace();
  if (!NextToken(stream, keyword, kMainKeywordDelimiters, true) || keyword[0] == '\0') {
    return Error(PPDErr_ControlParsing, nullptr);
  }
  CNTL_TYPE type;
  if (controls_->Find(keyword, type, true) != nullptr) return Error(PPDErr_Duplicate, keyword);

  PointerList flags;
  FlagsGuard guard(flags);
  char token[kLineSizeLimit];
  while (stream.PeekChar() != -1) {
    if (NextToken(stream, token, kFlagKeywordDelimiters, true) && token[0] != '\0') {
      flags.PushBack(new CString(token));
    }
  }

  char line[kLineSizeLimit];
  if (!NextFileLine(line)) return nullptr;
  PPDStream line_stream = stream_over(line);
  char definition[kLineSizeLimit];
  if (!NextToken(line_stream, definition, kMainKeywordDelimiters, true) || definition[0] == '\0') {
    return nullptr;
  }
  if (std::strcmp(definition, "*%KRTGroup") == 0) return ParseGroup(line_stream, keyword, flags);
  if (is_open_ui(definition)) return ParseOpenUI(line_stream, keyword, flags, nullptr);
  if (std::strcmp(definition, "*OpenUIKRT") == 0) return ParseOpenUIKRT(keyword, flags);
  return Error(PPDErr_ControlParsing, keyword);
}

KRTPPD::ErrorPtr KRTPPD::ParseGroup(PPDStream& stream, char const* controlKeyword,
                                    PointerList& flags) {
  char keyword[kLineSizeLimit];
  stream.SkipWhiteSpace();
  if (!NextToken(stream, keyword, kMainKeywordDelimiters, true) || keyword[0] == '\0') {
    return Error(PPDErr_GroupParsing, controlKeyword);
  }
  if (std::strcmp(keyword, controlKeyword) != 0) return nullptr;

  PPDXGroup* group = nullptr;
  char group_keyword[kLineSizeLimit];
  if (NextToken(stream, group_keyword, kOptionKeywordDelimiters, true) && group_keyword[0]) {
    group = groups_->Find(group_keyword, true);
    if (group == nullptr) group = FindAndCreateParent(group_keyword);
  }

  char line[kLineSizeLimit];
  if (!NextFileLine(line)) return Error(PPDErr_GroupParsing, controlKeyword);
  PPDStream line_stream = stream_over(line);
  char definition[kLineSizeLimit];
  if (!NextToken(line_stream, definition, kMainKeywordDelimiters, true)) {
    return Error(PPDErr_GroupParsing, controlKeyword);
  }
  if (std::strcmp(definition, "*%KRTJobNote") == 0) {
    PPDXGroup* roll_down = dynamic_cast<PPDXRollDown*>(group) ? group : nullptr;
    return ParseJobNote(line_stream, controlKeyword, flags, roll_down);
  }
  if (is_one_of(definition, {"*%KRTRange", "*%KRTUnitRange"})) {
    return ParseRange(line_stream, controlKeyword, flags, group, false);
  }
  if (std::strcmp(definition, "*%KRTFloatRange") == 0) {
    return ParseRange(line_stream, controlKeyword, flags, group, true);
  }
  if (is_open_ui(definition)) return ParseOpenUI(line_stream, controlKeyword, flags, group);
  if (std::strcmp(definition, "*OpenUIKRT") == 0) return ParseOpenUIKRT(controlKeyword, flags);
  return Error(PPDErr_GroupParsing, controlKeyword);
}

PPDXGroup* KRTPPD::FindAndCreateParent(char const* groupKeyword) {
  GroupName* declared = FindGroupName(groupKeyword);
  if (declared == nullptr) return nullptr;
  if (PPDXGroup* group = groups_->Find(groupKeyword, true)) return group;
  auto* group = new PPDXGroup(groupKeyword, declared->DisplayName(), declared->IsVisible());
  groups_->Add(group);
  return group;
}

KRTPPD::ErrorPtr KRTPPD::ParseOpenUI(PPDStream& stream, char const* controlKeyword,
                                     PointerList& flags, PPDXGroup* group) {
  const bool translated = has_translation(stream);
  char ui_keyword[kLineSizeLimit];
  if (!NextToken(stream, ui_keyword, kOptionKeywordDelimiters, true) || ui_keyword[0] == '\0') {
    return Error(PPDErr_OpenUIParsing, controlKeyword);
  }
  char translation[kLineSizeLimit] = "";
  if (translated) NextToken(stream, translation, kTranslationStringDelimiters, true);
  std::string name = DisplayName(translated ? translation : nullptr, controlKeyword);

  char type[kLineSizeLimit];
  if (!NextToken(stream, type, kRangeStringDelimiters, true)) {
    return Error(PPDErr_InvalidOpenUIType, controlKeyword);
  }
  if (std::strcmp(type, "Boolean") == 0) {
    return ParseBooleanControl(controlKeyword, std::move(name), flags, group);
  }
  if (std::strcmp(type, "PickOne") == 0 || std::strcmp(type, "PickMany") == 0) {
    return ParsePopupControl(controlKeyword, std::move(name), flags, group,
                             std::strcmp(type, "PickMany") == 0);
  }
  return Error(PPDErr_InvalidOpenUIType, controlKeyword);
}

KRTPPD::ErrorPtr KRTPPD::ParseOpenUIKRT(char const* controlKeyword, PointerList&) {
  AddError(PPDErr_OpenUIKRTParsing2, controlKeyword);
  char line[kLineSizeLimit];
  char keyword[kLineSizeLimit];
  while (NextFileLine(line)) {
    PPDStream line_stream = stream_over(line);
    if (NextToken(line_stream, keyword, kMainKeywordDelimiters, true) &&
        std::strcmp(keyword, "*CloseUIKRT") == 0) {
      return nullptr;
    }
  }
  return Error(PPDErr_OpenUIKRTParsing1, controlKeyword, true);
}

KRTPPD::ErrorPtr KRTPPD::WalkUIGroup(char const* controlKeyword, const UIGroupVisitor& visit,
                                     bool& closed) {
  char line[kLineSizeLimit];
  char token[kLineSizeLimit];
  const size_t keyword_length = std::strlen(controlKeyword);
  for (closed = false; !closed;) {
    if (!NextFileLine(line)) return nullptr;
    PPDStream line_stream = stream_over(line);
    for (bool first = true; line_stream.PeekChar() != -1; first = false) {
      if (!NextToken(line_stream, token, kTranslationStringDelimiters, true)) continue;
      if (first && is_close_ui(token)) {
        closed = true;
        break;
      }
      if (std::strcmp(token, "*OrderDependency") == 0) continue;
      const bool option_line = !starts_with(token, "*Default") &&
                               std::strncmp(token, controlKeyword, keyword_length) == 0;
      if (ErrorPtr error = visit(token, option_line, line_stream)) return error;
    }
  }
  return nullptr;
}

KRTPPD::OptionLine KRTPPD::ReadOptionLine(char const* token, PPDStream& line) {
  // The token is "*Keyword Option/Translation", stripped and without a colon: the keyword ends at
  // the first blank, the option (stripped) at the first slash after it, and the translation is
  // the rest as it stands. The code follows on the line.
  OptionLine result;
  const std::string_view text(token);
  const auto blank = std::find_if(text.begin(), text.end(), is_blank);
  const std::string_view rest =
      blank == text.end() ? std::string_view() : text.substr(blank - text.begin() + 1);
  const size_t slash = rest.find('/');
  std::string_view option = rest.substr(0, slash);
  while (!option.empty() && is_blank(option.front())) option.remove_prefix(1);
  while (!option.empty() && is_blank(option.back())) option.remove_suffix(1);
  result.option = option;
  if (slash != std::string_view::npos && slash + 1 < rest.size()) {
    result.translation = std::string(rest.substr(slash + 1));
  }
  if (!valueBuffer_) valueBuffer_ = std::make_unique<char[]>(kQuotesStringSizeLimit);
  const unsigned long length = GetPostscriptString(line, valueBuffer_.get(), kQuotesStringSizeLimit);
  result.code = std::string_view(valueBuffer_.get(), length);
  return result;
}

KRTPPD::ErrorPtr KRTPPD::ParsePopupControl(char const* controlKeyword, std::string name,
                                           PointerList& flags, PPDXGroup* group,
                                           bool multipleChoice) {
  // The options are gathered first and laid out in one block at the end (one allocation per
  // popup, not per item); the scratch lists are reused from popup to popup.
  std::vector<ParsedPopupItem>& parsed = pendingItems_;
  std::string& codes = pendingCodes_;
  parsed.clear();
  codes.clear();
  std::optional<std::string> default_keyword;
  bool closed = false;
  ErrorPtr error = WalkUIGroup(
      controlKeyword,
      [&](char const* token, bool option_line, PPDStream& line) -> ErrorPtr {
        if (option_line) {
          OptionLine option = ReadOptionLine(token, line);
          std::optional<std::string> item_name;
          if (option.translation && GetTextConverter() != nullptr) {
            item_name = GetTextConverter()->ConvertToCFString(
                option.translation->c_str(), static_cast<long>(option.translation->size()));
          }
          parsed.push_back({std::move(option.option), std::move(item_name), codes.size(),
                           option.code.size()});
          codes.append(option.code);
          return nullptr;
        }
        if (!starts_with(token, "*Default")) return nullptr;
        if (default_keyword) return Error(PPDErr_PopupParsing, controlKeyword, true);
        char option[kLineSizeLimit];
        if (std::strcmp(token, "*Default") == 0) {
          // "*Default: *Keyword Option" names the control before its default.
          char named[kLineSizeLimit];
          if (NextToken(line, named, kOptionKeywordDelimiters, true) &&
              std::strcmp(named, controlKeyword) == 0 &&
              NextToken(line, option, kFlagKeywordDelimiters, true)) {
            default_keyword = option;
          }
        } else if (NextToken(line, option, kOptionKeywordDelimiters, true)) {
          default_keyword = option;
        }
        return nullptr;
      },
      closed);
  if (error) return error;
  if (!closed) return Error(PPDErr_PopupParsing, controlKeyword, true);

  if (!default_keyword) {
    AddError(PPDErr_NoDefaultValueFlag, controlKeyword);
  } else if (!parsed.empty()) {
    bool named = false;
    for (const auto& entry : parsed) {
      named = named || (!entry.keyword.empty() && entry.keyword == *default_keyword);
    }
    if (!named && !parsed.front().keyword.empty()) default_keyword = parsed.front().keyword;
  }
  if (group == nullptr && !ParseOrphans()) return Error(PPDErr_NoParent, controlKeyword);

  const bool installable =
      group != nullptr && group->Keyword() != nullptr &&
      std::strcmp(group->Keyword(), "KRPPInstallableOptions") == 0;
  std::vector<std::unique_ptr<_PopupItem>> items;
  PopupItemBlock block = _PopupItem::MakeBlock(parsed, codes, items);
  auto* popup = new PPDXPopupControl(
      controlKeyword, std::move(name), flags, true, multipleChoice, installable, std::move(items),
      std::move(block), default_keyword ? new CString(default_keyword->c_str()) : nullptr,
      constraints_.get());
  flags.MakeEmpty();
  SetupControl(group, popup, true);
  for (_PopupItem* item = popup->FirstItem(); item != nullptr; item = popup->NextItem()) {
    if (item->Keyword() != nullptr) constraints_->KVSInsert(controlKeyword, item->Keyword());
  }
  return nullptr;
}

KRTPPD::ErrorPtr KRTPPD::ParseBooleanControl(char const* controlKeyword, std::string name,
                                             PointerList& flags, PPDXGroup* group) {
  struct State {
    std::unique_ptr<CString> text;
    std::vector<char> code;
  };
  State states[2];  // [0] False, [1] True
  bool has_default = false, default_value = false, failed = false, closed = false;
  WalkUIGroup(
      controlKeyword,
      [&](char const* token, bool option_line, PPDStream& line) -> ErrorPtr {
        if (!option_line) {
          char option[kLineSizeLimit];
          if (starts_with(token, "*Default") &&
              NextToken(line, option, kOptionKeywordDelimiters, true)) {
            has_default = true;
            default_value = std::strcmp(option, "True") == 0;
          }
          return nullptr;
        }
        OptionLine option = ReadOptionLine(token, line);
        const bool is_true = option.option == "True";
        if (!is_true && option.option != "False") {
          failed = true;  // the rest of the group is still read
          return nullptr;
        }
        State& state = states[is_true ? 1 : 0];
        if (option.translation) {
          state.text = std::make_unique<CString>(
              DisplayName(option.translation->c_str(), option.option.c_str()).c_str());
        }
        state.code.assign(option.code.begin(), option.code.end());
        return nullptr;
      },
      closed);
  if (!closed) return nullptr;  // the file ended inside the group: no control, no error

  if (failed) return Error(PPDErr_BooleanParsing, controlKeyword);
  if (!has_default) AddError(PPDErr_NoDefaultValueFlag, controlKeyword);
  if (group == nullptr && !ParseOrphans()) return Error(PPDErr_NoParent, controlKeyword);

  auto* control = new PPDXBooleanControl(
      controlKeyword, std::move(name), flags, true, states[1].text.release(),
      copy_code(states[1].code.data(), states[1].code.size()),
      static_cast<long>(states[1].code.size()), states[0].text.release(),
      copy_code(states[0].code.data(), states[0].code.size()),
      static_cast<long>(states[0].code.size()), default_value, constraints_.get());
  flags.MakeEmpty();
  SetupControl(group, control, true);
  constraints_->KVSInsert(controlKeyword, "True");
  constraints_->KVSInsert(controlKeyword, "False");
  return nullptr;
}

void KRTPPD::SetupControl(PPDXGroup* group, PPDXControl* control, bool strict) {
  if (group == nullptr && insideInstallableOptions_) group = installableRollDown_;
  if (group == nullptr) {
    if (ParseOrphans() && strict) AddError(PPDErr_InvalidParent, control->Keyword());
    controls_->Add(control);
    return;
  }
  if (auto* roll_down = dynamic_cast<PPDXRollDown*>(group)) {
    control->SetParent(roll_down);
    roll_down->Controls()->Add(control);
    controls_->Add(control);
    return;
  }
  if (strict) AddError(PPDErr_InvalidParent, control->Keyword());
  controls_->Add(control);
}

KRTPPD::ErrorPtr KRTPPD::ParseRange(PPDStream& stream, char const* controlKeyword,
                                    PointerList& flags, PPDXGroup* group, bool isFloat) {
  char keyword[kLineSizeLimit];
  if (!NextToken(stream, keyword, kOptionKeywordDelimiters, true) ||
      std::strcmp(keyword, controlKeyword) != 0) {
    return Error(PPDErr_RangeParsing, controlKeyword);
  }
  char translation[kLineSizeLimit];
  if (!NextToken(stream, translation, kTranslationStringDelimiters, false)) {
    return Error(PPDErr_RangeParsing, controlKeyword);
  }
  stream.SkipWhiteSpace();
  char c;
  if (!stream.GetChar(c) || c != '(') return Error(PPDErr_RangeParsing, controlKeyword);
  char numbers[4][kLineSizeLimit];
  for (auto& number : numbers) {
    if (!NextToken(stream, number, kRangeStringDelimiters, true)) {
      return Error(PPDErr_RangeParsing, controlKeyword);
    }
  }

  std::vector<char> code(kQuotesStringSizeLimit);
  const unsigned long length = GetPostscriptString(stream, code.data(), kQuotesStringSizeLimit);
  if (length == 0) AddError(PPDErr_NoPostscript, controlKeyword);
  if (group == nullptr && !ParseOrphans()) return Error(PPDErr_NoParent, controlKeyword);

  std::string name = DisplayName(translation, controlKeyword);
  unsigned char* owned_code = copy_code(code.data(), length);
  PPDXControl* control;
  if (isFloat) {
    control = new PPDXFloatRangeControl(controlKeyword, std::move(name), flags, owned_code,
                                        static_cast<double>(length), decimalValue(numbers[0]),
                                        decimalValue(numbers[1]), decimalValue(numbers[2]),
                                        decimalValue(numbers[3]), true);
  } else {
    control = new PPDXRangeControl(controlKeyword, std::move(name), flags, owned_code,
                                   static_cast<long>(length), std::atol(numbers[0]),
                                   std::atol(numbers[1]), std::atol(numbers[2]),
                                   std::atol(numbers[3]), true);
  }
  flags.MakeEmpty();
  SetupControl(group, control, true);
  return nullptr;
}

KRTPPD::ErrorPtr KRTPPD::ParseCustomPageSizeLine(PPDStream& stream, char const* keyword) {
  ParseCustomPageSize(stream, keyword);  // its result is not used
  return nullptr;
}

KRTPPD::ErrorPtr KRTPPD::ParseCustomPageSize(PPDStream& stream, char const*) {
  static constexpr char kKeyword[] = "*CustomPrintSize";
  // One control takes the width and the height lines, even when it has no place in the pages.
  const _DISPLAY_OPTIONS_ saved = Options();
  Options(kDisplayOrphans | kDisplayHidden);
  CNTL_TYPE type;
  auto* control = dynamic_cast<PPDXCustomPageSizeControl*>(controls_->Find(kKeyword, type, true));
  Options(saved);
  if (control == nullptr) {
    PointerList no_flags;
    control = new PPDXCustomPageSizeControl(kKeyword, no_flags);
    SetupControl(FindAndCreateParent("QPPaperSource"), control, false);
  }

  // Tokens are counted as they come, empty ones included ("Width: 1 points 36 1296").
  bool width = false, height = false;
  char token[kLineSizeLimit];
  auto next = [&]() -> bool {
    if (stream.PeekChar() == -1) return false;
    if (!NextToken(stream, token, kMainKeywordDelimiters, true)) token[0] = '\0';
    return true;
  };
  for (int i = 0; i < 4 && next(); ++i) {
    if (std::strcmp(token, "Width") == 0) width = true;
    if (std::strcmp(token, "Height") == 0) height = true;
  }
  if (!width && !height) return nullptr;
  if (next()) {
    const float minimum = static_cast<float>(decimalValue(token));
    width ? control->SetMinWidth(minimum) : control->SetMinHeight(minimum);
  }
  if (next()) {
    const float maximum = static_cast<float>(decimalValue(token));
    width ? control->SetMaxWidth(maximum) : control->SetMaxHeight(maximum);
  }
  return nullptr;
}
