// KRTPPD: the vendor keywords beyond option groups: shortcuts, job notes, special options, the
// device-management injection block, orphan groups and the pop-up job-note preferences.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PPDX/KRTPPD.h"
#include "PPDX/PPDObjects/Controls/PPDXBooleanControl.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNote.h"
#include "PPDX/PPDObjects/Controls/PPDXJobNoteFlags.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/Controls/PPDXSpecialOption.h"
#include "PPDX/PPDObjects/GroupName.h"
#include "PPDX/PPDObjects/PPDXControls.h"
#include "PPDX/PPDObjects/PPDXGroup.h"
#include "PPDX/PPDObjects/PPDXGroups.h"
#include "PPDX/PPDObjects/PPDXShortcuts.h"
#include "PPDX/PPDStream.h"
#include "foundation/PointerList.h"
#include "foundation/UTF8.h"
#include "foundation/ProcessGlobals.h"
#include "platform/Log.h"
#include "platform/TextEncoding.h"
#include "ppddata/KRPDEData.h"
#include "server/CFileHdlr.h"

namespace {

PPDStream stream_over(const char* text) {
  return PPDStream(text, static_cast<long>(std::strlen(text)));
}

// How many rows of the job-note flag table the extension support allows.
size_t allowed_job_note_flags(uint32_t support) {
  switch (support) {
    case 0: return 9;
    case 1: return 12;
    case 2: return 15;
    default: return kJobNoteFlagCount;
  }
}

// The minimum length that a "MinLength<n>" word gives: n for one or two digits; -1 when the first
// character is no digit, -3 when the second is none, -2 for more than two characters.
long minimum_length(const char* digits) {
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  const size_t n = std::strlen(digits);
  if (n > 2) return -2;
  if (!is_digit(digits[0])) return -1;
  if (n == 1) return digits[0] - '0';
  if (!is_digit(digits[1])) return -3;
  return (digits[0] - '0') * 10 + (digits[1] - '0');
}

// UTF-8 form of 32-bit wide characters in host order.
std::string utf8_from_wide(const char* bytes, unsigned long length) {
  std::string out;
  for (unsigned long i = 0; i + 4 <= length; i += 4) {
    uint32_t c;
    std::memcpy(&c, bytes + i, 4);
    AppendUTF8(out, c);
  }
  return out;
}

}  // namespace

KRTPPD::ErrorPtr KRTPPD::ParseShortcut(PPDStream& stream, char const*) {
  char keyword[kLineSizeLimit];
  const bool found = NextToken(stream, keyword, kEndofLineDelimiters, true);
  if (!found || !PPDXControl::ValidKeyword(keyword)) {
    return Error(PPDErr_BadShortcut, found ? keyword : nullptr);
  }
  const PPDStream* file = CurrentFileStream();
  shortcutKeywords_.push_back({keyword, file != nullptr ? file->LineNumber() : 0});
  return nullptr;
}

void KRTPPD::ResolveShortcuts() {
  PointerList found;
  for (const auto& [keyword, line] : shortcutKeywords_) {
    CNTL_TYPE type;
    if (PPDXControl* control = controls_->Find(keyword.c_str(), type, true)) {
      found.PushBack(control);
    } else if (GetErrors() != nullptr) {
      // Found only now, but the line that names the keyword is where it can be mended.
      ErrorPtr error = Error(PPDErr_BadShortcut, keyword.c_str());
      error->SetLine(line);
      GetErrors()->Add(error.release());
    }
  }
  shortcuts_ = std::make_unique<PPDXShortcuts>(found);
}

KRTPPD::ErrorPtr KRTPPD::ParseJobNote(PPDStream& stream, char const*) {
  return MakeJobNote(stream, nullptr, nullptr, nullptr, true);
}

KRTPPD::ErrorPtr KRTPPD::ParseJobNote(PPDStream& stream, char const* keyword, PointerList& flags,
                                      PPDXGroup* group) {
  return MakeJobNote(stream, keyword, &flags, group, false);
}

KRTPPD::ErrorPtr KRTPPD::MakeJobNote(PPDStream& stream, char const* controlKeyword,
                                     PointerList* flags, PPDXGroup* group, bool topLevel) {
  char keyword[kLineSizeLimit];
  if (!NextToken(stream, keyword, kOptionKeywordDelimiters, true) || keyword[0] == '\0') {
    return Error(PPDErr_JobNoteParsing, controlKeyword);
  }
  if (!topLevel && std::strcmp(keyword, controlKeyword) != 0) return nullptr;

  char translation[kLineSizeLimit];
  if (!NextToken(stream, translation, kTranslationStringDelimiters, false)) return nullptr;
  char token[kLineSizeLimit];
  if (!NextToken(stream, token, kFlagKeywordDelimiters, true)) return nullptr;
  const long max_length = std::atol(token);

  JobNoteFlag bits = 0;
  long min_length = 0;
  const size_t allowed = allowed_job_note_flags(GetExtensions());
  while (stream.PeekChar() != -1) {
    if (!NextToken(stream, token, kFlagKeywordDelimiters, true) || token[0] == '\0') continue;
    for (size_t row = 0; row < kJobNoteFlagCount; ++row) {
      if (std::strcmp(token, jnFlags[row].name) != 0) continue;
      if (row >= allowed) return Error(PPDErr_UnsupportedJobNoteFlag, keyword);
      bits |= JobNoteFlag{1} << jnFlags[row].bit;
    }
    if (std::strncmp(token, "MinLength", 9) == 0 && token[9] != '\0') {
      min_length = minimum_length(token + 9);
    }
  }

  // An optional default line, then the code line "*%<Keyword>: "code"".
  std::unique_ptr<CString> default_notes;
  char line[kLineSizeLimit];
  char main_keyword[kLineSizeLimit];
  bool have_line = NextFileLine(line);
  PPDStream line_stream = stream_over(line);
  if (have_line && NextToken(line_stream, main_keyword, kMainKeywordDelimiters, true) &&
      std::strncmp(main_keyword, "*%Default", 9) == 0) {
    char value[kLineSizeLimit];
    if (topLevel) {
      if (NextToken(line_stream, value, kFlagKeywordDelimiters, true) && value[0] != '\0') {
        default_notes = std::make_unique<CString>(value);
      }
    } else if (GetQuotedString(line_stream, value, kLineSizeLimit) > 0) {
      default_notes = std::make_unique<CString>(value);
    }
    have_line = NextFileLine(line);
    line_stream = stream_over(line);
  } else {
    line_stream = stream_over(line);
  }

  unsigned char* code = nullptr;
  long code_length = 0;
  if (have_line && NextToken(line_stream, main_keyword, kMainKeywordDelimiters, true) &&
      std::strlen(main_keyword) >= 2 && std::strcmp(main_keyword + 2, keyword + 1) == 0) {
    std::vector<char> buffer(kQuotesStringSizeLimit);
    const unsigned long length =
        GetPostscriptString(line_stream, buffer.data(), kQuotesStringSizeLimit);
    if (length > 0 && (code = static_cast<unsigned char*>(std::malloc(length))) != nullptr) {
      std::memcpy(code, buffer.data(), length);
      code_length = static_cast<long>(length);
    }
  }

  if (group == nullptr) {
    group = groups_->Find("QPKRNotes", true);
    if (group == nullptr) group = FindAndCreateParent("QPKRNotes");
  }
  PointerList no_flags;
  auto* note = new PPDXJobNote(keyword, DisplayName(translation, keyword),
                               flags ? *flags : no_flags, code, code_length,
                               default_notes.release(), nullptr, true, max_length, bits,
                               min_length);
  if (flags) flags->MakeEmpty();
  SetupControl(group, note, false);
  return nullptr;
}

KRTPPD::ErrorPtr KRTPPD::ParseSpecialOption(PPDStream& stream, char const*) {
  char keyword[kLineSizeLimit];
  if (!NextToken(stream, keyword, kSpecialOptionKeywordDelimiter, true) || keyword[0] == '\0') {
    return nullptr;
  }
  char value[kLineSizeLimit];
  if (!NextToken(stream, value, kEndofLineDelimiters, true) || value[0] == '\0') return nullptr;

  if (std::strcmp(keyword, "*DMT_Injection") != 0) {
    PointerList no_flags;
    auto* option = new PPDXSpecialOption(keyword, DisplayName(keyword, keyword), no_flags, value,
                                         nullptr, 0, true);
    SetupControl(nullptr, option, false);
    return nullptr;
  }
  if (std::strcmp(value, "True") != 0) return nullptr;

  // An inline injection block: its lines are read past and dropped, and any injection text
  // decoded so far is forgotten.
  quill::PanelLog("KRTPPD::ParseSpecialOption True");
  char line[kLineSizeLimit];
  if (!NextFileLine(line)) return nullptr;
  if (line[0] == '\0' && !NextFileLine(line)) return nullptr;
  quill::PanelLog("%s", line);
  static constexpr char kCounter[] = "*DMT_X0000: ";
  const char* counter = std::strstr(line, kCounter);
  if (counter == nullptr) {
    quill::PanelLog("KRTPPD::ParseSpecialOption '*DMT_X0000: ' not found");
    return nullptr;
  }
  const long count = std::atol(counter + sizeof kCounter - 1);
  std::string joined;
  for (long i = 0; i < count; ++i) {
    if (!NextFileLine(line)) break;
    if (line[0] == '\0' && !NextFileLine(line)) break;
    if (std::strlen(line) > 31) joined += line + 31;
  }
  customXML_.reset();
  return nullptr;
}

void KRTPPD::ParseDMTInjection(char const* line) {
  injectionText_ += line;
  injectionText_ += '\n';
}

void KRTPPD::CollectOrphanGroups() {
  if (!ParseOrphans()) return;
  for (const auto& name : groupNames_) {
    if (name->Keyword() == nullptr || groups_->Find(name->Keyword(), true) != nullptr) continue;
    groups_->Add(new PPDXGroup(name->Keyword(), name->DisplayName(), name->IsVisible()));
  }
}

void KRTPPD::ReadCustXmlData(std::string text) {
  unsigned long length = 0;
  char* data = CFileHdlr::stringReadData(text, "*DMT_Injection", &length);
  if (data == nullptr) return;
  customXML_ = utf8_from_wide(data, length);
  std::free(data);
}

void KRTPPD::ReadPUJNPrefs() {
  std::vector<char> record(kKRPDERecordBufferSize);
  int length = 0;
  if (const int error = KRPDEDataRead("PopupJnData", record.data(), &length); error != 0) {
    quill::PanelLog("KRTPPD::ReadPUJNPrefs: KRPDEDataRead anErr %d", error);
    return;
  }
  if (length <= 0) {
    quill::PanelLog("There are no preferences in the accounting popup file.");
    return;
  }
  const std::string text(record.data(), static_cast<size_t>(length));
  PopupJobNotePrefs& prefs = Globals().popupJobNotePrefs;
  prefs = PopupJobNotePrefs{};
  prefs.enable = text.size() > 0 ? text[0] : '\0';
  prefs.setting = text.size() > 1 ? text[1] : '\0';
  prefs.showLast = text.size() > 2 ? text[2] : '\0';
  quill::PanelLog("KRTPPD::ReadPUJNPrefs: Enable/Setting/ShowLast '%c%c%c' ", prefs.enable,
                  prefs.setting, prefs.showLast);
  if (prefs.enable == '0') {
    quill::PanelLog("The accounting popup feature is disabled.");
    return;
  }

  const bool enabled = prefs.enable == '1';
  CNTL_TYPE type;
  if (auto* tracking = dynamic_cast<PPDXBooleanControl*>(
          controls_->Find("*KRDisplayJobTracking", type, true))) {
    tracking->SetValue(enabled);
    tracking->SetDefaultValue(enabled);
  }
  if (auto* setting = dynamic_cast<PPDXPopupControl*>(
          controls_->Find("*KRAccountSetting", type, true))) {
    const long item = prefs.setting == '1' ? 1 : 2;
    setting->SetValue(item);
    setting->SetDefaultValue(item);
  }
  if (auto* show_last = dynamic_cast<PPDXBooleanControl*>(
          controls_->Find("*KRAccountShowLast", type, true))) {
    show_last->SetValue(prefs.showLast == '1');
    show_last->SetDefaultValue(prefs.showLast == '1');
  }

  // Ten lines from the fourth byte on: keyword 1, text 1, ..., keyword 5, text 5.
  size_t at = 3;
  for (int n = 0; n < 5; ++n) {
    std::string* fields[2] = {&prefs.noteKeywords[n], &prefs.savedTexts[n]};
    for (std::string* field : fields) {
      if (at >= text.size()) break;
      const size_t end = std::min(text.find('\n', at), text.size());
      *field = text.substr(at, end - at);
      at = end + 1;
    }
    quill::PanelLog("KRTPPD::ReadPUJNPrefs %d '%s' \n", n + 1, prefs.noteKeywords[n].c_str());
    quill::PanelLog("KRTPPD::ReadPUJNPrefs   '%s' \n", prefs.savedTexts[n].c_str());
  }

  const quill::TextEncodingId note_encoding = Globals().popupJobNotesLangIsJapanese
                                                  ? quill::kEncodingShiftJIS
                                                  : quill::kEncodingMacRoman;
  for (PPDXControl* control = controls_->FirstJobNote(); control != nullptr;
       control = controls_->NextJobNote()) {
    auto* note = dynamic_cast<PPDXJobNote*>(control);
    if (note == nullptr || !note->IsPopupJN()) continue;
    std::string saved;
    for (int n = 0; n < 5; ++n) {
      if (note->Keyword() == nullptr || prefs.noteKeywords[n] != note->Keyword()) continue;
      const std::string& utf8 = prefs.savedTexts[n];
      if (!quill::TextEncoding::IsValidUTF8(utf8)) {
        saved = "[conv from UTF8 failed]";
      } else if (auto converted = quill::TextEncoding::Convert(utf8, quill::kEncodingUTF8,
                                                               note_encoding)) {
        saved = converted->substr(0, 255);
      } else {
        saved = "[conv UTF8 to MR or SJ failed]";
      }
      break;
    }
    note->SetNotes(saved.c_str());
    note->SetDefaultNotes(saved.c_str());
  }
}
