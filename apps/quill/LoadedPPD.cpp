#include "LoadedPPD.h"

#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <strings.h>
#include <vector>

#include "PPDX/PPDObjects/Controls/JobNoteCharacterRule.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXCustomPageSizeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXFloatRangeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/Controls/PPDXRangeControl.h"
#include "foundation/ProcessGlobals.h"
#include "foundation/UTF8.h"

namespace quill::cli {
namespace {

// Popups whose value may name a profile the PPD does not list; the popup then adds it.
constexpr const char* kOpenPopups[] = {
    "*KRSimulation", "*KROutProfile",   "*KRRGBOverride",    "*KRCurveAdjust",    "*KRControlBar",
    "*KRSpotPriority", "*KRGrayOverride", "*KRTUProfileBody", "*KRTUProfileCover",
};

template <typename Number>
bool parse_number(const std::string& text, Number& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

// Why the control would not take `value`; empty when it would.
std::string refusal(PPDXControl& control, const std::string& value) {
  switch (control.Type()) {
    case kPopupControl: {
      auto& popup = static_cast<PPDXPopupControl&>(control);
      for (const char* open : kOpenPopups) {
        if (std::strcmp(control.Keyword(), open) == 0) return {};
      }
      for (_PopupItem* item = popup.FirstItem(); item != nullptr; item = popup.NextItem()) {
        if (item->HasKeyword(value.c_str())) return {};
      }
      return "is not one of its options";
    }
    case kBooleanControl:
      return strcasecmp(value.c_str(), "True") == 0 || strcasecmp(value.c_str(), "False") == 0
                 ? std::string()
                 : "is not True or False";
    case kRangeControl: {
      auto& range = static_cast<PPDXRangeControl&>(control);
      long number;
      if (!parse_number(value, number)) return "is not a whole number";
      if (number < range.MinVal() || number > range.MaxVal()) {
        return "is outside " + std::to_string(range.MinVal()) + ".." +
               std::to_string(range.MaxVal());
      }
      return {};
    }
    case kFloatRangeControl: {
      auto& range = static_cast<PPDXFloatRangeControl&>(control);
      double number;
      if (!parse_number(value, number)) return "is not a number";
      if (number < range.MinVal() || number > range.MaxVal()) return "is outside the range";
      return {};
    }
    case kCustomPageSizeControl: {
      const auto space = value.find(' ');
      double width, height;
      if (space == std::string::npos || !parse_number(value.substr(0, space), width) ||
          !parse_number(value.substr(space + 1), height)) {
        return "is not \"WIDTH HEIGHT\"";
      }
      return {};
    }
    case kJobNoteControl: {
      auto& note = static_cast<PPDXJobNote&>(control);
      if (note.MaxLength() > 0 && static_cast<long>(value.size()) > note.MaxLength()) {
        return "is longer than " + std::to_string(note.MaxLength()) + " characters";
      }
      for (char32_t c : DecodeUTF8(value)) {
        if (!JobNoteAcceptsCharacter(note.Flags(), c)) return "has characters the note refuses";
      }
      return {};
    }
    case kSpecialOptionControl:
      return "belongs to the server and cannot be set";
    default:
      return {};
  }
}

}  // namespace

std::pair<std::string, std::string> SplitAssignment(const std::string& text) {
  const auto at = text.find('=');
  if (at == std::string::npos || at == 0) {
    throw UsageError{"expected KEY=VALUE, got \"" + text + "\""};
  }
  return {text.substr(0, at), text.substr(at + 1)};
}

LoadedPPD::LoadedPPD(const std::string& path, _PARSE_OPTIONS_ options)
    : path_(path), savedOptions_(KRTPPD::Options()) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error) || !std::ifstream(path).good()) {
    throw UsageError{"cannot read " + path};
  }
  Globals().currentPPDPath = path;
  ppd_ = new KRTPPD(path, options);
  ppd_->Retain();
  // Everything the file defines is shown and can be set, orphans and hidden elements included.
  KRTPPD::Options(kDisplayOrphans | kDisplayHidden);
}

LoadedPPD::~LoadedPPD() {
  ppd_->Release();
  KRTPPD::Options(savedOptions_);
}

void LoadedPPD::Set(const std::string& assignment) {
  auto [key, value] = SplitAssignment(assignment);
  PPDXControl* control = ppd_->GetPPDXControlForKey(key);
  if (control == nullptr) throw UsageError{"no option " + key + " in " + path_};
  if (std::string why = refusal(*control, value); !why.empty()) {
    throw UsageError{"value \"" + value + "\" for " + key + " " + why};
  }
  ppd_->SetValueForKey(key, value);
}

}  // namespace quill::cli
