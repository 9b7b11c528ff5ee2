// Feeds arbitrary texts to the controls' value question, as the command line and the panel ask
// it. The first byte picks the control; the rest is the value. A value that a control accepts
// must then be held as given, so a wrong "accepted" stops the run.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "PPDX/PPDObjects/Controls/PPDXBooleanControl.h"
#include "PPDX/PPDObjects/Controls/PPDXCustomPageSizeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXFloatRangeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/Controls/PPDXRangeControl.h"
#include "foundation/CString.h"
#include "foundation/PointerList.h"

namespace {

std::unique_ptr<PPDXPopupControl> Popup(const char* keyword) {
  PointerList flags;
  PointerList items;
  for (const char* option : {"A4", "Letter", "Legal"}) {
    items.PushBack(new _PopupItem(option, std::string(option), nullptr, 0));
  }
  return std::make_unique<PPDXPopupControl>(keyword, "Paper", flags, true, false, false, items,
                                            new CString("A4"), nullptr);
}

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string value(reinterpret_cast<const char*>(data) + 1, size - 1);
  PointerList flags;
  std::string why;
  switch (data[0] % 6) {
    case 0: {
      auto popup = Popup("*PageSize");
      if (popup->AcceptsValue(value, &why)) {
        popup->SetCurrentControlWithCFString(value);
        Require(popup->CopyCurrentControlValueString() == value);
      }
      break;
    }
    case 1: {
      auto profile = Popup("*KROutProfile");
      if (profile->AcceptsValue(value, &why)) {
        profile->SetCurrentControlWithCFString(value);
        Require(profile->CopyCurrentControlValueString().has_value());
      }
      break;
    }
    case 2: {
      PPDXRangeControl range("*KRCopies", "Copies", flags, nullptr, 0, -1000, 9999, 3, 1, true);
      if (range.AcceptsValue(value, &why)) {
        range.SetCurrentControlWithCFString(value);
        Require(range.GetValue() == std::strtol(value.c_str(), nullptr, 10));
      }
      break;
    }
    case 3: {
      PPDXFloatRangeControl gamma("*KRGamma", "Gamma", flags, nullptr, 0, 0.5, 2.0, 0.1, 1.0, true);
      if (gamma.AcceptsValue(value, &why)) {
        gamma.SetCurrentControlWithCFString(value);
        Require(gamma.GetValue() >= 0.5f && gamma.GetValue() <= 2.0f);
      }
      break;
    }
    case 4: {
      PPDXCustomPageSizeControl custom("*CustomPrintSize", flags, 100, 900, 150, 1200);
      if (custom.AcceptsValue(value, &why)) {
        custom.SetCurrentControlWithCFString(value);
        Require(custom.GetWidth() >= 100 && custom.GetWidth() <= 900);
        Require(custom.GetHeight() >= 150 && custom.GetHeight() <= 1200);
      }
      break;
    }
    default: {
      PPDXJobNote note("*KRAccount", "Account", flags, nullptr, 0, nullptr, nullptr, true, 16,
                       kJobNoteNumeric | kJobNoteHyphen, 0);
      if (note.AcceptsValue(value, &why)) {
        note.SetCurrentControlWithCFString(value);
        Require(note.CopyNotes() == value);
      }
      break;
    }
  }
  return 0;
}
