// The print-time side of PDEData: what the panel puts into the job ticket, in the order the
// spooler-side filter and the print server expect: the keywords whose CUPS feature code the
// filter removes, the feature code of every chosen option, the panel's own feature blocks (source
// application, mixed media, covers, slip sheets, colour profiles, scale, custom print size, paper
// catalog, print size), the job notes' pieces, the watermark resource, the mailbox path and the
// header comments.
//
// Every value that comes from a user, a settings file, the host or the PPD reaches the job
// through PostScriptText: inside a PostScript string it is fully escaped, inside a comment line
// its control characters are written as octal escapes, so no value can end its string or line.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string>
#include <string_view>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXCustomPageSizeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/Controls/PPDXRangeControl.h"
#include "PPDX/PPDObjects/Controls/PPDXSpecialOption.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "foundation/ProcessGlobals.h"
#include "output/KRTJobNoteList.h"
#include "output/KRTJobTicket.h"
#include "output/KRTWatermark.h"
#include "output/KRTWatermarkPostScript.h"
#include "output/PostScriptText.h"
#include "panel/PDEData.h"
#include "panel/SessionText.h"
#include "platform/Bundle.h"
#include "platform/Log.h"
#include "platform/PageFormat.h"
#include "platform/PrintSession.h"
#include "platform/Printer.h"
#include "platform/SystemInfo.h"
#include "platform/TextEncoding.h"

namespace {

using quill::FormatPS;
using quill::PSCommentText;
using quill::PSStringText;

constexpr char kPageSize[] = "*PageSize";
constexpr char kControlBar[] = "*KRControlBar";
constexpr char kPrintSize[] = "*KRPrintSize";
constexpr char kCustomPrintSize[] = "*CustomPrintSize";
constexpr char kCustomPrintSizeValue[] = "CustomPrintSize";

// Controls that the option loop leaves to blocks of their own.
constexpr const char* kOwnBlockKeywords[] = {"*KRScale", kPrintSize, "*KROrientation", "*Collate"};

constexpr std::string_view kNUpSetting =
    "%%%%KRT Begin N-Up_Setting\r\nuserdict /QuillVTdict known\r\n{\r\nQuillVTdict "
    "/KRTDoing_N_Up known\r\n{ 1 false QuillVTdict /KRTDoing_N_Up get exec } if\r\n} if\r\n"
    "%%%%KRT End\r\n";
constexpr std::string_view kSourceAppType =
    "%%%%BeginFeature: *KRSourceAppType %s\n\n%%%%EndFeature\n";
constexpr std::string_view kOrientationFalse =
    "%%%%BeginFeature: *KROrientation False\n%%%%EndFeature\n";
constexpr std::string_view kPairBlock = "%%%%BeginFeature: %s %s\n%%%%EndFeature\n";
constexpr std::string_view kStarredPairBlock = "%%%%BeginFeature: *%s %s\n%%%%EndFeature\n";
constexpr std::string_view kDynamicOption =
    "%%%%BeginFeature: %s %s\n /VTXsetDynamicOption where\n        { pop (%s) (%s) "
    "VTXsetDynamicOption } if\n%%%%EndFeature\n";
constexpr std::string_view kScale =
    "%%%%BeginFeature: *KRScale %d\n userdict /VTXKRTsetpageproperties known {  << "
    "/VTXSetKRScale [ %s ] >> VTXKRTsetpageproperties } { /VTXSetKRScale where { pop %s "
    "VTXSetKRScale } if } ifelse \n%%%%EndFeature\n";
constexpr std::string_view kCustomPrintSizeBlock =
    "%%%%BeginFeature: *CustomPrintSize %.2f %.2f\n   userdict /VTXKRTsetpageproperties known\n"
    "   {<< /VTXsetPrintSize [ %.2f %.2f 0 0 1 ] >> VTXKRTsetpageproperties} if\n"
    "%%%%EndFeature\n";
constexpr std::string_view kSameAsPageSize =
    "%%BeginFeature: *KRPrintSize SameAsPageSize\n\n%%EndFeature\n";
constexpr std::string_view kMailboxFolder = "Library/Caches/KRT/";
constexpr size_t kMaxMailboxName = 1023;
constexpr std::string_view kDriverComment = "%%KRTDriver\n";
constexpr std::string_view kPreParseEnd =
    "%%EndQuillPreparse1: True\n/VTXPPDInsertionComplete where { pop VTXPPDInsertionComplete } "
    "if\n";
constexpr std::string_view kUTF8VersionComment = "%%%%KRUTF8_Version: %s \n";
constexpr size_t kMaxUTF8VersionValue = 127;
constexpr size_t kMaxControlBarValue = 127;
constexpr size_t kMaxPrintSizeValue = 63;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Every "EFBBBF" written out as text becomes the byte-order mark it stands for.
std::string RestoreByteOrderMarks(std::string text) {
  static constexpr std::string_view kMarkText = "EFBBBF";
  static constexpr std::string_view kMark = "\xEF\xBB\xBF";
  for (size_t at = 0; (at = text.find(kMarkText, at)) != std::string::npos; at += kMark.size()) {
    text.replace(at, kMarkText.size(), kMark);
  }
  return text;
}

// The dynamic-option block: the comment line names the option and `commentValue`; the code hands
// the option and `stringValue` to the server's procedure as two PostScript strings.
std::string DynamicOptionBlock(std::string_view keyword, std::string_view commentValue,
                               std::string_view stringValue) {
  const std::string comment_keyword = PSCommentText(keyword);
  const std::string comment_value = PSCommentText(commentValue);
  const std::string string_keyword = PSStringText(keyword);
  const std::string string_value = PSStringText(stringValue);
  return FormatPS(kDynamicOption, {comment_keyword, comment_value, string_keyword, string_value});
}

PPDXJobNote* AsJobNote(PPDXControl* control) {
  return control != nullptr && control->Type() == kJobNoteControl
             ? static_cast<PPDXJobNote*>(control)
             : nullptr;
}

PPDXPopupControl* AsPopup(PPDXControl* control) {
  return control != nullptr && control->Type() == kPopupControl
             ? static_cast<PPDXPopupControl*>(control)
             : nullptr;
}

// The control with exactly this keyword that is not a job note (a job note may share the keyword
// of the option it feeds); null when none.
PPDXControl* FindOption(PPDXControls* controls, const char* keyword) {
  CNTL_TYPE type;
  PPDXControl* control = controls->Find(keyword, type, true);
  if (control == nullptr || control->Type() != kJobNoteControl) return control;
  for (auto finder : {&PPDXControls::FindPopup, &PPDXControls::FindBoolean,
                      &PPDXControls::FindRangeControl, &PPDXControls::FindFloatRangeControl}) {
    if (PPDXControl* other = (controls->*finder)(keyword, true)) return other;
  }
  return nullptr;
}

PPDXJobNote* FindNote(PPDXControls* controls, const char* keyword) {
  return AsJobNote(controls->FindJobNote(keyword, true));
}

std::string CurrentValue(PPDXControl* control) {
  if (control == nullptr) return {};
  return control->CopyCurrentControlValueString().value_or(std::string());
}

std::string NoteText(PPDXJobNote* note) {
  if (note == nullptr) return {};
  return note->CopyNotes().value_or(std::string());
}

const char* SpecialOptionValue(PPDXControls* controls, const char* keyword) {
  PPDXControl* control = controls->FindSpecialOption(keyword, true);
  if (control == nullptr || control->Type() != kSpecialOptionControl) return nullptr;
  CString* value = static_cast<PPDXSpecialOption*>(control)->GetValue();
  return value != nullptr ? static_cast<const char*>(*value) : nullptr;
}

// The integer at the start of a version text such as "5.2.1"; 0 when there is none.
long LeadingInteger(std::string_view text) {
  return std::strtol(std::string(text.substr(0, text.find('.'))).c_str(), nullptr, 10);
}

// "0.75" for 75, "2.50" for 250, "-0.05" for -5: a percentage as a factor with two decimals.
std::string PercentAsFactor(long percent) {
  const long long magnitude = percent < 0 ? -static_cast<long long>(percent) : percent;
  std::string text = percent < 0 ? "-" : "";
  text += std::to_string(magnitude / 100);
  text += '.';
  text += static_cast<char>('0' + (magnitude / 10) % 10);
  text += static_cast<char>('0' + magnitude % 10);
  return text;
}

// Whether a mailbox name stays inside the mailbox folder: a relative path whose components are
// neither empty nor "." nor "..", without control characters. The reason in *why otherwise.
bool CheckMailboxName(std::string_view name, std::string* why) {
  if (name.empty()) {
    *why = "the mailbox name is empty";
    return false;
  }
  if (quill::HasPSControlCharacter(name)) {
    *why = "the mailbox name has a control character";
    return false;
  }
  size_t from = 0;
  while (true) {
    const size_t slash = name.find('/', from);
    const std::string_view part =
        name.substr(from, slash == std::string_view::npos ? std::string_view::npos : slash - from);
    if (part.empty() || part == "." || part == "..") {
      *why = "the mailbox name \"" + std::string(name) + "\" leaves the mailbox folder";
      return false;
    }
    if (slash == std::string_view::npos) return true;
    from = slash + 1;
  }
}

}  // namespace

void PDEData::SuppressApplePostscript(KRTJobTicket& ticket) {
  PPDXControls* controls = ppd_ != nullptr ? ppd_->GetControls() : nullptr;
  if (controls == nullptr) return;
  CNTL_TYPE type;
  for (PPDXControl* control = controls->First(type); control != nullptr;
       control = controls->Next(type)) {
    const char* keyword = control->Keyword();
    if (keyword == nullptr || std::strcmp(keyword, kPageSize) == 0) continue;
    ticket.Add(kSiteBareKeyword, keyword, std::strlen(keyword));
  }
}

uint32_t PDEData::OutputOrientation() const {
  return pageFormat_ != nullptr ? pageFormat_->Orientation() : pageOrientation_;
}

// One control of the option loop: added as its own feature block unless it is left to a block of
// its own, or (a job note) to the job-note output, which enciphers what must be enciphered.
void PDEData::AddOptionControl(KRTJobTicket& ticket, PPDXControl* control, CNTL_TYPE type,
                               int utf8Version, const std::string& controlBarValue) {
  const char* keyword = control->Keyword();
  if (keyword == nullptr) return;
  if (customPaper_ && std::strcmp(keyword, kPageSize) == 0) return;
  if (utf8Version >= 6 && controlBarValue != "True" && std::strcmp(keyword, kControlBar) == 0) {
    return;
  }
  if (type == kJobNoteControl || isSpecialTonesmithControl(keyword)) return;
  for (const char* own : kOwnBlockKeywords) {
    if (std::strcmp(keyword, own) != 0) continue;
    if (std::strcmp(own, "*KROrientation") == 0 && !control->IsNoQuillDriverUI()) {
      ticket.Add(kSiteFeature, FormatPS(kOrientationFalse, {}));
    }
    return;
  }
  ticket.Add(kSiteFeature, control);
}

int PDEData::OutPostscriptData(KRTJobTicket& ticket, quill::PrintSession* session) {
  outputError_.clear();
  PPDXControls* controls = ppd_ != nullptr ? ppd_->GetControls() : nullptr;
  if (controls == nullptr) return kOutputOk;
  const size_t start = ticket.Count();

  // 1. The keywords whose CUPS feature code the filter takes out.
  SuppressApplePostscript(ticket);

  // 2. The control bar's value.
  std::string control_bar_value;
  PPDXPopupControl* control_bar = AsPopup(controls->FindPopup(kControlBar, true));
  if (control_bar != nullptr) {
    control_bar_value = quill::CutUTF8(
        control_bar->CopyCurrentControlValueStringUTF8().value_or(std::string()),
        kMaxControlBarValue);
  }

  const bool bidi = isBIDIEnabled();
  // 3. A workflow server takes the job's workflow file first.
  if (SpecialOptionValue(controls, "*Paragon") != nullptr && bidi) UploadRelayerXMLFiles(2);

  // 4. The server's UTF-8 level.
  const char* utf8_text = SpecialOptionValue(controls, "*KRUTF8_Version");
  const int utf8_version = utf8_text != nullptr ? std::atoi(utf8_text) : 0;
  Globals().KRUTF8Version = utf8_version;
  utf8Version_ = utf8_version;

  // 5. The first control, filtered as every other (a job note goes only through the job-note
  // output below, which enciphers it where it must be).
  CNTL_TYPE type = kBaseControl;
  PPDXControl* first = controls->First(type);
  if (first != nullptr) AddOptionControl(ticket, first, type, utf8_version, control_bar_value);

  // 6. Old layout applications lay out N-up pages themselves.
  const std::string host = quill::SystemInfo::HostBundleIdentifier();
  if (host.find("InDesign") != std::string::npos) {
    const uint32_t orientation = OutputOrientation();
    if (LeadingInteger(quill::SystemInfo::HostShortVersion()) <= 5 && orientation != 1 &&
        orientation != 3) {
      ticket.Add(kSiteFeature, FormatPS(kNUpSetting, {}));
    }
  }

  // 7. The application that printed.
  std::string process = quill::SystemInfo::HostProcessName();
  std::transform(process.begin(), process.end(), process.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  ticket.Add(kSiteFeature, FormatPS(kSourceAppType, {PSCommentText(process)}));

  // 8. Every further option.
  if (first != nullptr) {
    for (PPDXControl* control = controls->Next(type); control != nullptr;
         control = controls->Next(type)) {
      AddOptionControl(ticket, control, type, utf8_version, control_bar_value);
    }
  }

  // 9, 10. The tables that are not PPD options, each pair a feature block of its own, whole
  // whatever its length.
  auto add_pairs = [&ticket](const KeyValueTable& table, std::string_view format) {
    for (int32_t i = 0; i < table.Count(); ++i) {
      const KeyValueTable::Pair* pair = table.At(static_cast<size_t>(i));
      if (pair == nullptr) break;
      const std::string key = PSCommentText(quill::NarrowToUTF8(pair->key, kMaxSettingBytes * 4));
      const std::string value =
          PSCommentText(quill::NarrowToUTF8(pair->value, kMaxSettingBytes * 4));
      ticket.Add(kSiteFeature, FormatPS(format, {key, value}));
    }
  };
  add_pairs(mixedMedia_, kPairBlock);
  add_pairs(padCover_, kStarredPairBlock);
  add_pairs(slipSheet_, kStarredPairBlock);
  add_pairs(coverPage_, kStarredPairBlock);

  // 11. The colour profiles: with two-way communication the server takes the profile named by
  // the job note; without it the option's own code goes out and the note is cleared.
  for (const char* keyword : kSpecialTonesmithKeywords) {
    PPDXControl* control = FindOption(controls, keyword);
    PPDXJobNote* note = FindNote(controls, keyword);
    if (note != nullptr && bidi) {
      if (control == nullptr) continue;
      const std::string text = NoteText(note);
      const std::string restored = RestoreByteOrderMarks(text);
      ticket.Add(kSiteFeature, DynamicOptionBlock(control->Keyword(), restored, restored));
    } else if (note != nullptr && control != nullptr) {
      note->SetNotes("");
      ticket.Add(kSiteFeature, control);
    } else if (control != nullptr) {
      ticket.Add(kSiteFeature, control);
    }
  }

  // 12. The curve adjustment.
  if (PPDXControl* curve = FindOption(controls, "*KRCurveAdjust")) {
    const std::string value = RestoreByteOrderMarks(CurrentValue(curve));
    ticket.Add(kSiteFeature, DynamicOptionBlock(curve->Keyword(), value, value));
  }

  // 13. The profiles of the body and the cover.
  for (const char* keyword : {"*KRTUProfileBody", "*KRTUProfileCover"}) {
    if (PPDXControl* profile = FindOption(controls, keyword)) {
      const std::string value = CurrentValue(profile);
      ticket.Add(kSiteFeature, DynamicOptionBlock(profile->Keyword(), value, value));
    }
  }

  // 14. A control-bar choice that differs from the default goes to the server as it is.
  if (utf8_version >= 6 && control_bar_value != "True" && bidi && control_bar != nullptr) {
    const char* default_keyword = control_bar->GetDefaultKeyword();
    const std::string current = CurrentValue(control_bar);
    if (default_keyword == nullptr || current != default_keyword) {
      PPDXJobNote* note = FindNote(controls, kControlBar);
      const std::string note_text = NoteText(note);
      if (note != nullptr && !note_text.empty()) {
        const std::string value = RestoreByteOrderMarks(note_text);
        ticket.Add(kSiteFeature, DynamicOptionBlock(note->Keyword(), value, value));
      } else {
        const std::string value = RestoreByteOrderMarks(current);
        ticket.Add(kSiteFeature, DynamicOptionBlock(control_bar->Keyword(), value, value));
      }
    }
  }

  // 15. The job notes. A note that cannot be written safely, or no memory for one, stops the
  // print: the ticket is dropped so that no job goes out without the notes it asked for.
  {
    KRTJobNoteList notes(ppd_, false, static_cast<int>(OutputOrientation()));
    const int status = notes.outInjectionData(&ticket, printSettings_);
    if (status != KRTJobNoteList::kStatusOk) {
      outputError_ = notes.LastError().empty() ? "the job notes could not be written"
                                               : notes.LastError();
      ticket.Truncate(start);
      ticket.Discard();
      return status;
    }
  }

  // 16. The watermark.
  if (KRTWatermark* watermark = watermarks_.Selected()) {
    std::string why;
    if (auto resource = KRTWatermarkPostScript::Build(*watermark, ppd_->LanguageVersion(),
                                                      OutputOrientation(), &why)) {
      ticket.Add(kSiteFeature, *resource);
    } else {
      quill::PanelLog("PDEData::OutPostscriptData: watermark left out: %s", why.c_str());
    }
  }

  // 17. The scale.
  if (auto* scale = dynamic_cast<PPDXRangeControl*>(controls->FindRangeControl("*KRScale", true))) {
    const long v = scale->GetValue();
    const std::string factor = PercentAsFactor(v);
    ticket.Add(kSiteFeature,
               FormatPS(kScale, {static_cast<long long>(v), std::string_view(factor),
                                 std::string_view(factor)}));
  }

  PPDXPopupControl* print_size = AsPopup(controls->FindPopup(kPrintSize, true));
  const std::string print_size_value = CurrentValue(print_size);

  // 18. The paper catalog, which only a server that talks back knows.
  if (bidi) {
    int added = 0;
    const char* language = ppd_->LanguageVersion();
    const bool to_mac_japanese =
        language != nullptr && std::strcmp(language, "Japanese") == 0 && utf8_version < 3;
    for (int32_t i = 0; i < paperCatalog_.Count(); ++i) {
      const KeyValueTable::Pair* pair = paperCatalog_.At(static_cast<size_t>(i));
      if (pair == nullptr) break;
      std::string key = quill::NarrowToUTF8(pair->key, kMaxSettingBytes * 4);
      if (key.find('*') == std::string::npos) key.insert(0, "*");
      const std::string value = quill::NarrowToUTF8(pair->value, kMaxSettingBytes * 4);
      if (std::strtol(value.c_str(), nullptr, 10) == -1) continue;
      std::string block = FormatPS(kPairBlock, {PSCommentText(key), PSCommentText(value)});
      if (to_mac_japanese) {
        if (auto converted = quill::TextEncoding::Convert(block, quill::kEncodingUTF8,
                                                          quill::kEncodingMacJapanese)) {
          block = std::move(*converted);
        }
      }
      ticket.Add(kSiteFeature, block);
      ++added;
    }
    const char* version =
        ppd_->VendorMacVersion() != nullptr ? ppd_->VendorMacVersion() : ppd_->VendorVersion();
    if (version != nullptr && version[0] == '3' && added > 0 && print_size != nullptr) {
      const std::string size = EqualsNoCase(print_size_value, kCustomPrintSizeValue)
                                   ? std::string("CustomPageSize0")
                                   : quill::CutUTF8(print_size_value, kMaxPrintSizeValue);
      ticket.Add(kSiteFeature, FormatPS(kPairBlock, {"*KRPCPPDSize", PSCommentText(size)}));
    }
  }

  // 19. A custom print size.
  CNTL_TYPE found_type;
  auto* custom = dynamic_cast<PPDXCustomPageSizeControl*>(
      controls->Find(kCustomPrintSize, found_type, true));
  if (custom != nullptr && print_size != nullptr &&
      EqualsNoCase(print_size_value, kCustomPrintSizeValue)) {
    double width = custom->GetWidth();
    double height = custom->GetHeight();
    if (SpecialOptionValue(controls, "*KRCustomPgSzRoundingOff") != nullptr) {
      width = std::floor(width + 0.5);
      height = std::floor(height + 0.5);
    }
    const quill::PSFixed w{width, 2};
    const quill::PSFixed h{height, 2};
    ticket.Add(kSiteFeature, FormatPS(kCustomPrintSizeBlock, {w, h, w, h}));
  }

  // 20. The print size.
  PPDXPopupControl* page_size = AsPopup(controls->FindPopup(kPageSize, true));
  if (print_size != nullptr && page_size != nullptr) {
    const char* default_keyword = print_size->GetDefaultKeyword();
    if (default_keyword != nullptr && std::strcmp(default_keyword, "KRPrintSizeDEF") == 0) {
      ticket.Add(kSiteFeature, print_size);
    } else if (EqualsNoCase(CurrentValue(page_size), print_size_value) && !customPaper_) {
      ticket.Add(kSiteFeature, kSameAsPageSize);
    } else {
      ticket.Add(kSiteFeature, print_size);
    }
  }

  // 21. A job filed into a mailbox: the path for the filter, and the command that tells it.
  PPDXControl* destination = FindOption(controls, "*KRDestination");
  PPDXJobNote* mailbox = FindNote(controls, "*KRMailboxName");
  if (destination != nullptr && mailbox != nullptr &&
      EqualsNoCase(CurrentValue(destination), "File")) {
    const std::string name = quill::CutUTF8(NoteText(mailbox), kMaxMailboxName);
    std::string why;
    if (!CheckMailboxName(name, &why)) {
      outputError_ = why;
      ticket.Truncate(start);
      ticket.Discard();
      return kOutputRefused;
    }
    const std::string path = std::string(kMailboxFolder) + name;
    ticket.Add(kSiteMailbox, path);
    const quill::Printer* printer = (session != nullptr ? session : Session())->CurrentPrinter();
    if (printer == nullptr) {
      quill::PanelLog("PDEData::OutPostscriptData: no printer for Command_PSKRDestination");
    } else if (auto sent = printer->SendCommand("/" + path, "Command_PSKRDestination"); !sent) {
      quill::PanelLog("PDEData::OutPostscriptData: Command_PSKRDestination: %s",
                      sent.error.c_str());
    }
  }

  // 22 to 24. The header comments and the end of what the server pre-parses.
  ticket.Add(kSiteHeader, kDriverComment);
  ticket.Add(kSitePreParseEnd, kPreParseEnd);
  if (utf8_text != nullptr) {
    const std::string value(std::string_view(utf8_text).substr(
        0, std::min(std::strlen(utf8_text), kMaxUTF8VersionValue)));
    ticket.Add(kSiteHeader, FormatPS(kUTF8VersionComment, {PSCommentText(value)}));
  }
  return kOutputOk;
}
