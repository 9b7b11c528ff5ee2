#include "PPDJson.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "PPDX/PPDObjects/Controls/PPDXBooleanControl.h"
#include "PPDX/PPDObjects/Controls/PPDXCustomPageSizeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXFloatRangeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNoteFlags.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/Controls/PPDXRangeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXSpecialOption.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "PPDX/PPDObjects/PPDXGroups.h"
#include "PPDX/PPDObjects/PPDXProperties.h"
#include "PPDX/PPDObjects/PPDXProperty.h"
#include "PPDX/PPDObjects/PPDXRollDown.h"
#include "PPDX/PPDObjects/PPDXScrollPane.h"
#include "PPDX/PPDObjects/PPDXShortcuts.h"
#include "PPDX/PPDXErrors.h"

namespace quill::cli {
namespace {

const char* TypeName(CNTL_TYPE type) {
  switch (type) {
    case kJobNoteControl: return "job_note";
    case kRangeControl: return "range";
    case kFloatRangeControl: return "float_range";
    case kBooleanControl: return "boolean";
    case kPopupControl: return "popup";
    case kSpecialOptionControl: return "special_option";
    case kCustomPageSizeControl: return "custom_page_size";
    default: return "control";
  }
}

const char* GroupKind(PPDXGroup* group) {
  if (dynamic_cast<PPDXScrollPane*>(group)) return "scroll_pane";
  if (dynamic_cast<PPDXRollDown*>(group)) return "roll_down";
  return "group";
}

Json ParentKeyword(PPDXElement* element) {
  return element->GetParent() ? TextOrNull(element->GetParent()->Keyword()) : Json();
}

Json ValueOrNull(PPDXControl* control) {
  auto value = control->CopyCurrentControlValueString();
  return value ? Json(*value) : Json();
}

Json ControlJson(PPDXControl* control) {
  Json j;
  j["keyword"] = TextOrNull(control->Keyword());
  j["name"] = control->CFStringUserName();
  j["type"] = TypeName(control->Type());
  j["visible"] = control->IsVisible();
  j["parent"] = ParentKeyword(control);
  j["order"] = control->Order();
  Json flags = Json::array();
  for (const char* f = control->FirstControlFlag(); f != nullptr; f = control->NextControlFlag()) {
    flags.push_back(f);
  }
  j["flags"] = flags;
  j["value"] = ValueOrNull(control);

  switch (control->Type()) {
    case kPopupControl: {
      auto* popup = static_cast<PPDXPopupControl*>(control);
      j["multiple_choice"] = popup->CanSelectMultipleItems();
      j["installable"] = popup->IsInstallableOption();
      j["default_keyword"] = TextOrNull(popup->GetDefaultKeyword());
      Json items = Json::array();
      for (_PopupItem* item = popup->FirstItem(); item != nullptr; item = popup->NextItem()) {
        const auto& name = item->LocalizedName();
        items.push_back({{"keyword", TextOrNull(item->Keyword())},
                         {"name", name ? Json(*name) : Json()},
                         {"selected", item->IsSelected()}});
      }
      j["items"] = items;
      break;
    }
    case kBooleanControl: {
      auto* boolean = static_cast<PPDXBooleanControl*>(control);
      j["default"] = boolean->DefaultState();
      j["true_text"] = TextOrNull(boolean->TrueDisplayText());
      j["false_text"] = TextOrNull(boolean->FalseDisplayText());
      break;
    }
    case kRangeControl: {
      auto* range = static_cast<PPDXRangeControl*>(control);
      j["min"] = range->MinVal();
      j["max"] = range->MaxVal();
      j["increment"] = range->Increment();
      j["default"] = range->DefaultValue();
      break;
    }
    case kFloatRangeControl: {
      auto* range = static_cast<PPDXFloatRangeControl*>(control);
      j["min"] = range->MinVal();
      j["max"] = range->MaxVal();
      j["increment"] = range->Increment();
      j["default"] = range->DefaultValue();
      break;
    }
    case kCustomPageSizeControl: {
      auto* size = static_cast<PPDXCustomPageSizeControl*>(control);
      j["width"] = size->GetWidth();
      j["height"] = size->GetHeight();
      j["min_width"] = size->MinWidth();
      j["max_width"] = size->MaxWidth();
      j["min_height"] = size->MinHeight();
      j["max_height"] = size->MaxHeight();
      break;
    }
    case kJobNoteControl: {
      auto* note = static_cast<PPDXJobNote*>(control);
      j["notes"] = TextOrNull(note->GetNotes());
      j["default_notes"] = TextOrNull(note->GetDefaultNotes());
      j["max_length"] = note->MaxLength();
      j["min_length"] = note->MinLength();
      Json names = Json::array();
      for (int bit = 0; bit < 32; ++bit) {
        if ((note->Flags() & (JobNoteFlag{1} << bit)) == 0) continue;
        for (const auto& row : jnFlags) {
          if (row.bit == bit) names.push_back(row.name);
        }
      }
      j["note_flags"] = names;
      break;
    }
    default:
      break;
  }
  return j;
}

void Indent(std::ostringstream& out, int depth) { out << std::string(depth * 2, ' '); }

void OutlineControl(std::ostringstream& out, PPDXControl* control, int depth) {
  Indent(out, depth);
  out << (control->Keyword() ? control->Keyword() : "(no keyword)") << " ("
      << TypeName(control->Type()) << ") \"" << control->CFStringUserName() << "\"";
  if (auto value = control->CopyCurrentControlValueString()) out << " = " << *value;
  if (!control->IsVisible()) out << " [hidden]";
  out << "\n";
}

void OutlineElement(std::ostringstream& out, const char* kind, PPDXElement* element, int depth) {
  Indent(out, depth);
  out << kind << " " << (element->Keyword() ? element->Keyword() : "(no keyword)") << ": \""
      << element->CFStringUserName() << "\"" << (element->IsVisible() ? "" : " [hidden]") << "\n";
}

}  // namespace

Json TextOrNull(const char* text) { return text ? Json(text) : Json(); }

Json ErrorsJson(KRTPPD& ppd) {
  Json errors = Json::array();
  PPDXErrors* list = ppd.GetErrors();
  for (size_t i = 0; list != nullptr && i < list->Count(); ++i) {
    PPDXErrorObj* error = list->At(i);
    errors.push_back({{"code", error->Code()},
                      {"name", TextOrNull(PPDErrName(error->Code()))},
                      {"keyword", TextOrNull(error->Keyword())},
                      {"fatal", error->IsFatal()},
                      {"line", error->Line() > 0 ? Json(error->Line()) : Json(nullptr)}});
  }
  return errors;
}

Json TreeJson(KRTPPD& ppd, const std::string& path) {
  Json j;
  j["file"] = path;
  j["valid_ppd"] = ppd.IsValidPPD();
  j["header"] = {
      {"format_version", TextOrNull(ppd.FormatVersion())},
      {"file_version", TextOrNull(ppd.FileVersion())},
      {"pc_file_name", TextOrNull(ppd.PCFileName())},
      {"language_version", TextOrNull(ppd.LanguageVersion())},
      {"language_encoding", TextOrNull(ppd.LanguageEncoding())},
      {"model_name", TextOrNull(ppd.ModelName())},
      {"dialog_extension", TextOrNull(ppd.PathToPDE())},
      {"vendor_file_version", TextOrNull(ppd.VendorFileVersion())},
      {"vendor_version", TextOrNull(ppd.VendorVersion())},
      {"vendor_mac_version", TextOrNull(ppd.VendorMacVersion())},
  };
  j["errors"] = ErrorsJson(ppd);

  Json properties = Json::array();
  for (PPDXProperty* page = ppd.GetProperties()->First(); page != nullptr;
       page = ppd.GetProperties()->Next()) {
    properties.push_back(
        {{"keyword", TextOrNull(page->Keyword())},
         {"name", page->CFStringUserName()},
         {"visible", page->IsVisible()},
         {"show_in_print_properties", page->ShowInPrintProp()},
         {"show_in_app", page->ShowInApp()},
         {"scroll_pane", page->GetScrollDown() ? TextOrNull(page->GetScrollDown()->Keyword())
                                               : Json()}});
  }
  j["properties"] = properties;

  Json groups = Json::array();
  for (PPDXGroup* group = ppd.GetGroups()->First(); group != nullptr;
       group = ppd.GetGroups()->Next()) {
    groups.push_back({{"keyword", TextOrNull(group->Keyword())},
                      {"name", group->CFStringUserName()},
                      {"visible", group->IsVisible()},
                      {"kind", GroupKind(group)},
                      {"parent", ParentKeyword(group)}});
  }
  j["groups"] = groups;

  Json controls = Json::array();
  CNTL_TYPE type;
  for (PPDXControl* c = ppd.GetControls()->First(type); c != nullptr;
       c = ppd.GetControls()->Next(type)) {
    controls.push_back(ControlJson(c));
  }
  j["controls"] = controls;

  Json shortcuts = Json::array();
  if (PPDXShortcuts* list = ppd.GetShortcuts()) {
    for (PPDXControl* c = list->First(); c != nullptr; c = list->Next()) {
      shortcuts.push_back(TextOrNull(c->Keyword()));
    }
  }
  j["shortcuts"] = shortcuts;
  j["custom_xml"] = TextOrNull(ppd.CustomXMLText());
  return j;
}

std::string TreeOutline(KRTPPD& ppd, const std::string& path) {
  std::ostringstream out;
  out << (ppd.ModelName() ? ppd.ModelName() : "(no model name)") << " (" << path << ")"
      << (ppd.IsValidPPD() ? "" : " [not a valid PPD]") << "\n";

  std::vector<PPDXGroup*> placed;
  for (PPDXProperty* page = ppd.GetProperties()->First(); page != nullptr;
       page = ppd.GetProperties()->Next()) {
    OutlineElement(out, "Page", page, 0);
    PPDXScrollPane* pane = page->GetScrollDown();
    if (pane == nullptr) continue;
    OutlineElement(out, "Pane", pane, 1);
    placed.push_back(pane);
    for (PPDXGroup* g = pane->RollDowns()->First(); g != nullptr; g = pane->RollDowns()->Next()) {
      OutlineElement(out, "Roll-down", g, 2);
      placed.push_back(g);
      auto* roll_down = static_cast<PPDXRollDown*>(g);
      CNTL_TYPE type;
      for (PPDXControl* c = roll_down->Controls()->First(type); c != nullptr;
           c = roll_down->Controls()->Next(type)) {
        OutlineControl(out, c, 3);
      }
    }
  }

  bool heading = false;
  for (PPDXGroup* g = ppd.GetGroups()->First(); g != nullptr; g = ppd.GetGroups()->Next()) {
    if (std::find(placed.begin(), placed.end(), g) != placed.end()) continue;
    if (!heading) out << "Outside the pages:\n";
    heading = true;
    auto* roll_down = dynamic_cast<PPDXRollDown*>(g);
    OutlineElement(out, roll_down ? "Roll-down" : "Group", g, 1);
    if (roll_down == nullptr) continue;
    CNTL_TYPE type;
    for (PPDXControl* c = roll_down->Controls()->First(type); c != nullptr;
         c = roll_down->Controls()->Next(type)) {
      OutlineControl(out, c, 2);
    }
  }

  heading = false;
  CNTL_TYPE type;
  for (PPDXControl* c = ppd.GetControls()->First(type); c != nullptr;
       c = ppd.GetControls()->Next(type)) {
    if (dynamic_cast<PPDXRollDown*>(c->GetParent()) != nullptr) continue;
    if (!heading) out << "Controls without a roll-down:\n";
    heading = true;
    OutlineControl(out, c, 1);
  }
  return out.str();
}

void PrintJson(const Json& json) {
  std::printf("%s\n", json.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
}

}  // namespace quill::cli
