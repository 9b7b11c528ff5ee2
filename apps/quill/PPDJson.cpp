#include "PPDJson.h"

#include <algorithm>
#include <cstdio>
#include <utility>
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
#include "JsonTextWriter.h"
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

const char* ParentKeyword(PPDXElement* element) {
  return element->GetParent() ? element->GetParent()->Keyword() : nullptr;
}

void WriteControl(JsonTextWriter& w, PPDXControl* control) {
  w.BeginObject();
  w.Key("keyword");
  w.TextOrNull(control->Keyword());
  w.Key("name");
  w.String(control->CFStringUserName());
  w.Key("type");
  w.String(TypeName(control->Type()));
  w.Key("visible");
  w.Bool(control->IsVisible());
  w.Key("parent");
  w.TextOrNull(ParentKeyword(control));
  w.Key("order");
  w.Integer(control->Order());
  w.Key("flags");
  w.BeginArray();
  for (const char* f = control->FirstControlFlag(); f != nullptr; f = control->NextControlFlag()) {
    w.String(f);
  }
  w.EndArray();
  w.Key("value");
  if (auto value = control->CopyCurrentControlValueString()) {
    w.String(*value);
  } else {
    w.Null();
  }

  switch (control->Type()) {
    case kPopupControl: {
      auto* popup = static_cast<PPDXPopupControl*>(control);
      w.Key("multiple_choice");
      w.Bool(popup->CanSelectMultipleItems());
      w.Key("installable");
      w.Bool(popup->IsInstallableOption());
      w.Key("default_keyword");
      w.TextOrNull(popup->GetDefaultKeyword());
      w.Key("items");
      w.BeginArray();
      for (_PopupItem* item = popup->FirstItem(); item != nullptr; item = popup->NextItem()) {
        w.BeginObject();
        w.Key("keyword");
        w.TextOrNull(item->Keyword());
        w.Key("name");
        if (const auto& name = item->LocalizedName()) {
          w.String(*name);
        } else {
          w.Null();
        }
        w.Key("selected");
        w.Bool(item->IsSelected());
        w.EndObject();
      }
      w.EndArray();
      break;
    }
    case kBooleanControl: {
      auto* boolean = static_cast<PPDXBooleanControl*>(control);
      w.Key("default");
      w.Bool(boolean->DefaultState());
      w.Key("true_text");
      w.TextOrNull(boolean->TrueDisplayText());
      w.Key("false_text");
      w.TextOrNull(boolean->FalseDisplayText());
      break;
    }
    case kRangeControl: {
      auto* range = static_cast<PPDXRangeControl*>(control);
      w.Key("min");
      w.Integer(range->MinVal());
      w.Key("max");
      w.Integer(range->MaxVal());
      w.Key("increment");
      w.Integer(range->Increment());
      w.Key("default");
      w.Integer(range->DefaultValue());
      break;
    }
    case kFloatRangeControl: {
      auto* range = static_cast<PPDXFloatRangeControl*>(control);
      w.Key("min");
      w.Double(range->MinVal());
      w.Key("max");
      w.Double(range->MaxVal());
      w.Key("increment");
      w.Double(range->Increment());
      w.Key("default");
      w.Double(range->DefaultValue());
      break;
    }
    case kCustomPageSizeControl: {
      auto* size = static_cast<PPDXCustomPageSizeControl*>(control);
      w.Key("width");
      w.Double(size->GetWidth());
      w.Key("height");
      w.Double(size->GetHeight());
      w.Key("min_width");
      w.Double(size->MinWidth());
      w.Key("max_width");
      w.Double(size->MaxWidth());
      w.Key("min_height");
      w.Double(size->MinHeight());
      w.Key("max_height");
      w.Double(size->MaxHeight());
      break;
    }
    case kJobNoteControl: {
      auto* note = static_cast<PPDXJobNote*>(control);
      w.Key("notes");
      w.TextOrNull(note->GetNotes());
      w.Key("default_notes");
      w.TextOrNull(note->GetDefaultNotes());
      w.Key("max_length");
      w.Integer(note->MaxLength());
      w.Key("min_length");
      w.Integer(note->MinLength());
      w.Key("note_flags");
      w.BeginArray();
      for (int bit = 0; bit < 32; ++bit) {
        if ((note->Flags() & (JobNoteFlag{1} << bit)) == 0) continue;
        for (const auto& row : jnFlags) {
          if (row.bit == bit) w.String(row.name);
        }
      }
      w.EndArray();
      break;
    }
    default:
      break;
  }
  w.EndObject();
}

void WriteErrors(JsonTextWriter& w, KRTPPD& ppd) {
  w.BeginArray();
  PPDXErrors* list = ppd.GetErrors();
  for (size_t i = 0; list != nullptr && i < list->Count(); ++i) {
    PPDXErrorObj* error = list->At(i);
    w.BeginObject();
    w.Key("code");
    w.Integer(error->Code());
    w.Key("name");
    w.TextOrNull(PPDErrName(error->Code()));
    w.Key("keyword");
    w.TextOrNull(error->Keyword());
    w.Key("fatal");
    w.Bool(error->IsFatal());
    w.Key("line");
    if (error->Line() > 0) {
      w.Integer(error->Line());
    } else {
      w.Null();
    }
    w.EndObject();
  }
  w.EndArray();
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

bool WriteTreeJson(KRTPPD& ppd, const std::string& path, std::FILE* out) {
  JsonTextWriter w(out);
  w.BeginObject();
  w.Key("file");
  w.String(path);
  w.Key("valid_ppd");
  w.Bool(ppd.IsValidPPD());
  w.Key("header");
  w.BeginObject();
  const std::pair<const char*, const char*> header[] = {
      {"format_version", ppd.FormatVersion()},
      {"file_version", ppd.FileVersion()},
      {"pc_file_name", ppd.PCFileName()},
      {"language_version", ppd.LanguageVersion()},
      {"language_encoding", ppd.LanguageEncoding()},
      {"model_name", ppd.ModelName()},
      {"dialog_extension", ppd.PathToPDE()},
      {"vendor_file_version", ppd.VendorFileVersion()},
      {"vendor_version", ppd.VendorVersion()},
      {"vendor_mac_version", ppd.VendorMacVersion()},
  };
  for (const auto& [name, text] : header) {
    w.Key(name);
    w.TextOrNull(text);
  }
  w.EndObject();
  w.Key("errors");
  WriteErrors(w, ppd);

  w.Key("properties");
  w.BeginArray();
  for (PPDXProperty* page = ppd.GetProperties()->First(); page != nullptr;
       page = ppd.GetProperties()->Next()) {
    w.BeginObject();
    w.Key("keyword");
    w.TextOrNull(page->Keyword());
    w.Key("name");
    w.String(page->CFStringUserName());
    w.Key("visible");
    w.Bool(page->IsVisible());
    w.Key("show_in_print_properties");
    w.Bool(page->ShowInPrintProp());
    w.Key("show_in_app");
    w.Bool(page->ShowInApp());
    w.Key("scroll_pane");
    w.TextOrNull(page->GetScrollDown() ? page->GetScrollDown()->Keyword() : nullptr);
    w.EndObject();
  }
  w.EndArray();

  w.Key("groups");
  w.BeginArray();
  for (PPDXGroup* group = ppd.GetGroups()->First(); group != nullptr;
       group = ppd.GetGroups()->Next()) {
    w.BeginObject();
    w.Key("keyword");
    w.TextOrNull(group->Keyword());
    w.Key("name");
    w.String(group->CFStringUserName());
    w.Key("visible");
    w.Bool(group->IsVisible());
    w.Key("kind");
    w.String(GroupKind(group));
    w.Key("parent");
    w.TextOrNull(ParentKeyword(group));
    w.EndObject();
  }
  w.EndArray();

  w.Key("controls");
  w.BeginArray();
  CNTL_TYPE type;
  for (PPDXControl* c = ppd.GetControls()->First(type); c != nullptr;
       c = ppd.GetControls()->Next(type)) {
    WriteControl(w, c);
  }
  w.EndArray();

  w.Key("shortcuts");
  w.BeginArray();
  if (PPDXShortcuts* list = ppd.GetShortcuts()) {
    for (PPDXControl* c = list->First(); c != nullptr; c = list->Next()) w.TextOrNull(c->Keyword());
  }
  w.EndArray();
  w.Key("custom_xml");
  w.TextOrNull(ppd.CustomXMLText());
  w.EndObject();
  return w.Finish(true);
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
